#pragma once
// The volume knob: a left-button drag along the gauge, on a logarithmic scale.
#include <QLabel>

namespace playback {

constexpr int kKnobMin = 375;
constexpr int kKnobMax = 960;
constexpr int kKnobStart = 720;

// Hundredths of a decibel for a knob position d (375..960): 375 -> -5184, 960 -> -44.
int volumeForPosition(int d);

// The image control Volume. Its position (Left) and grab point (Tag) are in twips.
class VolumeKnob : public QLabel {
    Q_OBJECT
public:
    explicit VolumeKnob(QWidget* parent = nullptr);

    double leftTwips() const { return left_; }
    double tag() const { return tag_; }

    // The knob's mouse handlers, fed by the widget's own mouse events; x and y are in twips
    // from the knob's top-left corner. A press keeps the grab point; a left-button move slides
    // the knob by the distance from it, within the gauge, and emits the new volume.
    void Volume_MouseDown(int button, int shift, double x, double y);
    void Volume_MouseMove(int button, int shift, double x, double y);

    // Sets the player to the volume of the knob's current position; the knob stays.
    void applyVolume();

    // The position as a share of the travel, 0 to 100 %; setting it moves the knob to the
    // nearest position and sets the volume, as a drag there would.
    int level() const;
    void setLevel(int percent);

    // Keyboard steps: an arrow moves by kKeyStep twips, Page Up/Down by kPageStep, Home and
    // End to the ends.
    static constexpr int kKeyStep = 45;
    static constexpr int kPageStep = 117;

signals:
    void volumeSet(int hundredthsOfDb);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void moveTo(int d);
    double left_ = kKnobStart;
    double tag_ = kKnobStart;
};

} // namespace playback

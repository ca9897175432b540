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

signals:
    void volumeSet(int hundredthsOfDb);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    double left_ = kKnobStart;
    double tag_ = kKnobStart;
};

} // namespace playback

#pragma once
// The player switch Son: a graphical button showing its picture, and its pressed-state
// picture while the mouse button is held on it. It is checkable so that its position can be
// read, but only its owner sets that position: a click alone does not toggle it.
#include <QAbstractButton>
#include <QPixmap>

namespace playback {

class SoundSwitch : public QAbstractButton {
    Q_OBJECT
public:
    SoundSwitch(const QPixmap& picture, const QPixmap& downPicture, QWidget* parent = nullptr);

    const QPixmap& picture() const { return picture_; }
    const QPixmap& downPicture() const { return downPicture_; }

    // The switch shows its state by exchanging the two pictures.
    void swapPictures();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void nextCheckState() override {}

private:
    QPixmap picture_;
    QPixmap downPicture_;
};

} // namespace playback

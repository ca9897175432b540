#pragma once
// Moves the panel area ZoneP2 under its viewport ZoneP1: scroll bars, mouse wheel, focus.
#include "layout/form_controls.h"

#include <QObject>

namespace layout {

class Scrolling : public QObject {
    Q_OBJECT
public:
    // Connects the bars and gives them their design minimum 0 and small step 15. The bars
    // stop scrolling themselves under the wheel: the wheel control drives them.
    explicit Scrolling(const FormControls& c, QObject* parent = nullptr);

    void VScroll_Change();
    void VScroll_Scroll();
    void HScroll_Change();
    void HScroll_Scroll();
    // One step of 20 small steps on the vertical bar; only the sign of Delta counts, towards
    // the user (negative) scrolls down. The arguments are left untouched.
    void Wheel_WheelRotate(int& Delta, int& Shift, int& x, int& y);
    // Scrolls panel Shape(index) into view in visible 100-twip steps, then selects the text.
    void Txt_GotFocus(int index);

    // The content's place in the viewport, exactly, in twips.
    double contentLeft() const { return p2Left_; }
    double contentTop() const { return p2Top_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Extent {
        double viewport;
        double content;
    };
    Extent verticalExtent() const;
    Extent horizontalExtent() const;
    void placeVertically(int value);
    void placeHorizontally(int value);
    void stepTo(QScrollBar* bar, int value);
    void bringIntoView(QScrollBar* bar, double start, long long end);

    FormControls c_;
    double p2Left_ = 0;
    double p2Top_ = 0;
};

} // namespace layout

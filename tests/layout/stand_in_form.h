#pragma once
// A window built from plain widgets at the design places of the real one, for exercising
// the layout, the scrolling and the wheel control without the game behind them.
#include "layout/form_controls.h"

#include <QLineEdit>
#include <QWidget>

#include <memory>

namespace layout::testing {

class StandInForm {
public:
    StandInForm(); // client area 13410 x 10545 twips, not shown
    QWidget* window() const { return form_.get(); }
    const FormControls& controls() const { return c_; }
    QLineEdit* txt(int i) const { return static_cast<QLineEdit*>(c_.Txt[i]); }

private:
    std::unique_ptr<QWidget> form_;
    FormControls c_;
};

} // namespace layout::testing

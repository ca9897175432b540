#pragma once
// The window's controls that the layout and the scrolling move, declared here once: the
// window derives from FormControlsOf with its own control classes, and the layout reads the
// same controls as plain widgets (FormControls). Arrays are 1-based like the window's own
// (element 0 unused).
#include "layout/geometry.h"

#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace layout {

template <class Label, class Box, class Button> struct FormControlsOf {
    QWidget* form = nullptr; // the window itself: its state and outer size are read
    QWidget* ZoneT0 = nullptr;
    QWidget* ZoneT2 = nullptr;
    Label* LblTitre = nullptr;
    Label* LblIndics = nullptr;
    QWidget* ZoneT3 = nullptr;
    QWidget* ZoneP1 = nullptr;
    QWidget* ZoneP2 = nullptr;
    QScrollBar* VScroll = nullptr; // values, ranges and steps in twips
    QScrollBar* HScroll = nullptr;
    std::array<QWidget*, kQuestions + 1> Shape{};
    std::array<Label*, kQuestions + 1> No{};
    std::array<Box*, kQuestions + 1> Txt{};
    std::array<Label*, kQuestions + 1> Retour{};
    std::array<Button*, 2 * kQuestions + 1> Cmd{}; // play 1..30, stop 31..60

    // The exact twips sizes the last layout gave, shared by every copy of these controls:
    // the layout writes them before it moves anything, the scrolling reads them, also from
    // inside the bars' clamping while the layout applies them.
    std::shared_ptr<std::optional<LayoutResult>> lastLayout =
        std::make_shared<std::optional<LayoutResult>>();

    FormControlsOf() = default;
    // The same controls, seen as other classes they derive from.
    template <class L, class B, class Bt>
    explicit FormControlsOf(const FormControlsOf<L, B, Bt>& c)
        : form(c.form), ZoneT0(c.ZoneT0), ZoneT2(c.ZoneT2), LblTitre(c.LblTitre),
          LblIndics(c.LblIndics), ZoneT3(c.ZoneT3), ZoneP1(c.ZoneP1), ZoneP2(c.ZoneP2),
          VScroll(c.VScroll), HScroll(c.HScroll), Shape(c.Shape), lastLayout(c.lastLayout) {
        std::copy(c.No.begin(), c.No.end(), No.begin());
        std::copy(c.Txt.begin(), c.Txt.end(), Txt.begin());
        std::copy(c.Retour.begin(), c.Retour.end(), Retour.begin());
        std::copy(c.Cmd.begin(), c.Cmd.end(), Cmd.begin());
    }
};

using FormControls = FormControlsOf<QWidget, QWidget, QWidget>;

} // namespace layout

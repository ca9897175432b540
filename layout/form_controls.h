#pragma once
// The controls the layout and the scrolling move, handed over by the window once it has
// built them. Arrays are 1-based like the window's own (element 0 unused).
#include "layout/geometry.h"

#include <QScrollBar>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace layout {

struct FormControls {
    QWidget* form = nullptr; // FrmDorlo itself: its state and outer size are read
    QWidget* ZoneT0 = nullptr;
    QWidget* ZoneT2 = nullptr;
    QWidget* LblTitre = nullptr;
    QWidget* LblIndics = nullptr;
    QWidget* ZoneT3 = nullptr;
    QWidget* ZoneP1 = nullptr;
    QWidget* ZoneP2 = nullptr;
    QScrollBar* VScroll = nullptr; // values, ranges and steps in twips
    QScrollBar* HScroll = nullptr;
    std::array<QWidget*, kQuestions + 1> Shape{};
    std::array<QWidget*, kQuestions + 1> No{};
    std::array<QWidget*, kQuestions + 1> Txt{};
    std::array<QWidget*, kQuestions + 1> Retour{};
    std::array<QWidget*, 2 * kQuestions + 1> Cmd{}; // play 1..30, stop 31..60

    // The exact twips sizes the last layout gave, shared by every copy of these controls:
    // the layout writes them before it moves anything, the scrolling reads them, also from
    // inside the bars' clamping while the layout applies them.
    std::shared_ptr<std::optional<LayoutResult>> lastLayout =
        std::make_shared<std::optional<LayoutResult>>();
};

} // namespace layout

#pragma once
// The controls the layout and the scrolling move, handed over by the window once it has
// built them. Arrays are 1-based like the window's own (element 0 unused).
#include <QScrollBar>
#include <QWidget>

#include <array>

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
    std::array<QWidget*, 31> Shape{};
    std::array<QWidget*, 31> No{};
    std::array<QWidget*, 31> Txt{};
    std::array<QWidget*, 31> Retour{};
    std::array<QWidget*, 61> Cmd{};
};

} // namespace layout

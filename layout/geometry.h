#pragma once
// Where every control of the window goes for a given window size: a pure function, all twips.
// Whole twips in 32-bit integers, so windows far beyond 32767 twips (a maximised window on a
// large screen) follow the same rules; inside 16 bits the results equal those of the same
// rules worked in 16-bit signed twips, as the scroll bars' values are.
#include "engine/records.h"

#include <array>
#include <optional>

namespace layout {

using engine::kQuestions; // one panel per question

struct LayoutInput {
    bool minimised = false;
    int outerWidth = 13410; // the window's outer size, border and title bar included
    int outerHeight = 10545;
    int lblTitreWidth = 6765;
    int lblIndicsWidth = 5175;
    int zoneP1Left = 120;
    int zoneP1Top = 1290;
    int txtLeft = 960; // left of every answer box inside its panel
};

struct PanelGeometry {
    int left = 0; // Shape(i), inside ZoneP2
    int top = 0;
    int width = 0;
    int height = 0;
    int txtWidth = 0;
    double txtTop = 0; // centred answer box: half twips happen
    int retourLeft = 0;
    double retourTop = 0;
    double noTop = 0;
    double cmdTop = 0; // play Cmd(i) and stop Cmd(i + 30)
};

struct ScrollBarGeometry {
    int position = 0; // VScroll left, HScroll top
    int length = 0;   // VScroll height, HScroll width
    int pageStep = 0; // 0 while the viewport is empty
    int maximum = 0;
};

struct LayoutResult {
    int zoneT0Width = 0;
    int zoneT2Width = 0;
    int lblTitreLeft = 0;
    int lblIndicsLeft = 0;
    int zoneT3Left = 0;
    int zoneP1Width = 0;
    int zoneP1Height = 0;
    int tw = 0;                                        // answer-box width
    int ph = 0;                                        // panel height
    std::array<PanelGeometry, kQuestions + 1> panel{}; // 1-based, element 0 unused
    int zoneP2Width = 0;
    int zoneP2Height = 0;
    ScrollBarGeometry vScroll;
    ScrollBarGeometry hScroll;
};

// Inputs are clamped to what a widget can measure (QWIDGETSIZE_MAX pixels), so no value
// overflows. A minimised window gets nullopt: it keeps the layout it had.
std::optional<LayoutResult> computeLayout(const LayoutInput& in);

} // namespace layout

#pragma once
// The window's pictures, drawn once by code at the screen's pixel ratio.
// Sizes are in device-independent pixels.
#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace window::pictures {

QPixmap volumeGauge();    // 77 x 26: the background of the sound zone
QPixmap loudspeaker();    // 18 x 18: switch ON
QPixmap loudspeakerOff(); // 18 x 18: the same, crossed by a red prohibition sign
QPixmap knob();           // 10 x 21: the volume knob
QPixmap play();           // 14 x 13: black triangle
QPixmap stop();           // 14 x 13: black square
QCursor pointingHand();   // 32 x 32, hot spot (11, 6)
QIcon windowIcon();       // 32 x 32

} // namespace window::pictures

#pragma once
// Design lengths are twips; the screen has 15 twips per pixel.
#include <QRect>
#include <QWidget>

#include <cmath>

namespace layout {

constexpr int kTwipsPerPixel = 15;

// Nearest pixel; half-twip positions (a centred answer box) round the same way everywhere.
inline int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
inline int toTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

inline QRect rectFromTwips(double left, double top, double width, double height) {
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

inline void placeTwips(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(rectFromTwips(left, top, width, height));
}

} // namespace layout

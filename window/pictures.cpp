#include "window/pictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace window::pictures {
namespace {

QPixmap draw(int width, int height, const std::function<void(QPainter&)>& paint) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(width, height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return pixmap;
}

const QColor kLightGrey(212, 208, 200);
const QColor kMidGrey(128, 128, 128);
const QColor kDarkGrey(64, 64, 64);

void paintSpeaker(QPainter& p) {
    QPainterPath body;
    body.moveTo(2, 6.5);
    body.lineTo(5.5, 6.5);
    body.lineTo(10, 2.5);
    body.lineTo(10, 15.5);
    body.lineTo(5.5, 11.5);
    body.lineTo(2, 11.5);
    body.closeSubpath();
    QLinearGradient shade(2, 2, 10, 16);
    shade.setColorAt(0, QColor(110, 110, 110));
    shade.setColorAt(1, QColor(20, 20, 20));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(shade);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(8, 6, 6, 6), -50 * 16, 100 * 16);
    p.drawArc(QRectF(7, 3.5, 10, 11), -55 * 16, 110 * 16);
}

} // namespace

QPixmap volumeGauge() {
    static const QPixmap pixmap = draw(77, 26, [](QPainter& p) {
        p.fillRect(QRectF(0, 0, 77, 26), kLightGrey);
        // An engraved wedge: grey on the lit-from-above edges, white on the others.
        const QPointF low(27.5, 21.5), high(73.5, 4.5), corner(73.5, 21.5);
        p.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient fill(low, corner);
        fill.setColorAt(0, QColor(200, 196, 188));
        fill.setColorAt(1, QColor(170, 166, 160));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPolygon(QPolygonF({low, high, corner}));
        p.setPen(QPen(kMidGrey, 1));
        p.drawLine(low, high);
        p.setPen(QPen(Qt::white, 1));
        p.drawLine(low + QPointF(0, 1), corner + QPointF(1, 1));
        p.drawLine(corner + QPointF(1, 1), high + QPointF(1, 0));
        p.drawLine(low + QPointF(1, 1), high + QPointF(1, 1));
    });
    return pixmap;
}

QPixmap loudspeaker() {
    static const QPixmap pixmap = draw(18, 18, paintSpeaker);
    return pixmap;
}

QPixmap loudspeakerOff() {
    static const QPixmap pixmap = draw(18, 18, [](QPainter& p) {
        paintSpeaker(p);
        const QColor red(220, 0, 0);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(red, 2));
        p.drawEllipse(QRectF(1.5, 1.5, 15, 15));
        p.drawLine(QPointF(4, 4), QPointF(14, 14));
    });
    return pixmap;
}

QPixmap knob() {
    // Edges as filled pixel rows, not lines: they stay whole at any pixel ratio.
    static const QPixmap pixmap = draw(10, 21, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        QLinearGradient body(0, 0, 10, 0);
        body.setColorAt(0, QColor(235, 235, 235));
        body.setColorAt(0.5, QColor(192, 192, 192));
        body.setColorAt(1, QColor(140, 140, 140));
        p.fillRect(QRect(0, 0, 10, 21), body);
        // Raised edges: light top and left, dark bottom and right.
        p.fillRect(QRect(0, 0, 9, 1), Qt::white);
        p.fillRect(QRect(0, 0, 1, 20), Qt::white);
        p.fillRect(QRect(0, 20, 10, 1), kDarkGrey);
        p.fillRect(QRect(9, 0, 1, 21), kDarkGrey);
        p.fillRect(QRect(1, 19, 8, 1), kMidGrey);
        p.fillRect(QRect(8, 1, 1, 19), kMidGrey);
        // Grip lines across the middle.
        for (int y : {8, 10, 12}) {
            p.fillRect(QRect(2, y, 6, 1), kMidGrey);
            p.fillRect(QRect(2, y + 1, 6, 1), Qt::white);
        }
    });
    return pixmap;
}

QPixmap play() {
    static const QPixmap pixmap = draw(14, 13, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({QPointF(3.5, 1), QPointF(12, 6.5), QPointF(3.5, 12)}));
    });
    return pixmap;
}

QPixmap stop() {
    static const QPixmap pixmap = draw(14, 13, [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(3, 2, 9, 9), Qt::black);
    });
    return pixmap;
}

QCursor pointingHand() {
    static const QPixmap pixmap = draw(32, 32, [](QPainter& p) {
        QPainterPath hand;
        // Index finger up to the hot spot, then the folded fingers and the thumb.
        hand.moveTo(9, 7.5);
        hand.cubicTo(9, 4.5, 13.5, 4.5, 13.5, 7.5);
        hand.lineTo(13.5, 14);
        hand.cubicTo(13.5, 12, 17.5, 12, 17.5, 14.5);
        hand.cubicTo(17.5, 12.5, 21.5, 12.5, 21.5, 15.5);
        hand.cubicTo(21.5, 13.5, 25.5, 13.5, 25.5, 16.5);
        hand.lineTo(25.5, 23);
        hand.cubicTo(25.5, 26, 23.5, 28.5, 21.5, 29.5);
        hand.lineTo(12.5, 29.5);
        hand.cubicTo(10.5, 27.5, 8, 24.5, 5, 21);
        hand.cubicTo(3.5, 19, 5.5, 16.5, 8, 18.5);
        hand.lineTo(9, 19.5);
        hand.closeSubpath();
        p.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::white);
        p.drawPath(hand);
        p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(17.5, 14.5), QPointF(17.5, 19));
        p.drawLine(QPointF(21.5, 15.5), QPointF(21.5, 19.5));
        p.drawLine(QPointF(13.5, 14), QPointF(13.5, 19));
    });
    return QCursor(pixmap, 11, 6);
}

QIcon windowIcon() {
    static const QPixmap pixmap = draw(32, 32, [](QPainter& p) {
        QLinearGradient back(0, 0, 0, 32);
        back.setColorAt(0, QColor(160, 160, 255));
        back.setColorAt(1, QColor(96, 96, 230));
        p.setPen(QPen(QColor(0, 0, 128), 1));
        p.setBrush(back);
        p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
        // Two beamed quavers.
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(5, 20, 8, 6));
        p.drawEllipse(QRectF(18, 17, 8, 6));
        p.fillRect(QRectF(11, 8, 2, 15), Qt::white);
        p.fillRect(QRectF(24, 5, 2, 15), Qt::white);
        QPainterPath beam;
        beam.moveTo(11, 8);
        beam.lineTo(26, 5);
        beam.lineTo(26, 9);
        beam.lineTo(11, 12);
        beam.closeSubpath();
        p.drawPath(beam);
    });
    return QIcon(pixmap);
}

} // namespace window::pictures

#include "piano_roll.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace page {

namespace {

constexpr int kLeft = 30; // octave labels
constexpr int kRight = 6;
constexpr int kTop = 4;
constexpr int kBottom = 14; // second labels
constexpr int kDrumBand = 8;

// Every C, the bottom of each octave band: "C4" is middle C, as the note sources spell it.
QString octaveLabel(int midi) {
    return QStringLiteral("C%1").arg(midi / 12 - 1);
}

} // namespace

QColor voiceColour(int index) {
    static constexpr std::array<QRgb, 8> kPalette = {0x1f5fbf, 0xd9480f, 0x2b8a3e, 0x9c36b5,
                                                     0xc2255c, 0x0b7285, 0xe67700, 0x5c5f66};
    return QColor::fromRgb(kPalette[static_cast<std::size_t>(index) % kPalette.size()]);
}

QImage pianoRoll(const store::Score& score, double clipSeconds, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    int low = 127, high = 0;
    bool drums = false;
    for (const auto& voice : score.voices) {
        drums = drums || voice.drums;
        for (const auto& note : voice.notes) {
            for (int m : note.midi) {
                if (!voice.drums) {
                    low = std::min(low, m);
                    high = std::max(high, m);
                }
            }
        }
    }
    if (low > high) // no pitched note: show the octaves around middle C
        low = high = 60;
    low = low / 12 * 12;
    high = (high / 12 + 1) * 12; // exclusive: the C above the highest note

    const QRect plot(kLeft, kTop, size.width() - kLeft - kRight,
                     size.height() - kTop - kBottom - (drums ? kDrumBand : 0));
    const double span = std::max(clipSeconds, 0.1);
    const auto x = [&](double s) {
        return plot.left() + s / span * plot.width();
    };
    const double row = double(plot.height()) / (high - low);
    const auto y = [&](int midi) {
        return plot.bottom() + 1 - (midi - low) * row;
    };

    QFont font = p.font();
    font.setPixelSize(9);
    p.setFont(font);
    p.setPen(QColor(0xec, 0xec, 0xec));
    for (int s = 1; s < span; ++s)
        p.drawLine(QPointF(x(s), plot.top()), QPointF(x(s), plot.bottom()));
    p.setPen(QColor(0xcc, 0xcc, 0xcc));
    for (int m = low; m <= high; m += 12)
        p.drawLine(QPointF(plot.left(), y(m)), QPointF(plot.right(), y(m)));
    p.setPen(QColor(0x66, 0x66, 0x66));
    for (int m = low; m < high; m += 12)
        p.drawText(QRectF(0, y(m) - 10, kLeft - 4, 10), Qt::AlignRight | Qt::AlignBottom,
                   octaveLabel(m));
    const int every = span > 40 ? 10 : 5;
    for (int s = 0; s < span; s += every)
        p.drawText(QRectF(x(s) - 20, size.height() - kBottom, 40, kBottom), Qt::AlignCenter,
                   s == 0 ? QStringLiteral("0 s") : QString::number(s));
    p.setPen(QColor(0xbb, 0xbb, 0xbb));
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // The music starts again from the top while the clip lasts; later voices under the melody.
    p.setClipRect(QRect(plot.left(), plot.top(), plot.width(), size.height() - kTop - kBottom));
    for (int v = static_cast<int>(score.voices.size()) - 1; v >= 0; --v) {
        const auto& voice = score.voices[static_cast<std::size_t>(v)];
        const QColor colour = voiceColour(v);
        store::forEachPlayed(
            score, voice, span, [&](const store::Note& note, double start, double end) {
                const double left = x(start);
                const double width = std::max(1.5, x(end) - left - 1);
                for (int m : note.midi) {
                    if (voice.drums)
                        p.fillRect(QRectF(left, plot.bottom() + 2, 1.5, kDrumBand - 2), colour);
                    else
                        p.fillRect(QRectF(left, y(m + 1), width, std::max(row, 2.0)), colour);
                }
            });
    }
    return image;
}

} // namespace page

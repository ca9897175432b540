// At a scale factor of 2 the pictures are drawn for the device's pixels, not enlarged.
// Run with QT_SCALE_FACTOR=2.
#include "tests/window/window_fixture.h"

#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "window/pictures.h"

#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

namespace {

// Pixels that are neither the given colour nor fully transparent: the blur an enlargement
// leaves on a hard edge.
int mixedPixels(const QImage& image, QRgb solid, QRgb background) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            n += (c != solid && c != background) ? 1 : 0;
        }
    return n;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void picturesHaveTheScreensRatio_data() {
        QTest::addColumn<QPixmap>("picture");
        QTest::addColumn<QSize>("size");
        QTest::newRow("gauge") << window::pictures::volumeGauge() << QSize(77, 26);
        QTest::newRow("loudspeaker") << window::pictures::loudspeaker() << QSize(18, 18);
        QTest::newRow("crossed out") << window::pictures::loudspeakerOff() << QSize(18, 18);
        QTest::newRow("knob") << window::pictures::knob() << QSize(10, 21);
        QTest::newRow("play") << window::pictures::play() << QSize(14, 13);
        QTest::newRow("stop") << window::pictures::stop() << QSize(14, 13);
        QTest::newRow("hand") << window::pictures::pointingHand().pixmap() << QSize(32, 32);
        QTest::newRow("icon") << window::pictures::windowIcon().pixmap(QSize(32, 32), 2.0)
                              << QSize(32, 32);
    }
    void picturesHaveTheScreensRatio() {
        QFETCH(QPixmap, picture);
        QFETCH(QSize, size);
        QCOMPARE(picture.devicePixelRatio(), 2.0);
        QCOMPARE(picture.size(), size * 2);
        QCOMPARE(picture.deviceIndependentSize(), QSizeF(size));
    }

    void handCursorKeepsItsHotSpot() {
        const QCursor hand = window::pictures::pointingHand();
        QCOMPARE(hand.hotSpot(), QPoint(11, 6)); // logical, as the design gives it
    }

    void windowShowsThemAtFullResolution() {
        WindowFixture fx;
        auto f = fx.open();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));

        // The stop square, 9 x 9, must come out as 18 x 18 solid black device pixels with
        // no grey rim; an enlarged 9 x 9 picture would be smeared at its edges.
        const QImage stop = f->Cmd[31]->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(stop.devicePixelRatio(), 2.0);
        int black = 0;
        for (int y = 0; y < stop.height(); ++y)
            for (int x = 0; x < stop.width(); ++x)
                black += stop.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
        QCOMPARE(black, 18 * 18);

        // The knob's raised edges are whole rows and columns of its design pixels: two
        // device pixels thick at ratio 2, none of them halved or lost at the border.
        const QImage knob = f->Volume->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb white = qRgb(255, 255, 255), dark = qRgb(64, 64, 64), mid = qRgb(128, 128, 128);
        const auto row = [&](int y, int x0, int x1, QRgb c) { // design pixels, inclusive
            for (int x = 2 * x0; x < 2 * x1 + 2; ++x)
                for (int dy : {0, 1})
                    if (knob.pixel(x, 2 * y + dy) != c)
                        return false;
            return true;
        };
        QVERIFY(row(0, 0, 8, white));
        QVERIFY(row(20, 0, 9, dark));
        QVERIFY(row(19, 1, 8, mid));
        for (int y : {8, 10, 12})
            QVERIFY(row(y, 2, 7, mid) && row(y + 1, 2, 7, white));
        const auto column = [&](int x, int y0, int y1, QRgb c) {
            for (int y = 2 * y0; y < 2 * y1 + 2; ++y)
                for (int dx : {0, 1})
                    if (knob.pixel(2 * x + dx, y) != c)
                        return false;
            return true;
        };
        QVERIFY(column(0, 1, 19, white));
        QVERIFY(column(9, 0, 20, dark));
        QVERIFY(column(8, 1, 18, mid));
        QCOMPARE(mixedPixels(window::pictures::stop().toImage(), qRgb(0, 0, 0), 0), 0);
    }
};

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"

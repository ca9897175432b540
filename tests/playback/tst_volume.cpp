// The volume knob: left-button drags along the gauge, logarithmic scale.
#include "playback/volume.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

using playback::VolumeKnob;

namespace {

void sendMouse(QWidget* w, QEvent::Type type, QPoint pixel, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent e(type, pixel, w->mapToGlobal(pixel), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// Drags the knob by `by` twips with the given button code.
void drag(VolumeKnob& knob, double by, int button = 1) {
    knob.Volume_MouseDown(button, 0, 60, 100);
    knob.Volume_MouseMove(button, 0, 60 + by, 100);
}

} // namespace

class TestVolume : public QObject {
    Q_OBJECT
private slots:
    void scale_data() {
        QTest::addColumn<int>("d");
        QTest::addColumn<int>("volume");
        QTest::newRow("left end") << 375 << -5184;
        QTest::newRow("376") << 376 << -4625;
        QTest::newRow("389") << 389 << -3000;
        QTest::newRow("480") << 480 << -1423;
        QTest::newRow("start-up") << 720 << -469;
        QTest::newRow("900") << 900 << -131;
        QTest::newRow("right end") << 960 << -44;
    }
    void scale() {
        QFETCH(int, d);
        QFETCH(int, volume);
        QCOMPARE(playback::volumeForPosition(d), volume);

        VolumeKnob knob;
        QSignalSpy spy(&knob, &VolumeKnob::volumeSet);
        drag(knob, d - 720);
        QCOMPARE(knob.leftTwips(), double(d));
        QCOMPARE(knob.x(), qRound(d / 15.0));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), volume);
    }

    void scaleRisesWithinBounds() {
        int previous = -100000;
        for (int d = playback::kKnobMin; d <= playback::kKnobMax; ++d) {
            const int v = playback::volumeForPosition(d);
            QVERIFY(v > previous);
            QVERIFY(v >= -5184 && v <= -44);
            previous = v;
        }
    }

    // Position halves go to the even neighbour.
    void roundsHalvesToEven() {
        VolumeKnob knob;
        drag(knob, 0.5);
        QCOMPARE(knob.leftTwips(), 720.0);
        drag(knob, 1.5);
        QCOMPARE(knob.leftTwips(), 722.0);
    }

    void jumpPastTheEndLeavesTheKnob_data() {
        QTest::addColumn<int>("to");
        QTest::newRow("below") << 300;
        QTest::newRow("one below") << 374;
        QTest::newRow("above") << 1200;
        QTest::newRow("one above") << 961;
    }
    void jumpPastTheEndLeavesTheKnob() {
        QFETCH(int, to);
        VolumeKnob knob;
        drag(knob, 400 - 720);
        QSignalSpy spy(&knob, &VolumeKnob::volumeSet);
        const int x = knob.x();
        drag(knob, to - 400);
        QCOMPARE(knob.leftTwips(), 400.0);
        QCOMPARE(knob.x(), x);
        QCOMPARE(spy.size(), 0);
    }

    void otherButtonsMoveNothing_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("none") << 0;
        QTest::newRow("right") << 2;
        QTest::newRow("left and right") << 3;
        QTest::newRow("middle") << 4;
    }
    void otherButtonsMoveNothing() {
        QFETCH(int, button);
        VolumeKnob knob;
        QSignalSpy spy(&knob, &VolumeKnob::volumeSet);
        drag(knob, 90, button);
        QCOMPARE(knob.leftTwips(), 720.0);
        QCOMPARE(knob.tag(), 60.0); // the grab point is taken whatever the button
        QCOMPARE(spy.size(), 0);
    }

    // Re-applying from a play press moves nothing and sets the volume of the position.
    void reapplyAtTheGrabPoint() {
        VolumeKnob knob;
        QSignalSpy spy(&knob, &VolumeKnob::volumeSet);
        knob.Volume_MouseMove(1, 0, knob.tag(), 0);
        QCOMPARE(knob.leftTwips(), 720.0);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), -469);
    }

    void mouseEventsInPixels_data() {
        QTest::addColumn<Qt::MouseButtons>("held");
        QTest::addColumn<double>("left");
        QTest::newRow("left") << Qt::MouseButtons(Qt::LeftButton) << 735.0;
        QTest::newRow("right") << Qt::MouseButtons(Qt::RightButton) << 720.0;
        QTest::newRow("both") << (Qt::LeftButton | Qt::RightButton) << 720.0;
    }
    void mouseEventsInPixels() {
        QFETCH(Qt::MouseButtons, held);
        QFETCH(double, left);
        QWidget zone;
        auto* knob = new VolumeKnob(&zone);
        QCOMPARE(knob->geometry(), QRect(48, 3, 10, 21));
        QSignalSpy spy(knob, &VolumeKnob::volumeSet);
        const Qt::MouseButton first = held & Qt::LeftButton ? Qt::LeftButton : Qt::RightButton;
        sendMouse(knob, QEvent::MouseButtonPress, {5, 10}, first, held);
        QCOMPARE(knob->tag(), 75.0);
        QCOMPARE(spy.size(), 0); // a press alone sets no volume
        sendMouse(knob, QEvent::MouseMove, {6, 10}, Qt::NoButton, held);
        QCOMPARE(knob->leftTwips(), left);
        QCOMPARE(spy.size(), left == 720.0 ? 0 : 1);
    }
};

QTEST_MAIN(TestVolume)
#include "tst_volume.moc"

// The wheel control: one WheelRotate per wheel notification of the window, wherever it lands.
#include "fixtures/stand_in_form.h"
#include "layout/form_layout.h"
#include "layout/scrolling.h"
#include "layout/wheel_ctl.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

using namespace layout;

namespace {

struct Rotation {
    int delta, shift, x, y;
};

// The stand-in window with its wheel control hooked and connected to the scrolling, as the
// real window does at the end of its load.
struct Fixture {
    Fixture() : scrolling(form.controls()) {
        form.window()->resize(894, 300); // vertical maximum 3180
        Form_Resize(form.controls());
        wheel = new WheelCtl(form.window());
        QObject::connect(wheel, &WheelCtl::WheelRotate, &scrolling, &Scrolling::Wheel_WheelRotate);
        QObject::connect(wheel, &WheelCtl::WheelRotate, wheel,
                         [this](int& d, int& s, int& x, int& y) {
                             seen.push_back({d, s, x, y});
                         });
        form.window()->show();
        if (!QTest::qWaitForWindowExposed(form.window()))
            qFatal("the window never showed");
        wheel->hook(form.window());
    }
    int value() const { return form.controls().VScroll->value(); }
    testing::StandInForm form;
    Scrolling scrolling;
    WheelCtl* wheel = nullptr;
    std::vector<Rotation> seen;
};

QWheelEvent wheelAt(QPointF pos, QPointF global, QPoint angle) {
    return QWheelEvent(pos, global, QPoint(), angle, Qt::NoButton, Qt::ShiftModifier,
                       Qt::NoScrollPhase, false);
}

enum Via { Sent, FromPlatform, AltOnX11 };

// Sends a notch towards the user to `target`: either straight to it, as code may, or as the
// platform does, to the window at the place of the target, spontaneous and passed on to the
// parents of whatever leaves it unhandled; with Alt held, X11 hands it on sideways.
void notch(QWidget* target, int via, int angle = -120) {
    QWidget* window = target->window();
    const QPoint inWindow = target->mapTo(window, QPoint(2, 2));
    const QPoint global(1000 + inWindow.x(), 500 + inWindow.y());
    if (via != Sent) {
        const bool alt = via == AltOnX11;
        QWindowSystemInterface::handleWheelEvent(window->windowHandle(), inWindow, global, QPoint(),
                                                 alt ? QPoint(angle, 0) : QPoint(0, angle),
                                                 alt ? Qt::AltModifier : Qt::ShiftModifier);
        QWindowSystemInterface::flushWindowSystemEvents();
    } else {
        QWheelEvent e = wheelAt(QPoint(2, 2), global, QPoint(0, angle));
        QCoreApplication::sendEvent(target, &e);
    }
}

// Counts the wheel events that reach a widget after the hook has seen them.
struct Arrivals : QObject {
    explicit Arrivals(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Wheel)
            angles << static_cast<QWheelEvent*>(e)->angleDelta();
        return false;
    }
    QList<QPoint> angles;
};

} // namespace

class TestWheelCtl : public QObject {
    Q_OBJECT
private slots:
    void placedInvisibleAtTheCorner();
    void eachNotificationScrollsOnce_data();
    void eachNotificationScrollsOnce();
    void argumentsOfTheEvent();
    void eventGoesOnUnchanged();
    void successiveNotificationsEachCount_data();
    void successiveNotificationsEachCount();
    void otherEventsRaiseNothing();
    void otherWindowsAreNotHooked();
    void unhookTwiceAndDestroy();
};

void TestWheelCtl::placedInvisibleAtTheCorner() {
    QWidget window;
    auto* wheel = new WheelCtl(&window);
    window.show();
    QCOMPARE(wheel->geometry(), QRect(0, 0, 9, 9));
    QVERIFY(!wheel->isVisible());
}

void TestWheelCtl::eachNotificationScrollsOnce_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("via");
    for (int via : {Sent, FromPlatform, AltOnX11}) {
        const char* how = via == Sent           ? "sent"
                          : via == FromPlatform ? "from the platform"
                                                : "Alt held, from X11";
        for (const char* t : {"answer box", "play button", "header", "result label", "content",
                              "vertical bar", "horizontal bar", "window"})
            QTest::addRow("%s, %s", t, how) << QString::fromLatin1(t) << via;
    }
}

void TestWheelCtl::eachNotificationScrollsOnce() {
    QFETCH(QString, target);
    QFETCH(int, via);
    Fixture f;
    const FormControls& c = f.form.controls();
    const QHash<QString, QWidget*> targets{
        {"answer box", c.Txt[2]},      {"play button", c.Cmd[5]}, {"header", c.LblTitre},
        {"result label", c.Retour[4]}, {"content", c.ZoneP2},     {"vertical bar", c.VScroll},
        {"horizontal bar", c.HScroll}, {"window", c.form}};
    QWidget* w = targets.value(target);
    if (via != Sent && w == c.ZoneP2)
        w = c.Shape[1]; // the panels cover the content area
    notch(w, via);
    QCOMPARE(f.seen.size(), size_t(1));
    QCOMPARE(f.seen[0].delta, -120);
    QCOMPARE(f.value(), 300);
    QCOMPARE(c.HScroll->value(), 0);
    notch(w, via, 120);
    QCOMPARE(f.seen.size(), size_t(2));
    QCOMPARE(f.value(), 0);
}

void TestWheelCtl::argumentsOfTheEvent() {
    Fixture f;
    QWheelEvent e = wheelAt(QPointF(3, 4), QPointF(640.4, 480.6), QPoint(0, 240));
    QCoreApplication::sendEvent(f.form.txt(7), &e);
    QCOMPARE(f.seen.size(), size_t(1));
    QCOMPARE(f.seen[0].delta, 240); // away from the user: positive
    QCOMPARE(f.seen[0].shift, 0);   // whatever keys are held
    QCOMPARE(f.seen[0].x, 640);
    QCOMPARE(f.seen[0].y, 481);
}

void TestWheelCtl::eventGoesOnUnchanged() {
    Fixture f;
    Arrivals atBox(f.form.txt(1));
    Arrivals atPanel(f.form.controls().Shape[1]);
    notch(f.form.txt(1), true);
    QCOMPARE(atBox.angles, QList<QPoint>{QPoint(0, -120)});
    QCOMPARE(atPanel.angles, QList<QPoint>{QPoint(0, -120)}); // passed on by the box
    QCOMPARE(f.seen.size(), size_t(1));
}

// A new notification may come in the very same stack slot, with the same timestamp, as the
// one before; the bar keeps its notches to itself.
void TestWheelCtl::successiveNotificationsEachCount_data() {
    QTest::addColumn<bool>("fromPlatform");
    QTest::newRow("sent") << false;
    QTest::newRow("from the platform") << true;
}

void TestWheelCtl::successiveNotificationsEachCount() {
    QFETCH(bool, fromPlatform);
    Fixture f;
    const FormControls& c = f.form.controls();
    const std::array<QWidget*, 8> targets{c.form,   c.form,     c.VScroll, c.form,
                                          c.Txt[1], c.Shape[1], c.Txt[1],  c.ZoneT0};
    for (QWidget* w : targets)
        notch(w, fromPlatform);
    QCOMPARE(f.seen.size(), size_t(8));
    QCOMPARE(f.value(), 2400);
}

void TestWheelCtl::otherEventsRaiseNothing() {
    Fixture f;
    QWidget* box = f.form.txt(1);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &key);
    QTest::mouseClick(box, Qt::LeftButton);
    QWheelEvent sideways = wheelAt(QPointF(2, 2), QPointF(0, 0), QPoint(-120, 0));
    QCoreApplication::sendEvent(box, &sideways);
    QWheelEvent begin(QPointF(2, 2), QPointF(0, 0), QPoint(), QPoint(), Qt::NoButton,
                      Qt::NoModifier, Qt::ScrollBegin, false);
    QCoreApplication::sendEvent(box, &begin);
    notch(box, true, 0); // the platform layer turns this into two empty events
    // Under Alt, a touchpad's sideways swipe, or a turn measured in pixels, is no wheel.
    const QPointingDevice touchpad(
        QStringLiteral("touchpad"), 99, QInputDevice::DeviceType::TouchPad,
        QPointingDevice::PointerType::Finger, QInputDevice::Capability::Position, 2, 0);
    QWheelEvent swipe(QPointF(2, 2), QPointF(0, 0), QPoint(), QPoint(-120, 0), Qt::NoButton,
                      Qt::AltModifier, Qt::NoScrollPhase, false, Qt::MouseEventNotSynthesized,
                      &touchpad);
    QCoreApplication::sendEvent(box, &swipe);
    QWheelEvent pixels(QPointF(2, 2), QPointF(0, 0), QPoint(-12, 0), QPoint(-120, 0), Qt::NoButton,
                       Qt::AltModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(box, &pixels);
    QVERIFY(f.seen.empty());
    QCOMPARE(f.value(), 0);

    // A diagonal turn arrives as a vertical event and an empty one: a single step.
    const QPoint at = box->mapTo(f.form.window(), QPoint(2, 2));
    QWindowSystemInterface::handleWheelEvent(f.form.window()->windowHandle(), at, at, QPoint(),
                                             QPoint(-120, -120));
    QWindowSystemInterface::flushWindowSystemEvents();
    QCOMPARE(f.seen.size(), size_t(1));
    QCOMPARE(f.seen[0].delta, -120);
    QCOMPARE(f.value(), 300);
}

void TestWheelCtl::otherWindowsAreNotHooked() {
    Fixture f;
    QWidget other;
    auto* label = new QLabel(&other);
    other.show();
    notch(label, false);
    notch(label, true);
    QVERIFY(f.seen.empty());
}

void TestWheelCtl::unhookTwiceAndDestroy() {
    Fixture f;
    f.wheel->unHook();
    f.wheel->unHook();
    notch(f.form.txt(1), false);
    QVERIFY(f.seen.empty());

    f.wheel->hook(f.form.window());
    notch(f.form.txt(1), false);
    QCOMPARE(f.seen.size(), size_t(1));
    delete f.wheel; // unhooks on the way out
    f.wheel = nullptr;
    notch(f.form.txt(1), false);
    QCOMPARE(f.value(), 300);
}

QTEST_MAIN(TestWheelCtl)
#include "tst_wheel_ctl.moc"

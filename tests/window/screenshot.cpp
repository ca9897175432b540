// Shows the window maximised, at whatever scale factor it is given, and saves what the
// screen shows, in device pixels. Usage: window_screenshot <png>
// [<left png> [<right png> [<focused panel png>]]]
// (run under xvfb-run; see the screenshot and screenshot-scale2 targets)
#include "window/frm_dorlo.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <png> [<left png> [<right png> [<panel png>]]]\n", argv[0]);
        return 2;
    }
    QTemporaryDir folder;
    window::ProgramSettings settings = window::ProgramSettings::current();
    settings.folder = folder.path();
    settings.fallbackFolder = folder.path();
    settings.executableName = QStringLiteral("screenshot");
    window::FrmDorlo form(settings);

    // A game under way: two answers found, one close, one far.
    const std::pair<int, const char*> answers[] = {
        {1, "Pour Élise"}, {2, "La Marche turque"}, {4, "Le Beau Danub"}, {5, "La Carpe"}};
    for (const auto& [n, text] : answers) {
        form.Txt[n]->Tag = QString::fromUtf8(text);
        form.Txt[n]->setText(form.Txt[n]->Tag);
        form.Verifie(n);
    }

    form.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    form.showMaximized();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    QTest::qWait(300);
    // Without a window manager nothing activates the window; the focus would not show.
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    // Reached by Tab, as the player would: the style shows the focus after a key only.
    form.Txt[7]->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(form.Txt[7], Qt::Key_Tab);
    if (QApplication::focusWidget() != form.Cmd[8])
        std::fprintf(stderr, "the focus is not on the play button of question 8\n");
    QTest::qWait(100);
    const QPixmap shot = form.grab();
    bool saved = shot.save(QString::fromLocal8Bit(argv[1]));
    if (argc > 2) // the top-left and top-right corners, device pixels unscaled
        saved = saved && shot.copy(0, 0, 1000, 400).save(QString::fromLocal8Bit(argv[2]));
    if (argc > 3)
        saved = saved &&
                shot.copy(shot.width() - 1000, 0, 1000, 400).save(QString::fromLocal8Bit(argv[3]));
    if (argc > 4) { // the panel holding the focus
        const QRect panel(form.Shape[8]->mapTo(&form, QPoint()), form.Shape[8]->size());
        const qreal r = shot.devicePixelRatio();
        const QRect device =
            QRectF(QPointF(panel.topLeft()) * r, QSizeF(panel.size()) * r).toAlignedRect();
        saved = saved && shot.copy(device).save(QString::fromLocal8Bit(argv[4]));
    }
    for (int n = 1; n <= 30; ++n) // nothing of this is the player's
        form.Txt[n]->clear();
    std::fprintf(stderr, "%d x %d pixels, ratio %g\n", shot.width(), shot.height(),
                 shot.devicePixelRatio());
    return saved ? 0 : 1;
}

// Shows the window maximised on the screen it is given and saves what it shows.
// Usage: window_screenshot <png> [<header png>]   (run under xvfb-run; see the screenshot target)
#include "window/frm_dorlo.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <png>\n", argv[0]);
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
    form.Txt[6]->Tag = QStringLiteral("Le Lac");
    form.Txt[6]->setText(form.Txt[6]->Tag);

    form.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    form.showMaximized();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    QTest::qWait(300);
    form.Txt[6]->setFocus();
    QTest::qWait(100);
    const QPixmap shot = form.grab();
    bool saved = shot.save(QString::fromLocal8Bit(argv[1]));
    if (argc > 2) { // the header, enlarged three times, to judge the details
        const QRect screen = shot.rect();
        QPixmap header(1920, 600);
        QPainter p(&header);
        p.drawPixmap(QRect(0, 0, 1920, 300), shot, QRect(0, 0, 640, 100));
        p.drawPixmap(QRect(0, 300, 1920, 300), shot, QRect(screen.width() - 640, 0, 640, 100));
        p.end();
        saved = saved && header.save(QString::fromLocal8Bit(argv[2]));
    }
    for (int n = 1; n <= 30; ++n) // nothing of this is the player's
        form.Txt[n]->clear();
    return saved ? 0 : 1;
}

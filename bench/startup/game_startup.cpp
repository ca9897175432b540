// The game's own start-up, as its main runs it, ending once the window has been drawn:
// the quit then closes the window through the game's shutdown.
#include "playback/media_player.h"
#include "quit_after_paint.h"
#include "window/frm_dorlo.h"
#include "window/pictures.h"
#include "window/signal_close.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char* argv[]) {
    window::catchTerminationSignals();
    playback::selectMediaBackend();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dorlo-zidoduder-04"));
    QGuiApplication::setWindowIcon(window::pictures::windowIcon());

    window::FrmDorlo form;
    window::closeOnTerminationSignals(&form);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.saveAnswers(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Form_Unload(); });
    new bench::QuitAfterFirstPaint(&form);
    form.showMaximized();
    return app.exec();
}

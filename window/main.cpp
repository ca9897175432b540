// Dorlo Zidoduder 04: the game's one window.
#include "data/edition.h"
#include "playback/media_player.h"
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
    // The session may still be cancelled: keep the answers now, unload only on quitting.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.saveAnswers(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Form_Unload(); });
    form.showMaximized();
    return app.exec();
}

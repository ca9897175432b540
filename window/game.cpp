#include "window/game.h"

#include "window/frm_dorlo.h"
#include "window/pictures.h"
#include "window/signal_close.h"

#include <QApplication>
#include <QSessionManager>

namespace window {

int runGame(int argc, char* argv[], const std::function<void(FrmDorlo&)>& beforeShow) {
    catchTerminationSignals();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dorlo-zidoduder-04"));
    QGuiApplication::setWindowIcon(pictures::windowIcon());

    FrmDorlo form;
    closeOnTerminationSignals(&form);
    // The session may still be cancelled: keep the answers now, unload only on quitting.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.saveAnswers(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Form_Unload(); });
    if (beforeShow)
        beforeShow(form);
    form.showMaximized();
    return app.exec();
}

} // namespace window

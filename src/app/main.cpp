#include "ProductInfo.h"
#include "app/gui/window/Icons.h"
#include "app/gui/window/TfrmTresorin.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/ArgumentNames.h"
#include "platform/DisplayCheck.h"
#include "platform/NetworkClient.h"
#include "platform/ProcessHardening.h"
#include "platform/SafeFileWrite.h"
#include "update/TMajWeb.h"

#include <QApplication>
#include <QProxyStyle>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
// Hints show without delay.
class ImmediateHintStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
// Qt ends a process that cannot open its display with a fatal message about platform plugins.
// While the application is made, that message and the platform plugin's own complaints give way
// to one sentence a user can act on; everything else goes to Qt's usual output.
QtMessageHandler g_qtHandler = nullptr;

void startupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(NoDisplayMessage()));
        std::_Exit(1);
    }
    if (context.category && qstrncmp(context.category, "qt.qpa.", 7) == 0)
        return;
    g_qtHandler(type, context, text);
}

} // namespace

int main(int argc, char* argv[])
{
    KeepSecretsInProcess();
    if (DisplayMissing(QProcessEnvironment::systemEnvironment())) {
        std::fprintf(stderr, "%s\n", qPrintable(NoDisplayMessage()));
        return 1;
    }
    g_qtHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    platform::ignoreFileSizeSignal();
    // Before any thread can make a request.
    platform::NetworkClientReady();
    QApplication::setApplicationName(QStringLiteral("Tresorin"));
    QApplication::setApplicationVersion(QStringLiteral(TRESORIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tresorin"));
    QApplication::setStyle(new ImmediateHintStyle);
    QApplication::setWindowIcon(tresorinIcon(QStringLiteral("tresorin")));

    // QApplication has taken its own options out of argv. A name that does not keep its bytes
    // through Qt's text would open, or be saved as, another file: it is left out and refused
    // once the window can say so.
    const platform::CheckedArguments checked = platform::checkArguments(argc, argv);
    QStringList parameters = checked.kept;

    // The main window, which makes the six other windows, each once for the whole run.
    auto main = std::make_unique<TfrmTresorin>(parameters);

    // Another instance runs and was asked to come forward: this one ends at once.
    if (main->endRequested())
        return 0;

    // kill, Ctrl+C and the desktop's end of session close the window as Exit does.
    main->handleSessionEnd();
    main->show();
    main->activateWindow();
    // The refusal speaks the language the first activation loads: it waits for that (a few
    // seconds at most, in case the language could not be loaded).
    if (!checked.refused.isEmpty()) {
        auto* wait = new QTimer(main.get());
        wait->setInterval(100);
        QObject::connect(
            wait, &QTimer::timeout, main.get(), [wait, &main, refused = checked.refused, ticks = 0]() mutable {
                if (main->firstActivation() && ++ticks < 50)
                    return;
                wait->stop();
                wait->deleteLater();
                for (const QString& name : refused)
                    ShowMsg(FillPlaceholders(Msg(QStringLiteral("NomInvalide")), {name}), MsgKind::Error, MsgOK);
            });
        wait->start();
    }
    // Where the window system does not activate a new window, the start-up work is done anyway.
    QTimer::singleShot(500, main.get(), [&main] {
        if (main->firstActivation() && !main->isActiveWindow())
            main->FormActivate();
    });
    const int code = app.exec();
    // The windows go first: the main window writes the settings and tells running update checks
    // to stop.
    main.reset();
    // A check still waiting for its server is not waited for; the process ends without running
    // the libraries' exit handlers under its feet.
    if (TMajWeb::running() > 0) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

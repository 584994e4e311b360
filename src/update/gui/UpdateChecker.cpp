#include "update/gui/UpdateChecker.h"

#include "ProductInfo.h"
#include "document/gui/DocumentPipeline.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/OpenLink.h"
#include "settings/Settings.h"
#include "update/ProgramVersion.h"
#include "update/TMajWeb.h"
#include "update/UpdateCheck.h"

#include <QAction>

bool UpdateChecker::ClientMissingForTests = false;

UpdateChecker::UpdateChecker(Settings& settings, QAction* command, QObject* parent)
    : QObject(parent), m_settings(settings), m_command(command), m_programVersion(ProgramVersionText(CompiledVersion()))
{
}

UpdateChecker::~UpdateChecker()
{
    for (TMajWeb* worker : std::as_const(m_running)) {
        disconnect(worker, nullptr, this, nullptr);
        worker->requestInterruption();
        if (worker->isFinished())
            delete worker;
        else
            connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    }
}

void UpdateChecker::ActionMajWebExecute(bool silent)
{
    startCheck(silent, false);
}

void UpdateChecker::startCheck(bool silent, bool followUp)
{
    if (ClientMissingForTests || !TMajWeb::clientAvailable()) {
        if (!silent)
            ShowMsg(Msg(QStringLiteral("Wininet")), MsgKind::Error, MsgOK);
        return;
    }
    if (m_command)
        m_command->setEnabled(false);
    auto* worker = new TMajWeb(m_settings.updateUrl(), silent, Msg(QStringLiteral("NetError")));
    worker->FollowUp = followUp;
    m_running.append(worker);
    connect(worker, &QThread::finished, this, [this, worker] { UpdateCheckDone(worker); });
    worker->start();
}

void UpdateChecker::UpdateCheckDone(TMajWeb* worker)
{
    m_running.removeOne(worker);
    const auto done = [this, worker] {
        worker->deleteLater();
        emit checkDone();
    };
    if (m_command)
        m_command->setEnabled(true);

    if (!worker->ErrorText.isEmpty()) {
        if (!worker->Silent)
            ShowMsg(worker->ErrorText, MsgKind::Error, MsgOK);
        return done();
    }
    if (worker->Answer.isEmpty())
        return done();

    m_settings.LastCheck = QDateTime::currentDateTime();
    const UpdateDecision decision =
        DecideUpdate(worker->Answer, m_settings.updateUrl(), m_programVersion, !worker->FollowUp);
    switch (decision.kind) {
    case UpdateDecision::AskAgain:
        m_settings.UrlUpdate = decision.url;
        startCheck(false, true);
        break;
    case UpdateDecision::NewVersion:
        if (ShowMsg(FillPlaceholders(Msg(QStringLiteral("NewVersion")), {decision.version}), MsgKind::Information,
                    MsgYes | MsgNo) == MsgYes)
            OpenLink(QString::fromLatin1(kDownloadPageUrl));
        break;
    case UpdateDecision::NoNewVersion:
        if (!worker->Silent)
            ShowMsg(Msg(QStringLiteral("NoNewVersion")), MsgKind::Information, MsgOK);
        break;
    }
    done();
}

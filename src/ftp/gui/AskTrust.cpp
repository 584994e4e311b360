#include "ftp/gui/AskTrust.h"

#include "ftp/Synchronisation.h"
#include "ftp/TrustQuestion.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"

bool AskTrust(const TrustProblem& problem, QWidget* parent, const std::function<bool()>& stillWanted)
{
    if (!trustquestion::canBeAsked(problem))
        return false;
    if (ShowMsg(trustquestion::text(problem), MsgKind::Warning, MsgYes | MsgNo | MsgDefaultNo, parent) != MsgYes)
        return false;
    if (stillWanted && !stillWanted())
        return false;
    QString error;
    if (RecordTrust(problem, trustquestion::replacesPin(problem), &error))
        return true;
    ShowMsg(FillPlaceholders(Msg(QStringLiteral("TrustSaveError")), {error}), MsgKind::Error, MsgOK, parent);
    return false;
}

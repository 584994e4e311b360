#include "ftp/TrustQuestion.h"

#include "lang/LangTable.h"

namespace trustquestion {

bool canBeAsked(const TrustProblem& problem)
{
    switch (problem.kind) {
    case TrustProblem::UnknownCertificate:
    case TrustProblem::ChangedCertificate:
        return !problem.hostPort.isEmpty() && !problem.fingerprint.isEmpty();
    case TrustProblem::UnknownHostKey:
        return !problem.knownHostLine.isEmpty() && !problem.fingerprint.isEmpty();
    case TrustProblem::ChangedHostKey:
    case TrustProblem::None:
        break;
    }
    return false;
}

QString serverName(const TrustProblem& problem)
{
    if (problem.kind == TrustProblem::UnknownHostKey || problem.kind == TrustProblem::ChangedHostKey)
        return problem.knownHostLine.section(QLatin1Char(' '), 0, 0);
    return problem.hostPort;
}

QString text(const TrustProblem& problem)
{
    if (!canBeAsked(problem))
        return QString();
    const QString server = serverName(problem);
    switch (problem.kind) {
    case TrustProblem::UnknownCertificate:
        return FillPlaceholders(Msg(QStringLiteral("TrustAskCert")), {server, problem.fingerprint});
    case TrustProblem::ChangedCertificate:
        return FillPlaceholders(Msg(QStringLiteral("TrustAskChanged")), {server, problem.pinned, problem.fingerprint});
    case TrustProblem::UnknownHostKey:
        return FillPlaceholders(Msg(QStringLiteral("TrustAskHostKey")), {server, problem.fingerprint});
    default:
        break;
    }
    return QString();
}

} // namespace trustquestion

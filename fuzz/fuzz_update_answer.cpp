// Any answer of the update server (at most the bytes the check keeps): it is read into lines and
// a decision without fault, and the decision only ever names what the answer holds.
#include "FuzzInput.h"
#include "update/TMajWeb.h"
#include "update/UpdateCheck.h"

using fuzzinput::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer = fuzzinput::bytes(data, qMin<size_t>(size, TMajWeb::kMaxAnswer));
    const QStringList lines = AnswerLines(answer);
    for (const QString& line : lines)
        require(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')), "a line holds a line end");

    const QString currentUrl = QStringLiteral("http://127.0.0.1/maj.txt");
    const UpdateDecision decision = DecideUpdate(answer, currentUrl, QStringLiteral("1.0.0.0"));
    switch (decision.kind) {
    case UpdateDecision::AskAgain:
        require(!decision.url.isEmpty() && decision.url != currentUrl, "asks again for the same address");
        require(decision.url == ExpandUpdateUrl(AnswerValue(lines, QStringLiteral("URL"))), "an address not answered");
        break;
    case UpdateDecision::NewVersion:
        require(IsNewerVersion(decision.version, QStringLiteral("1.0.0.0")), "an older version offered");
        require(lines.contains(decision.version) || decision.version == AnswerValue(lines, QStringLiteral("Tresorin")),
                "a version not answered");
        break;
    case UpdateDecision::NoNewVersion:
        require(!IsNewerVersion(decision.version, QStringLiteral("1.0.0.0")), "a newer version not offered");
        break;
    }
    // The same answer read again decides the same.
    const UpdateDecision again = DecideUpdate(answer, currentUrl, QStringLiteral("1.0.0.0"));
    require(again.kind == decision.kind && again.url == decision.url && again.version == decision.version,
            "two decisions on one answer");
    return 0;
}

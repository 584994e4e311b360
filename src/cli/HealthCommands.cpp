#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "crypto/OneTimeCode.h"
#include "document/EntrySearch.h"
#include "generator/BreachList.h"
#include "generator/PasswordHealth.h"

#include <QDateTime>

#include <optional>

namespace {

const char kAnalyzeHelp[] =
    "Usage: tresorin-cli analyze [--hibp FILE] [--weak-below SCORE] [--older-than DAYS] DOCUMENT\n"
    "\n"
    "Reports the passwords of DOCUMENT to change, one finding per line: the kind, a tab, the group\n"
    "path (groups joined by \"/\"), a tab, the entry's name, a tab, a detail in words. Kinds:\n"
    "  weak      zxcvbn's score of the password below SCORE (2 by default: scores 0 and 1, fewer\n"
    "            than a million guesses by its estimate of an attacker who tries common passwords,\n"
    "            words, names, keyboard walks, dates and repeats first); the detail is that score\n"
    "            from 0 to 4 and the guesses; a password of the generator's default settings is not\n"
    "            weak;\n"
    "  reused    the same password in other entries, named in the detail;\n"
    "  old       not changed for more than DAYS days, 365 by default; the detail is its age;\n"
    "  empty     no password (an entry holding only notes, such as a card, is left out);\n"
    "  breached  with --hibp: the detail is how often the password was seen.\n"
    "FILE is the published list of breached passwords (SHA-1 hashes in order, HASH:COUNT lines); it\n"
    "is searched on this computer, never sent anywhere. Passwords are never printed.\n"
    "\n"
    "The meta password is read from the terminal, or as one line of standard input.\n"
    "Exit status: 0 no finding, 1 findings or failure, 2 wrong meta password.";

const char kTotpHelp[] =
    "Usage: tresorin-cli totp DOCUMENT TEXT\n"
    "\n"
    "Prints the current one-time code of the one entry of DOCUMENT that holds TEXT (as search finds\n"
    "entries) and has a code: a line \"otpauth://totp/...\" in its notes. The seconds the code stays\n"
    "valid go to standard error. When no entry or several entries have a code, they are listed on\n"
    "standard error instead.\n"
    "\n"
    "The meta password is read from the terminal, or as one line of standard input.\n"
    "Exit status: 0 code printed, 1 no single entry with a code or failure, 2 wrong meta password.";

} // namespace

int runAnalyze(const QStringList& args)
{
    const QString command = QStringLiteral("analyze");
    health::Options options;
    QString breachPath;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        std::optional<QString> inlineValue;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            inlineValue = arg.mid(arg.indexOf(u'=') + 1);
            arg = arg.left(arg.indexOf(u'='));
        }
        const auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            cli::printOut(QString::fromUtf8(kAnalyzeHelp));
            return ExitOk;
        }
        if (arg == QLatin1String("--hibp")) {
            const std::optional<QString> v = value();
            if (!v || v->isEmpty())
                return cli::fail(command, QStringLiteral("--hibp needs a file (see tresorin-cli analyze --help)"));
            breachPath = *v;
        } else if (arg == QLatin1String("--weak-below")) {
            const std::optional<QString> v = value();
            bool ok = false;
            options.weakBelow = v ? v->toInt(&ok) : 0;
            if (!ok || options.weakBelow < 0 || options.weakBelow > 5)
                return cli::fail(command, QStringLiteral("--weak-below needs a score from 0 to 5"));
        } else if (arg == QLatin1String("--older-than")) {
            const std::optional<QString> v = value();
            bool ok = false;
            options.olderThanDays = v ? v->toInt(&ok) : 0;
            if (!ok || options.olderThanDays < 0)
                return cli::fail(command, QStringLiteral("--older-than needs a number of days"));
        } else if (arg == QLatin1String("--")) {
            positional += args.mid(i + 1);
            break;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return cli::fail(command, QStringLiteral("unknown option %1 (see tresorin-cli analyze --help)").arg(arg));
        } else {
            positional << args[i];
        }
    }
    if (positional.size() != 1)
        return cli::fail(command, QStringLiteral("expected 1 argument (see tresorin-cli analyze --help)"));

    BreachList breaches;
    if (!breachPath.isEmpty()) {
        if (!breaches.open(breachPath))
            return cli::fail(command, breachPath + QStringLiteral(": ") + breaches.error());
        options.breaches = &breaches;
    }
    DocumentState doc;
    cli::MessagePrinter printer;
    if (const int status = cli::openDocument(command, positional[0], doc, printer); status != ExitOk)
        return status;
    QString error;
    const std::optional<std::vector<health::Finding>> findings = health::Analyze(doc, options, &error);
    if (!findings)
        return cli::fail(command, breachPath + QStringLiteral(": cannot be read as a list of breached passwords") +
                                      (error.isEmpty() ? QString() : QStringLiteral(" (") + error + QLatin1Char(')')));
    for (const health::Finding& f : *findings)
        cli::printOut(QStringList{health::KindName(f.kind), cli::oneLine(f.path), cli::oneLine(f.entry->Name),
                                  cli::oneLine(f.detail)}
                          .join(QLatin1Char('\t')));
    return findings->empty() ? ExitOk : ExitFailure;
}

int runTotp(const QStringList& args)
{
    const QString command = QStringLiteral("totp");
    cli::Arguments parsed;
    if (const int status = cli::prepareCommand(command, args, kTotpHelp, {}, 2, parsed); status >= 0)
        return status;
    const QString filter = entrysearch::FilterText(parsed.positional[1]);
    if (filter.isEmpty())
        return cli::fail(command, QStringLiteral("the search text is empty"));
    DocumentState doc;
    cli::MessagePrinter printer;
    if (const int status = cli::openDocument(command, parsed.positional[0], doc, printer); status != ExitOk)
        return status;
    const entrysearch::Result result = entrysearch::Search(doc, filter);
    QStringList withCode;
    std::optional<otp::Parameters> only;
    for (size_t i = 0; i < result.entries.size(); ++i) {
        if (std::optional<otp::Parameters> p = otp::FindInNotes(result.entries[i]->Notes)) {
            withCode << cli::oneLine(result.paths[qsizetype(i)]) + QLatin1Char('\t') +
                            cli::oneLine(result.entries[i]->Name);
            only = std::move(p);
        }
    }
    if (withCode.size() != 1) {
        if (withCode.isEmpty())
            return cli::fail(
                command,
                QStringLiteral("no entry holding \"%1\" has a one-time code").arg(cli::oneLine(parsed.positional[1])));
        cli::printErr(QStringLiteral("tresorin-cli totp: %1 entries hold \"%2\" and have a one-time code:")
                          .arg(withCode.size())
                          .arg(cli::oneLine(parsed.positional[1])));
        for (const QString& line : withCode)
            cli::printErr(line);
        return ExitFailure;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    cli::printOut(otp::Totp(*only, now));
    cli::printErr(QStringLiteral("valid for %1 s").arg(otp::SecondsLeft(*only, now)));
    return ExitOk;
}

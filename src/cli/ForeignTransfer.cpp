#include "cli/ForeignTransfer.h"

#include "cli/CliSupport.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentJson.h"
#include "document/EntryIdentity.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"
#include "lang/LangTable.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

// Straight to the descriptor in the pieces given: no copy of the whole text, and none of it left
// behind in stdio's buffers.
bool writeStdout(const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Lists the fields that hold characters a document cannot store; true when the import may go on.
bool reportUnstorable(const QString& command, const QString& source, const std::vector<foreign::Unstorable>& found,
                      bool lossy)
{
    if (found.empty())
        return true;
    for (const foreign::Unstorable& u : found)
        printErr(QStringLiteral("tresorin-cli %1: %2%3")
                     .arg(command, lossy ? QStringLiteral("note: ") : QString(), foreign::describe(u, lossy)));
    if (lossy)
        return true;
    fail(command, QStringLiteral("%1: %2 characters a document cannot store (listed above); "
                                 "--lossy replaces each of them by \"?\"")
                      .arg(source, MsgCount(QStringLiteral("ChampsTiennent"), qint64(found.size()))));
    return false;
}

void reportClampedDates(const QString& command, int clamped)
{
    if (clamped > 0)
        printErr(QStringLiteral("tresorin-cli %1: note: ").arg(command) +
                 MsgCount(QStringLiteral("DatesFutures"), clamped));
}

// Lists what the import leaves out of the source; true when it may go on: nothing that needs the
// user's word was lost (the recycle bin alone is a note), or lossy gives it.
bool reportLosses(const QString& command, const QString& source, const foreign::ImportedData& data, bool lossy)
{
    const bool mustAgree = foreign::losesSomething(data);
    for (const QString& line : foreign::describeLosses(data))
        printErr(QStringLiteral("tresorin-cli %1: %2%3")
                     .arg(command, lossy || !mustAgree ? QStringLiteral("note: ") : QString(), terminalText(line)));
    if (!mustAgree || lossy)
        return true;
    fail(command, QStringLiteral("%1: %2 (listed above); --lossy imports what is left")
                      .arg(source, data.entries.empty() ? QStringLiteral("no entry of it can be imported")
                                                        : QStringLiteral("parts of it have no place in a document")));
    return false;
}

} // namespace

bool takeValueOption(QStringList& args, const QString& option, QString& value, QString& error)
{
    bool seen = false;
    const QString prefix = option + QLatin1Char('=');
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--"))
            break;
        QString given;
        if (args[i] == option) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(option);
                return false;
            }
            given = args[i + 1];
            args.remove(i, 2);
        } else if (args[i].startsWith(prefix)) {
            given = args[i].mid(prefix.size());
            args.remove(i, 1);
        } else {
            continue;
        }
        if (seen) {
            error = QStringLiteral("%1 given twice").arg(option);
            return false;
        }
        seen = true;
        value = given;
        --i;
    }
    return true;
}

int importSource(const QString& command, const QString& source, const QString& formatName, bool lossy,
                 DocumentState& doc)
{
    foreign::Format format = foreign::Format::Json;
    if (!formatName.isEmpty() && !foreign::formatFromName(formatName, format))
        return fail(command,
                    QStringLiteral("unknown format \"%1\" (json, keepass-xml, csv or bitwarden-json)").arg(formatName));
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return fail(command, QStringLiteral("%1: %2").arg(source, file.errorString()));
    SecureBytes bytes(file.readAll());
    if (file.error() != QFileDevice::NoError)
        return fail(command, QStringLiteral("%1: %2").arg(source, file.errorString()));
    file.close();
    if (formatName.isEmpty())
        format = foreign::detectFormat(bytes.bytes());

    if (format == foreign::Format::Json) {
        // Our own export makes the document it describes, header included, as it always has.
        if (foreign::wideText(bytes.bytes())) {
            SecureBytes utf8;
            if (!foreign::wideTextAsUtf8(bytes.bytes(), utf8.bytes()))
                return fail(command, QStringLiteral("%1: not valid UTF-16 or UTF-32 text").arg(source));
            bytes = std::move(utf8);
        }
        QString error;
        if (!docjson::fromJson(bytes.bytes(), doc, &error))
            return fail(command, QStringLiteral("%1: %2").arg(source, terminalText(error)));
        bytes.clear();
        if (!reportUnstorable(command, source, foreign::findUnstorable(doc, lossy), lossy))
            return ExitFailure;
        // The entries are made here: a date in the future or an identity held twice is not kept.
        const DateTime now = datetime::now();
        reportClampedDates(command, identity::clampFutureDates(doc, now));
        identity::makeIdentitiesFresh(doc, 0, now);
        return ExitOk;
    }

    foreign::ImportedData data;
    foreign::ImportError error;
    if (!foreign::readForeign(bytes.bytes(), format, Msg(QStringLiteral("Element")), data, error))
        return fail(
            command,
            QStringLiteral("%1: %2 (read as %3)").arg(source, terminalText(error.text()), foreign::formatName(format)));
    bytes.clear();
    if (!reportLosses(command, source, data, lossy))
        return ExitFailure;
    if (!reportUnstorable(command, source, foreign::findUnstorable(data, lossy), lossy))
        return ExitFailure;
    // The source's own root ("Passwords", "Root") is no group of the user's.
    foreign::dropSourceRoot(data);
    reportClampedDates(command,
                       foreign::addImported(data, doc, nullptr, QFileInfo(source).completeBaseName()).datesClamped);
    return ExitOk;
}

int exportDocument(const QString& command, const DocumentState& doc, const QString& formatName)
{
    std::fflush(stdout);
    if (formatName.isEmpty() || formatName == QLatin1String("json")) {
        if (!docjson::writeJson(doc, writeStdout))
            return fail(command, QStringLiteral("cannot write to standard output"));
        printErr(QStringLiteral("tresorin-cli %1: %2 and %3 exported to standard output (json)")
                     .arg(command, MsgCount(QStringLiteral("NbElements"), doc.entryCount()),
                          MsgCount(QStringLiteral("NbGroupes"), doc.groupCount())));
        return ExitOk;
    }
    foreign::ExportFormat format;
    if (formatName == QLatin1String("csv"))
        format = foreign::ExportFormat::Csv;
    else if (formatName == QLatin1String("keepass-xml"))
        format = foreign::ExportFormat::KeePassXml;
    else
        return fail(command, QStringLiteral("unknown format \"%1\" (json, csv or keepass-xml)").arg(formatName));
    const foreign::ExportResult r = foreign::writeExport(doc, format, writeStdout);
    if (!r.ok)
        return fail(command, QStringLiteral("cannot write to standard output"));
    if (r.droppedCharacters > 0)
        printErr(QStringLiteral("tresorin-cli %1: note: %2")
                     .arg(command, MsgCount(QStringLiteral("ExportControles"), r.droppedCharacters)));
    printErr(QStringLiteral("tresorin-cli %1: %2 exported to standard output (%3)")
                 .arg(command, MsgCount(QStringLiteral("NbElements"), r.entries), formatName));
    return ExitOk;
}

} // namespace cli

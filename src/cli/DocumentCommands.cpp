#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/ForeignTransfer.h"
#include "cli/ProtectionOptions.h"
#include "document/DocumentJson.h"
#include "ftp/Synchronisation.h"
#include "lang/LangTable.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

const char kExportHelp[] =
    "Usage: tresorin-cli export [--to json|csv|keepass-xml] FILE\n"
    "\n"
    "Prints the document FILE on standard output (UTF-8), every password in clear.\n"
    "\n"
    "  --to json         (the default) the whole document:\n"
    "  {\"header\": {\"formatVersion\", \"saveCount\", \"saveDate\", \"createDate\", \"reserved1\",\n"
    "              \"reserved2\", \"syncOn\", \"useFtpEntry\", \"serverName\", \"portNumber\",\n"
    "              \"passiveMode\", \"remotePath\", \"userName\", \"userPassword\"},\n"
    "   \"groups\": [{\"name\", \"parent\"}],\n"
    "   \"entries\": [{\"group\", \"name\", \"login\", \"password\", \"webAddress\", \"notes\",\n"
    "                \"created\", \"modifiedAt\", \"isFtpEntry\"}]}\n"
    "Groups are in document order, a group before its children; \"parent\" is the index of the\n"
    "parent group in \"groups\", or null. \"group\" is the index of the entry's group, or null.\n"
    "Dates are day counts since 30 December 1899 (0: not recorded).\n"
    "  --to csv          KeePassXC's CSV columns: Group,Title,Username,Password,URL,Notes,TOTP,\n"
    "                    Icon,Last Modified,Created. A field that starts with =, +, -, @, a tab or a\n"
    "                    carriage return gets a ' in front, so that no spreadsheet runs it as a\n"
    "                    formula; import takes it away again from the files export wrote\n"
    "  --to keepass-xml  KeePass 2 XML, which KeePass and KeePassXC import\n"
    "For CSV and XML a document of one top-level group holding every entry is written with that\n"
    "group as the root; any other under a root named \"Root\". A notes line \"TOTP: otpauth://...\"\n"
    "goes to the TOTP column (the \"otp\" field in XML).\n"
    "\n"
    "The meta password is read from the terminal, or as one line of standard input.\n"
    "Exit status: 0 done, 1 failure, 2 wrong meta password.";

const char kImportHelp[] =
    "Usage: tresorin-cli import [--force] [--from json|keepass-xml|csv|bitwarden-json] [--lossy]\n"
    "                           [--strong|--compatible] [--kdf-memory MIB] [--kdf-passes N]\n"
    "                           SOURCE OUT.pass\n"
    "\n"
    "Makes the document OUT.pass from the file SOURCE, whose format its content shows unless --from\n"
    "names it:\n"
    "  json            the shape that export prints. The header may be left out (new document\n"
    "                  values), and so may any field (empty, 0, false or null); unknown fields are\n"
    "                  errors. A group's parent must come before it in \"groups\".\n"
    "  keepass-xml     KeePass 2 XML (the XML export of KeePass and KeePassXC): the groups with\n"
    "                  their entries; other fields, tags and TOTP settings as \"Name: value\" lines\n"
    "                  of the notes; the recycle bin and the entries' history are left out.\n"
    "  csv             a CSV export with its header line: KeePassXC, Chrome, Edge, Firefox,\n"
    "                  Bitwarden, LastPass, or any with a password column and a name, title or url\n"
    "                  column. Columns of no field of ours go to the notes as \"Column: value\".\n"
    "  bitwarden-json  Bitwarden's unencrypted JSON export: folders become groups.\n"
    "Entries of another manager that belong to no group go into a group named after SOURCE. A TOTP\n"
    "secret becomes a notes line \"TOTP: otpauth://totp/...\". A malformed file is refused with the\n"
    "line and column of the fault, and nothing is written.\n"
    "\n"
    "A document stores text in Windows-1252. A field holding any other character refuses the\n"
    "import, each such field listed on standard error; with --lossy each such character becomes\n"
    "\"?\" and every replacement is listed. Parts of SOURCE a document has no place for\n"
    "(attachments, values that are no text) refuse the import too, each listed, and so does a\n"
    "SOURCE none of whose entries can be imported: --lossy imports what is left. Encrypted exports\n"
    "are refused.\n"
    "\n"
    "The new meta password is asked twice (two lines of standard input when it is not a\n"
    "terminal); it must not be empty nor longer than 50 characters, as in the window. The\n"
    "save is counted: the save counter grows by one.\n"
    "\n"
    "  --force             replace OUT.pass when it exists\n"
    "%1"
    "Without --strong the document is written in the compatible format.\n"
    "\n"
    "Exit status: 0 done, 1 failure (nothing is written).";

const char kInfoHelp[] = "Usage: tresorin-cli info FILE\n"
                         "\n"
                         "Prints the properties of the document FILE, one per line, as the file properties window\n"
                         "shows them (the FTP password only as Yes or No). \"Version\" is the save counter, the\n"
                         "number of counted saves; \"Format\" is the format version the file was written in;\n"
                         "\"Protection\" the container: compatible, or strong with its key derivation's cost.\n"
                         "The meta password is read from the terminal, or as one line of standard input.\n"
                         "Exit status: 0 done, 1 failure, 2 wrong meta password.";

const char kPasswdHelp[] =
    "Usage: tresorin-cli passwd [--strong|--compatible] [--kdf-memory MIB] [--kdf-passes N] FILE\n"
    "\n"
    "Changes the meta password of the document FILE: asks the current password, then the new one\n"
    "twice (three lines of standard input when it is not a terminal; the new one must not be empty\n"
    "nor longer than 50 characters, as in the window), and rewrites the file under the new\n"
    "password in one step. The save counter does not change. A document whose reading\n"
    "found damage (a message, or a header it could not read) is left alone: open it in Tresorin\n"
    "and save it there. The FTP copy of a synchronised document is not changed: it keeps the\n"
    "old meta password until the document is saved in Tresorin.\n"
    "Without an option the document keeps its protection; with one it is rewritten in it (type\n"
    "the same password again to change only the protection):\n"
    "%1"
    "Exit status: 0 done, 1 failure (the file is unchanged), 2 wrong meta password.";

} // namespace

int runExport(const QStringList& args)
{
    const QString command = QStringLiteral("export");
    QStringList rest = args;
    QString format;
    QString error;
    if (!cli::takeValueOption(rest, QStringLiteral("--to"), format, error))
        return cli::fail(command, error + QStringLiteral(" (see tresorin-cli export --help)"));
    cli::Arguments parsed;
    if (const int status = cli::prepareCommand(command, rest, kExportHelp, {}, 1, parsed); status >= 0)
        return status;
    DocumentState doc;
    cli::MessagePrinter printer;
    if (const int status = cli::openDocument(command, parsed.positional[0], doc, printer); status != ExitOk)
        return status;
    return cli::exportDocument(command, doc, format);
}

int runImport(const QStringList& args)
{
    const QString command = QStringLiteral("import");
    const QByteArray help = QString::fromUtf8(kImportHelp).arg(QString::fromUtf8(cli::kProtectionHelp)).toUtf8();
    QStringList rest = args;
    cli::ProtectionChoice protection;
    QString optionError;
    if (!cli::takeProtectionOptions(rest, protection, optionError) && !rest.contains(QLatin1String("--help")) &&
        !rest.contains(QLatin1String("-h")))
        return cli::fail(command, optionError + QStringLiteral(" (see tresorin-cli import --help)"));
    QString format;
    QString error;
    if (!cli::takeValueOption(rest, QStringLiteral("--from"), format, error))
        return cli::fail(command, error + QStringLiteral(" (see tresorin-cli import --help)"));
    cli::Arguments parsed;
    if (const int status = cli::prepareCommand(command, rest, help.constData(),
                                               {QStringLiteral("--force"), QStringLiteral("--lossy")}, 2, parsed);
        status >= 0)
        return status;
    const QString sourcePath = parsed.positional[0];
    const QString outPath = parsed.positional[1];
    // A link whose target is missing counts as an existing file: writing through it would create
    // a file elsewhere.
    const QFileInfo outInfo(outPath);
    if ((outInfo.exists() || outInfo.isSymLink()) && !parsed.has("--force"))
        return cli::fail(command, QStringLiteral("%1 exists; use --force to replace it").arg(outPath));

    DocumentState doc;
    if (const int status = cli::importSource(command, sourcePath, format, parsed.has("--lossy"), doc); status != ExitOk)
        return status;

    if (!cli::readNewPassword(doc.MetaPassword, error))
        return cli::fail(command, error);
    cli::applyProtection(doc, protection);
    const docfile::WriteResult w = docfile::saveFile(doc, outPath, true);
    if (!w.ok)
        return cli::fail(command, QStringLiteral("%1: %2").arg(outPath, cli::failureText(w.error, w.outOfMemory)));
    cli::printErr(QStringLiteral("tresorin-cli import: %1 and %2 imported from %3 into the new document %4")
                      .arg(MsgCount(QStringLiteral("NbElements"), doc.entryCount()),
                           MsgCount(QStringLiteral("NbGroupes"), doc.groupCount()), cli::oneLine(sourcePath),
                           cli::oneLine(outPath)));
    return ExitOk;
}

int runInfo(const QStringList& args)
{
    const QString command = QStringLiteral("info");
    cli::Arguments parsed;
    if (const int status = cli::prepareCommand(command, args, kInfoHelp, {}, 1, parsed); status >= 0)
        return status;
    DocumentState doc;
    cli::MessagePrinter printer;
    if (const int status = cli::openDocument(command, parsed.positional[0], doc, printer); status != ExitOk)
        return status;

    // The rows and defaults of the file properties window, local column.
    for (const PropertyRow& row : FileProperties(doc.LocalDoc, nullptr))
        cli::printOut(Msg(row.key) + QLatin1Char(':') +
                      (row.local.isEmpty() ? QString() : QLatin1Char(' ') + cli::oneLine(row.local)));
    cli::printOut(QStringLiteral("Protection: ") + cli::protectionText(doc.LocalDoc.Protection));
    return ExitOk;
}

int runPasswd(const QStringList& args)
{
    const QString command = QStringLiteral("passwd");
    const QByteArray help = QString::fromUtf8(kPasswdHelp).arg(QString::fromUtf8(cli::kProtectionHelp)).toUtf8();
    QStringList rest = args;
    cli::ProtectionChoice protection;
    QString optionError;
    if (!cli::takeProtectionOptions(rest, protection, optionError) && !rest.contains(QLatin1String("--help")) &&
        !rest.contains(QLatin1String("-h")))
        return cli::fail(command, optionError + QStringLiteral(" (see tresorin-cli passwd --help)"));
    cli::Arguments parsed;
    if (const int status = cli::prepareCommand(command, rest, help.constData(), {}, 1, parsed); status >= 0)
        return status;
    const QString path = parsed.positional[0];
    DocumentState doc;
    if (const int status = cli::openDocumentWhole(command, path, doc, QStringLiteral("not rewritten"));
        status != ExitOk)
        return status;

    QString error;
    if (!cli::readNewPassword(doc.MetaPassword, error))
        return cli::fail(command, error);
    cli::applyProtection(doc, protection);
    const docfile::WriteResult w = docfile::saveFile(doc, path, false);
    if (!w.ok)
        return cli::fail(command, QStringLiteral("%1: %2").arg(path, cli::failureText(w.error, w.outOfMemory)));
    // Only a save in the window uploads the synchronisation copy; until then Tresorin cannot
    // decipher the copy it downloads after opening this file.
    if (doc.LocalDoc.SyncOn)
        cli::printErr(QStringLiteral("tresorin-cli passwd: note: %1 is synchronised with an FTP copy, which keeps the "
                                     "old meta password until the document is saved in Tresorin")
                          .arg(path));
    return ExitOk;
}

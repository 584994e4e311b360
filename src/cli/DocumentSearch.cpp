#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "document/EntrySearch.h"

namespace {

const char kSearchHelp[] =
    "Usage: tresorin-cli search [--show-passwords] FILE TEXT\n"
    "\n"
    "Prints every entry of the document FILE that holds TEXT in its name, login, password, web\n"
    "address or notes, as the search of the window finds them: only the letters A to Z match\n"
    "whatever their case (\"bank\" finds \"BANK\", \"e\" with an accent does not find its capital).\n"
    "One line per entry, in document order: the group path (group names from the top down,\n"
    "joined by backslashes), a tab, the name, a tab, the login, a tab, the web address.\n"
    "Tabs and line breaks inside a field are printed as spaces, every other control character\n"
    "as a visible escape (\\x1b), so that no field can act on the terminal.\n"
    "\n"
    "  --show-passwords   add the password as a fifth column\n"
    "\n"
    "The meta password is read from the terminal, or as one line of standard input.\n"
    "Exit status: 0 entries found, 1 none found or failure, 2 wrong meta password.";

} // namespace

int runSearch(const QStringList& args)
{
    const QString command = QStringLiteral("search");
    cli::Arguments parsed;
    if (const int status =
            cli::prepareCommand(command, args, kSearchHelp, {QStringLiteral("--show-passwords")}, 2, parsed);
        status >= 0)
        return status;
    const QString filter = entrysearch::FilterText(parsed.positional[1]);
    if (filter.isEmpty())
        return cli::fail(command, QStringLiteral("the search text is empty"));
    DocumentState doc;
    cli::MessagePrinter printer;
    if (const int status = cli::openDocument(command, parsed.positional[0], doc, printer); status != ExitOk)
        return status;
    const bool showPasswords = parsed.has("--show-passwords");
    const entrysearch::Result result = entrysearch::Search(doc, filter);
    for (size_t i = 0; i < result.entries.size(); ++i) {
        const TFeuille& e = *result.entries[i];
        QStringList columns{cli::oneLine(result.paths[static_cast<qsizetype>(i)]), cli::oneLine(e.Name),
                            cli::oneLine(e.Login), cli::oneLine(e.WebAddress)};
        if (showPasswords)
            columns.append(cli::oneLine(e.Password));
        cli::printOut(columns.join(QLatin1Char('\t')));
    }
    return result.entries.empty() ? ExitFailure : ExitOk;
}

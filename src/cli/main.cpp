// tresorin-cli: the document core on the command line, for scripts and for checking files
// without the window.

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "lang/LangTable.h"

#include <QCoreApplication>

#include <new>

namespace {

struct Command
{
    const char* name;
    int (*run)(const QStringList& args);
    const char* synopsis;
};

// Every command of the tool; a new one is one line here and its run function.
const Command kCommands[] = {
    {"export", runExport, "export FILE             print the document FILE as JSON"},
    {"import", runImport,
     "import [--force] JSON OUT.pass\n"
     "                          make the document OUT.pass from JSON"},
    {"info", runInfo, "info FILE               print the properties of the document FILE"},
    {"passwd", runPasswd, "passwd FILE             change the meta password of the document FILE"},
    {"generate", runGenerate,
     "generate [--length N] [--upper] [--lower] [--digits] [--accented] [--special]\n"
     "           [--custom CHARS] [--first-letter] [--count K]\n"
     "                          print random passwords, each with a tab and its score"},
};

QString usage()
{
    QString text = QStringLiteral("Usage: tresorin-cli COMMAND [ARGUMENTS]\n"
                                  "       tresorin-cli COMMAND --help\n"
                                  "       tresorin-cli --version\n"
                                  "\n"
                                  "Commands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  ") + QString::fromUtf8(c.synopsis) + QLatin1Char('\n');
    text += QStringLiteral("\n"
                           "Passwords are read from the terminal without echo or, when standard input is not a\n"
                           "terminal, one per line from standard input.\n"
                           "Exit status: 0 done, 1 failure, 2 wrong meta password.");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tresorin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRESORIN_VERSION));

    QString error;
    if (!LoadLangTable(QStringLiteral("US"), &error)) {
        cli::printErr(QStringLiteral("tresorin-cli: %1").arg(error));
        return ExitFailure;
    }

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        cli::printErr(usage());
        return ExitFailure;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        cli::printOut(usage());
        return ExitOk;
    }
    if (name == QLatin1String("--version")) {
        cli::printOut(QStringLiteral("tresorin-cli %1").arg(QCoreApplication::applicationVersion()));
        return ExitOk;
    }
    for (const Command& c : kCommands) {
        if (name != QLatin1String(c.name))
            continue;
        // The commands turn a shortage of memory into this message where they can say more; any
        // other allocation that fails ends here, before anything is written.
        try {
            return c.run(args);
        } catch (const std::bad_alloc&) {
            return cli::fail(name, cli::messageLine(QStringLiteral("Memoire")));
        }
    }
    cli::printErr(QStringLiteral("tresorin-cli: unknown command \"%1\"\n\n%2").arg(name, usage()));
    return ExitFailure;
}

// tresorin-cli: the document core on the command line, for scripts and for checking files
// without the window.

#include "ProductInfo.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "lang/LangTable.h"
#include "platform/ArgumentNames.h"
#include "platform/ProcessHardening.h"
#include "platform/SafeFileWrite.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Command
{
    const char* name;
    int (*run)(const QStringList& args);
    const char* synopsis;
};

// Every command of the tool; a new one is one line here and its run function.
const Command kCommands[] = {
    {"export", runExport,
     "export [--to json|csv|keepass-xml] FILE\n"
     "                          print the document FILE as JSON, CSV or KeePass 2 XML"},
    {"import", runImport,
     "import [--force] [--from json|keepass-xml|csv|bitwarden-json] [--lossy]\n"
     "       [--strong|--compatible] SOURCE OUT.pass\n"
     "                          make the document OUT.pass from our JSON or another manager's export"},
    {"info", runInfo, "info FILE               print the properties of the document FILE"},
    {"passwd", runPasswd,
     "passwd [--strong|--compatible] FILE\n"
     "                          change the meta password (and protection) of the document FILE"},
    {"search", runSearch,
     "search [--show-passwords] FILE TEXT\n"
     "                          print the entries of FILE that hold TEXT, one per line"},
    {"analyze", runAnalyze,
     "analyze [--hibp FILE] [--weak-below SCORE] [--older-than DAYS] DOCUMENT\n"
     "                          print the weak, reused, old, empty and breached passwords"},
    {"totp", runTotp, "totp DOCUMENT TEXT      print the one-time code of the entry of DOCUMENT holding TEXT"},
    {"generate", runGenerate,
     "generate [--length N] [--upper] [--lower] [--digits] [--accented] [--special]\n"
     "           [--custom CHARS] [--first-letter] [--count K]\n"
     "                          print random passwords, each with a tab and its score"},
    {"sync", runSync,
     "sync [--merge] [--trust FINGERPRINT] FILE\n"
     "                          synchronise FILE with its copy on the server"},
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
                           "Exit status: 0 done, 1 failure, 2 wrong meta password (search, totp: 1 also when\n"
                           "nothing is found; analyze: 1 also when it finds a password to change).");
    return text;
}

// Reading a large document touches a hundred megabytes of fresh memory, and on virtual machines
// the page faults cost about as much as the reading itself. glibc backs its heap with huge pages
// (a 512th of the faults) when asked, but takes that only from the environment at start: the tool
// starts itself again once, asking for it. Nothing has been read yet; when the start fails, it goes
// on as it is. Small documents are left alone: for them a second start costs more than it saves.
void restartWithHugePages(int argc, char** argv)
{
    bool large = false;
    for (int i = 1; i < argc && !large; ++i) {
        struct stat info
        {
        };
        large = stat(argv[i], &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 4 * 1024 * 1024;
    }
    if (!large)
        return;
    constexpr const char* kTunable = "glibc.malloc.hugetlb=1";
    const char* current = std::getenv("GLIBC_TUNABLES");
    if (current && std::strstr(current, "glibc.malloc.hugetlb"))
        return;
    const bool had = current != nullptr;
    const std::string previous = had ? current : "";
    const std::string tunables = previous.empty() ? std::string(kTunable) : previous + ":" + kTunable;
    if (setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    if (had)
        setenv("GLIBC_TUNABLES", previous.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}

} // namespace

int main(int argc, char** argv)
{
    KeepSecretsInProcess();
    // A name Qt cannot give back byte for byte would be opened, or written, as another file.
    const platform::CheckedArguments checked = platform::checkArguments(argc, argv);
    if (!checked.refused.isEmpty()) {
        for (const QString& shown : checked.refused)
            cli::printErr(QStringLiteral("tresorin-cli: \"%1\" is not valid UTF-8 text: a file of this name cannot be "
                                         "opened nor written (rename it)")
                              .arg(shown));
        return ExitFailure;
    }
    restartWithHugePages(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tresorin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRESORIN_VERSION));
    platform::ignoreFileSizeSignal();

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

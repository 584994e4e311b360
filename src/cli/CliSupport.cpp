#include "cli/CliSupport.h"

#include "crypto/SecureBytes.h"
#include "lang/LangTable.h"
#include "platform/Win1252.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

constexpr qsizetype kMaxPasswordLine = 4096;

void writeLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = terminalText(text, true).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// The terminal settings to put back when a signal ends the process while echo is off; without
// this an interrupted password prompt would leave the user's terminal silent.
termios g_savedTerminal{};
volatile sig_atomic_t g_echoIsOff = 0;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreTerminalAndDie(int signalNumber)
{
    if (g_echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Turns the terminal's echo off (line ends still echo) and restores it when it goes out of scope
// or when a signal ends the process meanwhile.
class EchoOff
{
public:
    EchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0)
            return;
        struct sigaction action
        {
        };
        action.sa_handler = restoreTerminalAndDie;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            sigaction(kEndingSignals[i], &action, &m_previous[i]);
        m_handlersSet = true;

        termios quiet = g_savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        g_echoIsOff = 1;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0)
            g_echoIsOff = 0;
    }
    ~EchoOff()
    {
        if (g_echoIsOff)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
        g_echoIsOff = 0;
        if (m_handlersSet)
            for (size_t i = 0; i < std::size(kEndingSignals); ++i)
                sigaction(kEndingSignals[i], &m_previous[i], nullptr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    struct sigaction m_previous[std::size(kEndingSignals)]{};
    bool m_handlersSet = false;
};

// Reads up to a line feed straight from the descriptor, so that nothing past this line is
// buffered away from the next password read.
bool readLineFromStdin(SecureBytes& line, QString& error)
{
    line.bytes().reserve(kMaxPasswordLine + 1);
    bool any = false;
    for (;;) {
        char c;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = QStringLiteral("cannot read the password: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        if (n == 0)
            break;
        any = true;
        if (c == '\n')
            break;
        if (line.size() >= kMaxPasswordLine) {
            error = QStringLiteral("password line too long");
            return false;
        }
        line.bytes().append(c);
    }
    if (!any) {
        error = QStringLiteral("no password on standard input");
        return false;
    }
    if (line.bytes().endsWith('\r'))
        line.bytes().chop(1);
    return true;
}

bool isBidiControl(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString terminalText(const QString& text, bool keepLayout)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (keepLayout && (c == u'\n' || c == u'\t')) {
            out += QChar(c);
        } else if (keepLayout && c == u'\r' && i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
            continue; // the line feed that follows ends the line
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        } else if (isBidiControl(c)) {
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        } else {
            out += QChar(c);
        }
    }
    return out;
}

void printOut(const QString& text)
{
    writeLine(stdout, text);
}

void printErr(const QString& text)
{
    writeLine(stderr, text);
}

int fail(const QString& command, const QString& text)
{
    printErr(QStringLiteral("tresorin-cli %1: %2").arg(command, text));
    return ExitFailure;
}

bool parseArguments(const QStringList& args, const QStringList& allowed, Arguments& out, QString& error)
{
    bool optionsEnded = false;
    for (const QString& a : args) {
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && a.startsWith(QLatin1String("--"))) {
            if (!allowed.contains(a)) {
                error = QStringLiteral("unknown option %1").arg(a);
                return false;
            }
            out.options << a;
        } else {
            out.positional << a;
        }
    }
    return true;
}

int prepareCommand(const QString& command, const QStringList& args, const char* help, const QStringList& allowed,
                   int positional, Arguments& parsed)
{
    for (const QString& a : args) {
        if (a == QLatin1String("--"))
            break;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            printOut(QString::fromUtf8(help));
            return ExitOk;
        }
    }
    QString error;
    if (!parseArguments(args, allowed, parsed, error))
        return fail(command, error + QStringLiteral(" (see tresorin-cli %1 --help)").arg(command));
    if (parsed.positional.size() != positional)
        return fail(command, QStringLiteral("expected %1 argument%2 (see tresorin-cli %3 --help)")
                                 .arg(positional)
                                 .arg(positional > 1 ? QStringLiteral("s") : QString())
                                 .arg(command));
    return -1;
}

bool readPassword(const QString& prompt, QString& password, QString& error)
{
    SecureBytes line;
    if (isatty(STDIN_FILENO)) {
        std::fputs(prompt.toUtf8().constData(), stderr);
        std::fflush(stderr);
        EchoOff quiet;
        if (!readLineFromStdin(line, error))
            return false;
    } else if (!readLineFromStdin(line, error)) {
        return false;
    }
    secureWipe(password);
    password = QString::fromUtf8(line.bytes());
    return true;
}

bool readNewPassword(QString& password, QString& error)
{
    QString first;
    QString second;
    // Typed passwords are wiped on every way out; the one kept lives on in password.
    const auto wipeTyped = qScopeGuard([&first, &second] {
        secureWipe(first);
        secureWipe(second);
    });
    if (!readPassword(QStringLiteral("New meta password: "), first, error) ||
        !readPassword(QStringLiteral("Re-enter new meta password: "), second, error))
        return false;
    if (first != second) {
        error = QStringLiteral("the two new passwords differ");
        return false;
    }
    // The window could never open a document under such a password.
    if (first.isEmpty()) {
        error = QStringLiteral("the new meta password is empty");
        return false;
    }
    // A document stores its password in Windows-1252: every other character would become "?", and
    // any text of the same length made of such characters would open it. The window refuses them
    // as they are typed.
    if (const qsizetype count = win1252::unholdableCount(first); count > 0) {
        error = QStringLiteral("the new meta password holds %1 character%2 a document cannot store "
                               "(only Windows-1252 characters are allowed)")
                    .arg(count)
                    .arg(count > 1 ? QStringLiteral("s") : QString());
        return false;
    }
    if (first.size() > docfile::MaxMetaPasswordLength) {
        error =
            QStringLiteral("the new meta password is longer than %1 characters").arg(docfile::MaxMetaPasswordLength);
        return false;
    }
    password = first;
    return true;
}

QString oneLine(const QString& field)
{
    QString text = field;
    for (QChar& c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return terminalText(text);
}

QString messageLine(const QString& key, const QString& arg)
{
    QString text = FillPlaceholders(Msg(key), {terminalText(arg)});
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    return text;
}

StreamMessageSink MessagePrinter::sink()
{
    return [this](const QString& key, const QString& arg) {
        m_keys << key;
        printErr(messageLine(key, arg));
    };
}

bool MessagePrinter::sawDamage() const
{
    // An unknown group only moves a group to the top or an entry out of its group; the others
    // mean a stream that was not read as it was written.
    for (const QString& k : m_keys)
        if (k != QLatin1String("ErreurHN"))
            return true;
    return false;
}

int openDocument(const QString& command, const QString& path, DocumentState& doc, MessagePrinter& printer,
                 bool* headerRecovered)
{
    if (!QFileInfo::exists(path))
        return fail(command, QStringLiteral("%1: no such file").arg(path));
    QString password;
    // The document keeps its own reference to a password that opened it; a wrong one is wiped.
    const auto wipeTyped = qScopeGuard([&password] { secureWipe(password); });
    QString error;
    if (!readPassword(QStringLiteral("Meta password: "), password, error))
        return fail(command, error);
    const docfile::LoadResult r = docfile::loadFile(path, password, doc, printer.sink());
    if (headerRecovered)
        *headerRecovered = r.headerRecovered;
    switch (r.status) {
    case docfile::ReadStatus::Ok:
        return ExitOk;
    case docfile::ReadStatus::BadPassword:
        printErr(messageLine(QStringLiteral("BadPass")));
        return ExitBadPassword;
    case docfile::ReadStatus::Failed:
        break;
    }
    const QString reason =
        r.damaged    ? messageLine(QStringLiteral("Altere"))
        : r.tooLarge ? messageLine(QStringLiteral("DocTropGros"), QString::number(docfile::kMaxDocumentBytes >> 20))
                     : failureText(r.error, r.outOfMemory);
    return fail(command, QStringLiteral("%1: %2").arg(path, reason));
}

QString failureText(const QString& error, bool outOfMemory)
{
    return outOfMemory ? messageLine(QStringLiteral("Memoire")) : error;
}

int openDocumentWhole(const QString& command, const QString& path, DocumentState& doc, const QString& notDone)
{
    MessagePrinter printer;
    bool headerRecovered = false;
    if (const int status = openDocument(command, path, doc, printer, &headerRecovered); status != ExitOk)
        return status;
    if (printer.sawDamage() || headerRecovered)
        return fail(command, QStringLiteral("%1: %2, its reading found damage").arg(path, notDone));
    return ExitOk;
}

} // namespace cli

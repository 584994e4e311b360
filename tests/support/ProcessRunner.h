#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;

namespace testsupport {

// The build folder the programs under test are in: TRESORIN_BIN_DIR from ctest's environment,
// else the folder this test was configured for (a test run by hand).
QString buildBinDir();
// The programs of this build.
QString cliProgram();    // src/tresorin-cli
QString windowProgram(); // src/tresorin

// What one run of a program gave.
struct ProcessResult
{
    bool started = false;
    bool timedOut = false; // killed at the end of its time
    bool crashed = false;  // ended by a signal
    // The exit status; -1 when the program did not start or was killed at the time-out, -2 when
    // it ended by a signal.
    int exitCode = -1;
    QByteArray out;
    QByteArray err; // QProcess's reason when the program did not start

    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
    // Standard error split into its non-empty lines.
    QStringList errLines() const;
};

// Runs a program to its end: environment, working folder, standard input, a time-out after which
// it is killed, then its exit code and both outputs. Tests that drive a process themselves
// (signals, /proc, two at once) let it set up their QProcess with start().
class ProcessRunner
{
public:
    explicit ProcessRunner(QString program);
    // tresorin-cli of this build.
    static ProcessRunner cli();
    // The window program of this build.
    static ProcessRunner window();

    // The environment to start from (default: this process's own).
    ProcessRunner& environment(const QProcessEnvironment& env);
    ProcessRunner& setEnv(const QString& name, const QString& value);
    ProcessRunner& unsetEnv(const QString& name);
    ProcessRunner& workingDirectory(const QString& folder);
    // Milliseconds the program may run before it is killed (default 30 s).
    ProcessRunner& timeout(int ms);
    // Runs the program under a file-size limit (see limitFileSize); negative: none.
    ProcessRunner& fileSizeLimit(qint64 bytes);

    // Starts the program with args, writes input to its standard input and closes it, waits for
    // its end.
    ProcessResult run(const QStringList& args = {}, const QByteArray& input = QByteArray()) const;
    // Sets process up as run() would and starts it, for a test that drives it itself; returns
    // whether it started.
    bool start(QProcess& process, const QStringList& args = {}) const;

    const QString& program() const { return m_program; }
    const QProcessEnvironment& env() const { return m_env; }

private:
    void prepare(QProcess& process) const;

    QString m_program;
    QProcessEnvironment m_env;
    QString m_workingDirectory;
    int m_timeoutMs = 30000;
    qint64 m_fileSizeLimit = -1;
};

} // namespace testsupport

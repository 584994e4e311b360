#include "support/ProcessRunner.h"

#include "support/FullDisk.h"

#include <QProcess>

namespace testsupport {

namespace {
// Starting takes long only when the machine is loaded; a program that has not started by then
// never will.
constexpr int kStartMs = 10000;
} // namespace

QString buildBinDir()
{
    const QString bin = qEnvironmentVariable("TRESORIN_BIN_DIR");
    return bin.isEmpty() ? QStringLiteral(TRESORIN_BIN_DIR) : bin;
}

QString cliProgram()
{
    return buildBinDir() + QStringLiteral("/src/tresorin-cli");
}

QString windowProgram()
{
    return buildBinDir() + QStringLiteral("/src/tresorin");
}

QStringList ProcessResult::errLines() const
{
    return errText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

ProcessRunner::ProcessRunner(QString program)
    : m_program(std::move(program)), m_env(QProcessEnvironment::systemEnvironment())
{
}

ProcessRunner ProcessRunner::cli()
{
    return ProcessRunner(cliProgram());
}

ProcessRunner ProcessRunner::window()
{
    return ProcessRunner(windowProgram());
}

ProcessRunner& ProcessRunner::environment(const QProcessEnvironment& env)
{
    m_env = env;
    return *this;
}

ProcessRunner& ProcessRunner::setEnv(const QString& name, const QString& value)
{
    m_env.insert(name, value);
    return *this;
}

ProcessRunner& ProcessRunner::unsetEnv(const QString& name)
{
    m_env.remove(name);
    return *this;
}

ProcessRunner& ProcessRunner::workingDirectory(const QString& folder)
{
    m_workingDirectory = folder;
    return *this;
}

ProcessRunner& ProcessRunner::timeout(int ms)
{
    m_timeoutMs = ms;
    return *this;
}

ProcessRunner& ProcessRunner::fileSizeLimit(qint64 bytes)
{
    m_fileSizeLimit = bytes;
    return *this;
}

void ProcessRunner::prepare(QProcess& process) const
{
    process.setProcessEnvironment(m_env);
    if (!m_workingDirectory.isEmpty())
        process.setWorkingDirectory(m_workingDirectory);
    if (m_fileSizeLimit >= 0)
        limitFileSize(process, m_fileSizeLimit);
}

bool ProcessRunner::start(QProcess& process, const QStringList& args) const
{
    prepare(process);
    process.start(m_program, args);
    return process.waitForStarted(kStartMs);
}

ProcessResult ProcessRunner::run(const QStringList& args, const QByteArray& input) const
{
    QProcess p;
    ProcessResult r;
    if (!start(p, args)) {
        r.err = p.errorString().toUtf8();
        return r;
    }
    r.started = true;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(m_timeoutMs)) {
        r.timedOut = true;
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = r.crashed ? -2 : p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace testsupport

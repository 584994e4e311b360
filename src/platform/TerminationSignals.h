#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// The requests to end the process that come as signals (SIGTERM from `kill` or a session's end,
// SIGINT, SIGHUP), turned into a Qt signal on the thread that installed them, so that the program
// ends as its Exit command does (the save question, the settings written, the clipboard cleared)
// instead of being cut off. The handler itself only writes the signal's number to a pipe.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers once for the process; later calls return the same object. The object
    // lives until the end of the process.
    static TerminationSignals* install();

signals:
    void terminationRequested(int signalNumber);

private:
    TerminationSignals();
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform

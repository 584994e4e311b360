#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class TMajWeb;
struct Settings;

// The update check of the main window: starts a TMajWeb for the command ActionMajWeb or for the
// automatic check, and reads its outcome on the user-interface thread. It keeps LastCheck and
// UrlUpdate of the settings up to date. Checks still running when it is destroyed are told to
// stop and left to end by themselves: nothing waits for them.
class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    // `command` is disabled while a check runs.
    UpdateChecker(Settings& settings, QAction* command, QObject* parent = nullptr);
    ~UpdateChecker() override;

    // The version compared with the server's; the compiled-in one unless a test says otherwise.
    QString programVersion() const { return m_programVersion; }
    void setProgramVersion(const QString& version) { m_programVersion = version; }

    // Starts a check of UrlUpdate; a silent (automatic) one shows nothing unless a newer
    // version exists.
    void ActionMajWebExecute(bool silent);
    // Reads a finished check: errors, the new address, the version.
    void UpdateCheckDone(TMajWeb* worker);

    int runningChecks() const { return int(m_running.size()); }

    // Tests: the HTTP client counts as missing.
    static bool ClientMissingForTests;

signals:
    // A completion was handled (its messages answered).
    void checkDone();

private:
    void startCheck(bool silent, bool followUp);

    Settings& m_settings;
    QAction* m_command;
    QString m_programVersion;
    QList<TMajWeb*> m_running;
};

#pragma once

#include "support/DocumentFixture.h"
#include "support/TempFolder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QAction;
struct TGroupe;
class TfrmTresorin;

namespace testsupport {

// The settings most window tests start from: English texts, no update check at start.
extern const QByteArray kWindowIni;

// The texts of the message boxes the modal seam recorded so far.
QStringList shownMessages();

// What every window test sets up and takes down, made for one test function (create it in
// init(), destroy it in cleanup()):
// - a temporary folder holding the settings file (TRESORIN_INI) and the folders the program may
//   write to (XDG_DATA_HOME "data", XDG_RUNTIME_DIR "run", XDG_STATE_HOME "state" where the
//   synchronisation bases go, more on request), the environment put back afterwards;
// - the modal seam active, so that every question is answered from the test's queue;
// - the main window, which makes the six other windows of the program itself;
// - the test knobs (idle minute, single-instance answer, update client, desktop cache refresh,
//   FTP time-outs, sound sink), the working folder and the clipboard put back at the end.
// Documents are written and read back on disk with the helpers of DocumentFixture.h
// (writeDocument, readDocument, storedBytes...), which windowless tests use too.
class WindowFixture
{
public:
    // The windows the program makes at start besides the main one. The main window makes them
    // all; a test of dialogs without a main window makes those it needs with makeDialogs().
    enum Dialog
    {
        MetaPassDialog = 0x1,
        FtpDialogs = 0x2, // the FTP parameters and the file properties
        OptionsDialog = 0x4,
        AboutBox = 0x8,
        GeneratorWindow = 0x10,
        AllDialogs = 0x1f,
    };
    // Further environment variables pointed at a subfolder of the temporary folder.
    enum Folder
    {
        ConfigHome = 0x1, // XDG_CONFIG_HOME, "config"
        SystemData = 0x2, // XDG_DATA_DIRS, "system"
        Home = 0x4,       // HOME, "home"
    };
    enum Activation
    {
        Activated,   // the first activation has run, as after the program's start
        NotActivated // the test runs it itself (a document on the command line...)
    };

    explicit WindowFixture(int folders = 0);
    ~WindowFixture();
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    const TempFolder& tmp() const { return m_tmp; }
    QString iniPath() const;
    bool writeIni(const QByteArray& ini) const;
    QByteArray readIni() const;

    // A new main window, the one before destroyed first: the settings file written with ini (a
    // null ini leaves the file as it is), then the first activation.
    TfrmTresorin* makeWindow(const QByteArray& ini = kWindowIni, const QStringList& args = {},
                             Activation activation = Activated);
    TfrmTresorin* window() const { return m_window.get(); }
    // The window and its dialogs destroyed, as at the end of a run (the settings are written).
    void destroyWindow();
    // The window shown and active, for tests that type or click; false when it never became active.
    bool showActive() const;

    // Makes these dialogs now, for a test without a main window (a window makes its own); they
    // go with destroyWindow().
    void makeDialogs(int dialogs);
    // The window's other windows, or without a window those makeDialogs() made, in the program's
    // order of creation.
    QList<QWidget*> dialogs() const;
    // One of them (null when there is none of that kind).
    template <class T> T* dialog() const
    {
        for (QWidget* d : dialogs())
            if (auto* found = qobject_cast<T*>(d))
                return found;
        return nullptr;
    }

    // The views rebuilt from a document the test filled in memory, the document's commands
    // enabled, and group selected (with its list filled) when there is one.
    void documentFilled(TGroupe* group = nullptr) const;

    // The names of the top-level groups as the tree shows them.
    QStringList topGroupNames() const;

    // Commands by their object name, as the language tables know them.
    QAction* command(const QString& objectName) const;
    void trigger(const QString& objectName) const;
    // File > Open with the file dialog answered by path and the meta password by password (an
    // invalid QVariant: Cancel).
    void openThroughCommand(const QString& path, const QVariant& password) const;

private:
    void setEnv(const char* name, const QByteArray& value);

    TempFolder m_tmp;
    // Destroyed window first, then the dialogs, as the program ends.
    std::vector<std::unique_ptr<QWidget>> m_dialogs;
    std::unique_ptr<TfrmTresorin> m_window;

    struct SavedEnv
    {
        QByteArray name;
        std::optional<QByteArray> value;
    };
    QList<SavedEnv> m_savedEnv;
    QString m_savedCwd;
    struct Knobs;
    std::unique_ptr<Knobs> m_knobs;
};

} // namespace testsupport

#include "support/gui/WindowFixture.h"

#include "app/gui/views/DocumentView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/window/Commands.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/gui/TBoiteMetaPass.h"
#include "ftp/TFileFTP.h"
#include "ftp/gui/TBoiteFTP.h"
#include "ftp/gui/TBoiteInfo.h"
#include "generator/gui/TfrmGenerateur.h"
#include "platform/gui/ModalSeam.h"
#include "platform/gui/Sound.h"
#include "settings/gui/TBoiteOptions.h"
#include "update/gui/TBoiteAPropos.h"
#include "update/gui/UpdateChecker.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QtTest>

namespace testsupport {

const QByteArray kWindowIni = "[Main]\r\nLangue=US\r\nAutoCheck=0\r\n";

QStringList shownMessages()
{
    return ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
}

// The static settings tests turn (shorter minutes, a missing client...): their values when the
// fixture was made, put back when it goes.
struct WindowFixture::Knobs
{
    int millisecondsPerMinute = IdleLock::MillisecondsPerMinute;
    bool clientMissing = UpdateChecker::ClientMissingForTests;
    bool refreshDesktopCaches = TBoiteOptions::RefreshDesktopCaches;
    FtpTimeouts ftpTimeouts = TFileFTP::timeouts();

    void restore() const
    {
        IdleLock::MillisecondsPerMinute = millisecondsPerMinute;
        UpdateChecker::ClientMissingForTests = clientMissing;
        TBoiteOptions::RefreshDesktopCaches = refreshDesktopCaches;
        TFileFTP::setTimeouts(ftpTimeouts);
    }
};

WindowFixture::WindowFixture(int folders) : m_savedCwd(QDir::currentPath()), m_knobs(std::make_unique<Knobs>())
{
    setEnv("TRESORIN_INI", iniPath().toLocal8Bit());
    setEnv("XDG_DATA_HOME", m_tmp.makeFolder(QStringLiteral("data")).toLocal8Bit());
    setEnv("XDG_RUNTIME_DIR", m_tmp.makeFolder(QStringLiteral("run")).toLocal8Bit());
    setEnv("XDG_STATE_HOME", m_tmp.makeFolder(QStringLiteral("state")).toLocal8Bit());
    if (folders & ConfigHome)
        setEnv("XDG_CONFIG_HOME", m_tmp.makeFolder(QStringLiteral("config")).toLocal8Bit());
    if (folders & SystemData)
        setEnv("XDG_DATA_DIRS", m_tmp.makeFolder(QStringLiteral("system")).toLocal8Bit());
    if (folders & Home)
        setEnv("HOME", QFile::encodeName(m_tmp.makeFolder(QStringLiteral("home"))));
    ModalSeam::activate();
    TfrmTresorin::InstanceAnswered = false;
    QApplication::clipboard()->clear();
}

WindowFixture::~WindowFixture()
{
    destroyWindow();
    ModalSeam::deactivate();
    QApplication::clipboard()->clear();
    TfrmTresorin::InstanceAnswered = false;
    platform::setSoundSink({});
    m_knobs->restore();
    QDir::setCurrent(m_savedCwd);
    // Last in first out, so that a variable set twice gets its first value back.
    for (auto it = m_savedEnv.crbegin(); it != m_savedEnv.crend(); ++it) {
        if (it->value)
            qputenv(it->name.constData(), *it->value);
        else
            qunsetenv(it->name.constData());
    }
}

void WindowFixture::setEnv(const char* name, const QByteArray& value)
{
    SavedEnv saved{name, std::nullopt};
    if (qEnvironmentVariableIsSet(name))
        saved.value = qgetenv(name);
    m_savedEnv.append(saved);
    qputenv(name, value);
}

QString WindowFixture::iniPath() const
{
    return m_tmp.filePath(QStringLiteral("Tresorin.ini"));
}

bool WindowFixture::writeIni(const QByteArray& ini) const
{
    return m_tmp.writeFile(QStringLiteral("Tresorin.ini"), ini);
}

QByteArray WindowFixture::readIni() const
{
    return m_tmp.readFile(QStringLiteral("Tresorin.ini"));
}

void WindowFixture::makeDialogs(int dialogs)
{
    if (m_window) {
        QTest::qFail("the main window makes its own dialogs", __FILE__, __LINE__);
        return;
    }
    // In the program's order of creation.
    if (dialogs & MetaPassDialog)
        m_dialogs.push_back(std::make_unique<TBoiteMetaPass>());
    if (dialogs & AboutBox)
        m_dialogs.push_back(std::make_unique<TBoiteAPropos>());
    if (dialogs & FtpDialogs) {
        m_dialogs.push_back(std::make_unique<TBoiteFTP>());
        m_dialogs.push_back(std::make_unique<TBoiteInfo>());
    }
    if (dialogs & OptionsDialog)
        m_dialogs.push_back(std::make_unique<TBoiteOptions>());
    if (dialogs & GeneratorWindow)
        m_dialogs.push_back(std::make_unique<TfrmGenerateur>());
}

QList<QWidget*> WindowFixture::dialogs() const
{
    if (m_window)
        return m_window->otherWindows();
    QList<QWidget*> out;
    for (const auto& d : m_dialogs)
        out << d.get();
    return out;
}

TfrmTresorin* WindowFixture::makeWindow(const QByteArray& ini, const QStringList& args, Activation activation)
{
    destroyWindow();
    if (!ini.isNull())
        writeIni(ini);
    m_window = std::make_unique<TfrmTresorin>(args);
    if (activation == Activated)
        m_window->FormActivate();
    return m_window.get();
}

void WindowFixture::destroyWindow()
{
    m_window.reset();
    m_dialogs.clear();
}

bool WindowFixture::showActive() const
{
    m_window->show();
    m_window->activateWindow();
    return QTest::qWaitForWindowActive(m_window.get());
}

void WindowFixture::documentFilled(TGroupe* group) const
{
    m_window->view()->documentReloaded();
    m_window->enableDocumentCommands();
    if (group) {
        m_window->view()->selectGroup(group);
        m_window->view()->flushGroupChange();
    }
}

QStringList WindowFixture::topGroupNames() const
{
    QStringList names;
    GroupTreeModel* model = m_window->view()->groupModel();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

QAction* WindowFixture::command(const QString& objectName) const
{
    QAction* action = m_window->commands().byName(objectName);
    if (!action)
        QTest::qFail(qPrintable(QStringLiteral("no command named ") + objectName), __FILE__, __LINE__);
    return action;
}

void WindowFixture::trigger(const QString& objectName) const
{
    if (QAction* action = command(objectName))
        action->trigger();
}

void WindowFixture::openThroughCommand(const QString& path, const QVariant& password) const
{
    ModalSeam::pushAnswer(path);
    ModalSeam::pushAnswer(password);
    trigger(QStringLiteral("ActionOuvrir"));
}

} // namespace testsupport

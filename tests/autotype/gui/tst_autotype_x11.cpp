// Auto-type on a real X server: the test starts its own (Xvfb with the openbox window manager,
// XvfbSession) and a login form of its own in another process, presses the global shortcut through
// XTest and reads what the form received. Login, Tab, password and Enter arrive exactly, accents
// and a character the layout lacks included, on two layouts; a click on another window in the
// middle stops the typing; two matches go through the chooser; Item > Auto-type types into the
// window used before. Without Xvfb or openbox the test is skipped on a developer's machine and
// fails under CI=true.

#include "app/gui/commands/AutoTypeCommand.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "autotype/Typist.h"
#include "autotype/X11Platform.h"
#include "platform/gui/ModalSeam.h"
#include "support/XvfbSession.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QLabel>
#include <QProcess>
#include <QThread>
#include <QtTest>

extern "C" {
#include <xdo.h>
}

using testsupport::WindowFixture;
using testsupport::XvfbSession;

namespace {

const QString kLogin = QStringLiteral("Jürgen.é@exemple");
// ü, é and ß are absent from the US layout, € and É from both layouts tried.
const QString kPassword = QStringLiteral("p€ss-É-ü-ß!7");

// The login form, a program of its own on the test's X server.
class Form
{
public:
    bool start(const XvfbSession& x, const QString& title)
    {
        m_process.setProcessEnvironment(x.environment());
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { read(); });
        m_process.start(QStringLiteral(TRESORIN_BIN_DIR "/tests/tresorin-test-loginform"), {title});
        if (!m_process.waitForStarted(10000))
            return false;
        const QDeadlineTimer deadline(20000);
        while (!window && !deadline.hasExpired())
            if (!m_process.waitForReadyRead(100))
                QCoreApplication::processEvents();
        return window != 0;
    }
    ~Form()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    autotype::Platform::WindowId window = 0;
    QString login;
    QString password;
    int submits = 0;

private:
    void read()
    {
        while (m_process.canReadLine()) {
            const QList<QByteArray> words = m_process.readLine().trimmed().split(' ');
            const QByteArray word = words.value(0);
            const QByteArray value = QByteArray::fromHex(words.value(1));
            if (word == "ready")
                window = words.value(1).toULongLong();
            else if (word == "login")
                login = QString::fromUtf8(value);
            else if (word == "password")
                password = QString::fromUtf8(value);
            else if (word == "submit")
                ++submits;
        }
    }
    QProcess m_process;
};

} // namespace

class TestAutoTypeX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void shortcutTypesLoginAndPassword_data();
    void shortcutTypesLoginAndPassword();
    void anotherWindowStopsTheTyping();
    void twoMatchesGoThroughTheChooser();
    void commandTypesIntoTheWindowUsedBefore();
    // Last: it stops the X server.
    void serverGoneLeavesTheProgramRunning();

private:
    // The window, with the entries Example Bank (kLogin / kPassword), Example Bank Pro
    // (pro / Pro-pässe) and Mail; its auto-type on the test's X server.
    void makeWindow();
    // Ctrl+Alt+A through XTest, as a person would press it.
    void pressShortcut();
    // Makes the window active and waits until the window manager says it is.
    bool activate(autotype::Platform::WindowId window);
    autotype::Platform::WindowId activeWindow();
    TfrmTresorin* win() const { return m_fx->window(); }

    std::unique_ptr<XvfbSession> m_x;
    std::unique_ptr<WindowFixture> m_fx;
    xdo_t* m_xdo = nullptr;
};

void TestAutoTypeX11::initTestCase()
{
    m_x = std::make_unique<XvfbSession>();
    if (!m_x->isRunning()) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL(qPrintable(m_x->error()));
        QSKIP(qPrintable(m_x->error()));
    }
}

void TestAutoTypeX11::cleanupTestCase()
{
    m_x.reset();
}

void TestAutoTypeX11::init()
{
    m_xdo = xdo_new(m_x->display().constData());
    QVERIFY(m_xdo);
    m_xdo->quiet = 1;
    m_fx = std::make_unique<WindowFixture>();
    const QByteArray display = m_x->display();
    AutoTypeCommand::PlatformFactory = [display]() -> std::unique_ptr<autotype::Platform> {
        auto x11 = std::make_unique<autotype::X11Platform>(display);
        return x11->isOpen() ? std::move(x11) : nullptr;
    };
}

void TestAutoTypeX11::cleanup()
{
    m_fx.reset();
    AutoTypeCommand::PlatformFactory = nullptr;
    if (m_xdo)
        xdo_free(m_xdo);
    m_xdo = nullptr;
    if (m_x)
        m_x->setLayout(QStringLiteral("us"));
}

void TestAutoTypeX11::makeWindow()
{
    m_fx->makeWindow();
    QVERIFY(win()->autoType()->platform());
    DocumentState& d = win()->doc();
    TGroupe* web = d.addGroup(QStringLiteral("Web"));
    const QString rows[][3] = {{QStringLiteral("Example Bank"), kLogin, kPassword},
                               {QStringLiteral("Example Bank Pro"), QStringLiteral("pro"), QStringLiteral("Pro-pässe")},
                               {QStringLiteral("Mail"), QStringLiteral("carol"), QStringLiteral("mail")}};
    for (const auto& r : rows) {
        auto e = NewEntry(web, r[0]);
        e->Login = r[1];
        e->Password = r[2];
        d.appendEntry(std::move(e));
    }
    m_fx->documentFilled(web);
    ModalSeam::clearShown();
}

autotype::Platform::WindowId TestAutoTypeX11::activeWindow()
{
    Window w = 0;
    return xdo_get_active_window(m_xdo, &w) == XDO_SUCCESS ? autotype::Platform::WindowId(w) : 0;
}

bool TestAutoTypeX11::activate(autotype::Platform::WindowId window)
{
    xdo_activate_window(m_xdo, Window(window));
    const QDeadlineTimer deadline(5000);
    while (activeWindow() != window && !deadline.hasExpired())
        QThread::msleep(5);
    return activeWindow() == window;
}

void TestAutoTypeX11::pressShortcut()
{
    // Made anew: the layout may have changed since the last press.
    xdo_t* keys = xdo_new(m_x->display().constData());
    QVERIFY(keys);
    xdo_send_keysequence_window(keys, CURRENTWINDOW, "ctrl+alt+a", 0);
    xdo_free(keys);
}

void TestAutoTypeX11::shortcutTypesLoginAndPassword_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("US") << "us";
    // Letters on other keys, '@' and '€' behind AltGr, digits with Shift.
    QTest::newRow("French") << "fr";
}

void TestAutoTypeX11::shortcutTypesLoginAndPassword()
{
    QFETCH(QString, layout);
    QVERIFY(m_x->setLayout(layout));
    Form form;
    QVERIFY(form.start(*m_x, QStringLiteral("Example Bank - Sign in")));
    makeWindow();
    QVERIFY(activate(form.window));
    pressShortcut();
    QTRY_COMPARE_WITH_TIMEOUT(form.submits, 1, 15000);
    QCOMPARE(form.login, kLogin);
    QCOMPARE(form.password, kPassword);
    QTRY_VERIFY(!win()->autoType()->typist()->running());
    QCOMPARE(ModalSeam::shown().size(), 0);
    // The spare keycodes go back to nothing once the form has read its keys.
    autotype::Platform* x11 = win()->autoType()->platform();
    const int spare = int(x11->keyboardMap().spareKeycodes().size());
    QTRY_VERIFY_WITH_TIMEOUT(int(x11->keyboardMap().spareKeycodes().size()) > spare, 5000);
}

void TestAutoTypeX11::anotherWindowStopsTheTyping()
{
    Form bank;
    Form other;
    QVERIFY(bank.start(*m_x, QStringLiteral("Example Bank - Sign in")));
    QVERIFY(other.start(*m_x, QStringLiteral("Notes")));
    makeWindow();
    QVERIFY(activate(bank.window));
    // The user clicks on the other window once the login is typed.
    const int lastOfLogin = int(kLogin.size()) - 1;
    bool switched = false;
    connect(win()->autoType()->typist(), &autotype::Typist::keyTyped, this, [&](int index) {
        if (index == lastOfLogin)
            switched = activate(other.window);
    });
    pressShortcut();
    QTRY_VERIFY_WITH_TIMEOUT(switched, 15000);
    QTRY_VERIFY(!win()->autoType()->typist()->running());
    QTRY_COMPARE(bank.login, kLogin);
    QCOMPARE(win()->autoType()->typist()->keysTyped(), int(kLogin.size()));
    QCOMPARE(win()->statusPanel(0)->text(), QStringLiteral("Auto-type stopped: another window became active."));
    // Whatever the windows still have to read has come by the time a marker typed now arrives.
    xdo_enter_text_window(m_xdo, CURRENTWINDOW, "z", 0);
    QTRY_COMPARE(other.login, QStringLiteral("z"));
    QCOMPARE(bank.login, kLogin);
    QCOMPARE(bank.password, QString());
    QCOMPARE(bank.submits, 0);
    QCOMPARE(other.password, QString());
    QCOMPARE(other.submits, 0);
}

void TestAutoTypeX11::twoMatchesGoThroughTheChooser()
{
    Form form;
    QVERIFY(form.start(*m_x, QStringLiteral("Example Bank Pro - Sign in")));
    makeWindow();
    QVERIFY(activate(form.window));
    ModalSeam::pushAnswer(1);
    pressShortcut();
    QTRY_COMPARE_WITH_TIMEOUT(form.submits, 1, 15000);
    QCOMPARE(form.login, QStringLiteral("pro"));
    QCOMPARE(form.password, QStringLiteral("Pro-pässe"));
    const QList<ModalSeam::Shown> shown = ModalSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].dialog, QStringLiteral("AutoType"));
    QCOMPARE(shown[0].text, QStringLiteral("Example Bank Pro - Sign in"));
    QCOMPARE(shown[0].detail, QStringLiteral("Example Bank / Jürgen.é@exemple / Web\nExample Bank Pro / pro / Web"));
}

void TestAutoTypeX11::commandTypesIntoTheWindowUsedBefore()
{
    Form form;
    QVERIFY(form.start(*m_x, QStringLiteral("Some program")));
    QVERIFY(activate(form.window));
    makeWindow();
    win()->view()->selectRow(win()->view()->rowOfEntry(win()->doc().entry(2)));
    win()->action(QStringLiteral("ActionAutoType"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(form.submits, 1, 15000);
    QCOMPARE(form.login, QStringLiteral("carol"));
    QCOMPARE(form.password, QStringLiteral("mail"));
}

void TestAutoTypeX11::serverGoneLeavesTheProgramRunning()
{
    makeWindow();
    autotype::Platform* x11 = win()->autoType()->platform();
    QVERIFY(x11->activeWindow() != 0);
    // The test's own connection goes with the server: left as it is, never closed.
    m_xdo = nullptr;
    m_x.reset();
    // Xlib would end the process on the lost connection; the document window stays.
    QCOMPARE(x11->activeWindow(), autotype::Platform::WindowId(0));
    QVERIFY(!static_cast<autotype::X11Platform*>(x11)->isOpen());
    QCoreApplication::processEvents(); // the socket notifier sees the closed connection
    win()->view()->selectRow(0);
    ModalSeam::clearShown();
    win()->action(QStringLiteral("ActionAutoType"))->trigger();
    QVERIFY(!win()->autoType()->typist()->running());
    QCOMPARE(testsupport::shownMessages(),
             QStringList{QStringLiteral("No window to type into: make the login window active, then try again.")});
    QCOMPARE(win()->doc().entryCount(), 3);
}

QTEST_MAIN(TestAutoTypeX11)
#include "tst_autotype_x11.moc"

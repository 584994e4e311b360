// Auto-type from the main window, over a scripted window system: the global shortcut types the
// entry that matches the active window, several matches (or a guess by a '*' pattern) go through
// the chooser, a locked document asks its meta password first, Item > Auto-type types the
// selected entry into the window used before ours, and what cannot be typed is said.

#include "app/gui/commands/AutoTypeCommand.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TfrmTresorin.h"
#include "app/gui/window/TrayMinimiser.h"
#include "autotype/KeyLayout.h"
#include "autotype/Typist.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "settings/gui/TBoiteOptions.h"
#include "support/FakeAutoTypePlatform.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QtTest>

using testsupport::FakeAutoTypePlatform;
using testsupport::WindowFixture;

namespace {

constexpr autotype::Platform::WindowId kOurs = 1;
constexpr autotype::Platform::WindowId kBrowser = 5;

// The keys the characters of `text` are typed with.
QStringList keysOf(const QString& text)
{
    QStringList out;
    for (const char32_t c : autotype::codePoints(text))
        out << autotype::keysymName(autotype::keysymOf(c));
    return out;
}

} // namespace

class TestMainWindowAutoType : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shortcutTypesTheMatchingEntry();
    void shortcutIsTakenFromTheSettings();
    void noMatchIsSaid();
    void severalMatchesGoThroughTheChooser_data();
    void severalMatchesGoThroughTheChooser();
    void wildcardGuessTypesNoPasswordSilently_data();
    void wildcardGuessTypesNoPasswordSilently();
    void badSequenceIsRefused_data();
    void badSequenceIsRefused();
    void lockedDocumentAsksItsPasswordFirst();
    void commandTypesIntoThePreviousWindow();
    void commandWithoutXSaysSo();
    void optionsChangeTheShortcut();

private:
    // Group Web: Bank (alice / pässwörd€), Bank business (bob / b0b), Mail (carol / mail!);
    // `notes` go to Bank.
    void makeWindow(const QString& bankNotes = QString());
    TfrmTresorin* win() const { return m_fx->window(); }
    TFeuille* entry(const QString& name) const;
    // The shortcut pressed over a window of that title; waits until the typing (if any) ended.
    void press(const QString& title);
    bool typing() const { return win()->autoType()->typist()->running(); }

    std::unique_ptr<WindowFixture> m_fx;
    FakeAutoTypePlatform* m_fake = nullptr;
    bool m_noPlatform = false;
};

void TestMainWindowAutoType::init()
{
    m_fx = std::make_unique<WindowFixture>();
    m_fake = nullptr;
    m_noPlatform = false;
    AutoTypeCommand::PlatformFactory = [this]() -> std::unique_ptr<autotype::Platform> {
        if (m_noPlatform)
            return nullptr;
        auto fake = std::make_unique<FakeAutoTypePlatform>();
        fake->ownWindow = kOurs;
        fake->active = kBrowser;
        m_fake = fake.get();
        return fake;
    };
    autotype::Typist::KeyDelayMs = 0;
    autotype::Typist::UnbindDelayMs = 0;
}

void TestMainWindowAutoType::cleanup()
{
    m_fx.reset();
    AutoTypeCommand::PlatformFactory = nullptr;
    autotype::Typist::KeyDelayMs = 12;
    autotype::Typist::UnbindDelayMs = 500;
}

void TestMainWindowAutoType::makeWindow(const QString& bankNotes)
{
    m_fx->makeWindow();
    DocumentState& d = win()->doc();
    TGroupe* web = d.addGroup(QStringLiteral("Web"));
    const struct
    {
        const char* name;
        const char* login;
        const char* password;
    } rows[] = {{"Bank", "alice", "pässwörd€"}, {"Bank business", "bob", "b0b"}, {"Mail", "carol", "mail!"}};
    for (const auto& r : rows) {
        auto e = NewEntry(web, QString::fromUtf8(r.name));
        e->Login = QString::fromUtf8(r.login);
        e->Password = QString::fromUtf8(r.password);
        if (QByteArray(r.name) == "Bank")
            e->Notes = bankNotes;
        d.appendEntry(std::move(e));
    }
    m_fx->documentFilled(web);
    ModalSeam::clearShown();
}

TFeuille* TestMainWindowAutoType::entry(const QString& name) const
{
    for (int i = 0; i < win()->doc().entryCount(); ++i)
        if (win()->doc().entry(i)->Name == name)
            return win()->doc().entry(i);
    return nullptr;
}

void TestMainWindowAutoType::press(const QString& title)
{
    m_fake->titles[kBrowser] = title;
    emit m_fake->pressed();
    QTRY_VERIFY(!typing());
}

void TestMainWindowAutoType::shortcutTypesTheMatchingEntry()
{
    makeWindow();
    press(QStringLiteral("Mail - Inbox"));
    QCOMPARE(m_fake->keys(), keysOf(QStringLiteral("carol\tmail!\n")));
    // Typed straight into the window that was active: nothing of ours came in between.
    QVERIFY(!m_fake->log.join(QLatin1Char(' ')).contains(QLatin1String("activate")));
    QCOMPARE(ModalSeam::shown().size(), 0);

    // Accented and absent characters through spare keycodes; the user's modifiers first.
    m_fake->log.clear();
    press(QStringLiteral("BANK"));
    QCOMPARE(m_fake->keys(), keysOf(QStringLiteral("alice\tpässwörd€\n")));
    QCOMPARE(m_fake->log.first(), QStringLiteral("release"));

    // Over one of our own windows, nothing happens.
    m_fake->log.clear();
    m_fake->active = kOurs;
    m_fake->titles[kOurs] = QStringLiteral("Mail");
    emit m_fake->pressed();
    QVERIFY(!typing());
    QVERIFY(m_fake->keys().isEmpty());
    QCOMPARE(ModalSeam::shown().size(), 0);
}

void TestMainWindowAutoType::shortcutIsTakenFromTheSettings()
{
    makeWindow();
    QCOMPARE(m_fake->shortcut, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
    m_fx->destroyWindow();
    m_fx->makeWindow(testsupport::kWindowIni + "[AutoType]\r\nRaccourci=Meta+F9\r\n");
    QCOMPARE(m_fake->shortcut, QKeySequence(Qt::META | Qt::Key_F9));
    // Held by another program: said in the status bar, not in a box at start.
    m_fx->destroyWindow();
    AutoTypeCommand::PlatformFactory = [this]() -> std::unique_ptr<autotype::Platform> {
        auto fake = std::make_unique<FakeAutoTypePlatform>();
        fake->shortcutAvailable = false;
        m_fake = fake.get();
        return fake;
    };
    m_fx->makeWindow();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList{});
    QVERIFY2(win()->statusPanel(0)->text().contains(QLatin1String("cannot be used")),
             qPrintable(win()->statusPanel(0)->text()));
}

void TestMainWindowAutoType::noMatchIsSaid()
{
    makeWindow();
    press(QStringLiteral("Terminal"));
    QVERIFY(m_fake->keys().isEmpty());
    QCOMPARE(testsupport::shownMessages(),
             QStringList{QStringLiteral("No item matches the window \"Terminal\": nothing was typed.")});
    // In the tray, the tray says it.
    ModalSeam::clearShown();
    win()->tray()->setTrayAvailableForTest(true);
    win()->tray()->minimiseToTray();
    QVERIFY(win()->tray()->active());
    press(QStringLiteral("Terminal"));
    QCOMPARE(testsupport::shownMessages(), QStringList{});
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("TrayMessage")).size(), 1);
}

void TestMainWindowAutoType::severalMatchesGoThroughTheChooser_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<QString>("typed");
    QTest::newRow("second chosen") << QVariant(1) << "bob\tb0b\n";
    QTest::newRow("cancelled") << QVariant(-1) << "";
    QTest::newRow("no answer") << QVariant() << "";
}

void TestMainWindowAutoType::severalMatchesGoThroughTheChooser()
{
    QFETCH(QVariant, answer);
    QFETCH(QString, typed);
    makeWindow();
    // The chooser takes the keyboard from the window it was asked for.
    ModalSeam::setObserver([this](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("AutoType"))
            m_fake->active = kOurs;
    });
    if (answer.isValid())
        ModalSeam::pushAnswer(answer);
    press(QStringLiteral("bank business - login"));
    const QList<ModalSeam::Shown> shown = ModalSeam::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].dialog, QStringLiteral("AutoType"));
    QCOMPARE(shown[0].text, QStringLiteral("bank business - login"));
    // Names, logins and groups; no password.
    QCOMPARE(shown[0].detail, QStringLiteral("Bank / alice / Web\nBank business / bob / Web"));
    QCOMPARE(m_fake->keys(), typed.isEmpty() ? QStringList{} : keysOf(typed));
    // After the chooser, the window it was asked for is made active again before the first key.
    if (!typed.isEmpty()) {
        const qsizetype activated = m_fake->log.indexOf(QStringLiteral("activate 5"));
        QVERIFY(activated >= 0 && activated < m_fake->log.indexOf(QStringLiteral("key b")));
    }
}

void TestMainWindowAutoType::wildcardGuessTypesNoPasswordSilently_data()
{
    QTest::addColumn<QString>("notes");
    QTest::addColumn<bool>("chooser");
    QTest::addColumn<QString>("typed");
    QTest::newRow("password after the chooser") << "Auto-Type-Window: *console*" << true << "alice\tpässwörd€\n";
    QTest::newRow("no password: typed at once")
        << "Auto-Type-Window: *console*\r\nAuto-Type: {USERNAME}{ENTER}" << false << "alice\n";
    QTest::newRow("an exact pattern is no guess") << "Auto-Type-Window: Admin console" << false << "alice\tpässwörd€\n";
}

void TestMainWindowAutoType::wildcardGuessTypesNoPasswordSilently()
{
    QFETCH(QString, notes);
    QFETCH(bool, chooser);
    QFETCH(QString, typed);
    makeWindow(notes);
    if (chooser)
        ModalSeam::pushAnswer(0);
    press(QStringLiteral("Admin console"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("AutoType")).size(), chooser ? 1 : 0);
    QCOMPARE(m_fake->keys(), keysOf(typed));
}

void TestMainWindowAutoType::badSequenceIsRefused_data()
{
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown placeholder")
        << "Auto-Type: {USERNAME}{TAB}{PASSWRD}{ENTER}"
        << "The auto-type sequence of \"Bank\" holds {PASSWRD}, which is no placeholder: nothing was typed.\r\n\r\n"
           "Placeholders: {USERNAME} {PASSWORD} {URL} {TOTP} {TAB} {ENTER} {DELAY=ms}";
    QTest::newRow("delay too long") << "Auto-Type: {DELAY=60000}{PASSWORD}"
                                    << "The auto-type sequence of \"Bank\" holds {DELAY=60000}: a delay is 0 to 10000 "
                                       "milliseconds. Nothing was typed.";
    QTest::newRow("no one-time code") << "Auto-Type: {USERNAME}{TAB}{TOTP}"
                                      << "The auto-type sequence of \"Bank\" types {TOTP}, but its notes hold no "
                                         "one-time code: nothing was typed.";
}

void TestMainWindowAutoType::badSequenceIsRefused()
{
    QFETCH(QString, notes);
    QFETCH(QString, message);
    makeWindow(notes);
    press(QStringLiteral("Bank - login"));
    QVERIFY(m_fake->keys().isEmpty());
    QCOMPARE(testsupport::shownMessages(), QStringList{message});
}

void TestMainWindowAutoType::lockedDocumentAsksItsPasswordFirst()
{
    makeWindow();
    win()->doc().MetaPassword = QStringLiteral("meta");
    win()->SetModified(true);
    // The idle lock came and its prompt was cancelled: the modified document waits, locked.
    ModalSeam::pushAnswer(QVariant());
    win()->idleLock()->timerIdleMainTimer();
    QVERIFY(win()->idleLock()->waiting());
    ModalSeam::clearShown();

    // A wrong password, then Cancel: still locked, nothing typed.
    ModalSeam::pushAnswer(QString(QStringLiteral("wrong")));
    ModalSeam::pushAnswer(QVariant());
    press(QStringLiteral("Mail"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 2);
    QVERIFY(win()->idleLock()->locked());
    QVERIFY(m_fake->keys().isEmpty());

    // The right one: the document opens, the typing goes to the window that was active, which is
    // made active again first (the prompt had the keyboard).
    ModalSeam::clearShown();
    ModalSeam::setObserver([this](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("MetaPass"))
            m_fake->active = kOurs; // the prompt took the keyboard
    });
    ModalSeam::pushAnswer(QString(QStringLiteral("meta")));
    m_fake->active = kBrowser;
    m_fake->titles[kBrowser] = QStringLiteral("Mail");
    emit m_fake->pressed();
    QTRY_VERIFY(!typing() && !m_fake->keys().isEmpty());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 1);
    QVERIFY(!win()->idleLock()->locked());
    QCOMPARE(m_fake->keys(), keysOf(QStringLiteral("carol\tmail!\n")));
    const qsizetype activated = m_fake->log.indexOf(QStringLiteral("activate 5"));
    QVERIFY(activated >= 0 && activated < m_fake->log.indexOf(QStringLiteral("key c")));
}

void TestMainWindowAutoType::commandTypesIntoThePreviousWindow()
{
    makeWindow();
    QAction* command = win()->action(QStringLiteral("ActionAutoType"));
    QVERIFY(command);
    win()->view()->selectRow(-1);
    QVERIFY(!command->isEnabled());
    win()->view()->selectRow(win()->view()->rowOfEntry(entry(QStringLiteral("Bank business"))));
    QVERIFY(command->isEnabled());

    // Our window is active; the browser was before it.
    m_fake->active = kOurs;
    m_fake->lastForeign = kBrowser;
    win()->show();
    command->trigger();
    QTRY_VERIFY(!typing() && !m_fake->keys().isEmpty());
    QVERIFY(win()->isMinimized());
    QCOMPARE(m_fake->keys(), keysOf(QStringLiteral("bob\tb0b\n")));
    const qsizetype activated = m_fake->log.indexOf(QStringLiteral("activate 5"));
    QVERIFY(activated >= 0 && activated < m_fake->log.indexOf(QStringLiteral("key b")));

    // No window of another program was active since the start: said, nothing typed.
    win()->showNormal();
    m_fake->log.clear();
    m_fake->lastForeign = 0;
    command->trigger();
    QVERIFY(!typing());
    QVERIFY(m_fake->keys().isEmpty());
    QCOMPARE(testsupport::shownMessages(),
             QStringList{QStringLiteral("No window to type into: make the login window active, then try again.")});
}

void TestMainWindowAutoType::commandWithoutXSaysSo()
{
    m_noPlatform = true;
    makeWindow();
    QVERIFY(!win()->autoType()->platform());
    win()->view()->selectRow(0);
    win()->action(QStringLiteral("ActionAutoType"))->trigger();
    QCOMPARE(testsupport::shownMessages(),
             QStringList{QStringLiteral("Auto-type needs an X11 display: nothing was typed.")});
}

void TestMainWindowAutoType::optionsChangeTheShortcut()
{
    makeWindow();
    TBoiteOptions& options = win()->optionsDialog();
    const auto setShortcut = [&](const QKeySequence& s) {
        return connect(&options, &TBoiteOptions::opened, this,
                       [&options, s] { options.edAutoType->setKeySequence(s); });
    };
    QMetaObject::Connection c = setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5));
    ModalSeam::pushAnswer(true);
    win()->action(QStringLiteral("ActionOption"))->trigger();
    disconnect(c);
    QCOMPARE(m_fake->shortcut, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5));
    QCOMPARE(win()->settings().AutoTypeShortcut, QStringLiteral("Ctrl+Shift+F5"));
    QCOMPARE(testsupport::shownMessages(), QStringList{});

    // One another program holds: said at once, in a box.
    m_fake->shortcutAvailable = false;
    c = setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T));
    ModalSeam::pushAnswer(true);
    win()->action(QStringLiteral("ActionOption"))->trigger();
    disconnect(c);
    QCOMPARE(testsupport::shownMessages().size(), 1);
    QVERIFY(testsupport::shownMessages().first().startsWith(QLatin1String("The auto-type shortcut")));

    // None at all: nothing grabbed, written empty.
    m_fake->shortcutAvailable = true;
    c = setShortcut(QKeySequence());
    ModalSeam::pushAnswer(true);
    win()->action(QStringLiteral("ActionOption"))->trigger();
    disconnect(c);
    QCOMPARE(m_fake->shortcut, QKeySequence());
    m_fx->destroyWindow();
    QVERIFY2(m_fx->readIni().contains("[AutoType]\r\nRaccourci=\r\n"), m_fx->readIni().constData());
}

QTEST_MAIN(TestMainWindowAutoType)
#include "tst_mainwindow_autotype.moc"

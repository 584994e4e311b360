// One-time codes and the password health window, driven through their commands in the main
// window with the modal seam answering and a clock the test sets.

#include "app/gui/commands/ClipboardCommands.h"
#include "app/gui/commands/HealthCommand.h"
#include "app/gui/commands/OneTimeCodes.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/DateTime.h"
#include "generator/gui/TBoiteSante.h"
#include "lang/gui/ShowMsg.h"
#include "platform/ClipboardWatch.h"
#include "platform/gui/ModalSeam.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QLabel>
#include <QMimeData>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

using testsupport::WindowFixture;

namespace {
// The RFC 6238 test secret ("12345678901234567890") in Base32; at 59 s its six-digit SHA-1 code is
// 287082, one second before the next period.
const char* const kOtpLine = "otpauth://totp/Bank:me?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ&issuer=Bank";
} // namespace

class TestMainWindowHealth : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void codeOfTheSelectedEntry();
    void codeFollowsNotesAndTheLock();
    void healthWindowListsAndShowsAnEntry();
    void healthWindowWithABreachList();
    void unreadableBreachListIsSaid();
    void breachSearchAwayFromTheWindow();

private:
    // Group Bank: alpha (weak "abc", a code in its notes), beta (the same "abc"), gamma (a strong
    // password, no code); Bank selected.
    void makeWindow(const QByteArray& extraIni = QByteArray());
    QLabel* codeLabel() const { return win()->findChild<QLabel*>(QStringLiteral("lblCode")); }
    QAction* action(const char* name) const { return win()->action(QLatin1String(name)); }
    TFeuille* entry(const QString& name) const;

    TfrmTresorin* win() const { return m_fx->window(); }

    std::unique_ptr<WindowFixture> m_fx;
    qint64 m_now = 59;
};

void TestMainWindowHealth::init()
{
    m_fx = std::make_unique<WindowFixture>();
    m_now = 59;
}

void TestMainWindowHealth::cleanup()
{
    m_fx.reset();
}

void TestMainWindowHealth::makeWindow(const QByteArray& extraIni)
{
    m_fx->makeWindow(testsupport::kWindowIni + extraIni);
    win()->show();
    win()->oneTimeCodes()->setClock([this] { return m_now; });
    DocumentState& d = win()->doc();
    TGroupe* bank = d.addGroup(QStringLiteral("Bank"));
    const struct
    {
        const char* name;
        const char* password;
        QString notes;
    } rows[] = {{"alpha", "abc", QStringLiteral("recovery codes elsewhere\r\n") + QLatin1String(kOtpLine)},
                {"beta", "abc", QString()},
                {"gamma", "Kq7#vR2!mZ9@xL4$pW8&", QStringLiteral("no code here")}};
    for (const auto& r : rows) {
        auto e = NewEntry(bank, QLatin1String(r.name));
        e->Password = QLatin1String(r.password);
        e->Notes = r.notes;
        e->ModifiedAt = datetime::now();
        d.appendEntry(std::move(e));
    }
    m_fx->documentFilled(bank);
    ModalSeam::clearShown();
}

TFeuille* TestMainWindowHealth::entry(const QString& name) const
{
    for (int i = 0; i < win()->doc().entryCount(); ++i)
        if (win()->doc().entry(i)->Name == name)
            return win()->doc().entry(i);
    return nullptr;
}

void TestMainWindowHealth::codeOfTheSelectedEntry()
{
    makeWindow();
    QAction* copyCode = action("ActionCopierCode");
    QCOMPARE(copyCode->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    win()->view()->selectRow(-1);
    QVERIFY(!copyCode->isEnabled());
    QVERIFY(codeLabel()->isHidden());

    win()->view()->selectRow(win()->view()->rowOfEntry(entry(QStringLiteral("alpha"))));
    QVERIFY(copyCode->isEnabled());
    QVERIFY(!codeLabel()->isHidden());
    QCOMPARE(codeLabel()->text(), QStringLiteral("One-time code: 287082 (1 s)"));

    // The next period brings the next code, without another selection.
    m_now = 60;
    QTRY_COMPARE_WITH_TIMEOUT(codeLabel()->text(), QStringLiteral("One-time code: 359152 (30 s)"), 3000);

    // Copied as a secret, watched so that the clearing delay removes it.
    copyCode->trigger();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), QStringLiteral("359152"));
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QCOMPARE(win()->clipboardCommands()->watch()->watchedText(), QStringLiteral("359152"));
    QCOMPARE(win()->statusPanel(0)->text(), QStringLiteral("One-time code copied, cleared in 5 minutes"));

    // An entry without a code: nothing shown, nothing copied, even by the shortcut's command.
    win()->view()->selectRow(win()->view()->rowOfEntry(entry(QStringLiteral("gamma"))));
    QVERIFY(!copyCode->isEnabled());
    QVERIFY(codeLabel()->isHidden());
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    win()->oneTimeCodes()->copyCode();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
    QCOMPARE(ModalSeam::unanswered(), 0);
}

void TestMainWindowHealth::codeFollowsNotesAndTheLock()
{
    makeWindow("[Idle]\r\nMain=1\r\nMainMin=1\r\n");
    TFeuille* gamma = entry(QStringLiteral("gamma"));
    win()->view()->selectRow(win()->view()->rowOfEntry(gamma));
    QVERIFY(codeLabel()->isHidden());

    // A code line typed into the notes counts once the notes are stored.
    win()->doc().MetaPassword = QStringLiteral("secret");
    gamma->Notes = QString::fromLatin1(kOtpLine).replace(QLatin1String("Bank:me"), QLatin1String("Other"));
    emit win()->view()->notesStored(gamma);
    QCOMPARE(codeLabel()->text(), QStringLiteral("One-time code: 287082 (1 s)"));

    // The idle lock hides the document: the code is gone while the password is asked.
    bool shownAtPrompt = true;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("MetaPass"))
            shownAtPrompt = !codeLabel()->isHidden();
    });
    ModalSeam::pushAnswer(QString(QStringLiteral("secret")));
    IdleLock::MillisecondsPerMinute = 10;
    win()->RestartIdleTimer();
    QTRY_COMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 1);
    QVERIFY(!shownAtPrompt);
    // Unlocked, it comes back.
    QTRY_VERIFY(!codeLabel()->isHidden());
    IdleLock::MillisecondsPerMinute = 60000;
    win()->RestartIdleTimer();
}

void TestMainWindowHealth::healthWindowListsAndShowsAnEntry()
{
    makeWindow();
    win()->view()->selectRow(-1);
    // Closed at once: the findings were counted; alpha and beta share "abc" (weak and reused each).
    ModalSeam::pushAnswer(QVariant());
    action("ActionSante")->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")), QStringList{QStringLiteral("4")});
    QCOMPARE(win()->view()->selectedEntry(), nullptr);
    // Details in words, one path form.
    const QTreeWidget* list = win()->healthCommand()->dialog()->ListeSante;
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("weak"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Bank"));
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("score 0 of 4, about 6 guesses"));
    QCOMPARE(list->topLevelItem(1)->text(3), QStringLiteral("Bank/beta"));

    // A double click on a finding shows its entry in the main window, and the window stays: Enter
    // on another finding shows that one, and only then is it closed.
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(2);
    ModalSeam::pushAnswer(QStringLiteral("enter:0"));
    ModalSeam::pushAnswer(QVariant());
    TFeuille* shownThen = nullptr;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("BoiteSante") && ModalSeam::shown().size() == 2)
            shownThen = win()->view()->selectedEntry();
    });
    action("ActionSante")->trigger();
    ModalSeam::setObserver(nullptr);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")).size(), 3);
    QCOMPARE(shownThen, entry(QStringLiteral("beta")));
    QCOMPARE(win()->view()->selectedEntry(), entry(QStringLiteral("alpha")));
    QCOMPARE(ModalSeam::unanswered(), 0);

    // An entry deleted meanwhile is not shown: the window lists findings of the document as it was.
    ModalSeam::clearShown();
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog == QLatin1String("BoiteSante") && win()->doc().entryCount() > 0)
            win()->NewDocument();
    });
    ModalSeam::pushAnswer(0);
    ModalSeam::pushAnswer(QVariant());
    action("ActionSante")->trigger();
    QCOMPARE(win()->doc().entryCount(), 0);
    QCOMPARE(win()->view()->selectedEntry(), nullptr);
}

void TestMainWindowHealth::healthWindowWithABreachList()
{
    makeWindow();
    // A published-format list: upper-case SHA-1, a count, ordered by hash.
    QStringList lines;
    for (const char* password : {"abc", "123456", "password", "letmein"})
        lines << QString::fromLatin1(
                     QCryptographicHash::hash(QByteArray(password), QCryptographicHash::Sha1).toHex().toUpper()) +
                     QStringLiteral(":17043");
    lines.sort();
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("pwned.txt"), lines.join(QStringLiteral("\r\n")).toLatin1()));

    // Compare, then close: alpha and beta are breached too.
    ModalSeam::pushAnswer(QStringLiteral("hibp"));
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("pwned.txt")));
    ModalSeam::pushAnswer(QVariant());
    action("ActionSante")->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")),
             (QStringList{QStringLiteral("4"), QStringLiteral("6")}));
    // The list is a text file: the dialog offers text files, then all files.
    const QList<ModalSeam::Shown>& shown = ModalSeam::shown();
    const auto openFile = std::find_if(shown.begin(), shown.end(),
                                       [](const ModalSeam::Shown& q) { return q.dialog == QLatin1String("OpenFile"); });
    QVERIFY(openFile != shown.end());
    QCOMPARE(openFile->detail, QStringLiteral("Breach lists (*.txt);;All files (*)"));
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
    QCOMPARE(ModalSeam::unanswered(), 0);
    const QTreeWidget* list = win()->healthCommand()->dialog()->ListeSante;
    QCOMPARE(list->topLevelItem(2)->text(3), QStringLiteral("seen 17,043 times"));

    // Opened again on the same document, the list is compared again without asking.
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(QVariant());
    action("ActionSante")->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")), QStringList{QStringLiteral("6")});
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("OpenFile")), QStringList());

    // Another document: the list belonged to the one before.
    win()->NewDocument();
    DocumentState& d = win()->doc();
    TGroupe* g = d.addGroup(QStringLiteral("Other"));
    auto e = NewEntry(g, QStringLiteral("delta"));
    e->Password = QStringLiteral("abc");
    e->ModifiedAt = datetime::now();
    d.appendEntry(std::move(e));
    m_fx->documentFilled(g);
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(QVariant());
    action("ActionSante")->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")), QStringList{QStringLiteral("1")});
}

void TestMainWindowHealth::unreadableBreachListIsSaid()
{
    makeWindow();
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("notalist.txt"), "this is not a breach list\r\n"));
    // A pipe would hold the search for ever, a list out of order would say "not breached" wrongly.
    const QString pipe = m_fx->tmp().filePath(QStringLiteral("pipe"));
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QByteArray reversed;
    for (char c = 'F'; c >= 'A'; --c)
        reversed += QByteArray(40, c) + ":1\r\n";
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("reversed.txt"), reversed));
    for (const QString& file :
         {m_fx->tmp().filePath(QStringLiteral("missing.txt")), m_fx->tmp().filePath(QStringLiteral("notalist.txt")),
          pipe, m_fx->tmp().filePath(QStringLiteral("reversed.txt"))}) {
        ModalSeam::clearShown();
        ModalSeam::pushAnswer(QStringLiteral("hibp"));
        ModalSeam::pushAnswer(file);
        ModalSeam::pushAnswer(int(MsgOK));
        ModalSeam::pushAnswer(QVariant());
        action("ActionSante")->trigger();
        // The findings stay those without the list.
        QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")),
                 (QStringList{QStringLiteral("4"), QStringLiteral("4")}));
        const QStringList messages = ModalSeam::shownTexts(QStringLiteral("ShowMsg"));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QDir::toNativeSeparators(file)), qPrintable(messages.first()));
    }
}

// The breach list is searched by a thread of its own while the window stays live; what it finds is
// added only to the document it began with: one replaced meanwhile gets nothing of it.
void TestMainWindowHealth::breachSearchAwayFromTheWindow()
{
    makeWindow();
    QVERIFY(m_fx->tmp().writeFile(
        QStringLiteral("pwned.txt"),
        QCryptographicHash::hash(QByteArray("abc"), QCryptographicHash::Sha1).toHex().toUpper() + ":7\r\n"));
    int ended = 0;
    QObject::connect(win()->findChild<TBoiteSante*>(), &TBoiteSante::searchEnded, win(), [&ended] { ++ended; });
    bool replaced = false;
    ModalSeam::setObserver([this, &replaced](const ModalSeam::Shown& shown) {
        // As the list is chosen, something replaces the document: it arrives while the search runs.
        if (shown.dialog == QLatin1String("OpenFile") && !replaced) {
            replaced = true;
            QMetaObject::invokeMethod(
                win(),
                [this] {
                    win()->doc().SetModified(false);
                    m_fx->trigger(QStringLiteral("ActionNouveau"));
                },
                Qt::QueuedConnection);
        }
    });
    ModalSeam::pushAnswer(QStringLiteral("hibp"));
    ModalSeam::pushAnswer(m_fx->tmp().filePath(QStringLiteral("pwned.txt")));
    ModalSeam::pushAnswer(QVariant());
    action("ActionSante")->trigger();
    QVERIFY(replaced);
    // The list of the document that was there is not filled with the other's findings.
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("BoiteSante")),
             (QStringList{QStringLiteral("4"), QStringLiteral("4")}));
    QCOMPARE(ended, 1);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
}

QTEST_MAIN(TestMainWindowHealth)
#include "tst_mainwindow_health.moc"

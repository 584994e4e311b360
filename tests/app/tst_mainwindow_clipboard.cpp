// The clipboard commands and the search filter of the main window, driven through their actions
// with the modal seam answering; the clearing delay runs on a clock the test moves.

#include "app/gui/commands/ClipboardCommands.h"
#include "app/gui/commands/SearchCommand.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/views/NotesEdit.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/SecureBytes.h"
#include "document/EntryClipRecord.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/ClipboardWatch.h"
#include "platform/gui/ModalSeam.h"
#include "settings/IniFile.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QtTest>

#include <cmath>

using testsupport::WindowFixture;

namespace {
// Sizes of the text buffers wiped while the observer is set.
QList<qsizetype> g_wipedSizes;
void noteWiped(const void*, qsizetype bytes)
{
    g_wipedSizes << bytes;
}
} // namespace

class TestMainWindowClipboard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void copyPutsThePasswordAndTheRecord();
    void copySaysWhatAndUntilWhen_data();
    void copySaysWhatAndUntilWhen();
    void copyLogin();
    void clearing_data();
    void clearing();
    void clearingTimerRuns();
    void clearedAtExitOnlyWhenStillOurs_data();
    void clearedAtExitOnlyWhenStillOurs();
    void cutThenPasteIntoAnotherGroup();
    void pasteBesideTheOriginal();
    void pasteAfterOpeningAnotherDocument();
    void pasteOfARecordFromAnotherProgram();
    void pasteRefusesWhatIsNoRecord_data();
    void pasteRefusesWhatIsNoRecord();
    void editorsCopyAndCutTextWatched();
    void doubleClicks();
    void viewsNeverCopyByThemselves_data();
    void viewsNeverCopyByThemselves();
    void editorsCopyOnlyThroughTheCommands();
    void copiesWipedOnceTheClipboardLetsGo();
    void searchShowsMatchesOfEveryGroup();
    void searchCancelled();
    void searchTurnedOffByOtherCommands_data();
    void searchTurnedOffByOtherCommands();
    void pathSortSavedAndReadBack();

private:
    // Bank (alpha, beta, gamma; child Cards with visa), Mail (inbox), an entry without group;
    // Bank selected.
    void makeWindow();
    void copyRow(int row);
    TGroupe* group(const QString& name) const;
    QStringList rowNames() const;
    QPoint cellPoint(int row, int column) const;
    void advanceAndCheck(qint64 ms);

    DocumentView* view() const { return win()->view(); }
    DocumentState& doc() const { return win()->doc(); }
    ClipboardWatch* watch() const { return win()->clipboardCommands()->watch(); }
    QAction* action(const char* name) const { return win()->action(QLatin1String(name)); }
    static QString clipText() { return QApplication::clipboard()->text(); }

    TfrmTresorin* win() const { return m_fx->window(); }

    std::unique_ptr<WindowFixture> m_fx;
    qint64 m_now = 0;
};

void TestMainWindowClipboard::init()
{
    m_fx = std::make_unique<WindowFixture>();
    m_fx->writeIni(testsupport::kWindowIni + "AutoCopy=1\r\n");
    m_now = 0;
}

void TestMainWindowClipboard::cleanup()
{
    m_fx.reset();
}

void TestMainWindowClipboard::makeWindow()
{
    m_fx->makeWindow(QByteArray());
    watch()->setClock([this] { return m_now; });
    DocumentState& d = doc();
    TGroupe* bank = d.addGroup(QStringLiteral("Bank"));
    TGroupe* cards = d.addGroup(QStringLiteral("Cards"), bank);
    TGroupe* mail = d.addGroup(QStringLiteral("Mail"));
    DateTime created = 40000.5;
    for (const char* name : {"alpha", "beta", "gamma"}) {
        auto e = NewEntry(bank, QLatin1String(name));
        e->Login = QLatin1String(name) + QStringLiteral("-login");
        e->Password = QStringLiteral("pw-") + QLatin1String(name);
        e->Created = created++;
        e->ModifiedAt = 41000.25;
        d.appendEntry(std::move(e));
    }
    auto visa = NewEntry(cards, QStringLiteral("visa"));
    visa->Notes = QStringLiteral("BANK card\r\nsecond line");
    d.appendEntry(std::move(visa));
    auto inbox = NewEntry(mail, QStringLiteral("\u00c9t\u00e9 inbox"));
    d.appendEntry(std::move(inbox));
    auto orphan = NewEntry(nullptr, QStringLiteral("orphan"));
    orphan->WebAddress = QStringLiteral("https://bAnK.example");
    d.appendEntry(std::move(orphan));
    m_fx->documentFilled(bank);
    QVERIFY(m_fx->showActive());
    view()->liste()->setFocus();
    QTRY_VERIFY(view()->liste()->hasFocus());
}

TGroupe* TestMainWindowClipboard::group(const QString& name) const
{
    TGroupe* found = nullptr;
    doc().forEachGroup([&](TGroupe* g) {
        if (g->Name == name)
            found = g;
    });
    return found;
}

QStringList TestMainWindowClipboard::rowNames() const
{
    QStringList out;
    for (int r = 0; r < view()->entryModel()->count(); ++r)
        out << view()->entryModel()->cellText(r, EntryListModel::NameColumn);
    return out;
}

QPoint TestMainWindowClipboard::cellPoint(int row, int column) const
{
    EntryListView* list = view()->liste();
    const QRect r = list->visualRect(view()->entryModel()->index(row, 0));
    return QPoint(list->header()->sectionViewportPosition(column) + list->header()->sectionSize(column) / 2,
                  r.center().y());
}

void TestMainWindowClipboard::copyRow(int row)
{
    view()->selectRow(row);
    QVERIFY(action("ActionCopier")->isEnabled());
    action("ActionCopier")->trigger();
}

void TestMainWindowClipboard::advanceAndCheck(qint64 ms)
{
    m_now += ms;
    watch()->check();
}

void TestMainWindowClipboard::copyPutsThePasswordAndTheRecord()
{
    makeWindow();
    copyRow(1);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), QStringLiteral("pw-beta"));
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    const std::unique_ptr<TFeuille> record = entryclip::decode(data->data(entryclip::mimeType()));
    QVERIFY(record);
    QCOMPARE(record->Name, QStringLiteral("beta"));
    QCOMPARE(record->Login, QStringLiteral("beta-login"));
    QCOMPARE(watch()->watchedText(), QStringLiteral("pw-beta"));
    QVERIFY(watch()->pending());
    QVERIFY(!doc().Modified);
    // Paste now follows the clipboard without a menu being opened.
    QVERIFY(action("ActionColler")->isEnabled());
}

void TestMainWindowClipboard::copySaysWhatAndUntilWhen_data()
{
    QTest::addColumn<bool>("clearing");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("status");
    QTest::newRow("default delay") << true << 5 << "Password copied, cleared in 5 minutes";
    QTest::newRow("one minute") << true << 1 << "Password copied, cleared in 1 minute";
    QTest::newRow("no clearing") << false << 5 << "Password copied";
}

void TestMainWindowClipboard::copySaysWhatAndUntilWhen()
{
    QFETCH(bool, clearing);
    QFETCH(int, minutes);
    QFETCH(QString, status);
    makeWindow();
    win()->clipboardCommands()->setClearing(clearing, minutes);
    win()->setStatusText(QString());
    copyRow(1);
    QCOMPARE(win()->statusPanel(0)->text(), status);
}

// Copy login (Ctrl+B, in the Item menu and the list's pop-up): the login alone, as plain text,
// neither marked secret nor cleared.
void TestMainWindowClipboard::copyLogin()
{
    makeWindow();
    QAction* copyLogin = action("ActionCopierLogin");
    QCOMPARE(copyLogin->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    QCOMPARE(copyLogin->text(), QStringLiteral("Copy login"));
    for (const char* menu : {"Element1", "PopupListe"})
        QVERIFY2(win()->findChild<QMenu*>(QLatin1String(menu))->actions().contains(copyLogin), menu);
    view()->selectRow(-1);
    QVERIFY(!copyLogin->isEnabled());

    copyRow(0); // a password watched first: the login's copy lets go of it
    view()->selectRow(2);
    QVERIFY(copyLogin->isEnabled());
    copyLogin->trigger();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), QStringLiteral("gamma-login"));
    QVERIFY(!data->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
    QVERIFY(!data->hasFormat(entryclip::mimeType()));
    QCOMPARE(watch()->watchedText(), QString());
    QVERIFY(!watch()->pending());
    QCOMPARE(win()->statusPanel(0)->text(), QStringLiteral("Login copied"));
    QVERIFY(!doc().Modified);

    // An entry without a login: the clipboard keeps what it held, and the status bar says why.
    view()->selectGroup(group(QStringLiteral("Cards")));
    view()->flushGroupChange();
    view()->selectRow(0);
    copyLogin->trigger();
    QCOMPARE(clipText(), QStringLiteral("gamma-login"));
    QCOMPARE(win()->statusPanel(0)->text(), QStringLiteral("This item has no login: nothing was copied"));
}

void TestMainWindowClipboard::clearing_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("left");
    QTest::newRow("after the delay") << "wait"
                                     << "";
    QTest::newRow("another program copied since") << "other"
                                                  << "from elsewhere";
    QTest::newRow("second copy restarts the delay") << "twice"
                                                    << "";
}

void TestMainWindowClipboard::clearing()
{
    QFETCH(QString, scenario);
    QFETCH(QString, left);
    makeWindow();
    copyRow(0);
    if (scenario == QLatin1String("other"))
        QApplication::clipboard()->setText(QStringLiteral("from elsewhere"));
    if (scenario == QLatin1String("twice")) {
        advanceAndCheck(3 * 60000);
        copyRow(2);
        advanceAndCheck(2 * 60000);
        // Five minutes after the first copy: the second one is still there.
        QCOMPARE(clipText(), QStringLiteral("pw-gamma"));
        advanceAndCheck(3 * 60000);
    } else {
        advanceAndCheck(5 * 60000 - 1);
        QVERIFY(!clipText().isEmpty());
        advanceAndCheck(1);
    }
    QCOMPARE(clipText(), left);
    QVERIFY(!watch()->pending());
    if (left.isEmpty())
        QVERIFY(!QApplication::clipboard()->mimeData()->hasFormat(entryclip::mimeType()));
}

void TestMainWindowClipboard::clearingTimerRuns()
{
    makeWindow();
    watch()->setClock({});
    win()->clipboardCommands()->setClearing(true, 0);
    copyRow(0);
    QCOMPARE(clipText(), QStringLiteral("pw-alpha"));
    QTRY_COMPARE(clipText(), QString());
    // Clearing off: nothing is planned.
    win()->clipboardCommands()->setClearing(false, 0);
    copyRow(1);
    QVERIFY(!watch()->pending());
    QCOMPARE(clipText(), QStringLiteral("pw-beta"));
}

void TestMainWindowClipboard::clearedAtExitOnlyWhenStillOurs_data()
{
    QTest::addColumn<bool>("otherCopy");
    QTest::newRow("still ours") << false;
    QTest::newRow("another program's text") << true;
}

void TestMainWindowClipboard::clearedAtExitOnlyWhenStillOurs()
{
    QFETCH(bool, otherCopy);
    makeWindow();
    copyRow(0);
    if (otherCopy)
        QApplication::clipboard()->setText(QStringLiteral("mine"));
    m_fx->destroyWindow();
    QCOMPARE(clipText(), otherCopy ? QStringLiteral("mine") : QString());
}

void TestMainWindowClipboard::cutThenPasteIntoAnotherGroup()
{
    makeWindow();
    doc().setFtpEntry(1);
    view()->selectRow(1);
    QVERIFY(action("ActionCouper")->isEnabled());
    action("ActionCouper")->trigger();
    QCOMPARE(rowNames(), (QStringList{"alpha", "gamma"}));
    QCOMPARE(doc().entryCount(), 5);
    QCOMPARE(doc().FtpEntryIndex(), -1);
    QVERIFY(doc().Modified);
    QCOMPARE(clipText(), QStringLiteral("pw-beta"));

    doc().SetModified(false);
    view()->selectGroup(group(QStringLiteral("Cards")));
    view()->flushGroupChange();
    QCOMPARE(view()->selectedRow(), 0);
    QVERIFY(action("ActionColler")->isEnabled());
    action("ActionColler")->trigger();
    // Appended to the entries, its row before the selected one, and selected.
    QCOMPARE(doc().entryCount(), 6);
    TFeuille* pasted = doc().entry(5);
    QCOMPARE(pasted->Name, QStringLiteral("beta"));
    QCOMPARE(pasted->Group, group(QStringLiteral("Cards"))->Id);
    // Moved, not copied: the same entry, with its identity.
    QCOMPARE(pasted->Created, 40001.5);
    QCOMPARE(pasted->ModifiedAt, 41000.25);
    // The record carried the FTP mark; a pasted entry never becomes the FTP entry.
    QVERIFY(entryclip::decode(QApplication::clipboard()->mimeData()->data(entryclip::mimeType()))->IsFtpEntry);
    QVERIFY(!pasted->IsFtpEntry);
    QCOMPARE(doc().FtpEntryIndex(), -1);
    QCOMPARE(rowNames(), (QStringList{"beta", "visa"}));
    QCOMPARE(view()->selectedEntry(), pasted);
    QVERIFY(doc().Modified);
}

void TestMainWindowClipboard::pasteBesideTheOriginal()
{
    // A copy pasted while the original stays is another entry: an identity of its own, every time.
    makeWindow();
    copyRow(0);
    action("ActionColler")->trigger();
    action("ActionColler")->trigger();
    QCOMPARE(doc().entryCount(), 8);
    QCOMPARE(doc().entry(0)->Created, 40000.5); // the original keeps its own
    QVERIFY(doc().entry(6)->Created != 40000.5);
    QVERIFY(doc().entry(7)->Created != 40000.5);
    QVERIFY(doc().entry(6)->Created != doc().entry(7)->Created);
    QVERIFY(std::fabs(doc().entry(6)->Created - 40000.5) < 0.001); // the shown date barely moves
}

void TestMainWindowClipboard::pasteAfterOpeningAnotherDocument()
{
    makeWindow();
    copyRow(2);
    action("ActionNouveau")->trigger();
    QCOMPARE(doc().entryCount(), 0);
    TGroupe* fresh = doc().addGroup(QStringLiteral("Fresh"));
    view()->documentReloaded();
    view()->selectGroup(fresh);
    view()->flushGroupChange();
    action("ActionColler")->trigger();
    QCOMPARE(doc().entryCount(), 1);
    QCOMPARE(doc().entry(0)->Name, QStringLiteral("gamma"));
    QCOMPARE(doc().entry(0)->Group, fresh->Id);
    QCOMPARE(rowNames(), QStringList{"gamma"});
}

void TestMainWindowClipboard::pasteOfARecordFromAnotherProgram()
{
    makeWindow();
    // What another running Tresorin leaves: its record, under the shared MIME type.
    TFeuille other;
    other.Name = QStringLiteral("from afar");
    other.Password = QStringLiteral("far");
    other.Notes = QStringLiteral("n");
    other.Created = 30000;
    other.ModifiedAt = 2958465; // 31 Dec 9999: it would win every synchronising merge
    other.IsFtpEntry = true;
    auto* data = new QMimeData;
    data->setText(other.Password);
    data->setData(entryclip::mimeType(), entryclip::encode(other, 3));
    QApplication::clipboard()->setMimeData(data);
    view()->selectRow(-1);
    action("ActionColler")->trigger();
    QCOMPARE(rowNames(), (QStringList{"alpha", "beta", "gamma", "from afar"}));
    QCOMPARE(doc().entry(doc().entryCount() - 1)->Notes, QStringLiteral("n"));
    QCOMPARE(doc().entry(doc().entryCount() - 1)->Created, 30000.0);
    QVERIFY(doc().entry(doc().entryCount() - 1)->ModifiedAt <= datetime::now());
    // Its FTP mark is not taken: the synchronisation must not follow a pasted entry.
    QVERIFY(!doc().entry(doc().entryCount() - 1)->IsFtpEntry);
    QCOMPARE(doc().FtpEntryIndex(), -1);
    QCOMPARE(view()->entryModel()->data(view()->entryModel()->index(3, 0), EntryListModel::RowIconRole).toInt(),
             int(EntryListModel::KeyNotesIcon));
}

void TestMainWindowClipboard::pasteRefusesWhatIsNoRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("hasFormat");
    TFeuille e;
    e.Name = QStringLiteral("x");
    const QByteArray whole = entryclip::encode(e, 7);
    QTest::newRow("text only") << QByteArray() << false;
    QTest::newRow("truncated") << whole.left(whole.size() - 3) << true;
    QTest::newRow("count past the end") << whole.left(4) + QByteArray("\xff\xff\xff\x7f", 4) << true;
    QTest::newRow("empty record") << QByteArray() << true;
}

void TestMainWindowClipboard::pasteRefusesWhatIsNoRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, hasFormat);
    makeWindow();
    auto* data = new QMimeData;
    data->setText(QStringLiteral("plain"));
    if (hasFormat)
        data->setData(entryclip::mimeType(), record);
    QApplication::clipboard()->setMimeData(data);
    win()->clipboardCommands()->Paste();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             QStringList{QStringLiteral("The clipboard contains no Tresorin text !")});
    QCOMPARE(ModalSeam::shown().first().kind, int(MsgKind::Error));
    QCOMPARE(doc().entryCount(), 6);
    QCOMPARE(rowNames(), (QStringList{"alpha", "beta", "gamma"}));
    QVERIFY(!doc().Modified);
}

void TestMainWindowClipboard::editorsCopyAndCutTextWatched()
{
    makeWindow();
    // Ctrl+C in the password cell: its selected text, marked secret and watched.
    QVERIFY(view()->cellEditing()->OpenCellEditor(cellPoint(0, EntryListModel::PasswordColumn)));
    TCellEditor* ed = view()->cellEditing()->editor();
    QTRY_VERIFY(ed->hasFocus());
    QCOMPARE(ed->selectedText(), QStringLiteral("pw-alpha"));
    QTest::keyClick(ed, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipText(), QStringLiteral("pw-alpha"));
    QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")),
             QByteArray("secret"));
    QCOMPARE(watch()->watchedText(), QStringLiteral("pw-alpha"));
    // Ctrl+X: the text leaves the editor; the entry changes when the editor commits.
    QTest::keyClick(ed, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(ed->text(), QString());
    QCOMPARE(doc().entry(0)->Password, QStringLiteral("pw-alpha"));
    // Paste in the editor is the editor's own.
    QTest::keyClick(ed, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ed->text(), QStringLiteral("pw-alpha"));
    QCOMPARE(doc().entryCount(), 6);
    view()->cellEditing()->edExit();

    // The notes editor: the command cuts its selection.
    view()->selectGroup(group(QStringLiteral("Cards")));
    view()->flushGroupChange();
    QPlainTextEdit* memo = view()->memo();
    memo->setFocus();
    QTRY_VERIFY(memo->hasFocus());
    memo->selectAll();
    action("ActionCouper")->trigger();
    QCOMPARE(clipText(), QStringLiteral("BANK card\nsecond line"));
    QCOMPARE(watch()->watchedText(), clipText());
    QVERIFY(!QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
    QCOMPARE(memo->toPlainText(), QString());
    QCOMPARE(doc().entryCount(), 6); // the entry stays
}

void TestMainWindowClipboard::doubleClicks()
{
    makeWindow();
    QWidget* viewport = view()->liste()->viewport();
    const QPoint icon(10, cellPoint(2, 0).y());
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, icon);
    QCOMPARE(view()->selectedRow(), 2);
    QCOMPARE(clipText(), QStringLiteral("pw-gamma"));
    QVERIFY(QApplication::clipboard()->mimeData()->hasFormat(entryclip::mimeType()));
    QCOMPARE(watch()->watchedText(), QStringLiteral("pw-gamma"));
    QVERIFY(!view()->cellEditing()->isOpen());

    // AutoCopy: the login cell opens and its text is copied, unwatched; the password it replaced
    // is no longer kept for the watch.
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, cellPoint(1, EntryListModel::LoginColumn));
    QVERIFY(view()->cellEditing()->isOpen());
    QCOMPARE(clipText(), QStringLiteral("beta-login"));
    QCOMPARE(watch()->watchedText(), QString());
    QVERIFY(!watch()->pending());
    QVERIFY(!QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
    QCOMPARE(win()->statusPanel(0)->text(), QStringLiteral("Text copied"));
    view()->cellEditing()->edExit();

    // AutoCopy of a password cell: marked secret and watched like every copy of a password.
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, cellPoint(0, EntryListModel::PasswordColumn));
    QVERIFY(view()->cellEditing()->isOpen());
    QCOMPARE(clipText(), QStringLiteral("pw-alpha"));
    QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")),
             QByteArray("secret"));
    QCOMPARE(watch()->watchedText(), QStringLiteral("pw-alpha"));
    QVERIFY(watch()->pending());
    QCOMPARE(win()->statusPanel(0)->text(), QStringLiteral("Password copied, cleared in %1")
                                                .arg(MsgCount(QStringLiteral("NbMinutes"), watch()->minutes())));
}

void TestMainWindowClipboard::viewsNeverCopyByThemselves_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("password cell, row deselected") << "deselected";
    QTest::newRow("row deleted") << "deleted";
    QTest::newRow("group tree") << "tree";
}

// Whenever the program's Copy is disabled, the keys that copy reach the views, which would copy the
// text of their current cell by themselves: unmarked, unwatched, never cleared.
void TestMainWindowClipboard::viewsNeverCopyByThemselves()
{
    QFETCH(QString, how);
    makeWindow();
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    QWidget* target = view()->liste();
    if (how == QLatin1String("deselected")) {
        QWidget* viewport = view()->liste()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, cellPoint(1, EntryListModel::PasswordColumn));
        QCOMPARE(view()->selectedRow(), 1);
        if (view()->cellEditing()->isOpen())
            view()->cellEditing()->edExit();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, cellPoint(1, EntryListModel::PasswordColumn));
        QCOMPARE(view()->selectedRow(), -1);
        QVERIFY(view()->liste()->currentIndex().isValid());
    } else if (how == QLatin1String("deleted")) {
        view()->selectRow(0);
        ModalSeam::pushAnswer(int(MsgYes));
        action("ActionDelEntree")->trigger();
        QCOMPARE(rowNames(), (QStringList{"beta", "gamma"}));
    } else {
        target = view()->arbo();
    }
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QVERIFY(!action("ActionCopier")->isEnabled() || how == QLatin1String("tree"));
    if (how == QLatin1String("tree"))
        view()->selectRow(-1);
    QVERIFY(!action("ActionCopier")->isEnabled());
    for (const QKeySequence& key : {QKeySequence(QKeySequence::Copy), QKeySequence(QStringLiteral("Ctrl+Insert")),
                                    QKeySequence(QKeySequence::Cut)}) {
        QTest::keySequence(target, key);
        QCOMPARE(clipText(), QStringLiteral("untouched"));
    }
    QCOMPARE(doc().entryCount(), how == QLatin1String("deleted") ? 5 : 6);
}

// The editors' other ways to copy (Ctrl+Insert, their own menus, dragging the notes' text out)
// all end in the program's command: marked when it is a password, watched, cleared.
void TestMainWindowClipboard::editorsCopyOnlyThroughTheCommands()
{
    makeWindow();
    QVERIFY(view()->cellEditing()->OpenCellEditor(cellPoint(2, EntryListModel::PasswordColumn)));
    TCellEditor* ed = view()->cellEditing()->editor();
    QTRY_VERIFY(ed->hasFocus());
    QCOMPARE(ed->selectedText(), QStringLiteral("pw-gamma"));
    QTest::keyClick(ed, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(clipText(), QStringLiteral("pw-gamma"));
    QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")),
             QByteArray("secret"));
    QCOMPARE(watch()->watchedText(), QStringLiteral("pw-gamma"));

    QApplication::clipboard()->setText(QStringLiteral("other"));
    std::unique_ptr<QMenu> menu(ed->createContextMenu());
    QAction* copy = menu->findChild<QAction*>(QStringLiteral("edit-copy"));
    QVERIFY(copy);
    copy->trigger();
    QCOMPARE(clipText(), QStringLiteral("pw-gamma"));
    QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")),
             QByteArray("secret"));
    QCOMPARE(watch()->watchedText(), QStringLiteral("pw-gamma"));
    QAction* cut = menu->findChild<QAction*>(QStringLiteral("edit-cut"));
    QVERIFY(cut);
    cut->trigger();
    QCOMPARE(ed->text(), QString());
    menu.reset();
    view()->cellEditing()->discard();

    view()->selectGroup(group(QStringLiteral("Cards")));
    view()->flushGroupChange();
    NotesEdit* memo = view()->memo();
    memo->setFocus();
    QTRY_VERIFY(memo->hasFocus());
    memo->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("other"));
    QTest::keyClick(memo, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(clipText(), QStringLiteral("BANK card\nsecond line"));
    QCOMPARE(watch()->watchedText(), clipText());
    QApplication::clipboard()->setText(QStringLiteral("other"));
    menu.reset(memo->createContextMenu());
    menu->findChild<QAction*>(QStringLiteral("edit-copy"))->trigger();
    QCOMPARE(clipText(), QStringLiteral("BANK card\nsecond line"));
    QCOMPARE(watch()->watchedText(), clipText());
    // A drag of the selection carries nothing another program reads.
    std::unique_ptr<QMimeData> dragged(memo->createMimeDataFromSelection());
    QVERIFY(!dragged->hasText());
    QVERIFY(!dragged->hasHtml());
    QCOMPARE(dragged->formats(), QStringList{QLatin1String(NotesEdit::kDragMimeType)});
    QCOMPARE(dragged->data(QLatin1String(NotesEdit::kDragMimeType)), QByteArray("BANK card\nsecond line"));
}

// What Copy put on the clipboard is kept in buffers that are wiped once the clipboard lets go of
// them: replaced by another program, or emptied after the delay; not while it still holds them.
void TestMainWindowClipboard::copiesWipedOnceTheClipboardLetsGo()
{
    makeWindow();
    copyRow(1);
    auto* clipCommands = win()->clipboardCommands();
    QCOMPARE(clipCommands->placedText(), QStringLiteral("pw-beta"));
    QVERIFY(entryclip::decode(clipCommands->placedRecord()));
    // The document's own password buffer is not the clipboard's.
    QVERIFY(clipCommands->placedText().constData() != doc().entry(1)->Password.constData());

    g_wipedSizes.clear();
    setTextWipeObserver(noteWiped);
    const auto noObserver = qScopeGuard([] { setTextWipeObserver(nullptr); });
    // New keeps what the clipboard still holds: it may be pasted yet.
    ModalSeam::pushAnswer(int(MsgNo));
    QVERIFY(win()->NewDocument());
    QCOMPARE(clipText(), QStringLiteral("pw-beta"));
    QCOMPARE(clipCommands->placedText(), QStringLiteral("pw-beta"));
    // The delay ends: the clipboard is emptied and both copies are wiped.
    g_wipedSizes.clear();
    advanceAndCheck(5 * 60000);
    QCOMPARE(clipText(), QString());
    QVERIFY(clipCommands->placedText().isEmpty());
    QVERIFY(clipCommands->placedRecord().isEmpty());
    QVERIFY(watch()->watchedText().isEmpty());
    // The placed password, 7 characters of 2 bytes, was cleared in place.
    QVERIFY2(std::any_of(g_wipedSizes.begin(), g_wipedSizes.end(), [](qsizetype n) { return n >= 14; }),
             "the placed password was not wiped");

    // Another program takes the clipboard: the copy is wiped at once.
    makeWindow();
    copyRow(0);
    QCOMPARE(win()->clipboardCommands()->placedText(), QStringLiteral("pw-alpha"));
    QApplication::clipboard()->setText(QStringLiteral("someone else"));
    QTRY_VERIFY(win()->clipboardCommands()->placedText().isEmpty());
    QVERIFY(win()->clipboardCommands()->placedRecord().isEmpty());
    QVERIFY(!watch()->pending());
}

void TestMainWindowClipboard::searchShowsMatchesOfEveryGroup()
{
    makeWindow();
    QAction* search = action("ActionChercher");
    QVERIFY(search->isEnabled());
    ModalSeam::pushAnswer(QStringLiteral("BaNk"));
    search->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("InputBox")), QStringList{QStringLiteral("Show elements with :")});
    QVERIFY(search->isChecked());
    QCOMPARE(win()->searchCommand()->filterText(), QStringLiteral("bank"));
    // Notes, and the web address of an entry that belongs to no group, in Entries order.
    QCOMPARE(rowNames(), (QStringList{"visa", "orphan"}));
    EntryListModel* model = view()->entryModel();
    QCOMPARE(model->columnCount(), 5);
    QCOMPARE(model->headerData(EntryListModel::PathColumn, Qt::Horizontal).toString(), QStringLiteral("Path"));
    QCOMPARE(model->cellText(0, EntryListModel::PathColumn), QStringLiteral("Bank\\Cards"));
    QCOMPARE(model->cellText(1, EntryListModel::PathColumn), QString());
    QCOMPARE(model->data(model->index(0, 0), EntryListModel::RowIconRole).toInt(),
             int(EntryListModel::SearchNotesIcon));
    QCOMPARE(model->data(model->index(1, 0), EntryListModel::RowIconRole).toInt(), int(EntryListModel::SearchIcon));
    QVERIFY(!view()->arbo()->isVisible());
    QCOMPARE(view()->selectedRow(), 0);
    for (const char* name : {"ActionNewGrp", "ActionNewEntree", "actNewGenerateur"})
        QVERIFY2(!action(name)->isEnabled(), name);
    // Copy works on result rows.
    copyRow(1);
    QCOMPARE(QApplication::clipboard()->mimeData()->data(entryclip::mimeType()).isEmpty(), false);

    // "é" does not find "É".
    search->trigger();
    ModalSeam::pushAnswer(QStringLiteral("\u00e9t\u00e9"));
    search->trigger();
    QVERIFY(search->isChecked());
    QCOMPARE(rowNames(), QStringList());

    // Off: the tree and the selected group's rows, first row selected.
    search->trigger();
    QVERIFY(!search->isChecked());
    QCOMPARE(win()->searchCommand()->filterText(), QString());
    QVERIFY(view()->arbo()->isVisible());
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(rowNames(), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(view()->selectedRow(), 0);
    for (const char* name : {"ActionNewGrp", "ActionNewEntree", "actNewGenerateur"})
        QVERIFY2(action(name)->isEnabled(), name);
}

void TestMainWindowClipboard::searchCancelled()
{
    makeWindow();
    QAction* search = action("ActionChercher");
    // Cancel gives an empty text: the search stays off, without a message.
    ModalSeam::pushAnswer(QString());
    QTest::keyClick(view()->liste(), Qt::Key_F3);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("InputBox")).size(), 1);
    QVERIFY(!search->isChecked());
    QVERIFY(view()->arbo()->isVisible());
    QCOMPARE(rowNames(), (QStringList{"alpha", "beta", "gamma"}));
    QVERIFY(action("ActionNewGrp")->isEnabled());
    QVERIFY(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).isEmpty());
}

void TestMainWindowClipboard::searchTurnedOffByOtherCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("New") << "ActionNouveau";
    QTest::newRow("Open") << "ActionOuvrir";
    QTest::newRow("Merge") << "ActionFusionner";
}

void TestMainWindowClipboard::searchTurnedOffByOtherCommands()
{
    QFETCH(QString, command);
    makeWindow();
    ModalSeam::pushAnswer(QStringLiteral("a"));
    action("ActionChercher")->trigger();
    QVERIFY(view()->searchViewActive());
    // The file dialogs are cancelled: the search is off before they are asked.
    win()->action(command)->trigger();
    QVERIFY(!action("ActionChercher")->isChecked());
    QVERIFY(!view()->searchViewActive());
    QCOMPARE(win()->searchCommand()->filterText(), QString());
    QCOMPARE(view()->entryModel()->columnCount(), 4);
}

void TestMainWindowClipboard::pathSortSavedAndReadBack()
{
    // Column settings saved and read back, the sort with them.
    m_fx->writeIni("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n[Pos]\r\nCol=1\r\n");
    makeWindow();
    ModalSeam::pushAnswer(QStringLiteral("a"));
    action("ActionChercher")->trigger();
    view()->columnClick(5);
    view()->columnClick(5);
    QCOMPARE(view()->sortCode(), -5);
    // The path column sorts like the others.
    const QStringList paths = [this] {
        QStringList out;
        for (int r = 0; r < view()->entryModel()->count(); ++r)
            out << view()->entryModel()->cellText(r, EntryListModel::PathColumn);
        return out;
    }();
    QStringList sorted = paths;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) > 0; });
    QCOMPARE(paths, sorted);
    // Left at -5 by an exit during the search, the next start shows the group rows unsorted.
    m_fx->destroyWindow();
    QVERIFY(m_fx->readIni().contains("Tri=-5"));
    makeWindow();
    QCOMPARE(view()->sortCode(), 0);
    QCOMPARE(rowNames(), (QStringList{"alpha", "beta", "gamma"}));
}

QTEST_MAIN(TestMainWindowClipboard)
#include "tst_mainwindow_clipboard.moc"

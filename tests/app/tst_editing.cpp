// Editing in the main window: the cell editor over the list and its keys, the notes editor, group
// renaming, the group and entry commands (through their actions), the moves of drag and drop,
// the read-only lock, and the characters a document cannot hold. Questions go through the modal
// seam; beeps are collected by the sound sink.

#include "app/gui/commands/GroupEntryCommands.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"
#include "platform/gui/Sound.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

using testsupport::WindowFixture;

class TestEditing : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void enterWalksTheCellsThenTheNextRow();
    void ctrlEnterOnTheLastRow_data();
    void ctrlEnterOnTheLastRow();
    void leftRightUpDown();
    void lastCellEditorStaysInsideTheList();
    void farCellScrolledIntoView();
    void emptyNameRefused();
    void escapeRestoresTheText();
    void leavingACellOfAModifiedDocumentDatesTheEntry();
    void doubleClickOpensTheCell();
    void notesCommitAndLimit();
    void groupRename_data();
    void groupRename();
    void newGroup();
    void deleteEntry_data();
    void deleteEntry();
    void deleteGroup_data();
    void deleteGroup();
    void newEntryAndGeneratedPassword_data();
    void newEntryAndGeneratedPassword();
    void entryMovedInsideTheList_data();
    void entryMovedInsideTheList();
    void entryMovedToAnotherGroup();
    void groupMoved_data();
    void groupMoved();
    void readOnlyLock();
    void unholdableCharacterRefused_data();
    void unholdableCharacterRefused();
    void ftpEntryEditsGiveTheFtpSettings();

private:
    // Bank (entries alpha, beta, gamma; child Cards with visa), Mail (inbox); Bank selected.
    void makeWindow();
    QPoint cellPoint(int row, int column) const;
    void openCell(int row, int column);
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    QStringList rowNames() const;
    QStringList entryNames() const;
    TGroupe* group(const QString& name) const;
    void focus(QWidget* widget);
    QLineEdit* groupLabelEditor() const;

    TCellEditor* editor() const { return win()->view()->cellEditing()->editor(); }
    DocumentView* view() const { return win()->view(); }
    DocumentState& doc() const { return win()->doc(); }

    TfrmTresorin* win() const { return m_fx->window(); }

    std::unique_ptr<WindowFixture> m_fx;
    QList<platform::SystemSound> m_sounds;
};

void TestEditing::init()
{
    m_fx = std::make_unique<WindowFixture>();
    m_fx->writeIni(testsupport::kWindowIni);
    m_sounds.clear();
    platform::setSoundSink([this](platform::SystemSound s) { m_sounds << s; });
}

void TestEditing::cleanup()
{
    m_fx.reset();
}

void TestEditing::makeWindow()
{
    m_fx->makeWindow(QByteArray());
    DocumentState& d = doc();
    TGroupe* bank = d.addGroup(QStringLiteral("Bank"));
    TGroupe* cards = d.addGroup(QStringLiteral("Cards"), bank);
    TGroupe* mail = d.addGroup(QStringLiteral("Mail"));
    for (const char* name : {"alpha", "beta", "gamma"}) {
        auto e = NewEntry(bank, QLatin1String(name));
        e->Login = QLatin1String(name) + QStringLiteral("-login");
        d.appendEntry(std::move(e));
    }
    d.appendEntry(NewEntry(cards, QStringLiteral("visa")));
    d.appendEntry(NewEntry(mail, QStringLiteral("inbox")));
    m_fx->documentFilled(bank);
    QVERIFY(m_fx->showActive());
    focus(view()->liste());
}

namespace {

// Types text one key event per character, whatever the character (QTest only types Latin-1).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

QLineEdit* TestEditing::groupLabelEditor() const
{
    for (QLineEdit* edit : view()->arbo()->findChildren<QLineEdit*>())
        if (edit->isVisible())
            return edit;
    return nullptr;
}

void TestEditing::focus(QWidget* widget)
{
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus());
}

QPoint TestEditing::cellPoint(int row, int column) const
{
    EntryListView* list = view()->liste();
    const QRect r = list->visualRect(view()->entryModel()->index(row, 0));
    return QPoint(list->header()->sectionViewportPosition(column) + list->header()->sectionSize(column) / 2,
                  r.center().y());
}

void TestEditing::openCell(int row, int column)
{
    QVERIFY(view()->cellEditing()->OpenCellEditor(cellPoint(row, column)));
    QVERIFY(editor()->isVisible());
    QTRY_VERIFY(editor()->hasFocus());
    QCOMPARE(editor()->column, column);
    QCOMPARE(view()->selectedRow(), row);
}

void TestEditing::key(int k, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), modifiers);
}

QStringList TestEditing::rowNames() const
{
    QStringList out;
    for (int r = 0; r < view()->entryModel()->count(); ++r)
        out << view()->entryModel()->cellText(r, EntryListModel::NameColumn);
    return out;
}

QStringList TestEditing::entryNames() const
{
    QStringList out;
    for (const auto& e : doc().Entries())
        out << e->Name;
    return out;
}

TGroupe* TestEditing::group(const QString& name) const
{
    for (TGroupe* g : doc().groupsInOrder())
        if (g->Name == name)
            return g;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The cell editor

void TestEditing::enterWalksTheCellsThenTheNextRow()
{
    makeWindow();
    openCell(0, 1);
    QCOMPARE(editor()->text(), QStringLiteral("alpha-login"));
    QCOMPARE(editor()->selectedText(), editor()->text()); // opened wholly selected
    QTest::keyClicks(editor(), QStringLiteral("bob"));
    key(Qt::Key_Return);
    QCOMPARE(editor()->column, 2);
    QTest::keyClicks(editor(), QStringLiteral("pw"));
    key(Qt::Key_Tab); // Tab is Enter, never a character
    QCOMPARE(editor()->column, 3);
    QTest::keyClicks(editor(), QStringLiteral("http://a"));
    key(Qt::Key_Enter);
    QCOMPARE(editor()->column, 0);
    QCOMPARE(view()->selectedRow(), 1);
    QCOMPARE(editor()->text(), QStringLiteral("beta"));

    const TFeuille* alpha = doc().entry(0);
    QCOMPARE(alpha->Login, QStringLiteral("bob"));
    QCOMPARE(alpha->Password, QStringLiteral("pw"));
    QCOMPARE(alpha->WebAddress, QStringLiteral("http://a"));
    QVERIFY(alpha->ModifiedAt > 0);
    QVERIFY(doc().Modified);
    QCOMPARE(win()->statusPanel(2)->text(), QStringLiteral("Modified"));
    QCOMPARE(view()->entryModel()->cellText(0, EntryListModel::LoginColumn), QStringLiteral("bob"));
    QCOMPARE(view()->entryModel()->cellText(0, EntryListModel::WebColumn), QStringLiteral("http://a"));
    // Committing the web address enabled Open web site and the password Copy.
    QVERIFY(win()->action(QStringLiteral("ActionCopier"))->isEnabled());
}

// The marked FTP entry carries the document's FTP settings: editing its cells derives them again.
void TestEditing::ftpEntryEditsGiveTheFtpSettings()
{
    makeWindow();
    doc().LocalDoc.UseFtpEntry = true;
    doc().entry(1)->IsFtpEntry = true;
    openCell(1, 1);
    QTest::keyClicks(editor(), QStringLiteral("bob"));
    key(Qt::Key_Return);
    QCOMPARE(doc().LocalDoc.UserName, QStringLiteral("bob"));
    QTest::keyClicks(editor(), QStringLiteral("pw"));
    key(Qt::Key_Return);
    QCOMPARE(doc().LocalDoc.UserPassword, QStringLiteral("pw"));
    QTest::keyClicks(editor(), QStringLiteral("ftp://myhost:2121/backup/codes.pass"));
    key(Qt::Key_Return);
    QCOMPARE(doc().LocalDoc.ServerName, QStringLiteral("myhost"));
    QCOMPARE(doc().LocalDoc.PortNumber, 2121);
    QCOMPARE(doc().LocalDoc.RemotePath, QStringLiteral("backup/codes.pass"));

    // Another entry's address is only its own.
    openCell(0, 3);
    QTest::keyClicks(editor(), QStringLiteral("ftp://elsewhere/x.pass"));
    key(Qt::Key_Return);
    QCOMPARE(doc().LocalDoc.ServerName, QStringLiteral("myhost"));
}

void TestEditing::ctrlEnterOnTheLastRow_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("created");
    QTest::newRow("Ctrl+Enter") << int(Qt::Key_Return) << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Right at the end") << int(Qt::Key_Right) << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << int(Qt::ControlModifier) << false;
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << false;
}

void TestEditing::ctrlEnterOnTheLastRow()
{
    QFETCH(int, keyCode);
    QFETCH(int, modifiers);
    QFETCH(bool, created);
    makeWindow();
    openCell(2, 3);
    key(Qt::Key_End);
    key(keyCode, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(doc().entryCount(), created ? 6 : 5);
    QCOMPARE(view()->entryModel()->count(), created ? 4 : 3);
    if (created) {
        QCOMPARE(rowNames().last(), QStringLiteral("Item"));
        QCOMPARE(doc().Entries().back()->Group, group(QStringLiteral("Bank"))->Id);
        QVERIFY(editor()->isVisible());
        QCOMPARE(editor()->column, 0);
        QCOMPARE(view()->selectedRow(), 3);
        QCOMPARE(editor()->selectedText(), QStringLiteral("Item"));
    } else {
        // Nothing more to the right: the editor stays on the last row.
        QCOMPARE(view()->selectedRow(), 2);
    }
}

void TestEditing::leftRightUpDown()
{
    makeWindow();
    openCell(1, 1);
    // The whole text is selected: the first Left only drops the selection.
    key(Qt::Key_Left);
    QCOMPARE(editor()->column, 1);
    QCOMPARE(editor()->cursorPosition(), 0);
    key(Qt::Key_Left);
    QCOMPARE(editor()->column, 0);
    // From the name cell, Left opens the name cell again.
    key(Qt::Key_Home);
    key(Qt::Key_Left);
    QVERIFY(editor()->isVisible());
    QCOMPARE(editor()->column, 0);
    // Right moves only at the end of the text; an empty cell moves at once.
    key(Qt::Key_Return); // login
    key(Qt::Key_Return); // password, empty
    QCOMPARE(editor()->column, 2);
    QVERIFY(editor()->text().isEmpty());
    key(Qt::Key_Right);
    QCOMPARE(editor()->column, 3);
    key(Qt::Key_Backtab); // Shift+Tab goes left
    QCOMPARE(editor()->column, 2);
    key(Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(editor()->column, 1);
    key(Qt::Key_Down);
    QCOMPARE(view()->selectedRow(), 2);
    QCOMPARE(editor()->column, 1);
    // Down in the last row just closes the editor.
    key(Qt::Key_Down);
    QVERIFY(!editor()->isVisible());
    QCOMPARE(view()->selectedRow(), 2);
    openCell(1, 2);
    key(Qt::Key_Up);
    QCOMPARE(view()->selectedRow(), 0);
    QCOMPARE(editor()->column, 2);
    // Up in the first row just closes it.
    key(Qt::Key_Up);
    QVERIFY(!editor()->isVisible());
    QVERIFY(view()->liste()->hasFocus());
    // Moving without typing changed nothing.
    QVERIFY(!doc().Modified);
}

// The web address is the last column, which reaches the list's right edge: its editor stops there.
void TestEditing::lastCellEditorStaysInsideTheList()
{
    makeWindow();
    openCell(0, 3);
    QCOMPARE(editor()->column, 3);
    EntryListView* list = view()->liste();
    QVERIFY2(
        editor()->geometry().right() <= list->viewport()->width() - 1,
        qPrintable(QStringLiteral("%1 > %2").arg(editor()->geometry().right()).arg(list->viewport()->width() - 1)));
    QVERIFY(editor()->geometry().left() >= list->header()->sectionViewportPosition(3));
    // Also after a column border is dragged.
    view()->setColumnWidth(1, view()->columnWidth(1) + 30);
    QVERIFY(editor()->geometry().right() <= list->viewport()->width() - 1);
}

void TestEditing::farCellScrolledIntoView()
{
    makeWindow();
    for (int column = 1; column <= 3; ++column)
        view()->setColumnWidth(column, 400);
    EntryListView* list = view()->liste();
    openCell(0, 0);
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    QCOMPARE(editor()->column, 3);
    // The web address cell lies beyond the view: the list scrolled sideways to show it, and the
    // editor sits over it.
    QVERIFY(list->horizontalScrollBar()->value() > 0);
    const int cellLeft = list->header()->sectionViewportPosition(3);
    QVERIFY(editor()->geometry().left() >= cellLeft);
    QVERIFY(editor()->geometry().left() < list->viewport()->width());
    // Scrolling back moves the editor with its cell.
    const int before = editor()->x();
    list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->value() - 50);
    QCOMPARE(editor()->x(), before + 50);
}

void TestEditing::emptyNameRefused()
{
    makeWindow();
    openCell(0, 0);
    key(Qt::Key_Delete);
    QVERIFY(editor()->text().isEmpty());
    key(Qt::Key_Return);
    QCOMPARE(m_sounds, QList<platform::SystemSound>{platform::SystemSound::Exclamation});
    QVERIFY(editor()->isVisible());
    QVERIFY(editor()->hasFocus());
    QCOMPARE(editor()->column, 0);
    QCOMPARE(doc().entry(0)->Name, QStringLiteral("alpha"));
    QVERIFY(!doc().Modified);
    // Leaving through the focus is refused the same way.
    view()->arbo()->setFocus();
    QTRY_VERIFY(editor()->hasFocus());
    QCOMPARE(m_sounds.size(), 2);
    QTest::keyClicks(editor(), QStringLiteral("Bank card"));
    key(Qt::Key_Return);
    QCOMPARE(doc().entry(0)->Name, QStringLiteral("Bank card"));
    QCOMPARE(rowNames().first(), QStringLiteral("Bank card"));
}

void TestEditing::escapeRestoresTheText()
{
    makeWindow();
    openCell(1, 1);
    QTest::keyClicks(editor(), QStringLiteral("typed"));
    key(Qt::Key_Escape);
    QVERIFY(!editor()->isVisible());
    QCOMPARE(doc().entry(1)->Login, QStringLiteral("beta-login"));
    QCOMPARE(view()->entryModel()->cellText(1, EntryListModel::LoginColumn), QStringLiteral("beta-login"));
    QVERIFY(!doc().Modified);
    QCOMPARE(doc().entry(1)->ModifiedAt, 0.0);
    // The window stays open: Escape never reached it as a character or a close.
    QVERIFY(win()->isVisible());
}

void TestEditing::leavingACellOfAModifiedDocumentDatesTheEntry()
{
    makeWindow();
    doc().SetModified(true);
    openCell(2, 1);
    focus(view()->liste());
    QVERIFY(!editor()->isVisible());
    QVERIFY(doc().entry(2)->ModifiedAt > 0);
    QCOMPARE(doc().entry(2)->Login, QStringLiteral("gamma-login"));
}

void TestEditing::doubleClickOpensTheCell()
{
    makeWindow();
    win()->settings().AutoCopy = true;
    view()->setAutoCopy(true);
    QApplication::clipboard()->clear();
    QTest::mouseDClick(view()->liste()->viewport(), Qt::LeftButton, Qt::NoModifier, cellPoint(1, 1));
    QVERIFY(editor()->isVisible());
    QCOMPARE(editor()->column, 1);
    QCOMPARE(view()->selectedRow(), 1);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("beta-login"));
    key(Qt::Key_Escape);
    // Rename (F2) in the list opens the name cell of the selected row.
    focus(view()->liste());
    QTest::keyClick(view()->liste(), Qt::Key_F2);
    QVERIFY(editor()->isVisible());
    QCOMPARE(editor()->column, 0);
    QCOMPARE(editor()->text(), QStringLiteral("beta"));
}

// ---------------------------------------------------------------------------------------------
// Notes

void TestEditing::notesCommitAndLimit()
{
    makeWindow();
    QPlainTextEdit* memo = view()->memo();
    TFeuille* alpha = doc().entry(0);
    TFeuille* beta = doc().entry(1);
    // Longer notes than the editor's limit came from a file: they stay whole. (Lines keep the
    // editor's layout quick.)
    const QString line = QString(98, QLatin1Char('n')) + QStringLiteral("\r\n");
    const QString longNotes = line.repeated(700); // 70000 characters as stored
    const auto inEditor = [](QString notes) { return notes.replace(QLatin1String("\r\n"), QLatin1String("\n")); };
    beta->Notes = longNotes;
    view()->selectRow(1);
    QCOMPARE(memo->toPlainText(), inEditor(longNotes));
    focus(memo);
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QStringLiteral("xyz"));
    QCOMPARE(memo->toPlainText(), inEditor(longNotes)); // no growth, nothing cut
    // Shortening is free; the shorter text, still over the limit, may not grow again.
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClicks(memo, QStringLiteral("ab"));
    const QString shortened = longNotes.left(70000 - 3); // the last line break and one letter
    QCOMPARE(memo->toPlainText(), inEditor(shortened));
    // Commit when the editor loses the focus.
    focus(view()->liste());
    QCOMPARE(beta->Notes, shortened);
    QVERIFY(doc().Modified);
    QVERIFY(beta->ModifiedAt > 0);

    // Pasting into short notes stops at the limit, line breaks counting as stored (two).
    view()->selectRow(0);
    alpha->Notes.clear();
    focus(memo);
    memo->setPlainText(QString());
    QApplication::clipboard()->setText(QString(QString(98, QLatin1Char('p')) + QLatin1Char('\n')).repeated(655) +
                                       QString(30, QLatin1Char('q')) + QStringLiteral("0123456789"));
    memo->paste();
    QVERIFY(memo->toPlainText().endsWith(QStringLiteral("q01234")));
    // Commit on deselection, without the focus leaving.
    view()->selectRow(2);
    QCOMPARE(alpha->Notes.size(), 65535);
    QCOMPARE(view()->entryModel()->rowAt(0).icon, EntryListModel::KeyNotesIcon);
}

// ---------------------------------------------------------------------------------------------
// Groups

void TestEditing::groupRename_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("modified");
    QTest::newRow("another name") << "Banks" << true;
    QTest::newRow("the same name") << "Bank" << false;
    QTest::newRow("empty name accepted") << "" << true;
}

void TestEditing::groupRename()
{
    QFETCH(QString, typed);
    QFETCH(bool, modified);
    makeWindow();
    GroupTreeView* tree = view()->arbo();
    // F2 reaches the tree's editor every time, without a menu having been opened first.
    for (int attempt = 0; attempt < 3; ++attempt) {
        focus(tree);
        QTest::keyClick(tree, Qt::Key_F2);
        QLineEdit* label = groupLabelEditor();
        QVERIFY(label);
        QTest::keyClick(label, Qt::Key_Escape);
        QTRY_VERIFY(!groupLabelEditor());
    }
    QVERIFY(!doc().Modified);
    focus(tree);
    QTest::keyClick(tree, Qt::Key_F2);
    QLineEdit* label = groupLabelEditor();
    QVERIFY(label);
    label->selectAll();
    QTest::keyClick(label, Qt::Key_Delete);
    QTest::keyClicks(label, typed);
    QTest::keyClick(label, Qt::Key_Return);
    QTRY_COMPARE(doc().Groups().front()->Name, typed);
    QCOMPARE(doc().Modified, modified);
    QCOMPARE(win()->statusPanel(2)->text(), modified ? QStringLiteral("Modified") : QString());

    // Tab commits too, and takes the focus to the list instead of opening the next group's label.
    focus(tree);
    QTest::keyClick(tree, Qt::Key_F2);
    label = groupLabelEditor();
    QVERIFY(label);
    label->selectAll();
    QTest::keyClicks(label, QStringLiteral("Tabbed"));
    QTest::keyClick(label, Qt::Key_Tab);
    QTRY_COMPARE(doc().Groups().front()->Name, QStringLiteral("Tabbed"));
    QTRY_VERIFY(!groupLabelEditor());
    QTRY_VERIFY(view()->liste()->hasFocus());
}

void TestEditing::newGroup()
{
    m_fx->makeWindow(QByteArray());
    win()->show();
    QVERIFY(QTest::qWaitForWindowExposed(win()));
    QAction* newGroup = win()->action(QStringLiteral("ActionNewGrp"));
    newGroup->trigger();
    QCOMPARE(doc().Groups().size(), size_t(1));
    TGroupe* first = doc().Groups().front().get();
    QCOMPARE(first->Name, QStringLiteral("Group"));
    QCOMPARE(view()->selectedGroup(), first);
    QVERIFY(doc().Modified);
    QVERIFY(win()->action(QStringLiteral("ActionChercher"))->isEnabled());
    QVERIFY(win()->action(QStringLiteral("ActionNewEntree"))->isEnabled());
    // Its name is being edited.
    QLineEdit* label = groupLabelEditor();
    QVERIFY(label);
    QTest::keyClicks(label, QStringLiteral("Home"));
    QTest::keyClick(label, Qt::Key_Return);
    QTRY_COMPARE(first->Name, QStringLiteral("Home"));
    // The second one is a child of the selected group.
    newGroup->trigger();
    QCOMPARE(doc().Groups().size(), size_t(1));
    QCOMPARE(first->Children.size(), size_t(1));
    QCOMPARE(view()->selectedGroup(), first->Children.front().get());
    QVERIFY(view()->arbo()->isExpanded(view()->groupModel()->indexForGroup(first)));
    QTest::keyClick(groupLabelEditor(), Qt::Key_Return);
    QTRY_VERIFY(!groupLabelEditor());

    // An empty group without subgroups goes without a question; deleting the only group left of
    // an untitled document leaves it unmodified.
    QAction* deleteGroup = win()->action(QStringLiteral("ActionDelGrp"));
    view()->flushGroupChange();
    focus(view()->arbo());
    deleteGroup->trigger();
    QCOMPARE(first->Children.size(), size_t(0));
    QVERIFY(doc().Modified);
    view()->selectGroup(first);
    view()->flushGroupChange();
    focus(view()->arbo());
    deleteGroup->trigger();
    QVERIFY(doc().Groups().empty());
    QVERIFY(!doc().Modified);
    QVERIFY(!win()->action(QStringLiteral("ActionChercher"))->isEnabled());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), 0);
}

void TestEditing::deleteEntry_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("ftpBefore");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("ftpAfter");
    // beta (entry 1) is deleted.
    QTest::newRow("Yes, mark after it") << int(MsgYes) << 3 << QStringList{"alpha", "gamma", "visa", "inbox"} << 2;
    QTest::newRow("Yes, mark on it") << int(MsgYes) << 1 << QStringList{"alpha", "gamma", "visa", "inbox"} << -1;
    QTest::newRow("Yes, mark before it") << int(MsgYes) << 0 << QStringList{"alpha", "gamma", "visa", "inbox"} << 0;
    QTest::newRow("No") << int(MsgNo) << 1 << QStringList{"alpha", "beta", "gamma", "visa", "inbox"} << 1;
}

void TestEditing::deleteEntry()
{
    QFETCH(int, answer);
    QFETCH(int, ftpBefore);
    QFETCH(QStringList, left);
    QFETCH(int, ftpAfter);
    makeWindow();
    doc().setFtpEntry(ftpBefore);
    view()->selectRow(1);
    focus(view()->liste());
    ModalSeam::pushAnswer(answer);
    win()->action(QStringLiteral("ActionDelEntree"))->trigger();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             QStringList{QStringLiteral("Do you really want to delete this element ?")});
    QCOMPARE(entryNames(), left);
    QCOMPARE(doc().FtpEntryIndex(), ftpAfter);
    QCOMPARE(doc().Modified, answer == MsgYes);
    QCOMPARE(rowNames().size(), answer == MsgYes ? 2 : 3);
    QCOMPARE(view()->selectedRow(), answer == MsgYes ? -1 : 1);
}

void TestEditing::deleteGroup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("groupsLeft");
    QTest::addColumn<QStringList>("entriesLeft");
    QTest::newRow("rows and subgroups, No") << "Bank" << true << int(MsgNo) << QStringList{"Bank", "Cards", "Mail"}
                                            << QStringList{"alpha", "beta", "gamma", "visa", "inbox"};
    QTest::newRow("rows and subgroups, Yes")
        << "Bank" << true << int(MsgYes) << QStringList{"Mail"} << QStringList{"inbox"};
    QTest::newRow("rows only, Yes") << "Mail" << true << int(MsgYes) << QStringList{"Bank", "Cards"}
                                    << QStringList{"alpha", "beta", "gamma", "visa"};
}

void TestEditing::deleteGroup()
{
    QFETCH(QString, name);
    QFETCH(bool, asked);
    QFETCH(int, answer);
    QFETCH(QStringList, groupsLeft);
    QFETCH(QStringList, entriesLeft);
    makeWindow();
    doc().setFtpEntry(4); // inbox
    view()->selectGroup(group(name));
    view()->flushGroupChange();
    focus(view()->arbo());
    ModalSeam::pushAnswer(answer);
    win()->action(QStringLiteral("ActionDelGrp"))->trigger();
    view()->flushGroupChange();
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")).size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(ModalSeam::shownTexts().first(), QStringLiteral("This group isn't empty.\r\n\r\nDo you really want to "
                                                                 "delete it ?"));
    QStringList groups;
    for (TGroupe* g : doc().groupsInOrder())
        groups << g->Name;
    QCOMPARE(groups, groupsLeft);
    QCOMPARE(entryNames(), entriesLeft);
    const int inbox = int(entriesLeft.indexOf(QStringLiteral("inbox")));
    QCOMPARE(doc().FtpEntryIndex(), inbox);
    QCOMPARE(doc().Modified, answer == MsgYes);
    // The list shows the group the tree selected instead.
    QCOMPARE(rowNames().size(), int(doc().GroupEntries(view()->selectedGroup()->Id).size()));
}

void TestEditing::newEntryAndGeneratedPassword_data()
{
    QTest::addColumn<QVariant>("generatorAnswer");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain New entry") << QVariant() << "";
    QTest::newRow("generator OK") << QVariant(QStringLiteral("Gen3rated!")) << "Gen3rated!";
    QTest::newRow("generator cancelled") << QVariant(false) << "";
}

void TestEditing::newEntryAndGeneratedPassword()
{
    QFETCH(QVariant, generatorAnswer);
    QFETCH(QString, password);
    makeWindow();
    const bool generated = generatorAnswer.isValid();
    if (generated) {
        ModalSeam::pushAnswer(generatorAnswer);
        win()->action(QStringLiteral("actNewGenerateur"))->trigger();
        QCOMPARE(ModalSeam::shown().last().dialog, QStringLiteral("Generateur"));
    } else {
        QTest::keyClick(view()->liste(), Qt::Key_Insert);
    }
    QCOMPARE(doc().entryCount(), 6);
    const TFeuille* added = doc().Entries().back().get();
    QCOMPARE(added->Name, QStringLiteral("Item"));
    QCOMPARE(added->Group, group(QStringLiteral("Bank"))->Id);
    QVERIFY(added->Created > 0);
    // Its own identity, even beside an entry made in the same millisecond.
    for (const auto& e : doc().Entries())
        QVERIFY(e.get() == added || e->Created != added->Created);
    // Undated while its name cell is open; the generator taking over commits that cell, which
    // in a modified document dates the entry.
    QCOMPARE(added->ModifiedAt == 0, !generated);
    QCOMPARE(added->Password, password);
    QCOMPARE(view()->selectedRow(), 3);
    QCOMPARE(view()->entryModel()->cellText(3, EntryListModel::PasswordColumn), password);
    QVERIFY(doc().Modified);
    // Plain New entry leaves its name cell open; the generator committed it.
    QCOMPARE(editor()->isVisible(), !generated);
    if (!generated) {
        QCOMPARE(editor()->column, 0);
        QTest::keyClicks(editor(), QStringLiteral("Shop"));
        key(Qt::Key_Return);
        QCOMPARE(added->Name, QStringLiteral("Shop"));
    }
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

void TestEditing::entryMovedInsideTheList_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("dropRow"); // the row under the pointer, -1: below the last row
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("modified");
    QTest::newRow("first below the last") << 0 << -1 << QStringList{"beta", "gamma", "alpha"}
                                          << QStringList{"beta", "gamma", "alpha", "visa", "inbox"} << true;
    QTest::newRow("last onto the first") << 2 << 0 << QStringList{"gamma", "alpha", "beta"}
                                         << QStringList{"gamma", "alpha", "beta", "visa", "inbox"} << true;
    QTest::newRow("onto itself") << 1 << 1 << QStringList{"alpha", "beta", "gamma"}
                                 << QStringList{"alpha", "beta", "gamma", "visa", "inbox"} << false;
}

void TestEditing::entryMovedInsideTheList()
{
    QFETCH(int, from);
    QFETCH(int, dropRow);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, entries);
    QFETCH(bool, modified);
    makeWindow();
    EntryListView* list = view()->liste();
    view()->selectRow(from);
    doc().setFtpEntry(from);
    const TFeuille* dragged = doc().entry(from);
    // The insertion point the pointer's height gives.
    const int y = dropRow >= 0 ? cellPoint(dropRow, 0).y() : list->viewport()->height() - 2;
    const int dropIndex = list->dropIndexAt(y);
    QCOMPARE(dropIndex, dropRow >= 0 ? dropRow : 3);
    emit list->rowDropped(from, dropIndex);
    QCOMPARE(rowNames(), rows);
    QCOMPARE(entryNames(), entries);
    QCOMPARE(doc().Modified, modified);
    QCOMPARE(doc().ftpEntry(), dragged);
    QCOMPARE(view()->selectedEntry(), dragged);
    QVERIFY(win()->action(QStringLiteral("ActionCopier"))->isEnabled());
}

void TestEditing::entryMovedToAnotherGroup()
{
    makeWindow();
    view()->selectRow(1);
    emit view()->arbo()->entryDropped(group(QStringLiteral("Bank"))); // its own group: nothing
    QVERIFY(!doc().Modified);
    QCOMPARE(rowNames().size(), 3);
    emit view()->arbo()->entryDropped(group(QStringLiteral("Mail")));
    QCOMPARE(rowNames(), (QStringList{"alpha", "gamma"}));
    QCOMPARE(entryNames(), (QStringList{"alpha", "beta", "gamma", "visa", "inbox"})); // place kept
    QCOMPARE(doc().entry(1)->Group, group(QStringLiteral("Mail"))->Id);
    QVERIFY(doc().Modified);
}

void TestEditing::groupMoved_data()
{
    QTest::addColumn<QString>("dragged");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("order"); // document order afterwards, "name/parent"
    QTest::addColumn<bool>("modified");
    QTest::newRow("into another group") << "Mail"
                                        << "Cards" << QStringList{"Bank/", "Cards/Bank", "Mail/Cards"} << true;
    QTest::newRow("top-level on empty space goes last") << "Bank"
                                                        << "" << QStringList{"Mail/", "Bank/", "Cards/Bank"} << true;
    QTest::newRow("last top-level on empty space") << "Mail"
                                                   << "" << QStringList{"Bank/", "Cards/Bank", "Mail/"} << false;
    QTest::newRow("into its own subgroup") << "Bank"
                                           << "Cards" << QStringList{"Bank/", "Cards/Bank", "Mail/"} << false;
}

void TestEditing::groupMoved()
{
    QFETCH(QString, dragged);
    QFETCH(QString, target);
    QFETCH(QStringList, order);
    QFETCH(bool, modified);
    makeWindow();
    TGroupe* moving = group(dragged);
    view()->selectGroup(moving);
    view()->flushGroupChange();
    // Dropped on a collapsed group, it must still be seen.
    view()->arbo()->collapseAll();
    emit view()->arbo()->groupDropped(moving, target.isEmpty() ? nullptr : group(target));
    for (TGroupe* parent = moving->Parent; parent; parent = parent->Parent)
        QVERIFY2(view()->arbo()->isExpanded(view()->groupModel()->indexForGroup(parent)), qPrintable(parent->Name));
    QStringList got;
    for (TGroupe* g : doc().groupsInOrder())
        got << g->Name + QLatin1Char('/') + (g->Parent ? g->Parent->Name : QString());
    QCOMPARE(got, order);
    QCOMPARE(doc().Modified, modified);
    // The moved group stays selected and the list shows its entries, which kept their group.
    QCOMPARE(view()->selectedGroup(), moving);
    QCOMPARE(rowNames().size(), int(doc().GroupEntries(moving->Id).size()));
    QCOMPARE(doc().entryCount(), 5);
    QCOMPARE(win()->action(QStringLiteral("ActionCopier"))->isEnabled(), view()->selectedRow() >= 0);
}

// ---------------------------------------------------------------------------------------------
// Read-only lock

void TestEditing::readOnlyLock()
{
    makeWindow();
    const QStringList refused{"ActionChangeMeta", "ActionNewEntree",  "actNewGenerateur", "ActionRenEntree",
                              "ActionDelEntree",  "ActionCouper",     "ActionColler",     "ActionNewGrp",
                              "ActionRenGrp",     "ActionDelGrp",     "ActionSauver",     "ActionSauverSous",
                              "ActionSauverFTP",  "ActionSynchroFTP", "ActionFusionner"};
    win()->SetReadOnlyLock(true);
    for (const QString& name : refused)
        QVERIFY2(!win()->action(name)->isEnabled(), qPrintable(name));
    QVERIFY(win()->action(QStringLiteral("ActionHidePwd"))->isEnabled());
    QVERIFY(win()->action(QStringLiteral("ActionCopier"))->isEnabled()); // a row is selected
    QCOMPARE(win()->statusPanel(2)->text(), QStringLiteral("Read only"));
    QVERIFY(!view()->memo()->isEnabled());
    QVERIFY(!view()->liste()->dragEnabled());
    QVERIFY(!view()->arbo()->dragEnabled());
    // Menus opening keep the changing commands off.
    view()->updateEntryMenuActions(true);
    view()->updateGroupMenuActions();
    for (const char* name : {"ActionNewEntree", "actNewGenerateur", "ActionRenEntree", "ActionDelEntree",
                             "ActionCouper", "ActionColler", "ActionRenGrp", "ActionDelGrp"})
        QVERIFY2(!win()->action(QLatin1String(name))->isEnabled(), name);
    // No cell editor, no move, no new entry through Ctrl+Enter, no group name editing.
    QTest::mouseDClick(view()->liste()->viewport(), Qt::LeftButton, Qt::NoModifier, cellPoint(0, 1));
    QVERIFY(!editor()->isVisible());
    emit view()->liste()->rowDropped(0, 3);
    win()->groupEntryCommands()->NewEntry();
    QCOMPARE(entryNames(), (QStringList{"alpha", "beta", "gamma", "visa", "inbox"}));
    QVERIFY(!(view()->groupModel()->flags(view()->groupModel()->index(0, 0)) & Qt::ItemIsEditable));

    // Released, the selection and the clipboard decide again: Paste waits for an entry on it.
    QApplication::clipboard()->clear();
    win()->SetReadOnlyLock(false);
    for (const QString& name : refused)
        QVERIFY2(win()->action(name)->isEnabled() == (name != QLatin1String("ActionColler")), qPrintable(name));
    QCOMPARE(win()->statusPanel(2)->text(), QString());
    QVERIFY(view()->memo()->isEnabled());
    QVERIFY(view()->liste()->dragEnabled());
    QVERIFY(!doc().Modified);
}

// ---------------------------------------------------------------------------------------------
// Characters a document cannot hold

void TestEditing::unholdableCharacterRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("pasted");
    for (const char* field : {"cell", "notes", "group", "metapass"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 typed").arg(QLatin1String(field)))) << field << false;
        QTest::newRow(qPrintable(QStringLiteral("%1 pasted").arg(QLatin1String(field)))) << field << true;
    }
}

void TestEditing::unholdableCharacterRefused()
{
    QFETCH(QString, field);
    QFETCH(bool, pasted);
    makeWindow();
    std::unique_ptr<TBoiteMetaPass> metaPass;
    QWidget* target = nullptr;
    std::function<QString()> text;
    if (field == QLatin1String("cell")) {
        openCell(0, 2);
        editor()->clear();
        target = editor();
        text = [this] { return editor()->text(); };
    } else if (field == QLatin1String("notes")) {
        focus(view()->memo());
        target = view()->memo();
        text = [this] { return view()->memo()->toPlainText(); };
    } else if (field == QLatin1String("group")) {
        focus(view()->arbo());
        QTest::keyClick(view()->arbo(), Qt::Key_F2);
        QLineEdit* label = groupLabelEditor();
        QVERIFY(label);
        label->clear();
        target = label;
        text = [label] { return label->text(); };
    } else {
        metaPass = std::make_unique<TBoiteMetaPass>();
        metaPass->prepare(TBoiteMetaPass::Choose, QString());
        target = metaPass->EditPass;
        text = [&metaPass] { return metaPass->EditPass->text(); };
    }

    const QString chinese = QStringLiteral("\u4E2D");
    if (pasted) {
        QTest::keyClicks(target, QStringLiteral("ab"));
        QApplication::clipboard()->setText(QStringLiteral("x") + chinese + QStringLiteral("y"));
        if (auto* line = qobject_cast<QLineEdit*>(target))
            line->paste();
        else
            static_cast<QPlainTextEdit*>(target)->paste();
        // A field refuses the whole paste; the notes keep what they can hold.
        const QString expected = qobject_cast<QLineEdit*>(target) ? QStringLiteral("ab") : QStringLiteral("abxy");
        QCOMPARE(text(), expected);
    } else {
        typeText(target, QStringLiteral("a") + chinese + QStringLiteral("€b"));
        QCOMPARE(text(), QStringLiteral("a€b"));
    }
    QCOMPARE(m_sounds, QList<platform::SystemSound>{platform::SystemSound::Exclamation});
    QCOMPARE(win()->statusPanel(0)->text(), Msg(QStringLiteral("CarNonStocke")));
    QCOMPARE(win()->statusPanel(0)->text(),
             QStringLiteral("This character cannot be stored in a document: it was not inserted"));
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"

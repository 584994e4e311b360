// The document view as the main window uses it: tree and list kept in step, sorting by column
// clicks, row painting, the notes panel, hints and the enabling of the commands.

#include "app/core/EntryHint.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/CommandEnabler.h"
#include "app/gui/window/Commands.h"
#include "app/gui/window/Icons.h"
#include "document/DocumentModel.h"
#include "lang/LangTable.h"
#include "lang/gui/WindowTranslation.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include <memory>

namespace {

TFeuille* addEntry(DocumentState& doc, const TGroupe* group, const QString& name, const QString& login = QString(),
                   const QString& password = QString(), const QString& web = QString(),
                   const QString& notes = QString())
{
    auto e = NewEntry(group, name);
    e->Login = login;
    e->Password = password;
    e->WebAddress = web;
    e->Notes = notes;
    return doc.appendEntry(std::move(e));
}

// Columns of dark ink along the darkest line of a rectangle: the number of separate glyphs there.
int glyphRuns(const QImage& img, const QRect& area)
{
    int best = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        int runs = 0;
        bool inRun = false;
        for (int x = area.left(); x <= area.right(); ++x) {
            const bool dark = qGray(img.pixel(x, y)) < 150;
            if (dark && !inRun)
                ++runs;
            inRun = dark;
        }
        best = std::max(best, runs);
    }
    return best;
}

int pixelsNear(const QImage& img, const QRect& area, const QColor& colour, int tolerance)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}

} // namespace

class TestViewsWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<TGroupe*>(); }
    void init();
    void cleanup();

    void groupSelectionFillsListInDocumentOrder();
    void emptyGroupLeavesNoRowAndNewEntryEnabled();
    void noGroupDisablesNewEntry();
    void treeRightClickSelectsAndKeepsSelectionColours();
    void selectionChangesAreGroupedWithin50ms();
    void columnClicksSortAndShowArrow();
    void restoreSortCode_data();
    void restoreSortCode();
    void sortSurvivesGroupChanges();
    void hiddenPasswordsPaintThirteenSymbols();
    void webLinksAndReadOnlyLook();
    void sortBandAndNameHighlight();
    void notesPanelHideShowKeepsHeight();
    void autoHideFollowsNotes();
    void notesFollowSelectionAndCommitOnDeselect();
    void enablingRules();
    void removingLastRowDisablesNewEntry();
    void groupRemovalEmptiesTheListFirst_data();
    void groupRemovalEmptiesTheListFirst();
    void rowsOfEntriesOutsideTheDocumentAreNeverRead();
    void searchViewAndBack();
    void tableAppliedDuringSearch();
    void hintsGoToStatusBarOnly();
    void reloadAndSelectFirstGroupExpanded();
    void fiftyThousandEntriesFillAtOnce();

private:
    void selectAndReport(TGroupe* group);
    QStringList listNames() const;
    QImage renderList() const;
    QRect cellRect(int row, int column) const;

    std::unique_ptr<DocumentState> m_doc;
    std::unique_ptr<DocumentView> m_view;
    std::unique_ptr<QWidget> m_commandOwner;
    std::unique_ptr<Commands> m_commands;
    std::unique_ptr<CommandEnabler> m_enabler;
    QAction* command(CommandId id) const { return (*m_commands)[id]; }
    TGroupe* m_bank = nullptr;
    TGroupe* m_cards = nullptr;
    TGroupe* m_mail = nullptr;
    TGroupe* m_empty = nullptr;
};

void TestViewsWidget::init()
{
    m_doc = std::make_unique<DocumentState>();
    m_bank = m_doc->addGroup("Bank");
    m_cards = m_doc->addGroup("Cards", m_bank);
    m_doc->addGroup("Gold", m_cards);
    m_mail = m_doc->addGroup("Mail");
    m_empty = m_doc->addGroup("Empty");
    addEntry(*m_doc, m_bank, "zeta", "z-login", "secret", "https://zeta.example", "first line\r\nsecond line");
    addEntry(*m_doc, m_mail, "inbox", "me", "pw", "");
    addEntry(*m_doc, m_bank, "Alpha", "b-login", "", "www.alpha.example");
    addEntry(*m_doc, m_bank, QStringLiteral("élan"), "a-login", "x", "FTP://files.example");
    addEntry(*m_doc, m_cards, "visa", "1234", "0000", "");

    // The window's commands, all those the view switches off to begin with; passwords hidden.
    m_commandOwner = std::make_unique<QWidget>();
    m_commands = std::make_unique<Commands>(m_commandOwner.get());
    for (CommandId id : {CommandId::NewEntree, CommandId::NewGenerateur, CommandId::RenEntree, CommandId::DelEntree,
                         CommandId::Couper, CommandId::Copier, CommandId::Coller, CommandId::SetFTP, CommandId::OpenURL,
                         CommandId::RenGrp, CommandId::DelGrp})
        command(id)->setEnabled(false);
    command(CommandId::HidePwd)->setChecked(true);
    command(CommandId::HidePwd)->setEnabled(true);

    m_view = std::make_unique<DocumentView>();
    m_view->entryModel()->setCollatorLocale(QLocale(QLocale::French, QLocale::France));
    m_view->setCommands(m_commands.get());
    m_enabler = std::make_unique<CommandEnabler>(*m_commands, *m_view);
    m_view->setDocument(m_doc.get());
    m_view->resize(760, 420);
    m_view->show();
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
}

void TestViewsWidget::cleanup()
{
    m_enabler.reset();
    m_view.reset();
    m_doc.reset();
    m_commands.reset();
    m_commandOwner.reset();
}

void TestViewsWidget::selectAndReport(TGroupe* group)
{
    m_view->selectGroup(group);
    m_view->flushGroupChange();
}

QStringList TestViewsWidget::listNames() const
{
    QStringList out;
    const EntryListModel* model = m_view->entryModel();
    for (int r = 0; r < model->count(); ++r)
        out << model->cellText(r, EntryListModel::NameColumn);
    return out;
}

QImage TestViewsWidget::renderList() const
{
    return m_view->liste()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect TestViewsWidget::cellRect(int row, int column) const
{
    EntryListView* list = m_view->liste();
    const QRect r = list->visualRect(m_view->entryModel()->index(row, 0));
    return QRect(list->header()->sectionViewportPosition(column), r.top(), list->header()->sectionSize(column),
                 r.height());
}

void TestViewsWidget::groupSelectionFillsListInDocumentOrder()
{
    selectAndReport(m_bank);
    QCOMPARE(m_view->selectedGroup(), m_bank);
    QCOMPARE(listNames(), QStringList({"zeta", "Alpha", QStringLiteral("élan")}));
    const std::vector<TFeuille*> expected = m_doc->GroupEntries(m_bank->Id);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(m_view->entryModel()->entryAt(r), expected[size_t(r)]);
    // The first row is selected and its notes are shown, editable.
    QCOMPARE(m_view->selectedRow(), 0);
    QCOMPARE(m_view->selectedEntry(), expected[0]);
    QCOMPARE(m_view->memo()->toPlainText(), QString("first line\nsecond line"));
    QVERIFY(!m_view->memo()->isReadOnly());
    QVERIFY(command(CommandId::NewEntree)->isEnabled());
    QVERIFY(command(CommandId::NewGenerateur)->isEnabled());
    QVERIFY(command(CommandId::Copier)->isEnabled());
    QVERIFY(command(CommandId::OpenURL)->isEnabled());

    // Subgroups' entries are not rows of their parent.
    selectAndReport(m_cards);
    QCOMPARE(listNames(), QStringList({"visa"}));
}

void TestViewsWidget::emptyGroupLeavesNoRowAndNewEntryEnabled()
{
    selectAndReport(m_bank);
    selectAndReport(m_empty);
    QCOMPARE(m_view->entryModel()->rowCount(), 0);
    QCOMPARE(m_view->selectedRow(), -1);
    QCOMPARE(m_view->selectedEntry(), nullptr);
    QVERIFY(command(CommandId::NewEntree)->isEnabled());
    QVERIFY(command(CommandId::NewGenerateur)->isEnabled());
    QVERIFY(!command(CommandId::Copier)->isEnabled());
    QVERIFY(!command(CommandId::OpenURL)->isEnabled());
    QVERIFY(m_view->memo()->isReadOnly());
    QVERIFY(m_view->memo()->toPlainText().isEmpty());
    QCOMPARE(m_view->memo()->palette().color(QPalette::Base), m_view->palette().color(QPalette::Button));
}

void TestViewsWidget::noGroupDisablesNewEntry()
{
    selectAndReport(m_bank);
    selectAndReport(nullptr);
    QCOMPARE(m_view->selectedGroup(), nullptr);
    QCOMPARE(m_view->entryModel()->rowCount(), 0);
    QVERIFY(!command(CommandId::NewEntree)->isEnabled());
    QVERIFY(!command(CommandId::NewGenerateur)->isEnabled());
}

void TestViewsWidget::treeRightClickSelectsAndKeepsSelectionColours()
{
    GroupTreeView* tree = m_view->arbo();
    QCOMPARE(tree->objectName(), QString("Arbo"));
    QVERIFY(tree->isHeaderHidden());
    selectAndReport(m_bank);
    QSignalSpy menus(m_view.get(), &DocumentView::groupContextMenuRequested);
    const QRect mailRect = tree->visualRect(m_view->groupModel()->indexForGroup(m_mail));
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, mailRect.center());
    QCOMPARE(m_view->selectedGroup(), m_mail);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, mailRect.center(),
                                tree->viewport()->mapToGlobal(mailRect.center()));
    QCoreApplication::sendEvent(tree->viewport(), &menuEvent);
    QCOMPARE(menus.count(), 1);

    // The selection looks the same without the focus.
    const QPalette pal = tree->palette();
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight), pal.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(m_view->columnWidth(1), 120);
    QCOMPARE(m_view->columnWidth(2), 100);
    QCOMPARE(m_view->columnWidth(3), 100);
}

void TestViewsWidget::selectionChangesAreGroupedWithin50ms()
{
    selectAndReport(m_mail);
    QSignalSpy reports(m_view.get(), &DocumentView::groupChanged);
    QElapsedTimer clock;
    clock.start();
    m_view->selectGroup(m_bank);
    m_view->selectGroup(m_empty);
    m_view->selectGroup(m_cards);
    // Nothing is reported at once: the list still shows the previous group.
    QCOMPARE(reports.count(), 0);
    QCOMPARE(listNames(), QStringList({"inbox"}));
    QVERIFY(m_view->groupChangePending());

    QTRY_COMPARE(reports.count(), 1);
    QVERIFY(clock.elapsed() >= DocumentView::kGroupChangeDelayMs);
    QCOMPARE(reports.at(0).at(0).value<TGroupe*>(), m_cards);
    QCOMPARE(listNames(), QStringList({"visa"}));
    // One report for the three changes: nothing else is waiting.
    QVERIFY(!m_view->groupChangePending());
}

void TestViewsWidget::columnClicksSortAndShowArrow()
{
    selectAndReport(m_bank);
    EntryListHeader* header = m_view->liste()->sortHeader();
    auto clickTitle = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column - 1) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    QCOMPARE(m_view->sortCode(), 0);
    QCOMPARE(header->sortArrowSection(), -1);

    clickTitle(2); // login, ascending
    QCOMPARE(m_view->sortCode(), 2);
    QCOMPARE(listNames(), QStringList({QStringLiteral("élan"), "Alpha", "zeta"}));
    QCOMPARE(header->sortArrowSection(), 1);
    QVERIFY(header->sortArrowUp());

    clickTitle(2); // login, descending
    QCOMPARE(m_view->sortCode(), -2);
    QCOMPARE(listNames(), QStringList({"zeta", "Alpha", QStringLiteral("élan")}));
    QCOMPARE(header->sortArrowSection(), 1);
    QVERIFY(!header->sortArrowUp());

    clickTitle(1); // name, ascending; the arrow moves
    QCOMPARE(m_view->sortCode(), 1);
    QCOMPARE(listNames(), QStringList({"Alpha", QStringLiteral("élan"), "zeta"}));
    QCOMPARE(header->sortArrowSection(), 0);
    QVERIFY(header->sortArrowUp());
    QCOMPARE(m_view->liste()->sortBandColumn(), 1);
}

void TestViewsWidget::restoreSortCode_data()
{
    QTest::addColumn<int>("saved");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("arrow");
    QTest::newRow("descending name") << -1 << -1 << QStringList({"zeta", QStringLiteral("élan"), "Alpha"}) << 0;
    QTest::newRow("ascending web") << 4 << 4 << QStringList({QStringLiteral("élan"), "zeta", "Alpha"}) << 3;
    QTest::newRow("none") << 0 << 0 << QStringList({"zeta", "Alpha", QStringLiteral("élan")}) << -1;
    QTest::newRow("path column, no search") << 5 << 0 << QStringList({"zeta", "Alpha", QStringLiteral("élan")}) << -1;
    QTest::newRow("descending path, no search")
        << -5 << 0 << QStringList({"zeta", "Alpha", QStringLiteral("élan")}) << -1;
    QTest::newRow("garbage") << 123456 << 0 << QStringList({"zeta", "Alpha", QStringLiteral("élan")}) << -1;
}

void TestViewsWidget::restoreSortCode()
{
    QFETCH(int, saved);
    QFETCH(int, code);
    QFETCH(QStringList, names);
    QFETCH(int, arrow);
    // At start-up the code is restored before any group is shown.
    m_view->restoreSortCode(saved);
    QCOMPARE(m_view->sortCode(), code);
    QCOMPARE(m_view->liste()->sortHeader()->sortArrowSection(), arrow);
    selectAndReport(m_bank);
    QCOMPARE(listNames(), names);
    renderList(); // painting with any code must not fail
}

void TestViewsWidget::sortSurvivesGroupChanges()
{
    m_view->columnClick(1);
    selectAndReport(m_bank);
    QCOMPARE(listNames(), QStringList({"Alpha", QStringLiteral("élan"), "zeta"}));
    // Rows filled by the report are sorted, and the first row (after sorting) is selected.
    QCOMPARE(m_view->selectedEntry()->Name, QString("Alpha"));

    // Rows added later stay where they are put until the next sort.
    TFeuille* added = addEntry(*m_doc, m_bank, "aaa");
    QCOMPARE(m_view->appendEntryRow(added), 3);
    QCOMPARE(listNames(), QStringList({"Alpha", QStringLiteral("élan"), "zeta", "aaa"}));
    QCOMPARE(m_view->selectedEntry(), added);
    selectAndReport(m_mail);
    selectAndReport(m_bank);
    QCOMPARE(listNames(), QStringList({"aaa", "Alpha", QStringLiteral("élan"), "zeta"}));
}

void TestViewsWidget::hiddenPasswordsPaintThirteenSymbols()
{
    selectAndReport(m_bank);
    const int emptyPasswordRow = 1; // "Alpha" has no password
    QCOMPARE(m_view->entryModel()->cellText(emptyPasswordRow, EntryListModel::PasswordColumn), QString());
    const QModelIndex pwd = m_view->entryModel()->index(emptyPasswordRow, EntryListModel::PasswordColumn);
    QCOMPARE(EntryListDelegate::shownText(pwd, true), QString(13, QChar(0x25CF)));
    QCOMPARE(EntryListDelegate::shownText(pwd, false), QString());

    QVERIFY(m_view->passwordsHidden());
    QImage img = renderList();
    QCOMPARE(glyphRuns(img, cellRect(emptyPasswordRow, EntryListModel::PasswordColumn)), 13);
    // "x" is one character, but the mask does not tell the length.
    QCOMPARE(glyphRuns(img, cellRect(2, EntryListModel::PasswordColumn)), 13);

    // The command toggles the painting only.
    command(CommandId::HidePwd)->setChecked(false);
    QVERIFY(!m_view->passwordsHidden());
    img = renderList();
    QCOMPARE(glyphRuns(img, cellRect(emptyPasswordRow, EntryListModel::PasswordColumn)), 0);
    QVERIFY(glyphRuns(img, cellRect(2, EntryListModel::PasswordColumn)) > 0);
    QCOMPARE(m_doc->GroupEntries(m_bank->Id)[0]->Password, QString("secret"));
}

void TestViewsWidget::webLinksAndReadOnlyLook()
{
    selectAndReport(m_bank);
    m_view->selectRow(-1);
    const QColor highlight = m_view->liste()->palette().color(QPalette::Active, QPalette::Highlight);
    QImage img = renderList();
    // Row 2 holds "FTP://files.example" (a link), row 1 "www.alpha.example" (not one).
    QVERIFY(pixelsNear(img, cellRect(2, EntryListModel::WebColumn), highlight, 30) > 20);
    QCOMPARE(pixelsNear(img, cellRect(1, EntryListModel::WebColumn), highlight, 30), 0);
    QVERIFY(glyphRuns(img, cellRect(1, EntryListModel::LoginColumn)) > 0);

    m_view->setReadOnlyLock(true);
    img = renderList();
    // Texts turn grey (no dark ink left); the link and the password mask keep their colours.
    QCOMPARE(glyphRuns(img, cellRect(1, EntryListModel::LoginColumn)), 0);
    QCOMPARE(glyphRuns(img, cellRect(1, EntryListModel::PasswordColumn)), 13);
    QCOMPARE(glyphRuns(img, cellRect(1, EntryListModel::NameColumn).adjusted(20, 0, 0, 0)), 0);
    QVERIFY(pixelsNear(img, cellRect(2, EntryListModel::WebColumn), highlight, 30) > 20);
    QVERIFY(!m_view->memo()->isEnabled());
}

void TestViewsWidget::sortBandAndNameHighlight()
{
    selectAndReport(m_cards); // one row: "visa"
    m_view->columnClick(2);
    const QColor band(247, 247, 247);
    const QColor base = m_view->liste()->palette().color(QPalette::Active, QPalette::Base);
    QImage img = renderList();
    const QRect login = cellRect(0, EntryListModel::LoginColumn);
    const int below = login.bottom() + 20;
    QCOMPARE(img.pixelColor(login.center().x(), below), band);
    QCOMPARE(img.pixelColor(login.right() - 2, login.top() + 1), band);
    QCOMPARE(img.pixelColor(cellRect(0, EntryListModel::NameColumn).center().x(), below), base);
    QCOMPARE(img.pixelColor(cellRect(0, EntryListModel::WebColumn).center().x(), below), base);

    // The band of the last column reaches the list's right end.
    m_view->columnClick(4);
    img = renderList();
    QCOMPARE(img.pixelColor(img.width() - 2, below), band);
    QCOMPARE(img.pixelColor(login.center().x(), below), base);

    // The selected name is highlighted over the name's width only, not over the whole cell.
    const QColor highlight = m_view->liste()->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect name = cellRect(0, EntryListModel::NameColumn);
    QCOMPARE(m_view->selectedRow(), 0);
    QCOMPARE(img.pixelColor(name.left() + EntryListDelegate::kIconSize + 7, name.bottom() - 1), highlight);
    QCOMPARE(img.pixelColor(name.right() - 3, name.bottom() - 1), base);
    QCOMPARE(pixelsNear(img, login, highlight, 10), 0);
    // No highlight while an entry is dragged.
    m_view->setDropIndex(0);
    img = renderList();
    QCOMPARE(img.pixelColor(name.left() + EntryListDelegate::kIconSize + 7, name.bottom() - 1), base);
    m_view->setDropIndex(-1);
}

void TestViewsWidget::notesPanelHideShowKeepsHeight()
{
    QCOMPARE(m_view->treeWidth(), DocumentView::kInitialTreeWidth);
    QCOMPARE(m_view->notesPanelHeight(), DocumentView::kInitialNotesHeight);
    QVERIFY(!m_view->notesPanelHidden());
    QToolButton* button = m_view->findChild<QToolButton*>("CacherBtn");
    QVERIFY(button);
    QCOMPARE(button->icon().cacheKey(), tresorinIcon("arrow-down").cacheKey());
    QCOMPARE(m_view->findChild<QLabel*>("LabelInfo")->text(), QStringLiteral(" Informations complémentaires "));

    m_view->setNotesPanelHeight(120);
    QCOMPARE(m_view->notesPanelHeight(), 120);
    const int listHeight = m_view->liste()->height();

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_view->notesPanelHeight(), 0);
    QVERIFY(m_view->notesPanelHidden());
    QCOMPARE(m_view->storedNotesPanelHeight(), 120);
    QCOMPARE(button->icon().cacheKey(), tresorinIcon("arrow-up").cacheKey());
    QCOMPARE(m_view->liste()->height(), listHeight + 120);
    // The information bar stays on the band, now at the bottom.
    QVERIFY(button->isVisible());

    m_view->BoutonCacherClick();
    QCOMPARE(m_view->notesPanelHeight(), 120);
    QCOMPARE(button->icon().cacheKey(), tresorinIcon("arrow-down").cacheKey());
    QCOMPARE(m_view->liste()->height(), listHeight);

    m_view->setTreeWidth(230);
    QCOMPARE(m_view->treeWidth(), 230);
}

void TestViewsWidget::autoHideFollowsNotes()
{
    m_view->setAutoHide(true);
    selectAndReport(m_bank); // first row "zeta" has notes
    QVERIFY(!m_view->notesPanelHidden());
    m_view->selectRow(1); // "Alpha" has none
    QVERIFY(m_view->notesPanelHidden());
    m_view->selectRow(2);
    QVERIFY(m_view->notesPanelHidden());
    m_view->selectRow(0);
    QVERIFY(!m_view->notesPanelHidden());
    QCOMPARE(m_view->notesPanelHeight(), DocumentView::kInitialNotesHeight);

    // Not while an entry is dragged.
    m_view->setDropIndex(1);
    m_view->selectRow(1);
    QVERIFY(!m_view->notesPanelHidden());
}

void TestViewsWidget::notesFollowSelectionAndCommitOnDeselect()
{
    selectAndReport(m_bank);
    TFeuille* zeta = m_view->entryModel()->entryAt(0);
    TFeuille* alpha = m_view->entryModel()->entryAt(1);

    // Leaving a row without typing changes nothing.
    m_view->selectRow(1);
    QVERIFY(!m_doc->Modified);
    QCOMPARE(zeta->Notes, QString("first line\r\nsecond line"));
    QCOMPARE(zeta->ModifiedAt, 0.0);

    // Typed notes are stored with CR LF when the row is left, and the row gets the notes icon.
    m_view->memo()->setFocus();
    QTest::keyClicks(m_view->memo(), "one");
    QTest::keyClick(m_view->memo(), Qt::Key_Return);
    QTest::keyClicks(m_view->memo(), "two");
    m_view->selectRow(2);
    QCOMPARE(alpha->Notes, QString("one\r\ntwo"));
    QVERIFY(alpha->ModifiedAt > 0);
    QVERIFY(m_doc->Modified);
    QCOMPARE(m_view->entryModel()->rowAt(1).icon, EntryListModel::KeyNotesIcon);
    QCOMPARE(m_view->memo()->toPlainText(), QString());

    // MemoExit: losing the focus commits at once.
    m_view->selectRow(1);
    m_view->memo()->setFocus();
    QTest::keyClick(m_view->memo(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_view->memo(), Qt::Key_Delete);
    m_view->liste()->setFocus();
    QTRY_COMPARE(alpha->Notes, QString());
    QCOMPARE(m_view->entryModel()->rowAt(1).icon, EntryListModel::KeyIcon);

    // A deleted entry's notes are never written: its row goes, the editor is emptied.
    m_view->selectRow(0);
    m_view->memo()->setPlainText("typed for a doomed entry");
    m_doc->SetModified(false);
    m_doc->removeEntry(m_doc->indexOfEntry(zeta));
    m_view->removeEntryRow(0);
    QVERIFY(!m_doc->Modified);
    QCOMPARE(m_view->selectedRow(), -1);
    QVERIFY(m_view->memo()->isReadOnly());
}

void TestViewsWidget::enablingRules()
{
    selectAndReport(m_bank);
    // Row with a web address, not the FTP entry.
    m_view->updateEntryMenuActions(false);
    QVERIFY(command(CommandId::NewEntree)->isEnabled());
    QVERIFY(command(CommandId::RenEntree)->isEnabled());
    QVERIFY(command(CommandId::DelEntree)->isEnabled());
    QVERIFY(command(CommandId::Couper)->isEnabled());
    QVERIFY(command(CommandId::Copier)->isEnabled());
    QVERIFY(!command(CommandId::Coller)->isEnabled());
    QVERIFY(command(CommandId::OpenURL)->isEnabled());
    QVERIFY(command(CommandId::SetFTP)->isEnabled());
    QVERIFY(!command(CommandId::SetFTP)->isChecked());
    m_view->updateEntryMenuActions(true);
    QVERIFY(command(CommandId::Coller)->isEnabled());
    m_view->updateGroupMenuActions();
    QVERIFY(command(CommandId::RenGrp)->isEnabled());
    QVERIFY(command(CommandId::DelGrp)->isEnabled());

    // The FTP entry shows the check mark.
    m_view->entryModel()->entryAt(2)->IsFtpEntry = true;
    m_view->selectRow(2);
    m_view->updateEntryMenuActions(false);
    QVERIFY(command(CommandId::SetFTP)->isChecked());

    // A row without web address.
    selectAndReport(m_mail);
    QVERIFY(command(CommandId::Copier)->isEnabled());
    QVERIFY(!command(CommandId::OpenURL)->isEnabled());
    m_view->updateEntryMenuActions(false);
    QVERIFY(!command(CommandId::SetFTP)->isEnabled());

    // No row selected.
    m_view->selectRow(-1);
    QVERIFY(!command(CommandId::Copier)->isEnabled());
    m_view->updateEntryMenuActions(true);
    QVERIFY(!command(CommandId::RenEntree)->isEnabled());
    QVERIFY(!command(CommandId::DelEntree)->isEnabled());
    QVERIFY(!command(CommandId::Couper)->isEnabled());
    QVERIFY(!command(CommandId::OpenURL)->isEnabled());
    QVERIFY(command(CommandId::Coller)->isEnabled());
    QVERIFY(command(CommandId::NewEntree)->isEnabled());

    // The read-only lock: nothing that changes the document, copying stays.
    m_view->setReadOnlyLock(true);
    selectAndReport(m_bank);
    QVERIFY(!command(CommandId::NewEntree)->isEnabled());
    QVERIFY(!command(CommandId::NewGenerateur)->isEnabled());
    QVERIFY(command(CommandId::Copier)->isEnabled());
    m_view->updateEntryMenuActions(true);
    QVERIFY(!command(CommandId::RenEntree)->isEnabled());
    QVERIFY(!command(CommandId::DelEntree)->isEnabled());
    QVERIFY(!command(CommandId::Couper)->isEnabled());
    QVERIFY(!command(CommandId::Coller)->isEnabled());
    QVERIFY(command(CommandId::Copier)->isEnabled());
    QVERIFY(command(CommandId::OpenURL)->isEnabled());
    m_view->updateGroupMenuActions();
    QVERIFY(!command(CommandId::RenGrp)->isEnabled());
    QVERIFY(!command(CommandId::DelGrp)->isEnabled());

    // No group selected.
    m_view->setReadOnlyLock(false);
    selectAndReport(nullptr);
    m_view->updateGroupMenuActions();
    QVERIFY(!command(CommandId::RenGrp)->isEnabled());
    m_view->updateEntryMenuActions(true);
    QVERIFY(!command(CommandId::NewEntree)->isEnabled());
    QVERIFY(!command(CommandId::Coller)->isEnabled());
}

void TestViewsWidget::removingLastRowDisablesNewEntry()
{
    selectAndReport(m_mail);
    QVERIFY(command(CommandId::NewEntree)->isEnabled());
    TFeuille* inbox = m_view->selectedEntry();
    m_doc->removeEntry(m_doc->indexOfEntry(inbox));
    m_view->removeEntryRow(0);
    QCOMPARE(m_view->entryModel()->rowCount(), 0);
    QVERIFY(!command(CommandId::NewEntree)->isEnabled());
    // Until the group is reported again or a menu opens.
    m_view->updateEntryMenuActions(false);
    QVERIFY(command(CommandId::NewEntree)->isEnabled());

    // A new row enables New entry.
    command(CommandId::NewEntree)->setEnabled(false);
    TFeuille* added = m_doc->appendEntry(NewEntry(m_mail, "Item"));
    QCOMPARE(m_view->appendEntryRow(added), 0);
    QCOMPARE(m_view->selectedEntry(), added);
    QVERIFY(command(CommandId::NewEntree)->isEnabled());
}

void TestViewsWidget::groupRemovalEmptiesTheListFirst_data()
{
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("removed");
    QTest::addColumn<bool>("listEmptied");
    QTest::newRow("the listed group") << "Bank"
                                      << "Bank" << true;
    QTest::newRow("an ancestor of the listed group") << "Cards"
                                                     << "Bank" << true;
    QTest::newRow("another group") << "Bank"
                                   << "Mail" << false;
}

void TestViewsWidget::groupRemovalEmptiesTheListFirst()
{
    QFETCH(QString, listed);
    QFETCH(QString, removed);
    QFETCH(bool, listEmptied);
    const QHash<QString, TGroupe*> groups = {{"Bank", m_bank}, {"Cards", m_cards}, {"Mail", m_mail}};
    selectAndReport(groups.value(listed));
    const int rowsBefore = m_view->entryModel()->rowCount();
    QVERIFY(rowsBefore > 0);
    const QString plainHint = m_view->liste()->statusTip();

    // The group and its entries are freed inside the call; no report has run yet.
    m_view->groupModel()->removeGroup(groups.value(removed));
    QCOMPARE(m_view->entryModel()->rowCount(), listEmptied ? 0 : rowsBefore);
    for (int r = 0; r < m_view->entryModel()->count(); ++r)
        QVERIFY(m_doc->indexOfEntry(m_view->entryModel()->entryAt(r)) >= 0);
    if (listEmptied) {
        QCOMPARE(m_view->selectedEntry(), nullptr);
        QVERIFY(m_view->memo()->isReadOnly());
        QVERIFY(!command(CommandId::Copier)->isEnabled());
        QCOMPARE(m_view->hintFor(m_view->liste()), plainHint);
        m_view->updateEntryMenuActions(true);
        QVERIFY(!command(CommandId::DelEntree)->isEnabled());
    } else {
        QVERIFY(m_view->selectedEntry());
    }

    // The report that follows shows whichever group the tree selected, with live entries only.
    QTRY_VERIFY(!m_view->groupChangePending());
    for (int r = 0; r < m_view->entryModel()->count(); ++r)
        QVERIFY(m_doc->indexOfEntry(m_view->entryModel()->entryAt(r)) >= 0);
    renderList();
}

void TestViewsWidget::rowsOfEntriesOutsideTheDocumentAreNeverRead()
{
    selectAndReport(m_bank); // zeta, Alpha, élan; zeta selected
    TFeuille* zeta = m_view->entryModel()->entryAt(0);
    TFeuille* alpha = m_view->entryModel()->entryAt(1);
    const QString plainHint = m_view->liste()->statusTip();

    // An entry freed while its row is still listed: selecting that row selects nothing.
    m_doc->removeEntry(m_doc->indexOfEntry(alpha));
    m_view->selectRow(1);
    QCOMPARE(m_view->selectedRow(), 1);
    QCOMPARE(m_view->selectedEntry(), nullptr);
    QVERIFY(m_view->memo()->isReadOnly());
    QVERIFY(m_view->memo()->toPlainText().isEmpty());
    QVERIFY(!command(CommandId::Copier)->isEnabled());
    QVERIFY(!command(CommandId::OpenURL)->isEnabled());
    QCOMPARE(m_view->hintFor(m_view->liste()), plainHint);
    m_view->updateEntryMenuActions(false);
    QVERIFY(!command(CommandId::RenEntree)->isEnabled());
    QVERIFY(!command(CommandId::SetFTP)->isEnabled());
    renderList(); // rows paint from their own copies
    m_view->refreshEntryRow(1);
    QCOMPARE(m_view->entryModel()->cellText(1, EntryListModel::NameColumn), QString("Alpha"));
    m_view->removeEntryRow(1);
    QCOMPARE(listNames(), QStringList({"zeta", QStringLiteral("élan")}));

    // A row removed while its entry stays in the document (moved to another group): the notes
    // typed for it are kept.
    m_view->selectRow(0);
    m_view->memo()->setFocus();
    QTest::keyClicks(m_view->memo(), "kept ");
    m_view->removeEntryRow(0);
    QVERIFY(zeta->Notes.startsWith("kept "));
    QVERIFY(m_doc->Modified);
    QVERIFY(m_view->memo()->isReadOnly());
}

void TestViewsWidget::searchViewAndBack()
{
    selectAndReport(m_bank);
    m_view->columnClick(1);
    const std::vector<TFeuille*> results = {m_doc->entry(4), m_doc->entry(1)};
    m_view->showSearchResults(results, {"Bank\\Cards", "Mail"});
    QVERIFY(m_view->searchViewActive());
    QVERIFY(!m_view->arbo()->isVisible());
    QCOMPARE(m_view->entryModel()->columnCount(), 5);
    QCOMPARE(listNames(), QStringList({"visa", "inbox"}));
    QCOMPARE(m_view->entryModel()->rowAt(0).icon, EntryListModel::SearchIcon);
    QCOMPARE(m_view->selectedRow(), 0);
    QVERIFY(!command(CommandId::NewEntree)->isEnabled());
    m_view->updateEntryMenuActions(false);
    QVERIFY(!command(CommandId::NewEntree)->isEnabled());
    QVERIFY(command(CommandId::Copier)->isEnabled());

    m_view->columnClick(5); // sort on the path
    QCOMPARE(m_view->sortCode(), 5);
    QCOMPARE(listNames(), QStringList({"visa", "inbox"}));
    m_view->columnClick(5);
    QCOMPARE(listNames(), QStringList({"inbox", "visa"}));

    // A pending tree report does not replace the results.
    m_view->selectGroup(m_mail);
    m_view->flushGroupChange();
    QCOMPARE(listNames(), QStringList({"inbox", "visa"}));

    m_view->endSearchView();
    QVERIFY(!m_view->searchViewActive());
    QVERIFY(m_view->arbo()->isVisible());
    QCOMPARE(m_view->entryModel()->columnCount(), 4);
    // The path sort cannot survive its column.
    QCOMPARE(m_view->sortCode(), 0);
    QCOMPARE(m_view->liste()->sortHeader()->sortArrowSection(), -1);
    QCOMPARE(listNames(), QStringList({"inbox"}));
    QCOMPARE(m_view->selectedRow(), 0);
    QVERIFY(command(CommandId::NewEntree)->isEnabled());
}

void TestViewsWidget::tableAppliedDuringSearch()
{
    // A language chosen while search results are shown: four titles and the hint, the path
    // column keeps its title.
    QWidget window;
    window.setObjectName("frmTresorin");
    m_view->setParent(&window);
    m_view->showSearchResults({m_doc->entry(0)}, {"Bank"});
    const QString pathTitle = m_view->entryModel()->headerData(EntryListModel::PathColumn, Qt::Horizontal).toString();
    LangTable::instance().setText(
        "frmTresorin.Liste=Name~Login~Password~Web~Double click to edit item. Change field with Tab or Enter.");
    ApplyLangTable(&window);
    clearLangTable();
    m_view->setParent(nullptr);
    QStringList titles;
    for (int c = 0; c < m_view->entryModel()->columnCount(); ++c)
        titles << m_view->entryModel()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"Name", "Login", "Password", "Web", pathTitle}));
    QCOMPARE(m_view->liste()->statusTip(),
             QStringLiteral("Double click to edit item. Change field with Tab or Enter."));

    m_view->endSearchView();
    QCOMPARE(m_view->entryModel()->columnCount(), 4);
    QCOMPARE(m_view->entryModel()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Web"));
}

void TestViewsWidget::hintsGoToStatusBarOnly()
{
    selectAndReport(m_bank);
    TFeuille* zeta = m_view->selectedEntry();
    zeta->Created = datetime::fromQDateTime(QDateTime(QDate(2023, 5, 4), QTime(10, 11, 12)));
    QSignalSpy hints(m_view.get(), &DocumentView::statusHint);
    EntryListView* list = m_view->liste();
    const QString hint = list->statusTip();
    QVERIFY(!hint.isEmpty());

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(list, &enter);
    QCOMPARE(hints.count(), 1);
    const QString text = hints.at(0).at(0).toString();
    QVERIFY2(text.startsWith(QStringLiteral("Elément créé le : ")), qPrintable(text));
    QVERIFY(text.endsWith(" (" + hint + ")"));
    QCOMPARE(text, EntryHintText(zeta->Created, 0, hint));

    // An entry without dates (version 3 file): the plain hint.
    m_view->entryModel()->entryAt(1)->Created = 0;
    m_view->selectRow(1);
    QCoreApplication::sendEvent(list, &enter);
    QCOMPARE(hints.last().at(0).toString(), hint);

    // The tree's hint, and no pop-ups for these three.
    QCoreApplication::sendEvent(m_view->arbo(), &enter);
    QCOMPARE(hints.last().at(0).toString(), QStringLiteral("Organisez vos mots de passe en groupes"));
    for (QWidget* w :
         {static_cast<QWidget*>(list), static_cast<QWidget*>(m_view->arbo()), static_cast<QWidget*>(m_view->memo())}) {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
        QVERIFY(QCoreApplication::sendEvent(w, &help));
        QVERIFY(!QToolTip::isVisible());
    }
    // The plain status tips of these widgets never reach the window.
    QStatusTipEvent tip(list->statusTip());
    QVERIFY(QCoreApplication::sendEvent(list, &tip));
}

void TestViewsWidget::reloadAndSelectFirstGroupExpanded()
{
    selectAndReport(m_bank);
    m_view->selectGroup(m_mail); // a report is pending when the document goes

    m_view->documentAboutToReload();
    m_doc->clearContent();
    TGroupe* top = m_doc->addGroup("Top");
    TGroupe* mid = m_doc->addGroup("Mid", top);
    TGroupe* leaf = m_doc->addGroup("Leaf", mid);
    m_doc->addGroup("Second");
    addEntry(*m_doc, top, "t1");
    addEntry(*m_doc, leaf, "l1");
    addEntry(*m_doc, top, "t2");
    m_view->documentReloaded();
    QVERIFY(!m_view->groupChangePending());
    QCOMPARE(m_view->entryModel()->rowCount(), 0);
    QCOMPARE(m_view->selectedGroup(), nullptr);
    QVERIFY(m_view->memo()->isReadOnly());

    m_view->selectFirstGroupExpanded();
    GroupTreeModel* model = m_view->groupModel();
    QVERIFY(m_view->arbo()->isExpanded(model->indexForGroup(top)));
    QVERIFY(m_view->arbo()->isExpanded(model->indexForGroup(mid)));
    QCOMPARE(m_view->selectedGroup(), top);
    QTRY_COMPARE(listNames(), QStringList({"t1", "t2"}));
    QCOMPARE(m_view->selectedRow(), 0);
    renderList();
}

void TestViewsWidget::fiftyThousandEntriesFillAtOnce()
{
    m_view->documentAboutToReload();
    m_doc->clearContent();
    TGroupe* big = m_doc->addGroup("Big");
    TGroupe* other = m_doc->addGroup("Other");
    for (int i = 0; i < 60000; ++i) {
        auto e = NewEntry(i % 6 == 5 ? other : big, QStringLiteral("Entry %1").arg((i * 7919) % 60000));
        e->Login = QStringLiteral("user%1").arg(i);
        e->Password = QStringLiteral("pw%1").arg(i);
        e->WebAddress = QStringLiteral("https://site%1.example").arg(i % 97);
        m_doc->appendEntry(std::move(e));
    }
    m_view->documentReloaded();
    m_view->columnClick(1);

    // What these steps take is timed by bench/bench_view (./bench.sh); here, what they show.
    m_view->selectGroup(big);
    m_view->flushGroupChange();
    m_view->liste()->viewport()->repaint();
    QCOMPARE(m_view->entryModel()->rowCount(), 50000);
    QCOMPARE(m_view->selectedRow(), 0);

    m_view->columnClick(1);
    m_view->liste()->viewport()->repaint();
    const EntryListModel* model = m_view->entryModel();
    for (int r = 0; r + 1 < model->count(); ++r)
        QVERIFY(model->collator().compare(model->cellText(r, 0), model->cellText(r + 1, 0)) >= 0);

    // Moving the selection checks that the row's entry is still in the document: rows far down
    // the document's order, one after the other.
    const int steps = 2000;
    for (int i = 0; i < steps; ++i)
        m_view->selectRow(model->count() - 1 - i);
    QCOMPARE(m_view->selectedEntry(), model->entryAt(model->count() - steps));
}

QTEST_MAIN(TestViewsWidget)
#include "tst_views_widget.moc"

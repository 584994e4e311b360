// Documents the reader accepts but no hand would make, driven through the window's commands:
// groups nested tens of thousands deep, notes of megabytes on one line, and a flood of records
// whose group is unknown. The window must neither crash, nor freeze, nor drown the user in boxes.

#include "app/core/NotesDisplay.h"
#include "app/gui/commands/GroupEntryCommands.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/Cipher.h"
#include "document/DocumentFile.h"
#include "document/DocumentJson.h"
#include "document/EntrySearch.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest>

#include <memory>

using testsupport::StreamBuilder;
using testsupport::WindowFixture;
using testsupport::writeStream;

namespace {

const QString kPassword = QStringLiteral("pw");

// A chain of `depth` groups, each the only child of the one before ("g1" at the top), with the
// entry "deep" in the deepest one, followed by a top-level chain of `sideDepth` groups ("s1"...).
QByteArray chainStream(int depth, int sideDepth)
{
    StreamBuilder b;
    b.start(7).header(7, TDoc());
    for (int i = 1; i <= depth; ++i)
        b.group(quint32(i), quint32(i - 1), QStringLiteral("g%1").arg(i));
    for (int i = 1; i <= sideDepth; ++i)
        b.group(quint32(depth + i), i == 1 ? 0 : quint32(depth + i - 1), QStringLiteral("s%1").arg(i));
    TFeuille e;
    e.Name = QStringLiteral("deep");
    e.Notes = QStringLiteral("found by the search");
    b.entry(7, quint32(depth), e);
    return b.end().bytes();
}

// The group `depth` levels below the top-level group `top` along first children.
TGroupe* down(TGroupe* top, int depth)
{
    TGroupe* g = top;
    for (int i = 0; i < depth && g && !g->Children.empty(); ++i)
        g = g->Children.front().get();
    return g;
}

// Depth of the deepest node the tree lays out expanded (all its ancestors expanded too), -1 if none.
int deepestLaidOutExpansion(const GroupTreeView* tree)
{
    const QAbstractItemModel* m = tree->model();
    int deepest = -1;
    std::vector<std::pair<QModelIndex, int>> pending;
    for (int row = 0; row < m->rowCount(); ++row)
        pending.emplace_back(m->index(row, 0), 0);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (!tree->isExpanded(node))
            continue;
        deepest = std::max(deepest, depth);
        for (int row = 0; row < m->rowCount(node); ++row)
            pending.emplace_back(m->index(row, 0, node), depth + 1);
    }
    return deepest;
}

} // namespace

class TestMainWindowHostile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void deepChainIsShownAndWorkedOn_data();
    void deepChainIsShownAndWorkedOn();
    void expansionStopsAtTheDepthTheTreeLaysOut();
    void longNotesShowWithoutFreezing_data();
    void longNotesShowWithoutFreezing();
    void notesDisplayCutsCleanly_data();
    void notesDisplayCutsCleanly();
    void floodOfUnknownGroupsShowsOneBox();

private:
    TfrmTresorin* makeWindow();
    void open(const QString& path);
    bool expanded(TGroupe* group) const;

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindowHostile::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestMainWindowHostile::cleanup()
{
    m_fx.reset();
}

TfrmTresorin* TestMainWindowHostile::makeWindow()
{
    TfrmTresorin* w = m_fx->makeWindow();
    w->resize(800, 600);
    w->show();
    return w;
}

void TestMainWindowHostile::open(const QString& path)
{
    m_fx->openThroughCommand(path, kPassword);
    m_fx->window()->view()->flushGroupChange();
}

bool TestMainWindowHostile::expanded(TGroupe* group) const
{
    return m_fx->window()->view()->arbo()->isExpanded(m_fx->window()->view()->groupModel()->indexForGroup(group));
}

void TestMainWindowHostile::deepChainIsShownAndWorkedOn_data()
{
    QTest::addColumn<int>("depth");
    QTest::newRow("30,000 deep (510 KB)") << 30000;
    QTest::newRow("100,000 deep") << 100000;
}

void TestMainWindowHostile::deepChainIsShownAndWorkedOn()
{
    QFETCH(int, depth);
    const int limit = GroupTreeView::kMaxExpandedDepth;
    const QString path = m_fx->tmp().filePath(QStringLiteral("deep.pass"));
    QVERIFY(writeStream(path, chainStream(depth, 0), kPassword));
    auto* w = makeWindow();
    DocumentView* view = w->view();

    // Open: the first group is expanded with its descendants as deep as the tree lays out.
    open(path);
    QCOMPARE(w->doc().groupCount(), depth);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")), QStringList());
    TGroupe* top = w->doc().Groups().front().get();
    QCOMPARE(view->selectedGroup(), top);
    QVERIFY(expanded(top));
    QVERIFY(expanded(down(top, limit - 1)));
    QCOMPARE(deepestLaidOutExpansion(view->arbo()), limit - 1);
    QVERIFY(!w->grab().isNull()); // painted

    // A click, a key or a command cannot expand deeper.
    GroupTreeView* tree = view->arbo();
    tree->expand(view->groupModel()->indexForGroup(down(top, limit)));
    QVERIFY(!expanded(down(top, limit)));
    tree->setCurrentIndex(view->groupModel()->index(0, 0));
    QTest::keyClick(tree, Qt::Key_Asterisk); // expands every descendant
    QCOMPARE(deepestLaidOutExpansion(tree), limit - 1);
    QVERIFY(!w->grab().isNull());

    // The deepest group, selected and painted far to the right.
    TGroupe* deepest = down(top, depth - 1);
    QVERIFY(deepest->Children.empty());
    view->selectGroup(deepest);
    view->flushGroupChange();
    QCOMPARE(view->entryModel()->rowCount(), 1);
    QVERIFY(!w->grab().isNull());

    // The search finds the entry and shows its path, all groups down to it.
    ModalSeam::pushAnswer(QStringLiteral("found by"));
    w->action(QStringLiteral("ActionChercher"))->trigger();
    QVERIFY(view->searchViewActive());
    QCOMPARE(view->entryModel()->rowCount(), 1);
    QVERIFY(!w->grab().isNull());
    w->action(QStringLiteral("ActionChercher"))->trigger();
    QVERIFY(!view->searchViewActive());

    // A group may not go into its own subtree, however deep that is.
    GroupEntryCommands* commands = w->findChild<GroupEntryCommands*>();
    QVERIFY(commands);
    commands->groupDropped(top, deepest);
    QVERIFY(!w->doc().Modified);
    QCOMPARE(deepest->Parent, down(top, depth - 2));

    // Export and import keep the nesting.
    const QByteArray json = docjson::toJson(w->doc());
    DocumentState imported;
    QString error;
    QVERIFY2(docjson::fromJson(json, imported, &error), qPrintable(error));
    QCOMPARE(imported.groupCount(), depth);
    QCOMPARE(down(imported.Groups().front().get(), depth - 1)->Name, QStringLiteral("g%1").arg(depth));

    // Merging the file adds a second chain, expanded as the first.
    ModalSeam::pushAnswer(path);
    ModalSeam::pushAnswer(kPassword);
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(w->doc().groupCount(), 2 * depth);
    TGroupe* merged = w->doc().Groups().back().get();
    QVERIFY(expanded(down(merged, limit - 1)));
    QCOMPARE(deepestLaidOutExpansion(view->arbo()), limit - 1);
    QVERIFY(!w->grab().isNull());

    // Deleting both chains, their entries with them.
    QApplication::setActiveWindow(w);
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    for (int i = 0; i < 2; ++i) {
        view->selectGroup(w->doc().Groups().front().get());
        view->flushGroupChange();
        ModalSeam::pushAnswer(int(MsgYes));
        w->action(QStringLiteral("ActionDelGrp"))->trigger();
    }
    QCOMPARE(w->doc().groupCount(), 0);
    QCOMPARE(w->doc().entryCount(), 0);
    QVERIFY(w->doc().Modified);
}

void TestMainWindowHostile::expansionStopsAtTheDepthTheTreeLaysOut()
{
    // A chain of 1,500 and a top-level chain of 900, expanded whole; the second moved under the
    // 800th group of the first would reach 1,700 levels.
    const int limit = GroupTreeView::kMaxExpandedDepth;
    const QString path = m_fx->tmp().filePath(QStringLiteral("two.pass"));
    QVERIFY(writeStream(path, chainStream(limit + 500, limit - 100), kPassword));
    auto* w = makeWindow();
    open(path);
    DocumentView* view = w->view();
    TGroupe* first = w->doc().Groups().front().get();
    TGroupe* side = w->doc().Groups().back().get();
    view->arbo()->expandSubtree(view->groupModel()->indexForGroup(side));
    QVERIFY(expanded(down(side, limit - 200)));

    w->findChild<GroupEntryCommands*>()->groupDropped(side, down(first, limit - 200));
    QCOMPARE(side->Parent, down(first, limit - 200));
    QVERIFY(w->doc().Modified);
    QVERIFY(expanded(down(side, 198)));  // depth limit - 1
    QVERIFY(!expanded(down(side, 199))); // depth limit
    QCOMPARE(deepestLaidOutExpansion(view->arbo()), limit - 1);
    QVERIFY(!w->grab().isNull());

    // The part below, still marked expanded, moved back to the top: laid out within the limit.
    TGroupe* lower = down(side, 300);
    TGroupe* above = lower->Parent;
    w->findChild<GroupEntryCommands*>()->groupDropped(lower, nullptr);
    QVERIFY(above->Children.empty());
    QCOMPARE(w->doc().Groups().back().get(), lower);
    QVERIFY(deepestLaidOutExpansion(view->arbo()) < limit);
    QVERIFY(!w->grab().isNull());
}

void TestMainWindowHostile::longNotesShowWithoutFreezing_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("word"); // the notes are this repeated
    QTest::addColumn<bool>("whole");
    QTest::newRow("the editor's limit, one word") << 65535 << "x" << true;
    QTest::newRow("the most shown whole, one word") << NotesDisplay::kMaxShownLength << "x" << true;
    QTest::newRow("the most shown whole, words on one line") << NotesDisplay::kMaxShownLength << "word " << true;
    QTest::newRow("1 MB, one word") << 1000000 << "x" << false;
    QTest::newRow("1 MB, words on one line") << 1000000 << "word " << false;
    QTest::newRow("32 MB, one word") << 32000000 << "x" << false;
}

void TestMainWindowHostile::longNotesShowWithoutFreezing()
{
    QFETCH(int, length);
    QFETCH(QString, word);
    QFETCH(bool, whole);
    TFeuille e;
    e.Name = QStringLiteral("long");
    e.Notes = word.repeated(length / word.size() + 1).left(length);
    e.Notes[length / 2] = QLatin1Char('m'); // a mark past any beginning shown
    TFeuille other;
    other.Name = QStringLiteral("other");
    other.Notes = QStringLiteral("short\r\nnotes");
    const QString path = m_fx->tmp().filePath(QStringLiteral("notes.pass"));
    QVERIFY(writeStream(path,
                        StreamBuilder()
                            .start(7)
                            .header(7, TDoc())
                            .group(1, 0, QStringLiteral("G"))
                            .entry(7, 1, e)
                            .entry(7, 1, other)
                            .end()
                            .bytes(),
                        kPassword));
    auto* w = makeWindow();
    open(path);
    DocumentView* view = w->view();
    QPlainTextEdit* memo = view->memo();
    const int row = view->rowOfEntry(w->doc().entry(0));
    view->selectRow(view->rowOfEntry(w->doc().entry(1)));
    QCOMPARE(memo->toPlainText(), QStringLiteral("short\nnotes"));

    QElapsedTimer timer;
    timer.start();
    view->selectRow(row);
    QVERIFY(!w->grab().isNull()); // laid out and painted
    const qint64 ms = timer.elapsed();
    qInfo("notes of %d characters shown in %lld ms", length, ms);
    // Generous for the sanitizer build; the normal build takes a small fraction of a second.
    QVERIFY2(ms < 5000, qPrintable(QString::number(ms)));

    const QString shown = memo->toPlainText();
    QCOMPARE(memo->isReadOnly(), !whole);
    if (whole) {
        QCOMPARE(shown.size(), length);
    } else {
        QCOMPARE(shown.size(), NotesDisplay::kMaxShownLength);
        QVERIFY(w->doc().entry(0)->Notes.startsWith(shown));
        const QString message = FillPlaceholders(Msg(QStringLiteral("NotesPartielles")),
                                                 {QString::number(shown.size()), QString::number(length)});
        QCOMPARE(w->statusPanel(0)->text(), message);
        QCOMPARE(view->hintFor(memo), message);

        // Typing goes nowhere, and leaving the editor stores nothing: the whole notes stay.
        memo->setFocus();
        QTest::keyClicks(memo, QStringLiteral("typed"));
        view->liste()->setFocus();
        view->commitNotes();
        QCOMPARE(memo->toPlainText(), shown);
        QCOMPARE(w->doc().entry(0)->Notes.size(), length);
        QCOMPARE(w->doc().entry(0)->Notes.at(length / 2), QLatin1Char('m'));
        QVERIFY(!w->doc().Modified);
    }

    // Another entry's notes are whole and editable again.
    view->selectRow(view->rowOfEntry(w->doc().entry(1)));
    QVERIFY(!memo->isReadOnly());
    QCOMPARE(memo->toPlainText(), QStringLiteral("short\nnotes"));
    QCOMPARE(view->hintFor(memo), memo->statusTip());
}

void TestMainWindowHostile::notesDisplayCutsCleanly_data()
{
    QTest::addColumn<QString>("notes");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("wrapAnywhere");
    const QString word(NotesDisplay::kLongestWord, QLatin1Char('w'));
    QTest::newRow("short") << "a\r\nb" << 10 << "a\nb" << true << false;
    QTest::newRow("at the limit") << "a\r\nbc" << 5 << "a\nbc" << true << false;
    QTest::newRow("cut before the CR of a line break") << "abcd\r\nef" << 5 << "abcd" << false << false;
    QTest::newRow("cut after a whole line break") << "abc\r\nef" << 5 << "abc\n" << false << false;
    QTest::newRow("cut before a surrogate pair") << QStringLiteral("abcd\U0001F600") << 5 << "abcd" << false << false;
    QTest::newRow("long word") << word + QStringLiteral(" end") << 5000 << word + " end" << true << true;
    QTest::newRow("words just short enough") << word.left(word.size() - 1) + QStringLiteral(" x") << 5000
                                             << word.left(word.size() - 1) + " x" << true << false;
}

void TestMainWindowHostile::notesDisplayCutsCleanly()
{
    QFETCH(QString, notes);
    QFETCH(int, limit);
    QFETCH(QString, text);
    QFETCH(bool, whole);
    QFETCH(bool, wrapAnywhere);
    const NotesDisplay d = NotesDisplay::of(notes, limit);
    QCOMPARE(d.text, text);
    QCOMPARE(d.whole, whole);
    QCOMPARE(d.wrapAnywhere, wrapAnywhere);
    QCOMPARE(d.storedLength, notes.size());
}

void TestMainWindowHostile::floodOfUnknownGroupsShowsOneBox()
{
    const int count = 200000;
    StreamBuilder b;
    b.start(7).header(7, TDoc()).group(1, 0, QStringLiteral("G")).group(2, 5, QStringLiteral("lost parent"));
    TFeuille e;
    e.Name = QStringLiteral("e");
    for (int i = 0; i < count; ++i)
        b.entry(7, quint32(7 + i % 3), e);
    b.tag("XXXX");
    const QString path = m_fx->tmp().filePath(QStringLiteral("flood.pass"));
    QVERIFY(writeStream(path, b.bytes(), kPassword));
    auto* w = makeWindow();

    open(path);
    // Each of the reader's messages once, in the order first met.
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("ShowMsg")),
             (QStringList{Msg(QStringLiteral("ErreurHN")), Msg(QStringLiteral("ErreurFIN"))}));
    QCOMPARE(w->doc().entryCount(), count);
    QCOMPARE(w->doc().groupCount(), 2);
}

QTEST_MAIN(TestMainWindowHostile)
#include "tst_mainwindow_hostile.moc"

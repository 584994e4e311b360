// Faults once found in the running window, each driven through the window's commands and seams:
// a save that cannot be written, the generator command, the message boxes of an open, the status
// bar's dates and hints, the width of the web column, and the right button in the list.

#include "app/core/EntryHint.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/Cipher.h"
#include "document/DocumentStream.h"
#include "document/gui/TBoiteMetaPass.h"
#include "generator/gui/TfrmGenerateur.h"
#include "lang/gui/ShowMsg.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "support/DocumentFixture.h"
#include "support/FullDisk.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QtTest>

#include <memory>

using testsupport::shownMessages;
using testsupport::StreamBuilder;
using testsupport::WindowFixture;
using testsupport::writeStream;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

DateTime dayAt(int day, int hour)
{
    return datetime::fromQDateTime(QDateTime(QDate(2024, 3, day), QTime(hour, 30, 0)));
}

} // namespace

class TestMainWindowFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saveThatCannotBeWrittenKeepsTheDocumentModified_data();
    void saveThatCannotBeWrittenKeepsTheDocumentModified();
    void generatorCommand();
    void messageBoxesOfAnOpenAreOverTheWindowWithLiveViews();
    void statusBarDatesFollowTheClickedRow();
    void webColumnFillsTheList_data();
    void webColumnFillsTheList();
    void rightClickKeepsTheSelectedRow();
    void longHintIsElided();

private:
    // A document with one group holding the entries "one" and "two", dated differently.
    QString makeDocument(const QString& folder, const QString& name);
    void open(const QString& path);

    std::unique_ptr<WindowFixture> m_fx;
};

void TestMainWindowFaults::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestMainWindowFaults::cleanup()
{
    m_fx.reset();
}

QString TestMainWindowFaults::makeDocument(const QString& folder, const QString& name)
{
    DocumentState doc;
    TGroupe* group = doc.addGroup(QStringLiteral("Web"));
    for (int i = 0; i < 2; ++i) {
        auto entry = NewEntry(group, i == 0 ? QStringLiteral("one") : QStringLiteral("two"));
        entry->WebAddress = QStringLiteral("https://site%1.example/a/rather/long/path/to/show").arg(i);
        entry->Created = dayAt(1 + i, 9);
        entry->ModifiedAt = dayAt(10 + i, 17);
        doc.appendEntry(std::move(entry));
    }
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    const QString path = folder + QLatin1Char('/') + name;
    return writeStream(path, stream, QStringLiteral("pw")) ? path : QString();
}

void TestMainWindowFaults::open(const QString& path)
{
    m_fx->openThroughCommand(path, QStringLiteral("pw"));
    m_fx->window()->view()->flushGroupChange();
}

void TestMainWindowFaults::saveThatCannotBeWrittenKeepsTheDocumentModified_data()
{
    QTest::addColumn<bool>("fullDisk"); // else a file-size limit
    QTest::addColumn<QString>("reason");
    QTest::newRow("file-size limit") << false << QStringLiteral("File too large");
    QTest::newRow("full disk") << true << QStringLiteral("No space left on device");
}

void TestMainWindowFaults::saveThatCannotBeWrittenKeepsTheDocumentModified()
{
    QFETCH(bool, fullDisk);
    QFETCH(QString, reason);
    std::unique_ptr<testsupport::SmallTmpfs> disk;
    QString folder = m_fx->tmp().path();
    if (fullDisk) {
        disk = std::make_unique<testsupport::SmallTmpfs>(m_fx->tmp().filePath(QStringLiteral("disk")), 1024);
        if (!disk->ok())
            QSKIP(qPrintable(disk->failure()));
        folder = disk->path();
    }
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(folder, QStringLiteral("small.pass"));
    QVERIFY(!path.isEmpty());
    open(path);
    QCOMPARE(w->doc().CurrentPath, path);
    const QByteArray before = fileBytes(path);
    QVERIFY(before.size() < 1000);

    w->SetModified(true);
    ModalSeam::clearShown();
    if (disk) {
        QVERIFY(disk->fill());
        w->action(QStringLiteral("ActionSauver"))->trigger();
    } else {
        testsupport::ScopedFileSizeLimit limit(100);
        w->action(QStringLiteral("ActionSauver"))->trigger();
    }

    QCOMPARE(shownMessages().size(), 1);
    QCOMPARE(ModalSeam::shown().at(0).kind, int(MsgKind::Error));
    QVERIFY2(shownMessages().at(0).contains(path), qPrintable(shownMessages().at(0)));
    QVERIFY2(shownMessages().at(0).endsWith(reason), qPrintable(shownMessages().at(0)));
    QVERIFY(w->doc().Modified);
    QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Modified"));
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".pass")),
             QStringList{"small.pass"});

    // Closing still asks; Cancel keeps the window and the changes.
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(int(MsgCancel));
    QVERIFY(!w->close());
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().at(0).kind, int(MsgKind::Confirmation));
    QVERIFY(w->doc().Modified);

    // With room again the same command saves.
    if (disk)
        disk->release();
    ModalSeam::clearShown();
    w->action(QStringLiteral("ActionSauver"))->trigger();
    QCOMPARE(shownMessages(), QStringList());
    QVERIFY(!w->doc().Modified);
    QVERIFY(fileBytes(path) != before);
}

void TestMainWindowFaults::generatorCommand()
{
    auto* w = m_fx->makeWindow();
    QAction* command = w->action(QStringLiteral("actGenerateur"));
    QVERIFY(command->isEnabled());
    QCOMPARE(command->shortcut(), QKeySequence(Qt::Key_F11));
    QVERIFY(w->toolBar()->actions().contains(command));

    // The window made at start is the one shown; the user changes its choices, then OK.
    TfrmGenerateur& generator = w->generatorWindow();
    QVERIFY(!w->settings().SPE);
    QCOMPARE(w->settings().Len, 10);
    connect(&generator, &TfrmGenerateur::opened, this, [&generator] {
        generator.findChild<QCheckBox*>(QStringLiteral("cbSpe"))->setChecked(true);
        generator.findChild<QSpinBox*>(QStringLiteral("seLong"))->setValue(17);
    });
    ModalSeam::pushAnswer(true);
    command->trigger();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().at(0).dialog, QStringLiteral("Generateur"));
    QVERIFY(ModalSeam::shown().at(0).text.startsWith(QLatin1Char('A'))); // the pool of the opening
    QVERIFY(w->settings().SPE);
    QCOMPARE(w->settings().Len, 17);
    QCOMPARE(generator.result().size(), 17);
    QVERIFY(!w->doc().Modified);

    // Annuler after other changes: the settings keep the choices of the last OK.
    disconnect(&generator, &TfrmGenerateur::opened, this, nullptr);
    connect(&generator, &TfrmGenerateur::opened, this,
            [&generator] { generator.findChild<QSpinBox*>(QStringLiteral("seLong"))->setValue(5); });
    ModalSeam::pushAnswer(false);
    command->trigger();
    QCOMPARE(ModalSeam::shown().size(), 2);
    QCOMPARE(w->settings().Len, 17);

    // The choices reach the settings file at exit.
    m_fx->destroyWindow();
    const QByteArray ini = m_fx->readIni();
    QVERIFY2(ini.contains("[Gener]") && ini.contains("Len=17") && ini.contains("SPE=1"), ini.constData());
}

void TestMainWindowFaults::messageBoxesOfAnOpenAreOverTheWindowWithLiveViews()
{
    auto* w = m_fx->makeWindow();
    w->show();
    open(makeDocument(m_fx->tmp().path(), QStringLiteral("good.pass")));
    QCOMPARE(w->doc().entryCount(), 2);

    struct Seen
    {
        QString text;
        bool overTheWindow = false;
        bool viewsPaint = false;
    };
    QList<Seen> seen;
    ModalSeam::setObserver([&](const ModalSeam::Shown& q) {
        if (q.dialog != QLatin1String("ShowMsg") || q.kind != int(MsgKind::Error))
            return;
        // As after the meta password dialog closed: no window of the program is active.
        Seen s;
        s.text = q.text;
        s.overTheWindow = q.owner == w;
        s.viewsPaint = w->view()->liste()->updatesEnabled() && w->view()->arbo()->updatesEnabled();
        seen.append(s);
    });
    QApplication::setActiveWindow(nullptr);

    // An unknown parent, then a stream that breaks off in an entry.
    const QByteArray damaged = StreamBuilder()
                                   .start(7)
                                   .header(7, TDoc())
                                   .group(1, 0, QStringLiteral("A"))
                                   .group(2, 9, QStringLiteral("B"))
                                   .tag("FEUI")
                                   .u32(1)
                                   .text("cut")
                                   .bytes();
    const QString broken = m_fx->tmp().filePath(QStringLiteral("broken.pass"));
    QVERIFY(writeStream(broken, damaged, QStringLiteral("pw")));
    open(broken);
    // And a wrong password (the rescued content is not saved).
    ModalSeam::pushAnswer(int(MsgNo));
    ModalSeam::pushAnswer(broken);
    ModalSeam::pushAnswer(QStringLiteral("wrong"));
    w->action(QStringLiteral("ActionOuvrir"))->trigger();

    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0].text, QStringLiteral("Internal error"));
    QVERIFY(seen[1].text.contains(QStringLiteral("Stream read error")));
    QVERIFY(seen[2].text.startsWith(QStringLiteral("Sorry ! This meta password")));
    for (const Seen& s : std::as_const(seen)) {
        QVERIFY2(s.overTheWindow, qPrintable(s.text));
        QVERIFY2(s.viewsPaint, qPrintable(s.text));
    }
    // The broken stream's entry was never whole: it is not in the document.
    QCOMPARE(w->doc().groupCount(), 2);
    QCOMPARE(w->doc().entryCount(), 0);
}

void TestMainWindowFaults::statusBarDatesFollowTheClickedRow()
{
    auto* w = m_fx->makeWindow();
    w->show();
    open(makeDocument(m_fx->tmp().path(), QStringLiteral("dates.pass")));
    EntryListView* list = w->view()->liste();
    QCOMPARE(w->view()->selectedRow(), 0);
    const QString hint = list->statusTip();

    // The pointer comes into the list: the dates of the selected row.
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(list, &enter);
    QCOMPARE(w->statusPanel(0)->text(), EntryHintText(dayAt(1, 9), dayAt(10, 17), hint));

    // A click on the other row, the pointer staying in the list.
    const QRect second = list->visualRect(list->model()->index(1, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(w->view()->selectedRow(), 1);
    QCOMPARE(w->statusPanel(0)->text(), EntryHintText(dayAt(2, 9), dayAt(11, 17), hint));

    // Once the pointer has left, a change of row leaves the status bar alone.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(list, &leave);
    w->setStatusText(QStringLiteral("other"));
    w->view()->selectRow(0);
    QCOMPARE(w->statusPanel(0)->text(), QStringLiteral("other"));
}

void TestMainWindowFaults::webColumnFillsTheList_data()
{
    QTest::addColumn<QByteArray>("widths");
    QTest::newRow("initial widths") << QByteArray();
    QTest::newRow("wide name column") << QByteArray("[Pos]\r\nCol=1\r\nC1=300\r\n");
    QTest::newRow("all three wide") << QByteArray("[Pos]\r\nCol=1\r\nC1=250\r\nC2=200\r\nC3=200\r\n");
    QTest::newRow("wider than the list") << QByteArray("[Pos]\r\nCol=1\r\nC1=400\r\nC2=400\r\nC3=400\r\n");
}

void TestMainWindowFaults::webColumnFillsTheList()
{
    QFETCH(QByteArray, widths);
    auto* w = m_fx->makeWindow("[Main]\r\nLangue=US\r\nAutoCheck=0\r\n" + widths);
    w->resize(900, 500);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    open(makeDocument(m_fx->tmp().path(), QStringLiteral("web.pass")));
    EntryListView* list = w->view()->liste();
    QHeaderView* header = list->header();

    // The web column takes the room the other three leave, the width of its title when they
    // take it all: a horizontal scroll bar comes only when the others leave less than that.
    const auto check = [&] {
        const int web = EntryListModel::WebColumn;
        const int least = list->webColumnLeast();
        QVERIFY(least > 0);
        const int others = header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2);
        const int width = list->viewport()->width();
        QTRY_COMPARE(header->sectionSize(web), std::max(least, width - others));
        QCOMPARE(header->sectionViewportPosition(web) + header->sectionSize(web) + list->horizontalScrollBar()->value(),
                 std::max(width, others + least));
        QTRY_COMPARE(list->horizontalScrollBar()->maximum(), std::max(0, others + least - width));
    };
    check();
    w->resize(1100, 500);
    check();
    w->resize(800, 500);
    check();
    // A column dragged wider gives the web column less room.
    header->resizeSection(0, header->sectionSize(0) + 40);
    check();
}

void TestMainWindowFaults::rightClickKeepsTheSelectedRow()
{
    auto* w = m_fx->makeWindow();
    w->show();
    open(makeDocument(m_fx->tmp().path(), QStringLiteral("menu.pass")));
    EntryListView* list = w->view()->liste();
    QCOMPARE(w->view()->selectedRow(), 0);
    const QPoint onSecond = list->visualRect(list->model()->index(1, 1)).center();

    const auto rightClick = [&](const QPoint& at) {
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(list->viewport(), &menu);
        QTRY_VERIFY(w->listPopup()->isVisible());
        w->listPopup()->close();
    };
    // A row is selected: it stays selected, and the menu's commands are for it.
    rightClick(onSecond);
    QCOMPARE(w->view()->selectedRow(), 0);
    QCOMPARE(w->view()->selectedEntry()->Name, QStringLiteral("one"));

    // No row selected: the row under the pointer is.
    w->view()->selectRow(-1);
    rightClick(onSecond);
    QCOMPARE(w->view()->selectedRow(), 1);
}

void TestMainWindowFaults::longHintIsElided()
{
    auto* w = m_fx->makeWindow();
    w->resize(600, 400);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QLabel* panel = w->statusPanel(0);
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("word%1 ").arg(i);
    w->setStatusText(text.trimmed());
    QCOMPARE(panel->text(), text.trimmed()); // the whole text is kept

    // What is drawn: the start of the text and an ellipsis, within the panel.
    const QString expected =
        panel->fontMetrics().elidedText(text.trimmed(), Qt::ElideRight, panel->contentsRect().width());
    QVERIFY(expected.endsWith(QChar(0x2026)));
    QVERIFY(expected.size() > 5);
    QLabel reference;
    reference.setTextFormat(Qt::PlainText);
    reference.setFont(panel->font());
    reference.setPalette(panel->palette());
    reference.setFrameStyle(panel->frameStyle());
    reference.setAlignment(panel->alignment());
    reference.setText(expected);
    reference.resize(panel->size());
    QCOMPARE(panel->grab().toImage().convertToFormat(QImage::Format_RGB32),
             reference.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestMainWindowFaults)
#include "tst_mainwindow_faults.moc"

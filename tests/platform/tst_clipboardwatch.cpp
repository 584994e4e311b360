// The clearing delay of a text the program put on the clipboard, on a clock the test moves.

#include "platform/ClipboardWatch.h"

#include <QSignalSpy>
#include <QtTest>

class TestClipboardWatch : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void clearsWhenTheDelayIsOver();
    void aLaterCopyRestartsTheDelay();
    void offPlansNothing();
    void clearingDecision_data();
    void clearingDecision();

private:
    qint64 m_now = 0;
    std::unique_ptr<ClipboardWatch> m_watch;
};

void TestClipboardWatch::init()
{
    m_now = 1000;
    m_watch = std::make_unique<ClipboardWatch>();
    m_watch->setClock([this] { return m_now; });
    m_watch->setMinutes(5);
}

void TestClipboardWatch::clearsWhenTheDelayIsOver()
{
    QSignalSpy due(m_watch.get(), &ClipboardWatch::clearDue);
    m_watch->watch(QStringLiteral("secret"));
    QVERIFY(m_watch->pending());
    QCOMPARE(m_watch->remainingMs(), qint64(5 * 60000));
    // A wake-up before the end waits for the rest.
    m_now += 5 * 60000 - 1;
    m_watch->check();
    QCOMPARE(due.count(), 0);
    QCOMPARE(m_watch->remainingMs(), qint64(1));
    m_now += 1;
    m_watch->check();
    QCOMPARE(due.count(), 1);
    QVERIFY(!m_watch->pending());
    QCOMPARE(m_watch->watchedText(), QStringLiteral("secret"));
    // Stopped: no second clearing.
    m_now += 60000;
    m_watch->check();
    QCOMPARE(due.count(), 1);
}

void TestClipboardWatch::aLaterCopyRestartsTheDelay()
{
    QSignalSpy due(m_watch.get(), &ClipboardWatch::clearDue);
    m_watch->watch(QStringLiteral("first"));
    m_now += 3 * 60000;
    m_watch->watch(QStringLiteral("second"));
    m_now += 2 * 60000; // five minutes after the first copy
    m_watch->check();
    QCOMPARE(due.count(), 0);
    m_now += 3 * 60000; // five minutes after the second
    m_watch->check();
    QCOMPARE(due.count(), 1);
    QCOMPARE(m_watch->watchedText(), QStringLiteral("second"));
}

void TestClipboardWatch::offPlansNothing()
{
    QSignalSpy due(m_watch.get(), &ClipboardWatch::clearDue);
    m_watch->setEnabled(false);
    m_watch->watch(QStringLiteral("kept"));
    QVERIFY(!m_watch->pending());
    QVERIFY(m_watch->hasWatched());
    m_now += 60 * 60000;
    m_watch->check();
    QCOMPARE(due.count(), 0);
}

void TestClipboardWatch::clearingDecision_data()
{
    QTest::addColumn<bool>("holdsText");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("clear");
    QTest::newRow("still ours") << true << "pw" << true;
    QTest::newRow("another copy") << true << "other" << false;
    QTest::newRow("same letters, other case") << true << "PW" << false;
    QTest::newRow("no text (an image)") << false << "" << false;
}

void TestClipboardWatch::clearingDecision()
{
    QFETCH(bool, holdsText);
    QFETCH(QString, text);
    QFETCH(bool, clear);
    QCOMPARE(ClipboardWatch::ShouldClear(holdsText, text, QStringLiteral("pw")), clear);
}

QTEST_GUILESS_MAIN(TestClipboardWatch)
#include "tst_clipboardwatch.moc"

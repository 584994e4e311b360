// The lock a window holds on its document: shared inside one process, refused while another holder
// has it (an flock on the same file, as another process takes it), gone with its holder, and never
// taken through a link or in someone else's file.
#include "platform/DocumentLock.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using testsupport::TempFolder;

namespace {

// Another holder of a lock file: its own open file, locked, with a process id written in it.
class OtherHolder
{
public:
    OtherHolder(const QString& file, const QByteArray& content)
    {
        m_fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            m_locked = ::write(m_fd, content.constData(), size_t(content.size())) == content.size();
    }
    ~OtherHolder() { release(); }
    bool locked() const { return m_locked; }
    void release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_locked = false;
};

} // namespace

class TestDocumentLock : public QObject
{
    Q_OBJECT

private slots:
    void sharedInsideTheProcess();
    void heldElsewhereNamesTheHolder();
    void goesWithItsHolder();
    void keyFollowsLinks();
    void neverThroughALink();
    void noFolderNoLock();
};

void TestDocumentLock::sharedInsideTheProcess()
{
    TempFolder dir;
    const QString doc = dir.filePath(QStringLiteral("a.pass"));
    DocumentLock::Result first = DocumentLock::acquire(dir.path(), doc);
    QCOMPARE(first.outcome, DocumentLock::Outcome::Held);
    QVERIFY(DocumentLock::heldHere(doc));
    const DocumentLock::Result second = DocumentLock::acquire(dir.path(), doc);
    QCOMPARE(second.outcome, DocumentLock::Outcome::Held);
    QCOMPARE(second.handle, first.handle);
    // The file names this process, for whoever asks it to come forward.
    QCOMPARE(QFile(DocumentLock::lockFilePath(dir.path(), doc)).exists(), true);
    QFile file(DocumentLock::lockFilePath(dir.path(), doc));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().trimmed().toLongLong(), QCoreApplication::applicationPid());
    // Another document is another lock.
    QCOMPARE(DocumentLock::acquire(dir.path(), dir.filePath(QStringLiteral("b.pass"))).outcome,
             DocumentLock::Outcome::Held);
}

void TestDocumentLock::heldElsewhereNamesTheHolder()
{
    TempFolder dir;
    const QString doc = dir.filePath(QStringLiteral("a.pass"));
    OtherHolder other(DocumentLock::lockFilePath(dir.path(), doc), "4242\n");
    QVERIFY(other.locked());
    const DocumentLock::Result r = DocumentLock::acquire(dir.path(), doc);
    QCOMPARE(r.outcome, DocumentLock::Outcome::HeldElsewhere);
    QCOMPARE(r.holder, qint64(4242));
    QVERIFY(!r.handle);
    QVERIFY(!DocumentLock::heldHere(doc));
    // A holder that has not written its id yet is still a holder.
    OtherHolder silent(DocumentLock::lockFilePath(dir.path(), dir.filePath(QStringLiteral("b.pass"))), "");
    QVERIFY(silent.locked());
    const DocumentLock::Result quiet = DocumentLock::acquire(dir.path(), dir.filePath(QStringLiteral("b.pass")));
    QCOMPARE(quiet.outcome, DocumentLock::Outcome::HeldElsewhere);
    QCOMPARE(quiet.holder, qint64(0));
}

void TestDocumentLock::goesWithItsHolder()
{
    TempFolder dir;
    const QString doc = dir.filePath(QStringLiteral("a.pass"));
    const QString file = DocumentLock::lockFilePath(dir.path(), doc);
    {
        // A holder that ends without a word (a crash) leaves its file, but no lock.
        OtherHolder crashed(file, "4242\n");
        QVERIFY(crashed.locked());
        crashed.release();
    }
    DocumentLock::Result r = DocumentLock::acquire(dir.path(), doc);
    QCOMPARE(r.outcome, DocumentLock::Outcome::Held);
    QVERIFY(QFile::exists(file));
    // Let go normally: nothing stays.
    r.handle.reset();
    QVERIFY(!DocumentLock::heldHere(doc));
    QVERIFY(!QFile::exists(file));
    QCOMPARE(DocumentLock::acquire(dir.path(), doc).outcome, DocumentLock::Outcome::Held);
}

void TestDocumentLock::keyFollowsLinks()
{
    TempFolder dir;
    QVERIFY(dir.writeFile(QStringLiteral("real/a.pass"), "x"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("link"))));
    // The same document by two names is one lock.
    QCOMPARE(DocumentLock::keyFor(dir.filePath(QStringLiteral("link/a.pass"))),
             DocumentLock::keyFor(dir.filePath(QStringLiteral("real/../real/a.pass"))));
    QCOMPARE(DocumentLock::keyFor(dir.filePath(QStringLiteral("link/missing.pass"))),
             dir.filePath(QStringLiteral("link/missing.pass")));
}

void TestDocumentLock::neverThroughALink()
{
    TempFolder dir;
    const QString doc = dir.filePath(QStringLiteral("a.pass"));
    QVERIFY(dir.writeFile(QStringLiteral("elsewhere"), "precious"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), DocumentLock::lockFilePath(dir.path(), doc)));
    QCOMPARE(DocumentLock::acquire(dir.path(), doc).outcome, DocumentLock::Outcome::Unavailable);
    QCOMPARE(dir.readFile(QStringLiteral("elsewhere")), QByteArray("precious"));
}

void TestDocumentLock::noFolderNoLock()
{
    QCOMPARE(DocumentLock::acquire(QString(), QStringLiteral("/tmp/a.pass")).outcome,
             DocumentLock::Outcome::Unavailable);
    TempFolder dir;
    QCOMPARE(DocumentLock::acquire(dir.filePath(QStringLiteral("missing")), QStringLiteral("/tmp/a.pass")).outcome,
             DocumentLock::Outcome::Unavailable);
}

QTEST_GUILESS_MAIN(TestDocumentLock)
#include "tst_documentlock.moc"

// The last agreed copies of a synchronised document: kept enciphered in the user's state folder,
// for the owner only, never through a symbolic link, at most four per pair, found by the chains
// of the two copies.

#include "document/DocumentFile.h"
#include "document/Lineage.h"
#include "ftp/SyncBaseStore.h"
#include "lang/LangTable.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

SyncBaseStore::Pair pair(const QString& localPath)
{
    return SyncBaseStore::Pair{localPath, QStringLiteral("sftp://127.0.0.1"), 2222, QStringLiteral("/docs/d.pass"),
                               QStringLiteral("me")};
}

// One saved version of a synchronised document: its header and stored bytes.
struct Version
{
    TDoc header;
    QByteArray bytes;
    quint64 id = 0;
};

} // namespace

class TestSyncBaseStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keptForTheOwnerOnly();
    void pairsHaveFoldersOfTheirOwn();
    void symbolicLinksRefused_data();
    void symbolicLinksRefused();
    void atMostFourKept();
    void foundByTheChainsOfBothCopies();
    void unreadableBaseIsNone();
    void copyWithoutLineage();

private:
    Version save(const QString& password = QStringLiteral("pw"));

    std::unique_ptr<QTemporaryDir> m_state;
    QString m_local;
    DocumentState m_doc;
    int m_saves = 0;
};

void TestSyncBaseStore::init()
{
    LoadLangTable(QStringLiteral("US"));
    m_state = std::make_unique<QTemporaryDir>();
    QVERIFY(m_state->isValid());
    qputenv("XDG_STATE_HOME", m_state->filePath(QStringLiteral("state")).toUtf8());
    QVERIFY(QDir().mkpath(m_state->filePath(QStringLiteral("state"))));
    m_local = m_state->filePath(QStringLiteral("d.pass"));
    m_doc.reset();
    m_doc.LocalDoc.SyncOn = true;
    m_saves = 0;
}

void TestSyncBaseStore::cleanup()
{
    qunsetenv("XDG_STATE_HOME");
    m_state.reset();
}

Version TestSyncBaseStore::save(const QString& password)
{
    m_doc.MetaPassword = password;
    auto e = std::make_unique<TFeuille>();
    e->Name = QStringLiteral("entry %1").arg(++m_saves);
    e->Created = 45000 + m_saves;
    m_doc.appendEntry(std::move(e));
    docfile::countSave(m_doc.LocalDoc);
    Version v{m_doc.LocalDoc, docfile::encipheredDocument(m_doc), *lineage::ownVersion(m_doc.LocalDoc)};
    return v;
}

void TestSyncBaseStore::keptForTheOwnerOnly()
{
    SyncBaseStore store(pair(m_local));
    QVERIFY(store.folder().startsWith(m_state->filePath(QStringLiteral("state/tresorin/sync/"))));
    const Version v = save();
    QString error;
    QVERIFY2(store.keep(v.bytes, v.header, &error), qPrintable(error));
    const QString file = store.folder() + QLatin1Char('/') + lineage::idText(v.id) + QStringLiteral(".base");
    QFile read(file);
    QVERIFY(read.open(QIODevice::ReadOnly));
    QCOMPARE(read.readAll(), v.bytes);
    QCOMPARE(modeOf(file), mode_t(0600));
    for (const QString& folder :
         {m_state->filePath(QStringLiteral("state/tresorin")), SyncBaseStore::rootFolder(), store.folder()})
        QCOMPARE(modeOf(folder), mode_t(0700));

    // A folder made looser by someone is narrowed again at the next write.
    QVERIFY(QFile::setPermissions(store.folder(), QFile::Permissions(0x7755)));
    QVERIFY(store.keep(v.bytes, v.header, &error));
    QCOMPARE(modeOf(store.folder()), mode_t(0700));
}

void TestSyncBaseStore::pairsHaveFoldersOfTheirOwn()
{
    const QString one = SyncBaseStore(pair(m_local)).folder();
    QCOMPARE(SyncBaseStore(pair(m_local)).folder(), one);
    SyncBaseStore::Pair other = pair(m_local);
    other.user = QStringLiteral("someone else");
    QVERIFY(SyncBaseStore(other).folder() != one);
    other = pair(m_local);
    other.port = 22;
    QVERIFY(SyncBaseStore(other).folder() != one);
    QVERIFY(SyncBaseStore(pair(m_state->filePath(QStringLiteral("other.pass")))).folder() != one);
    // The same document named another way is the same pair.
    QCOMPARE(SyncBaseStore(pair(m_state->path() + QStringLiteral("/./d.pass"))).folder(), one);
}

void TestSyncBaseStore::symbolicLinksRefused_data()
{
    QTest::addColumn<int>("where"); // 0: tresorin, 1: sync, 2: the pair's folder, 3: the file
    QTest::newRow("program folder") << 0;
    QTest::newRow("sync folder") << 1;
    QTest::newRow("pair folder") << 2;
    QTest::newRow("base file") << 3;
}

void TestSyncBaseStore::symbolicLinksRefused()
{
    QFETCH(int, where);
    SyncBaseStore store(pair(m_local));
    const Version v = save();
    const QString file = store.folder() + QLatin1Char('/') + lineage::idText(v.id) + QStringLiteral(".base");
    const QString paths[4] = {m_state->filePath(QStringLiteral("state/tresorin")), SyncBaseStore::rootFolder(),
                              store.folder(), file};
    for (int i = 0; i < where; ++i)
        QVERIFY(QDir().mkdir(paths[i]));
    // The link points where an attacker would like the bytes to go.
    const QString elsewhere = m_state->filePath(QStringLiteral("elsewhere"));
    if (where < 3)
        QVERIFY(QDir().mkdir(elsewhere));
    QVERIFY(QFile::link(elsewhere, paths[where]));

    QString error;
    QVERIFY(!store.keep(v.bytes, v.header, &error));
    QVERIFY2(error.contains(QStringLiteral("symbolic link")) && error.contains(paths[where]), qPrintable(error));
    // Nothing went through the link.
    QVERIFY(!QFileInfo::exists(elsewhere) || QDir(elsewhere).isEmpty());
    QVERIFY(QFileInfo(paths[where]).isSymLink());
}

void TestSyncBaseStore::atMostFourKept()
{
    SyncBaseStore store(pair(m_local));
    const QDateTime past = QDateTime::currentDateTime().addDays(-1);
    std::vector<Version> versions;
    for (int i = 0; i < 6; ++i) {
        versions.push_back(save());
        QVERIFY(store.keep(versions.back().bytes, versions.back().header, nullptr));
        // Written in this order: older by the clock too, whatever its resolution.
        QFile written(store.folder() + QLatin1Char('/') + lineage::idText(versions.back().id) +
                      QStringLiteral(".base"));
        QVERIFY(written.open(QIODevice::ReadWrite));
        QVERIFY(written.setFileTime(past.addSecs(i), QFileDevice::FileModificationTime));
    }
    QStringList kept = QDir(store.folder()).entryList(QDir::Files, QDir::Name);
    QStringList expected;
    for (int i = 2; i < 6; ++i)
        expected << lineage::idText(versions[size_t(i)].id) + QStringLiteral(".base");
    expected.sort();
    QCOMPARE(kept, expected);
    QCOMPARE(store.latest()->name, lineage::idText(versions[5].id));
    QCOMPARE(store.latest()->bytes, versions[5].bytes);
    const std::unordered_set<quint64> within{versions[3].id, versions[0].id};
    QCOMPARE(store.latest(&within)->name, lineage::idText(versions[3].id));
}

void TestSyncBaseStore::foundByTheChainsOfBothCopies()
{
    SyncBaseStore store(pair(m_local));
    QVERIFY(!store.find({}, QStringLiteral("pw")));
    const Version v1 = save();
    const Version v2 = save();
    QVERIFY(store.keep(v1.bytes, v1.header, nullptr));
    QVERIFY(store.keep(v2.bytes, v2.header, nullptr));
    // v1 was written first (the clock may not tell two writes of one millisecond apart).
    QFile older(store.folder() + QLatin1Char('/') + lineage::idText(v1.id) + QStringLiteral(".base"));
    QVERIFY(older.open(QIODevice::ReadWrite));
    QVERIFY(older.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    older.close();
    // This computer went on from v2; the other from v1 only.
    const Version mine = save();
    TDoc theirs = v1.header;
    lineage::Chain c = *lineage::parse(theirs.Reserved1);
    c.ids.push_back(0x1234);
    theirs.Reserved1 = lineage::format(c);

    const std::unique_ptr<DocumentState> base =
        store.find(lineage::commonAncestors(mine.header, theirs), QStringLiteral("pw"));
    QVERIFY(base);
    QCOMPARE(lineage::ownVersion(base->LocalDoc), std::optional<quint64>(v1.id));
    QCOMPARE(base->entryCount(), 1);
    QCOMPARE(base->entry(0)->Name, QStringLiteral("entry 1"));
    // Both descend from v2: the newest common one.
    const std::unique_ptr<DocumentState> newer =
        store.find(lineage::commonAncestors(mine.header, mine.header), QStringLiteral("pw"));
    QCOMPARE(lineage::ownVersion(newer->LocalDoc), std::optional<quint64>(v2.id));
    // Nothing in common: none.
    QVERIFY(!store.find({0x99}, QStringLiteral("pw")));
}

void TestSyncBaseStore::unreadableBaseIsNone()
{
    SyncBaseStore store(pair(m_local));
    const Version v1 = save();
    const Version v2 = save();
    QVERIFY(store.keep(v1.bytes, v1.header, nullptr));
    QVERIFY(store.keep(v2.bytes, v2.header, nullptr));
    const std::unordered_set<quint64> both{v1.id, v2.id};
    // Another meta password opens neither.
    QVERIFY(!store.find(both, QStringLiteral("other")));
    // A damaged newest base is passed over for the older one.
    const QString newest = store.folder() + QLatin1Char('/') + lineage::idText(v2.id) + QStringLiteral(".base");
    QFile damaged(newest);
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write(QByteArray(100, 'x'));
    damaged.close();
    QCOMPARE(lineage::ownVersion(store.find(both, QStringLiteral("pw"))->LocalDoc), std::optional<quint64>(v1.id));
    // A file under another version's name is no base of that version.
    QVERIFY(QFile::remove(newest));
    QVERIFY(QFile::copy(store.folder() + QLatin1Char('/') + lineage::idText(v1.id) + QStringLiteral(".base"), newest));
    QVERIFY(!store.find({v2.id}, QStringLiteral("pw")));
    // A folder that went missing: none, and no error.
    QVERIFY(QDir(store.folder()).removeRecursively());
    QVERIFY(!store.find(both, QStringLiteral("pw")));
    QVERIFY(!store.latest());
}

void TestSyncBaseStore::copyWithoutLineage()
{
    SyncBaseStore store(pair(m_local));
    m_doc.LocalDoc.Reserved1 = QStringLiteral("another program's text");
    const Version v = [this] {
        m_doc.MetaPassword = QStringLiteral("pw");
        docfile::countSave(m_doc.LocalDoc);
        return Version{m_doc.LocalDoc, docfile::encipheredDocument(m_doc), 0};
    }();
    QVERIFY(!lineage::ownVersion(v.header));
    QVERIFY(store.keep(v.bytes, v.header, nullptr));
    QVERIFY(QFileInfo::exists(store.folder() + QStringLiteral("/nolineage.base")));
    QCOMPARE(store.latest()->name, QStringLiteral("nolineage"));
    QCOMPARE(store.latest()->bytes, v.bytes);
    // Nothing proves both copies descend from it: never a merge base.
    QVERIFY(!store.find({0}, QStringLiteral("pw")));
}

QTEST_GUILESS_MAIN(TestSyncBaseStore)
#include "tst_syncbasestore.moc"

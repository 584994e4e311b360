// The meta password of a failed attempt is wiped before its memory is released: the text wipe
// itself, and the open and merge paths of the window that end without the password being kept.

#include "crypto/SecureBytes.h"
#include "document/DocumentFile.h"
#include "document/gui/DocumentPipeline.h"
#include "lang/LangTable.h"
#include "platform/gui/ModalSeam.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QtTest>

namespace {

// What the wipe observer saw: each cleared buffer's start, size and whether it held only zeros at
// that moment (before its release).
struct Wiped
{
    const void* begin;
    qsizetype bytes;
    bool allZero;
};
QList<Wiped> g_wiped;

void observe(const void* begin, qsizetype bytes)
{
    const auto* p = static_cast<const unsigned char*>(begin);
    bool zero = true;
    for (qsizetype i = 0; i < bytes; ++i)
        zero = zero && p[i] == 0;
    g_wiped.append({begin, bytes, zero});
}

// A wiped buffer large enough to have held a text of `characters` characters.
bool sawWipedText(qsizetype characters)
{
    for (const Wiped& w : std::as_const(g_wiped))
        if (w.allZero && w.bytes >= characters * qsizetype(sizeof(char16_t)))
            return true;
    return false;
}

} // namespace

class TestSecretWipe : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void textWipe();
    void failedAttemptIsWiped_data();
    void failedAttemptIsWiped();
    void rightPasswordIsKept();

private:
    QString writeDocumentFile(testsupport::TempFolder& tmp);
};

void TestSecretWipe::init()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    ModalSeam::activate();
    g_wiped.clear();
    setTextWipeObserver(observe);
}

void TestSecretWipe::cleanup()
{
    setTextWipeObserver(nullptr);
    ModalSeam::deactivate();
    clearLangTable();
}

QString TestSecretWipe::writeDocumentFile(testsupport::TempFolder& tmp)
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    doc.MetaPassword = QStringLiteral("the right one");
    const QString path = tmp.filePath(QStringLiteral("doc.pass"));
    if (!docfile::saveFile(doc, path, false).ok)
        return QString();
    return path;
}

void TestSecretWipe::textWipe()
{
    QString secret = QString::fromLatin1("a typed secret of some length");
    const void* buffer = secret.constData();
    secureWipe(secret);
    QVERIFY(secret.isEmpty());
    QCOMPARE(g_wiped.size(), 1);
    QCOMPARE(g_wiped[0].begin, buffer);
    QVERIFY(g_wiped[0].allZero);
    QVERIFY(g_wiped[0].bytes >= 29 * 2);

    // A text still shared is only released: its other owner keeps it whole.
    const QString other = QString::fromLatin1("shared secret");
    QString shared = other;
    secureWipe(shared);
    QVERIFY(shared.isEmpty());
    QCOMPARE(other, QStringLiteral("shared secret"));
    // Static text is not ours to write.
    QString literal = QStringLiteral("literal");
    secureWipe(literal);
    QVERIFY(literal.isEmpty());
    QCOMPARE(g_wiped.size(), 1);
}

void TestSecretWipe::failedAttemptIsWiped_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("open, wrong password") << QStringLiteral("open");
    QTest::newRow("open, file that cannot be read") << QStringLiteral("unreadable");
    QTest::newRow("merge, wrong password") << QStringLiteral("merge");
}

void TestSecretWipe::failedAttemptIsWiped()
{
    QFETCH(QString, how);
    testsupport::TempFolder tmp;
    QString path = writeDocumentFile(tmp);
    QVERIFY(!path.isEmpty());
    if (how == QLatin1String("unreadable"))
        path = tmp.filePath(QStringLiteral("missing.pass"));

    DocumentState doc;
    doc.MetaPassword = QString::fromLatin1("previous document password");
    DocumentPipeline pipeline(doc);
    // Built on the heap and handed over: the seam's queue is then the typed text's only owner.
    const QString typed = QString::fromLatin1("a wrong password typed by the user");
    ModalSeam::pushAnswer(QString(typed.constData(), typed.size()));
    g_wiped.clear();

    if (how == QLatin1String("merge")) {
        QCOMPARE(pipeline.MergeDocument(path).outcome, DocumentPipeline::MergeOutcome::WrongPassword);
        QCOMPARE(doc.MetaPassword, QStringLiteral("previous document password"));
    } else {
        QVERIFY(!pipeline.OpenDocument(path));
        QCOMPARE(doc.MetaPassword,
                 how == QLatin1String("unreadable") ? QStringLiteral("previous document password") : QString());
    }
    QCOMPARE(ModalSeam::pendingAnswers(), 0);
    QVERIFY2(sawWipedText(typed.size()), "the typed password was released without being wiped");
}

void TestSecretWipe::rightPasswordIsKept()
{
    testsupport::TempFolder tmp;
    const QString path = writeDocumentFile(tmp);
    QVERIFY(!path.isEmpty());
    DocumentState doc;
    DocumentPipeline pipeline(doc);
    ModalSeam::pushAnswer(QString::fromLatin1("the right one"));
    QVERIFY(pipeline.OpenDocument(path));
    QCOMPARE(doc.MetaPassword, QStringLiteral("the right one"));
    QVERIFY(doc.entryCount() > 0);
}

QTEST_MAIN(TestSecretWipe)
#include "tst_secretwipe.moc"

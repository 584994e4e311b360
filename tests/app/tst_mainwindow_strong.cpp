// Strong protection in the window: chosen in the meta password dialog (change of meta password,
// save as), saved and opened through the commands, the FTP bytes, and the message of a damaged
// strong document. Every question is answered through the modal seam.

#include "app/gui/window/TfrmTresorin.h"
#include "crypto/Cipher.h"
#include "crypto/StrongContainer.h"
#include "document/DocumentFile.h"
#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/Win1252.h"
#include "platform/gui/ModalSeam.h"
#include "support/DocumentFixture.h"
#include "support/TempFolder.h"
#include "support/gui/WindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using testsupport::shownMessages;
using testsupport::WindowFixture;

namespace {

const strong::KdfParameters kSmall{1, strong::MinMemoryKiB};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isStrongFile(const QString& path)
{
    const QByteArray bytes = fileBytes(path);
    return strong::looksLikeContainer(bytes.constData(), bytes.size());
}

bool isCompatibleFile(const QString& path, const QString& password)
{
    const QByteArray bytes = fileBytes(path);
    QByteArray plain;
    const bool ok = decipherDocument(bytes, win1252::fromUnicode(password), plain);
    secureWipe(plain);
    return ok;
}

QVariantMap answer(const QString& password, bool strongBox)
{
    return {{QStringLiteral("password"), password}, {QStringLiteral("strong"), strongBox}};
}

} // namespace

class TestStrongWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void dialogOffersTheProtection_data();
    void dialogOffersTheProtection();
    void switchedOnByTheChangeOfMetaPassword();
    void switchedOffBySaveAs();
    void changeOfPasswordAloneStaysUnmodified();
    void ftpBytesAreStrongToo();
    void damagedStrongDocumentIsSaidSo_data();
    void damagedStrongDocumentIsSaidSo();
    void mergeOfADamagedStrongDocument();

private:
    QString makeDocument(const QString& name, const QString& password, bool strongFile);

    std::unique_ptr<WindowFixture> m_fx;
};

void TestStrongWindow::initTestCase()
{
    strong::setCalibratedParametersForTests(kSmall);
}

void TestStrongWindow::cleanupTestCase()
{
    strong::setCalibratedParametersForTests({});
}

void TestStrongWindow::init()
{
    m_fx = std::make_unique<WindowFixture>();
}

void TestStrongWindow::cleanup()
{
    m_fx.reset();
}

QString TestStrongWindow::makeDocument(const QString& name, const QString& password, bool strongFile)
{
    DocumentState doc;
    TGroupe* group = doc.addGroup(QStringLiteral("Bank"));
    doc.appendEntry(NewEntry(group, QStringLiteral("account")));
    doc.MetaPassword = password;
    if (strongFile)
        docfile::setProtection(doc, true);
    const QString path = QDir(m_fx->tmp().path()).canonicalPath() + QLatin1Char('/') + name;
    return docfile::saveFile(doc, path, false).ok ? path : QString();
}

void TestStrongWindow::dialogOffersTheProtection_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("explanation");
    QTest::newRow("English") << "US"
                             << "Strong protection"
                             << "A document with strong protection can only be opened by this program, not by other "
                                "copies of the compatible format.";
    QTest::newRow("French") << "FR"
                            << "Protection renforcée"
                            << "Un document à protection renforcée ne peut être ouvert que par ce programme, pas par "
                               "les autres copies du format compatible.";
}

void TestStrongWindow::dialogOffersTheProtection()
{
    QFETCH(QString, language);
    QFETCH(QString, box);
    QFETCH(QString, explanation);
    QVERIFY(LoadLangTable(language));
    TBoiteMetaPass dialog;
    ApplyLangTable(&dialog);
    dialog.prepareWithProtection(QStringLiteral("/x/codes.pass"), true);
    QCOMPARE(dialog.cbFort->text(), box);
    QCOMPARE(dialog.lblFort->text(), explanation);
    QVERIFY(!dialog.cbFort->toolTip().isEmpty());
    QVERIFY(!dialog.cbFort->isHidden());
    QVERIFY(!dialog.lblFort->isHidden());
    QVERIFY(dialog.strongChecked());
    // Everything fits, below the fields and above the buttons.
    QVERIFY(dialog.rect().contains(dialog.OKBtn->geometry()));
    QVERIFY(dialog.cbFort->geometry().top() > dialog.EditConfirm->geometry().bottom());
    QVERIFY(dialog.lblFort->geometry().bottom() < dialog.OKBtn->geometry().top());
    QVERIFY2(dialog.lblFort->heightForWidth(dialog.lblFort->width()) <= dialog.lblFort->height(),
             qPrintable(QString::number(dialog.lblFort->heightForWidth(dialog.lblFort->width()))));
    dialog.cbFort->click();
    QVERIFY(!dialog.strongChecked());

    // The other questions do not offer it, and leave no choice behind.
    dialog.prepareWithProtection(QString(), true);
    dialog.prepare(TBoiteMetaPass::Choose, QString());
    QVERIFY(dialog.cbFort->isHidden());
    QVERIFY(dialog.lblFort->isHidden());
    QVERIFY(!dialog.strongChecked());
    QCOMPARE(dialog.OKBtn->y(), 120);
    dialog.prepare(TBoiteMetaPass::Enter, QString());
    QVERIFY(dialog.cbFort->isHidden());
    clearLangTable();
}

void TestStrongWindow::switchedOnByTheChangeOfMetaPassword()
{
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("codes.pass"), QStringLiteral("secret"), false);
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    QVERIFY(!w->doc().Modified);

    ModalSeam::clearShown();
    ModalSeam::pushAnswer(answer(QStringLiteral("stronger"), true));
    w->action(QStringLiteral("ActionChangeMeta"))->trigger();
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().first().kind, int(TBoiteMetaPass::Choose));
    QCOMPARE(ModalSeam::shown().first().detail, QStringLiteral("compatible"));
    // The file is still compatible: closing now must ask to save.
    QVERIFY(w->doc().Modified);
    QVERIFY(w->doc().LocalDoc.Protection.isStrong());
    QVERIFY(isCompatibleFile(path, QStringLiteral("secret")));

    w->action(QStringLiteral("ActionSauver"))->trigger();
    QCOMPARE(shownMessages(), QStringList());
    QVERIFY(!w->doc().Modified);
    QVERIFY(isStrongFile(path));

    // Opened again through the command: same dialogs, same result.
    ModalSeam::clearShown();
    m_fx->openThroughCommand(path, QStringLiteral("stronger"));
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - codes.pass"));
    QVERIFY(w->doc().LocalDoc.Protection.isStrong());
    QCOMPARE(w->doc().LocalDoc.Protection.kdf, kSmall);
    QCOMPARE(w->doc().entryCount(), 1);
    QVERIFY(w->doc().StrongKey);

    // A wrong password is told as for any document.
    m_fx->openThroughCommand(path, QStringLiteral("Stronger"));
    QCOMPARE(shownMessages(), QStringList{QStringLiteral("Sorry ! This meta password is not the right one, or this "
                                                         "file is not a Tresorin document...")});
}

void TestStrongWindow::switchedOffBySaveAs()
{
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("strong.pass"), QStringLiteral("secret"), true);
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    QVERIFY(w->doc().LocalDoc.Protection.isStrong());

    const QString copy = QDir(m_fx->tmp().path()).canonicalPath() + QStringLiteral("/shared.pass");
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(copy);
    ModalSeam::pushAnswer(answer(QStringLiteral("secret"), false));
    w->action(QStringLiteral("ActionSauverSous"))->trigger();
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 1);
    QCOMPARE(ModalSeam::shown().last().detail, QStringLiteral("strong"));
    QVERIFY(!w->doc().Modified);
    QVERIFY(isCompatibleFile(copy, QStringLiteral("secret")));
    QVERIFY(isStrongFile(path));
    QCOMPARE(w->doc().CurrentPath, copy);

    // A password alone answered keeps the box as shown: the next Save as stays compatible.
    const QString third = QDir(m_fx->tmp().path()).canonicalPath() + QStringLiteral("/third.pass");
    ModalSeam::pushAnswer(third);
    ModalSeam::pushAnswer(QStringLiteral("secret"));
    w->action(QStringLiteral("ActionSauverSous"))->trigger();
    QCOMPARE(ModalSeam::shown().last().detail, QStringLiteral("compatible"));
    QVERIFY(isCompatibleFile(third, QStringLiteral("secret")));
}

void TestStrongWindow::changeOfPasswordAloneStaysUnmodified()
{
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("strong.pass"), QStringLiteral("secret"), true);
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    ModalSeam::pushAnswer(QStringLiteral("other"));
    w->action(QStringLiteral("ActionChangeMeta"))->trigger();
    QVERIFY(!w->doc().Modified);
    QVERIFY(w->doc().LocalDoc.Protection.isStrong());
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("other"));
    // Cancel changes nothing either.
    ModalSeam::pushAnswer(QVariant());
    w->action(QStringLiteral("ActionChangeMeta"))->trigger();
    QVERIFY(!w->doc().Modified);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("other"));
}

void TestStrongWindow::ftpBytesAreStrongToo()
{
    // The FTP transfers carry the bytes the pipeline hands over; they are opaque to them.
    auto* w = m_fx->makeWindow();
    const QString path = makeDocument(QStringLiteral("strong.pass"), QStringLiteral("secret"), true);
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    DocumentPipeline& pipeline = w->pipeline();
    const std::optional<QByteArray> handed = pipeline.EncipherForFtp();
    QVERIFY(handed);
    const QByteArray bytes = *handed;
    QVERIFY(strong::looksLikeContainer(bytes.constData(), bytes.size()));

    w->action(QStringLiteral("ActionNouveau"))->trigger();
    QVERIFY(!w->doc().LocalDoc.Protection.isStrong());
    w->doc().MetaPassword = QStringLiteral("secret");
    QCOMPARE(int(pipeline.LoadDocument(QStringLiteral("strong.pass"), false, &bytes)),
             int(DocumentPipeline::LoadOutcome::Loaded));
    QVERIFY(w->doc().FtpMode);
    QVERIFY(w->doc().LocalDoc.Protection.isStrong());
    QCOMPARE(w->doc().entryCount(), 1);
}

void TestStrongWindow::damagedStrongDocumentIsSaidSo_data()
{
    QTest::addColumn<int>("flipAt"); // -1: cut in the middle
    QTest::newRow("header") << 13;
    QTest::newRow("text") << 100;
    QTest::newRow("cut") << -1;
}

void TestStrongWindow::damagedStrongDocumentIsSaidSo()
{
    QFETCH(int, flipAt);
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("mine"), false);
    m_fx->openThroughCommand(mine, QStringLiteral("mine"));
    const QString path = makeDocument(QStringLiteral("strong.pass"), QStringLiteral("secret"), true);
    QByteArray bytes = fileBytes(path);
    if (flipAt >= 0)
        bytes[flipAt] ^= 0x04;
    else
        bytes.truncate(bytes.size() / 2);
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("strong.pass"), bytes));

    ModalSeam::clearShown();
    m_fx->openThroughCommand(path, QStringLiteral("secret"));
    QCOMPARE(shownMessages(), QStringList{QDir::toNativeSeparators(path) +
                                          QStringLiteral("\r\n\r\nThe document has been altered or damaged.")});
    // The open document is left as it was.
    QCOMPARE(w->windowTitle(), QStringLiteral("Tresorin - mine.pass"));
    QCOMPARE(w->doc().CurrentPath, mine);
    QCOMPARE(w->doc().MetaPassword, QStringLiteral("mine"));
    QVERIFY(!w->doc().Modified);
}

void TestStrongWindow::mergeOfADamagedStrongDocument()
{
    auto* w = m_fx->makeWindow();
    const QString mine = makeDocument(QStringLiteral("mine.pass"), QStringLiteral("mine"), false);
    m_fx->openThroughCommand(mine, QStringLiteral("mine"));
    const QString path = makeDocument(QStringLiteral("strong.pass"), QStringLiteral("secret"), true);

    // A sound one merges as any document.
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(path);
    ModalSeam::pushAnswer(QStringLiteral("secret"));
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(shownMessages(), QStringList());
    QCOMPARE(w->doc().entryCount(), 2);
    QVERIFY(!w->doc().LocalDoc.Protection.isStrong());

    QByteArray bytes = fileBytes(path);
    bytes[bytes.size() - 1] ^= 0x01;
    QVERIFY(m_fx->tmp().writeFile(QStringLiteral("strong.pass"), bytes));
    ModalSeam::clearShown();
    ModalSeam::pushAnswer(path);
    ModalSeam::pushAnswer(QStringLiteral("secret"));
    w->action(QStringLiteral("ActionFusionner"))->trigger();
    QCOMPARE(shownMessages(), QStringList{QDir::toNativeSeparators(path) +
                                          QStringLiteral("\r\n\r\nThe document has been altered or damaged.")});
    QCOMPARE(w->doc().entryCount(), 2);
}

QTEST_MAIN(TestStrongWindow)
#include "tst_mainwindow_strong.moc"

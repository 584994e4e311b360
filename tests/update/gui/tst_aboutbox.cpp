// The about box: its window, the version line from the build and the executable's date, the
// release notes, the links of its labels, the support address, and the two gestures on the
// maker's line.

#include "ProductInfo.h"
#include "ftp/gui/TBoiteFTP.h"
#include "generator/gui/TfrmGenerateur.h"
#include "platform/gui/ModalSeam.h"
#include "settings/gui/TBoiteOptions.h"
#include "support/TempFolder.h"
#include "update/ProgramVersion.h"
#include "update/gui/TBoiteAPropos.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>

class TestAboutBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void window();
    void versionLine();
    void releaseNotes();
    void links_data();
    void links();
    void supportLink();
    void makerLineGestures_data();
    void makerLineGestures();
    void exportNeedsItsFolder();
    void exportWritesNoUserData();

private:
    void release(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers keys);
    std::unique_ptr<TBoiteAPropos> m_about;
};

void TestAboutBox::init()
{
    ModalSeam::activate();
    m_about = std::make_unique<TBoiteAPropos>();
    m_about->show();
}

void TestAboutBox::cleanup()
{
    m_about.reset();
    ModalSeam::deactivate();
}

void TestAboutBox::release(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers keys)
{
    QTest::mousePress(widget, button, keys, QPoint(2, 2));
    QTest::mouseRelease(widget, button, keys, QPoint(2, 2));
}

void TestAboutBox::window()
{
    QCOMPARE(m_about->objectName(), QStringLiteral("BoiteAPropos"));
    QCOMPARE(m_about->windowTitle(), QStringLiteral("A propos de Tresorin"));
    QCOMPARE(m_about->minimumSize(), QSize(377, 356));
    QVERIFY(m_about->isSizeGripEnabled());
    QVERIFY(m_about->maximumSize().width() > 2000);
    QVERIFY(m_about->windowFlags() & Qt::WindowMaximizeButtonHint);
    QCOMPARE(m_about->Onglet->count(), 2);
    QCOMPARE(m_about->Onglet->widget(1), m_about->pgHisto);
    // The card keeps its size when the box grows.
    const QSize card = m_about->Panel1->size();
    m_about->resize(800, 600);
    QCoreApplication::processEvents();
    QCOMPARE(m_about->Panel1->size(), card);
}

void TestAboutBox::versionLine()
{
    const VersionInfo v = CompiledVersion();
    QCOMPARE(m_about->ProgramVersion(), QStringLiteral(TRESORIN_VERSION));
    QCOMPARE(m_about->ProgramVersion().count(u'.'), 3);
    const QString line = m_about->LabelVersion->text();
    QCOMPARE(line, VersionLine(v, FileDate(QCoreApplication::applicationFilePath())));
    QVERIFY(line.startsWith(QStringLiteral("%1.%2.%3 #%4").arg(v.major).arg(v.minor).arg(v.release).arg(v.build)));
    QVERIFY(line.endsWith(QLocale::system().toString(
        QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date(), QLocale::ShortFormat)));
}

void TestAboutBox::releaseNotes()
{
    const QString text = m_about->reVersion->toPlainText();
    QVERIFY(text.contains(QLatin1String("Tresorin")));
    const VersionInfo v = CompiledVersion();
    QVERIFY(text.contains(QStringLiteral("Version %1.%2.%3").arg(v.major).arg(v.minor).arg(v.release)));
    QVERIFY(m_about->reVersion->isReadOnly());
    QVERIFY(m_about->reVersion->toHtml().contains(QLatin1String("font-weight")));
}

void TestAboutBox::links_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("target");
    QTest::newRow("logo") << "imgLogo" << QString::fromLatin1(kMakerSite);
    QTest::newRow("site") << "LabelSite" << QString::fromLatin1(kMakerSite);
    QTest::newRow("donation") << "imgPaypal"
                              << "https://www.orbelune.example/don.php?soft=tresorin&lang=";
    QTest::newRow("credit") << "Label6" << QString::fromLatin1(kCreditMail);
}

void TestAboutBox::links()
{
    QFETCH(QString, label);
    QFETCH(QString, target);
    auto* widget = m_about->findChild<QLabel*>(label);
    QVERIFY(widget);
    QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);
    release(widget, Qt::RightButton, Qt::NoModifier);
    QVERIFY(ModalSeam::shown().isEmpty());
    release(widget, Qt::LeftButton, Qt::NoModifier);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("OpenLink")), QStringList{target});
}

void TestAboutBox::supportLink()
{
    const QString address = m_about->supportAddress();
    QVERIFY(address.startsWith(QString::fromLatin1(kSupportPageUrl) + PercentEncode(m_about->LabelVersion->text()) +
                               QStringLiteral("&os=")));
    // Shift and the left button: the ordinary click, no gesture.
    QSignalSpy gesture(m_about.get(), &TBoiteAPropos::readOnlyLockReleaseRequested);
    release(m_about->Label5, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("OpenLink")), QStringList{address});
    QCOMPARE(gesture.size(), 0);
}

void TestAboutBox::makerLineGestures_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<bool>("unlock");
    QTest::addColumn<bool>("exported");
    QTest::newRow("right button alone") << int(Qt::NoModifier) << false << false;
    QTest::newRow("Ctrl and right button") << int(Qt::ControlModifier) << false << false;
    QTest::newRow("Shift and right button") << int(Qt::ShiftModifier) << true << false;
    QTest::newRow("Ctrl, Shift and right button") << int(Qt::ControlModifier | Qt::ShiftModifier) << false << true;
}

void TestAboutBox::makerLineGestures()
{
    QFETCH(int, keys);
    QFETCH(bool, unlock);
    QFETCH(bool, exported);
    testsupport::TempFolder tmp;
    m_about->setTranslationFolder(tmp.makeFolder(QStringLiteral("Traduc")));
    TBoiteOptions options; // a second of the seven windows
    QSignalSpy gesture(m_about.get(), &TBoiteAPropos::readOnlyLockReleaseRequested);
    release(m_about->Label5, Qt::RightButton, Qt::KeyboardModifiers(keys));
    QCOMPARE(gesture.size(), unlock ? 1 : 0);
    QCOMPARE(tmp.exists(QStringLiteral("Traduc/Fr_About.txt")), exported);
    QCOMPARE(tmp.exists(QStringLiteral("Traduc/Fr_Opt.txt")), exported);
    // Windows that do not exist write nothing.
    QVERIFY(!tmp.exists(QStringLiteral("Traduc/Fr_Main.txt")));
    if (exported)
        QVERIFY(tmp.readFile(QStringLiteral("Traduc/Fr_Opt.txt")).startsWith("BoiteOptions=Options\r\n"));
    QVERIFY(ModalSeam::shown().isEmpty());
}

void TestAboutBox::exportNeedsItsFolder()
{
    testsupport::TempFolder tmp;
    m_about->setTranslationFolder(tmp.filePath(QStringLiteral("Traduc")));
    release(m_about->Label5, Qt::RightButton, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!tmp.exists(QStringLiteral("Traduc")));
}

// The translator's export writes captions and hints: never what the user typed or the program put
// in a field (an FTP login and password, a generated password, custom characters).
void TestAboutBox::exportWritesNoUserData()
{
    testsupport::TempFolder tmp;
    m_about->setTranslationFolder(tmp.makeFolder(QStringLiteral("Traduc")));
    TBoiteFTP ftp;
    TfrmGenerateur generator;
    int n = 0;
    for (QWidget* window : {static_cast<QWidget*>(&ftp), static_cast<QWidget*>(&generator)}) {
        for (QLineEdit* edit : window->findChildren<QLineEdit*>())
            edit->setText(QStringLiteral("user-data-%1").arg(++n));
        for (QPlainTextEdit* edit : window->findChildren<QPlainTextEdit*>())
            edit->setPlainText(QStringLiteral("user-data-%1").arg(++n));
    }
    QVERIFY(n >= 5);
    release(m_about->Label5, Qt::RightButton, Qt::ControlModifier | Qt::ShiftModifier);
    const QStringList files = QDir(tmp.filePath(QStringLiteral("Traduc"))).entryList(QDir::Files);
    QVERIFY(files.contains(QStringLiteral("Fr_FTP.txt")));
    QVERIFY(files.contains(QStringLiteral("Fr_Gene.txt")));
    for (const QString& file : files) {
        const QByteArray bytes = tmp.readFile(QStringLiteral("Traduc/") + file);
        QVERIFY2(!bytes.contains("user-data-"), qPrintable(file));
    }
    // Hints of the text fields are still there for the translator.
    QVERIFY(tmp.readFile(QStringLiteral("Traduc/Fr_FTP.txt")).contains("BoiteFTP.Fichier=~"));
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"

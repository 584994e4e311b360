// The meta password dialog: its two layouts, the enabling of OK, and the question asked through
// the modal seam.

#include "document/gui/DocumentPipeline.h"
#include "document/gui/TBoiteMetaPass.h"
#include "lang/LangTable.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestMetaPass : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layoutOfTheModes();
    void okEnabling_data();
    void okEnabling();
    void fieldsAreMaskedAndLimited();
    void prepareEmptiesTheFields();
    void question_data();
    void question();
    void seamAnswers();
    void placeholders_data();
    void placeholders();

private:
    std::unique_ptr<TBoiteMetaPass> m_dialog;
};

void TestMetaPass::init()
{
    QVERIFY(LoadLangTable(QStringLiteral("US")));
    m_dialog = std::make_unique<TBoiteMetaPass>();
}

void TestMetaPass::cleanup()
{
    m_dialog.reset();
    ModalSeam::deactivate();
    clearLangTable();
}

void TestMetaPass::layoutOfTheModes()
{
    auto* d = m_dialog.get();
    d->prepare(TBoiteMetaPass::Enter, QStringLiteral("/x/codes.pass"));
    // 130 and 180 high with the title bar and border; the buttons keep a margin below them.
    QCOMPARE(d->size(), QSize(239, 102));
    QCOMPARE(d->windowTitle(), QStringLiteral("Meta password"));
    QVERIFY(d->Label2->isHidden());
    QVERIFY(d->EditConfirm->isHidden());
    QCOMPARE(d->OKBtn->geometry(), QRect(70, 70, 75, 25));
    QCOMPARE(d->CancelBtn->geometry(), QRect(150, 70, 75, 25));
    QVERIFY(d->OKBtn->isDefault());
    QVERIFY(d->rect().contains(d->CancelBtn->geometry()));

    d->prepare(TBoiteMetaPass::Choose, QStringLiteral("/x/codes.pass"));
    // The longer title is read whole: the dialog widens for it (never below the design's 239),
    // the fields follow and the buttons keep their place at the right.
    const int width = std::max(239, WidthForTitle(d->windowTitle()));
    QCOMPARE(d->size(), QSize(width, 152));
    QCOMPARE(d->windowTitle(), QStringLiteral("Change Meta password"));
    QVERIFY(!d->Label2->isHidden());
    QVERIFY(!d->EditConfirm->isHidden());
    QCOMPARE(d->OKBtn->geometry(), QRect(width - 169, 120, 75, 25));
    QCOMPARE(d->CancelBtn->geometry(), QRect(width - 89, 120, 75, 25));
    QVERIFY(d->rect().contains(d->CancelBtn->geometry()));
    QCOMPARE(d->EditPass->geometry(), QRect(10, 30, width - 22, 20));
    QCOMPARE(d->EditConfirm->geometry(), QRect(10, 80, width - 22, 20));
    QCOMPARE(d->LblFich->pos(), QPoint(10, 10));
    QCOMPARE(d->Label2->pos(), QPoint(10, 60));

    // Back to enter mode: the second field goes away again.
    d->prepare(TBoiteMetaPass::Enter, QString());
    QCOMPARE(d->height(), 102);
    QVERIFY(d->EditConfirm->isHidden());
}

void TestMetaPass::okEnabling_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("enter, empty") << 0 << ""
                                  << "" << false;
    QTest::newRow("enter, typed") << 0 << "a"
                                  << "" << true;
    QTest::newRow("choose, empty") << 1 << ""
                                   << "" << false;
    QTest::newRow("choose, only the first") << 1 << "secret"
                                            << "" << false;
    QTest::newRow("choose, only the second") << 1 << ""
                                             << "secret" << false;
    QTest::newRow("choose, same") << 1 << "secret"
                                  << "secret" << true;
    QTest::newRow("choose, case differs") << 1 << "Secret"
                                          << "secret" << false;
    QTest::newRow("choose, prefix") << 1 << "secret"
                                    << "secre" << false;
}

void TestMetaPass::okEnabling()
{
    QFETCH(int, mode);
    QFETCH(QString, pass);
    QFETCH(QString, confirm);
    QFETCH(bool, enabled);
    auto* d = m_dialog.get();
    d->prepare(static_cast<TBoiteMetaPass::Mode>(mode), QString());
    QVERIFY(!d->OKBtn->isEnabled());
    QTest::keyClicks(d->EditPass, pass);
    QTest::keyClicks(d->EditConfirm, confirm);
    QCOMPARE(d->OKBtn->isEnabled(), enabled);
}

void TestMetaPass::fieldsAreMaskedAndLimited()
{
    auto* d = m_dialog.get();
    d->prepare(TBoiteMetaPass::Choose, QString());
    for (QLineEdit* edit : {d->EditPass, d->EditConfirm}) {
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QTest::keyClicks(edit, QString(60, QLatin1Char('x')));
        QCOMPARE(edit->text().size(), 50);
    }
}

void TestMetaPass::prepareEmptiesTheFields()
{
    auto* d = m_dialog.get();
    d->prepare(TBoiteMetaPass::Choose, QString());
    QTest::keyClicks(d->EditPass, QStringLiteral("abc"));
    QTest::keyClicks(d->EditConfirm, QStringLiteral("abc"));
    QVERIFY(d->OKBtn->isEnabled());
    d->prepare(TBoiteMetaPass::Choose, QString());
    QVERIFY(d->EditPass->text().isEmpty());
    QVERIFY(d->EditConfirm->text().isEmpty());
    QVERIFY(!d->OKBtn->isEnabled());
}

void TestMetaPass::question_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("US, file") << "US"
                              << "/home/u/codes.pass"
                              << "Password of \"codes.pass\" :";
    QTest::newRow("US, untitled") << "US"
                                  << ""
                                  << "Password of \"Untitled\" :";
    QTest::newRow("FR, untitled") << "FR"
                                  << ""
                                  << "Mot de passe de \"Sans titre\" :";
}

void TestMetaPass::question()
{
    QFETCH(QString, language);
    QFETCH(QString, path);
    QFETCH(QString, text);
    QVERIFY(LoadLangTable(language));
    QCOMPARE(MetaPassQuestion(path), text);
    m_dialog->prepare(TBoiteMetaPass::Enter, path);
    QCOMPARE(m_dialog->LblFich->text(), text);
}

void TestMetaPass::seamAnswers()
{
    ModalSeam::activate();
    QString target = QStringLiteral("before");

    ModalSeam::pushAnswer(QVariant());
    QVERIFY(!AskMetaPassword(TBoiteMetaPass::Choose, target, QStringLiteral("/a/b.pass")));
    QCOMPARE(target, QStringLiteral("before"));

    ModalSeam::pushAnswer(QStringLiteral("n3w"));
    QVERIFY(AskMetaPassword(TBoiteMetaPass::Enter, target, QString()));
    QCOMPARE(target, QStringLiteral("n3w"));

    // No answer queued counts as Cancel.
    QVERIFY(!AskMetaPassword(TBoiteMetaPass::Enter, target, QString()));
    QCOMPARE(target, QStringLiteral("n3w"));

    const auto& shown = ModalSeam::shown();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0].dialog, QStringLiteral("MetaPass"));
    QCOMPARE(shown[0].kind, int(TBoiteMetaPass::Choose));
    QCOMPARE(shown[0].text, QStringLiteral("Password of \"b.pass\" :"));
    QCOMPARE(shown[1].kind, int(TBoiteMetaPass::Enter));
    // The dialog was laid out for the last question.
    QCOMPARE(m_dialog->mode(), TBoiteMetaPass::Enter);
}

void TestMetaPass::placeholders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("result");
    QTest::newRow("in order") << "%d items and %d groups founded in %s file" << QStringList{"3", "2", "/a.pass"}
                              << "3 items and 2 groups founded in /a.pass file";
    QTest::newRow("fewer args") << "File \"%s\" and %s" << QStringList{"x"} << "File \"x\" and %s";
    QTest::newRow("percent in an argument is kept") << "\"%s\" ?" << QStringList{"100%d.pass"} << "\"100%d.pass\" ?";
    QTest::newRow("other percent") << "50% of %s" << QStringList{"y"} << "50% of y";
    QTest::newRow("no placeholder") << "SBar" << QStringList{"1", "2"} << "SBar";
}

void TestMetaPass::placeholders()
{
    QFETCH(QString, text);
    QFETCH(QStringList, args);
    QFETCH(QString, result);
    QCOMPARE(FillPlaceholders(text, args), result);
}

QTEST_MAIN(TestMetaPass)
#include "tst_metapass.moc"

#include "generator/PasswordGenerator.h"
#include "generator/gui/TfrmGenerateur.h"
#include "platform/gui/ModalSeam.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

class TestGeneratorWindow : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T* child(const TfrmGenerateur& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        if (!c)
            qFatal("missing control %s", name);
        return c;
    }
    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

private slots:
    void init();
    void cleanup();
    void controlsAndCaptions();
    void poolFollowsCheckBoxes();
    void emptyPoolKeepsBar();
    void customFieldTakesOnlyStorableCharacters();
    void lengthLimitsResult();
    void editingResultKeepsScore();
    void okSavesChoices();
    void cancelDiscardsChoices();
    void okWithEditedText();
    void noAnswerMeansCancel();
};

void TestGeneratorWindow::init()
{
    ModalSeam::activate();
    generator::rng::setSeed(2024);
}

void TestGeneratorWindow::cleanup()
{
    ModalSeam::deactivate();
}

void TestGeneratorWindow::controlsAndCaptions()
{
    TfrmGenerateur w;
    QCOMPARE(w.objectName(), QStringLiteral("frmGenerateur"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Génération de mot de passe"));
    QCOMPARE(child<QGroupBox>(w, "GroupBox1")->title(), QStringLiteral(" Caractères autorisés "));
    const QList<std::pair<const char*, QString>> boxes = {
        {"cbMaj", QStringLiteral("Lettres majuscules")},
        {"cbMin", QStringLiteral("Lettres minuscules")},
        {"cbAcc", QStringLiteral("Caractères accentués")},
        {"cbSpe", QStringLiteral("Caractères spéciaux")},
        {"cbNum", QStringLiteral("Chiffres")},
        {"cbPerso", QStringLiteral("Personnalisés :")},
        {"cb1lettre", QStringLiteral("Forcer une lettre comme premier caractère")}};
    for (const auto& [name, caption] : boxes)
        QCOMPARE(child<QCheckBox>(w, name)->text(), caption);
    const QList<std::pair<const char*, QString>> labels = {{"Label1", QStringLiteral("Aperçu :")},
                                                           {"Label2", QStringLiteral("Longueur :")},
                                                           {"Label3", QStringLiteral("Résultat :")},
                                                           {"Label4", QStringLiteral("Robustesse :")}};
    for (const auto& [name, caption] : labels)
        QCOMPARE(child<QLabel>(w, name)->text(), caption);
    QCOMPARE(child<QPushButton>(w, "btnGenerer")->text(), QStringLiteral("Générer"));
    QVERIFY(child<QPushButton>(w, "btnGenerer")->isDefault());
    QVERIFY(!child<QPushButton>(w, "btnOK")->isDefault());
    QCOMPARE(child<QPushButton>(w, "btnOK")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(w, "btnAnnuler")->text(), QStringLiteral("Annuler"));
    QCOMPARE(child<QLineEdit>(w, "edPerso")->maxLength(), 255);
    QCOMPARE(child<QSpinBox>(w, "seLong")->minimum(), 1);
    QCOMPARE(child<QSpinBox>(w, "seLong")->maximum(), 255);
    QVERIFY(child<QLineEdit>(w, "edMdp")->font().bold());
    QVERIFY(child<QPlainTextEdit>(w, "Apercu")->isReadOnly());
    QCOMPARE(child<QProgressBar>(w, "pbScore")->minimum(), 0);
    QCOMPARE(child<QProgressBar>(w, "pbScore")->maximum(), 100);

    // At creation: capitals, small letters and digits, ten characters.
    QCOMPARE(w.charPool(), generator::capitalLetters() + generator::smallLetters() + generator::digits());
    QCOMPARE(w.result().size(), 10);
}

void TestGeneratorWindow::poolFollowsCheckBoxes()
{
    TfrmGenerateur w;
    Settings s;
    s.MAJ = s.MIN = s.NUM = false;
    s.SPE = true;
    w.loadFrom(s);
    QCOMPARE(w.charPool(), generator::specialCharacters());
    QCOMPARE(child<QPlainTextEdit>(w, "Apercu")->toPlainText(), generator::specialCharacters());
    QVERIFY(!child<QLineEdit>(w, "edPerso")->isEnabled());

    // Custom characters count only once their box is checked.
    child<QLineEdit>(w, "edPerso")->setText(QStringLiteral("ab"));
    QCOMPARE(w.charPool(), generator::specialCharacters());
    click(child<QCheckBox>(w, "cbPerso"));
    QVERIFY(child<QLineEdit>(w, "edPerso")->isEnabled());
    QCOMPARE(w.charPool(), generator::specialCharacters() + QStringLiteral("ab"));

    click(child<QCheckBox>(w, "cbNum"));
    QCOMPARE(child<QPlainTextEdit>(w, "Apercu")->toPlainText(),
             generator::specialCharacters() + u'\n' + generator::digits());
    QCOMPARE(w.charPool(), generator::specialCharacters() + generator::digits() + QStringLiteral("ab"));
    const QString password = w.result();
    QCOMPARE(password.size(), 10);
    for (QChar c : password)
        QVERIFY(w.charPool().contains(c));

    click(child<QCheckBox>(w, "cb1lettre"));
    QVERIFY(w.result().front().isLetter());
}

void TestGeneratorWindow::emptyPoolKeepsBar()
{
    TfrmGenerateur w;
    auto* bar = child<QProgressBar>(w, "pbScore");
    Settings s;
    s.MAJ = s.MIN = s.NUM = false;
    s.Other = true;
    s.Chars = QStringLiteral("aB1#");
    w.loadFrom(s);
    const int value = bar->value();
    const QString hint = bar->toolTip();
    QVERIFY(value > 0);
    QCOMPARE(hint, generator::ScoreHint(generator::PasswordScore(w.result())));
    QCOMPARE(value, generator::ScoreBarValue(generator::PasswordScore(w.result())));

    click(child<QCheckBox>(w, "cbPerso"));
    QVERIFY(w.charPool().isEmpty());
    QVERIFY(w.result().isEmpty());
    QCOMPARE(bar->value(), value);
    QCOMPARE(bar->toolTip(), hint);
    click(child<QPushButton>(w, "btnGenerer"));
    QVERIFY(w.result().isEmpty());
    QCOMPARE(bar->value(), value);
    QCOMPARE(bar->toolTip(), hint);
}

void TestGeneratorWindow::customFieldTakesOnlyStorableCharacters()
{
    TfrmGenerateur w;
    Settings s;
    s.MAJ = s.MIN = s.NUM = false;
    s.Other = true;
    s.Chars = QString::fromUtf16(u"x\u03A9y"); // hand-edited settings file
    w.loadFrom(s);
    auto* custom = child<QLineEdit>(w, "edPerso");
    QCOMPARE(custom->text(), QStringLiteral("xy"));
    QCOMPARE(w.charPool(), QStringLiteral("xy"));

    custom->clear();
    // Typed or pasted: both reach the field as an insertion.
    QTest::keyClicks(custom, QStringLiteral("a"));
    custom->insert(QString::fromUtf16(u"\u4E2Db\u20AC"));
    QCOMPARE(custom->text(), QString::fromUtf16(u"ab\u20AC"));
    custom->insert(QString::fromUtf16(u"\U0001F511c"));
    QCOMPARE(custom->text(), QString::fromUtf16(u"ab\u20ACc"));
    QCOMPARE(w.charPool(), custom->text());

    ModalSeam::pushAnswer(true);
    QVERIFY(w.execFor(s));
    QCOMPARE(s.Chars, QStringLiteral("xy"));
}

void TestGeneratorWindow::lengthLimitsResult()
{
    TfrmGenerateur w;
    auto* length = child<QSpinBox>(w, "seLong");
    length->setValue(17);
    QCOMPARE(w.result().size(), 17);
    QCOMPARE(child<QLineEdit>(w, "edMdp")->maxLength(), 17);
    length->setValue(300); // beyond the range
    QCOMPARE(w.result().size(), 255);
    const QString before = w.result();
    click(child<QPushButton>(w, "btnGenerer"));
    QCOMPARE(w.result().size(), 255);
    QVERIFY(w.result() != before);
}

void TestGeneratorWindow::editingResultKeepsScore()
{
    TfrmGenerateur w;
    auto* bar = child<QProgressBar>(w, "pbScore");
    const QString hint = bar->toolTip();
    auto* result = child<QLineEdit>(w, "edMdp");
    result->selectAll();
    QTest::keyClicks(result, QStringLiteral("aaa"));
    QCOMPARE(w.result(), QStringLiteral("aaa"));
    QCOMPARE(bar->toolTip(), hint);
}

void TestGeneratorWindow::okSavesChoices()
{
    TfrmGenerateur w;
    Settings s;
    s.Len = 12;
    connect(&w, &TfrmGenerateur::opened, this, [&] {
        click(child<QCheckBox>(w, "cbMaj"));
        click(child<QCheckBox>(w, "cbAcc"));
        click(child<QCheckBox>(w, "cbPerso"));
        QTest::keyClicks(child<QLineEdit>(w, "edPerso"), QStringLiteral("#!"));
        child<QSpinBox>(w, "seLong")->setValue(30);
        click(child<QCheckBox>(w, "cb1lettre"));
    });
    ModalSeam::pushAnswer(true);
    QVERIFY(w.execFor(s));
    QCOMPARE(ModalSeam::shown().size(), 1);
    QCOMPARE(ModalSeam::shown().front().dialog, QStringLiteral("Generateur"));
    QVERIFY(!s.MAJ);
    QVERIFY(s.MIN && s.NUM && s.ACC && s.Other && s.First);
    QVERIFY(!s.SPE);
    QCOMPARE(s.Chars, QStringLiteral("#!"));
    QCOMPARE(s.Len, 30);
    QCOMPARE(w.result().size(), 30);
}

void TestGeneratorWindow::cancelDiscardsChoices()
{
    TfrmGenerateur w;
    Settings s;
    s.Other = true;
    s.Chars = QStringLiteral("xy");
    const Settings before = s;
    QMetaObject::Connection changer = connect(&w, &TfrmGenerateur::opened, this, [&] {
        click(child<QCheckBox>(w, "cbSpe"));
        click(child<QCheckBox>(w, "cbPerso"));
        child<QSpinBox>(w, "seLong")->setValue(5);
    });
    ModalSeam::pushAnswer(false);
    QVERIFY(!w.execFor(s));
    QCOMPARE(s.SPE, before.SPE);
    QCOMPARE(s.Other, before.Other);
    QCOMPARE(s.Len, before.Len);
    QCOMPARE(s.Chars, before.Chars);
    disconnect(changer);

    // The next opening shows the previous choices again.
    ModalSeam::pushAnswer(false);
    QVERIFY(!w.execFor(s));
    QVERIFY(!child<QCheckBox>(w, "cbSpe")->isChecked());
    QVERIFY(child<QCheckBox>(w, "cbPerso")->isChecked());
    QCOMPARE(child<QSpinBox>(w, "seLong")->value(), 10);
    QCOMPARE(w.charPool(),
             generator::capitalLetters() + generator::smallLetters() + generator::digits() + QStringLiteral("xy"));
}

void TestGeneratorWindow::okWithEditedText()
{
    TfrmGenerateur w;
    Settings s;
    s.Len = 12;
    ModalSeam::pushAnswer(QStringLiteral("my own text"));
    QVERIFY(w.execFor(s));
    QCOMPARE(w.result(), QStringLiteral("my own text"));
    // The user cannot type more characters than the length allows.
    s.Len = 6;
    ModalSeam::pushAnswer(QStringLiteral("my own text"));
    QVERIFY(w.execFor(s));
    QCOMPARE(w.result(), QStringLiteral("my own"));
}

void TestGeneratorWindow::noAnswerMeansCancel()
{
    TfrmGenerateur w;
    Settings s;
    s.Len = 20;
    QVERIFY(!w.execFor(s));
    QCOMPARE(ModalSeam::unanswered(), 1);
    QCOMPARE(w.result().size(), 20); // a fresh password at every opening
}

QTEST_MAIN(TestGeneratorWindow)
#include "tst_generatorwindow.moc"

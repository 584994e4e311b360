#include "lang/gui/ShowMsg.h"
#include "platform/gui/ModalSeam.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

using platform::SystemSound;

class TestShowMsg : public QObject
{
    Q_OBJECT

private slots:
    void init() { ModalSeam::activate(); }
    void cleanup() { ModalSeam::deactivate(); }

    void soundAndTitleByKind_data();
    void soundAndTitleByKind();
    void soundEvents();
    void defaultAndEscape_data();
    void defaultAndEscape();
    void boxHasFixedFrenchTexts_data();
    void boxHasFixedFrenchTexts();
    void recordsWhatWouldBeShown();
    void unansweredGivesEscapeAnswer_data();
    void unansweredGivesEscapeAnswer();
};

void TestShowMsg::soundAndTitleByKind_data()
{
    QTest::addColumn<MsgKind>("kind");
    QTest::addColumn<SystemSound>("sound");
    QTest::addColumn<QString>("title");
    QTest::newRow("warning plays the asterisk") << MsgKind::Warning << SystemSound::Asterisk << "Avertissement";
    QTest::newRow("error plays the hand") << MsgKind::Error << SystemSound::Hand << "Erreur";
    QTest::newRow("information plays the exclamation")
        << MsgKind::Information << SystemSound::Exclamation << "Information";
    QTest::newRow("confirmation plays the question")
        << MsgKind::Confirmation << SystemSound::Question << "Confirmation";
    QTest::newRow("other kind beeps") << MsgKind::Plain << SystemSound::SimpleBeep << "";
}

void TestShowMsg::soundAndTitleByKind()
{
    QFETCH(MsgKind, kind);
    QFETCH(SystemSound, sound);
    QFETCH(QString, title);
    QCOMPARE(soundForMsgKind(kind), sound);
    QCOMPARE(titleForMsgKind(kind), title);
}

void TestShowMsg::soundEvents()
{
    // Each system sound stands for the sound-theme event of the same meaning.
    QCOMPARE(platform::soundEventId(SystemSound::Asterisk), QStringLiteral("dialog-information"));
    QCOMPARE(platform::soundEventId(SystemSound::Hand), QStringLiteral("dialog-error"));
    QCOMPARE(platform::soundEventId(SystemSound::Exclamation), QStringLiteral("dialog-warning"));
    QCOMPARE(platform::soundEventId(SystemSound::Question), QStringLiteral("dialog-question"));
    QCOMPARE(platform::soundEventId(SystemSound::SimpleBeep), QString());
}

void TestShowMsg::defaultAndEscape_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("enter");
    QTest::addColumn<int>("escape");
    QTest::newRow("OK") << int(MsgOK) << int(MsgOK) << int(MsgOK);
    QTest::newRow("none means OK") << int(MsgNone) << int(MsgOK) << int(MsgOK);
    QTest::newRow("Cancel alone") << int(MsgCancel) << int(MsgNone) << int(MsgCancel);
    QTest::newRow("Yes No Cancel") << (MsgYes | MsgNo | MsgCancel) << int(MsgYes) << int(MsgCancel);
    QTest::newRow("Yes No") << (MsgYes | MsgNo) << int(MsgYes) << int(MsgNo);
    QTest::newRow("OK Cancel") << (MsgOK | MsgCancel) << int(MsgOK) << int(MsgCancel);
    QTest::newRow("all four") << (MsgYes | MsgNo | MsgOK | MsgCancel) << int(MsgOK) << int(MsgCancel);
}

void TestShowMsg::defaultAndEscape()
{
    QFETCH(int, buttons);
    QFETCH(int, enter);
    QFETCH(int, escape);
    QCOMPARE(int(defaultButton(buttons)), enter);
    QCOMPARE(int(escapeAnswer(buttons)), escape);
}

void TestShowMsg::boxHasFixedFrenchTexts_data()
{
    QTest::addColumn<MsgKind>("kind");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("enter");
    QTest::addColumn<QString>("escape");
    QTest::addColumn<int>("icon");
    QTest::newRow("error OK") << MsgKind::Error << int(MsgOK) << QStringList{"OK"} << "OK"
                              << "OK" << int(QMessageBox::Critical);
    QTest::newRow("error Cancel alone") << MsgKind::Error << int(MsgCancel) << QStringList{"Annuler"} << ""
                                        << "Annuler" << int(QMessageBox::Critical);
    QTest::newRow("confirmation Yes No Cancel")
        << MsgKind::Confirmation << (MsgYes | MsgNo | MsgCancel) << QStringList{"&Oui", "&Non", "Annuler"} << "&Oui"
        << "Annuler" << int(QMessageBox::Question);
    QTest::newRow("information Yes No") << MsgKind::Information << (MsgYes | MsgNo) << QStringList{"&Oui", "&Non"}
                                        << "&Oui"
                                        << "&Non" << int(QMessageBox::Information);
    QTest::newRow("warning OK") << MsgKind::Warning << int(MsgOK) << QStringList{"OK"} << "OK"
                                << "OK" << int(QMessageBox::Warning);
}

void TestShowMsg::boxHasFixedFrenchTexts()
{
    QFETCH(MsgKind, kind);
    QFETCH(int, buttons);
    QFETCH(QStringList, captions);
    QFETCH(QString, enter);
    QFETCH(QString, escape);
    QFETCH(int, icon);
    std::unique_ptr<QMessageBox> box(createMsgBox("a <b>c</b>\r\nd", kind, buttons));
    QCOMPARE(box->windowTitle(), titleForMsgKind(kind));
    QCOMPARE(box->text(), QStringLiteral("a <b>c</b>\r\nd"));
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(int(box->icon()), icon);
    QStringList shown;
    int values = 0;
    for (QAbstractButton* b : box->buttons()) {
        shown << b->text();
        values |= b->property("msgButton").toInt();
    }
    shown.sort();
    captions.sort();
    QCOMPARE(shown, captions);
    QCOMPARE(values, buttons);
    QCOMPARE(box->defaultButton() ? box->defaultButton()->text() : QString(), enter);
    QVERIFY(box->escapeButton());
    QCOMPARE(box->escapeButton()->text(), escape);
}

void TestShowMsg::recordsWhatWouldBeShown()
{
    ModalSeam::pushAnswer(int(MsgYes));
    ModalSeam::pushAnswer(int(MsgOK));
    QCOMPARE(ShowMsg("Save \"a\" ?", MsgKind::Confirmation, MsgYes | MsgNo | MsgCancel), MsgYes);
    QCOMPARE(ShowMsg("Broken", MsgKind::Error), MsgOK);
    QCOMPARE(ModalSeam::pendingAnswers(), 0);
    QCOMPARE(ModalSeam::unanswered(), 0);
    const auto& shown = ModalSeam::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].dialog, QStringLiteral("ShowMsg"));
    QCOMPARE(shown[0].text, QStringLiteral("Save \"a\" ?"));
    QCOMPARE(shown[0].kind, int(MsgKind::Confirmation));
    QCOMPARE(shown[0].buttons, MsgYes | MsgNo | MsgCancel);
    QCOMPARE(shown[1].kind, int(MsgKind::Error));
    QCOMPARE(shown[1].buttons, int(MsgOK));
    QCOMPARE(ModalSeam::shownTexts("ShowMsg"), QStringList({"Save \"a\" ?", "Broken"}));
}

void TestShowMsg::unansweredGivesEscapeAnswer_data()
{
    defaultAndEscape_data();
}

void TestShowMsg::unansweredGivesEscapeAnswer()
{
    QFETCH(int, buttons);
    QFETCH(int, escape);
    QCOMPARE(int(ShowMsg("question", MsgKind::Information, buttons)), escape);
    QCOMPARE(ModalSeam::unanswered(), 1);
    QCOMPARE(ModalSeam::shown().constLast().buttons, buttons == MsgNone ? int(MsgOK) : buttons);
}

QTEST_MAIN(TestShowMsg)
#include "tst_showmsg.moc"

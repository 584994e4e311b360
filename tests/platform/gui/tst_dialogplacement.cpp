// Dialogs are centred over the main window that asks, and kept on the screen.

#include "platform/gui/DialogPlacement.h"

#include <QDialog>
#include <QScreen>
#include <QtTest>

class TestDialogPlacement : public QObject
{
    Q_OBJECT

private slots:
    void centredOverTheOwner_data();
    void centredOverTheOwner();
};

void TestDialogPlacement::centredOverTheOwner_data()
{
    QTest::addColumn<bool>("overTheEdge");
    QTest::newRow("owner on the screen") << false;
    QTest::newRow("owner over the right edge of the screen") << true;
}

void TestDialogPlacement::centredOverTheOwner()
{
    QFETCH(bool, overTheEdge);
    QWidget owner;
    owner.setObjectName(QStringLiteral("frmTresorin"));
    owner.resize(600, 400);
    const QRect area = owner.screen()->availableGeometry();
    owner.move(overTheEdge ? QPoint(area.right() - 100, area.top() + 50) : area.topLeft() + QPoint(100, 80));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    QDialog dialog;
    dialog.setFixedSize(239, 102);
    PlaceDialogOverOwner(&dialog);
    const QRect placed(dialog.pos(), dialog.frameGeometry().size());
    if (!overTheEdge)
        QCOMPARE(placed.center(), owner.frameGeometry().center());
    QVERIFY2(area.contains(placed), qPrintable(QStringLiteral("%1,%2").arg(placed.x()).arg(placed.y())));
}

QTEST_MAIN(TestDialogPlacement)
#include "tst_dialogplacement.moc"

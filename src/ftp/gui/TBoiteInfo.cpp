#include "ftp/gui/TBoiteInfo.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TBoiteInfo::TBoiteInfo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteInfo"));
    setWindowTitle(QStringLiteral("Propriétés"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    ListeInfo = new QTreeWidget(this);
    ListeInfo->setObjectName(QStringLiteral("ListeInfo"));
    ListeInfo->setColumnCount(3);
    ListeInfo->setHeaderLabels({QStringLiteral("Propriété"), QStringLiteral("En local"), QStringLiteral("Sur FTP")});
    ListeInfo->setRootIsDecorated(false);
    ListeInfo->setItemsExpandable(false);
    ListeInfo->setSortingEnabled(false);
    ListeInfo->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListeInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListeInfo->header()->setSectionsMovable(false);
    ListeInfo->header()->setSectionResizeMode(QHeaderView::Fixed);
    ListeInfo->header()->setSectionsClickable(false);
    ListeInfo->setColumnWidth(0, 130);
    ListeInfo->setColumnWidth(1, 135);
    ListeInfo->setColumnWidth(2, 135);

    lblAsk = new QLabel(this);
    lblAsk->setObjectName(QStringLiteral("lblAsk"));
    lblAsk->setAlignment(Qt::AlignCenter);
    lblAsk->hide();

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnYes = new QPushButton(QStringLiteral("Oui"), this);
    btnYes->setObjectName(QStringLiteral("btnYes"));
    btnNo = new QPushButton(QStringLiteral("Non"), this);
    btnNo->setObjectName(QStringLiteral("btnNo"));
    for (QPushButton* b : {btnOk, btnYes, btnNo})
        b->setFixedSize(75, 25);
    btnYes->hide();
    btnNo->hide();
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnYes);
    buttons->addWidget(btnNo);
    buttons->addStretch(1);
    auto* main = new QVBoxLayout(this);
    main->addWidget(ListeInfo);
    main->addWidget(lblAsk);
    main->addLayout(buttons);
    setFixedWidth(404);
}

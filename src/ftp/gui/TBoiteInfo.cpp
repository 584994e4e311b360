#include "ftp/gui/TBoiteInfo.h"

#include "lang/LangTable.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

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
    // The FTP column takes what the two others leave.
    ListeInfo->header()->setStretchLastSection(true);
    ListeInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListeInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

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
    connect(btnOk, &QPushButton::clicked, this, [this] { done(int(PropertiesAnswer::Ok)); });
    connect(btnYes, &QPushButton::clicked, this, [this] { done(int(PropertiesAnswer::Yes)); });
    connect(btnNo, &QPushButton::clicked, this, [this] { done(int(PropertiesAnswer::No)); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnYes);
    buttons->addWidget(btnNo);
    buttons->addStretch(1);
    auto* main = new QVBoxLayout(this);
    // The three columns of the design fill the 404-pixel-wide window.
    main->setContentsMargins(2, 2, 2, 6);
    main->addWidget(ListeInfo);
    main->addWidget(lblAsk);
    main->addLayout(buttons);
    setFixedWidth(404);
}

void TBoiteInfo::fill(const TDoc& local, const TDoc& remote)
{
    ListeInfo->clear();
    const QBrush highlight = palette().brush(QPalette::ToolTipBase);
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    for (const PropertyRow& row : FileProperties(local, &remote)) {
        auto* item = new QTreeWidgetItem(ListeInfo, {Msg(row.key), row.local, row.ftp});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        for (int column = 1; column <= 2; ++column) {
            if (column - 1 == HighlightColumn)
                item->setBackground(column, highlight);
            // "- Unknown -" and every value starting with "-" are greyed.
            if (item->text(column).startsWith(QLatin1Char('-')))
                item->setForeground(column, grey);
        }
    }
    // The list shows every row, no more.
    int height = ListeInfo->header()->sizeHint().height() + 2 * ListeInfo->frameWidth() + 4;
    for (int i = 0; i < ListeInfo->topLevelItemCount(); ++i)
        height += ListeInfo->sizeHintForRow(i) > 0 ? ListeInfo->sizeHintForRow(i) : 18;
    ListeInfo->setFixedHeight(height);
    // Every value is read whole (a long date and time in the user's format): a column is as wide
    // as the design says, or as its widest text, and the window follows.
    static constexpr int kDesignWidths[] = {130, 135, 135};
    int total = 0;
    for (int column = 0; column < 3; ++column) {
        int widest = ListeInfo->fontMetrics().horizontalAdvance(ListeInfo->headerItem()->text(column));
        for (int i = 0; i < ListeInfo->topLevelItemCount(); ++i)
            widest =
                std::max(widest, ListeInfo->fontMetrics().horizontalAdvance(ListeInfo->topLevelItem(i)->text(column)));
        const int needed = std::max(kDesignWidths[column], widest + 16);
        ListeInfo->setColumnWidth(column, needed);
        total += needed;
    }
    setFixedWidth(std::max(404, total + 2 * ListeInfo->frameWidth() + 4));
}

PropertiesAnswer TBoiteInfo::ShowProperties(const TDoc& local, const TDoc& remote, int mode, bool autoSync)
{
    const bool asking = mode == ProposeLocal || mode == ProposeFtp;
    if (asking && autoSync)
        return PropertiesAnswer::Yes;
    m_mode = asking ? mode : InformationOnly;
    HighlightColumn = m_mode;
    fill(local, remote);

    lblAsk->setVisible(asking);
    btnYes->setVisible(asking);
    btnNo->setVisible(asking);
    btnOk->setVisible(!asking);
    btnYes->setDefault(asking);
    btnOk->setDefault(!asking);
    lblAsk->setText(asking ? Msg(QStringLiteral("SyncRecent")) +
                                 Msg(mode == ProposeLocal ? QStringLiteral("local") : QStringLiteral("FTP")) +
                                 QStringLiteral(") ?")
                           : QString());
    adjustSize();

    if (ModalSeam::active()) {
        const QVariant answer =
            ModalSeam::ask({QStringLiteral("BoiteInfo"), lblAsk->text(), m_mode, 0}, int(PropertiesAnswer::Cancelled));
        return PropertiesAnswer(answer.toInt());
    }
    PlaceDialogOverOwner(this);
    return PropertiesAnswer(exec());
}

void TBoiteInfo::reject()
{
    done(int(PropertiesAnswer::Cancelled));
}

void TBoiteInfo::keyPressEvent(QKeyEvent* event)
{
    // Escape presses the cancel button: No when asking, OK otherwise.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        done(int(m_mode == InformationOnly ? PropertiesAnswer::Ok : PropertiesAnswer::No));
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "generator/gui/TBoiteSante.h"

#include "generator/BreachList.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kKindKeys[] = {"SanteWeak", "SanteReused", "SanteOld", "SanteEmpty", "SanteBreached"};
constexpr int kEntryRole = Qt::UserRole + 1;
constexpr int kOrderRole = Qt::UserRole + 2;
constexpr int kDetailColumn = 3;

// The detail column sorts by what its words say as a number (a strength, an age, a count).
class FindingItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == kDetailColumn && text(0) == other.text(0))
            return data(kDetailColumn, kOrderRole).toDouble() < other.data(kDetailColumn, kOrderRole).toDouble();
        return QString::localeAwareCompare(text(column), other.text(column)) < 0;
    }
};

} // namespace

TBoiteSante::TBoiteSante(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteSante"));
    setWindowTitle(QStringLiteral("Santé des mots de passe"));
    setModal(true);
    ListeSante = new QTreeWidget(this);
    ListeSante->setObjectName(QStringLiteral("ListeSante"));
    ListeSante->setColumnCount(4);
    ListeSante->setHeaderLabels(
        {QStringLiteral("Constat"), QStringLiteral("Groupe"), QStringLiteral("Nom"), QStringLiteral("Détail")});
    ListeSante->setToolTip(QStringLiteral("Double-clic ou Entrée pour afficher l'entrée"));
    ListeSante->setRootIsDecorated(false);
    // Entry by entry at first, as the document holds them; a click on a title sorts by it.
    ListeSante->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ListeSante->setSortingEnabled(true);
    ListeSante->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListeSante->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Enter shows the finding's entry: the list keeps it from the dialog's default button.
    ListeSante->installEventFilter(this);
    btnHibp = new QPushButton(QStringLiteral("Comparer à une liste de fuites..."), this);
    btnHibp->setObjectName(QStringLiteral("btnHibp"));
    btnHibp->setAutoDefault(false);
    btnFermer = new QPushButton(QStringLiteral("Fermer"), this);
    btnFermer->setObjectName(QStringLiteral("btnFermer"));
    btnFermer->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHibp);
    buttons->addStretch(1);
    buttons->addWidget(btnFermer);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListeSante, 1);
    layout->addLayout(buttons);
    resize(640, 360);
    connect(btnFermer, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListeSante, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { choose(item); });
}

void TBoiteSante::choose(QTreeWidgetItem* item)
{
    auto* entry = item ? static_cast<TFeuille*>(item->data(0, kEntryRole).value<void*>()) : nullptr;
    if (entry)
        emit entryChosen(entry);
}

bool TBoiteSante::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListeSante && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ListeSante->currentItem() &&
            ListeSante->currentItem()->data(0, kEntryRole).value<void*>()) {
            choose(ListeSante->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TBoiteSante::fill(const DocumentState& doc, const health::Options& base, const QString& breachFile)
{
    health::Options options = base;
    BreachList breaches;
    if (!breachFile.isEmpty()) {
        if (!breaches.open(breachFile)) {
            ShowMsg(FillPlaceholders(Msg(QStringLiteral("SanteListe")), {QDir::toNativeSeparators(breachFile)}) +
                        QStringLiteral("\r\n\r\n") + breaches.error(),
                    MsgKind::Error, MsgOK);
            return false;
        }
        options.breaches = &breaches;
    }
    const std::optional<std::vector<health::Finding>> findings = health::Analyze(doc, options);
    if (!findings) {
        ShowMsg(FillPlaceholders(Msg(QStringLiteral("SanteListe")), {QDir::toNativeSeparators(breachFile)}),
                MsgKind::Error, MsgOK);
        return false;
    }
    ListeSante->setSortingEnabled(false);
    ListeSante->clear();
    for (const health::Finding& f : *findings) {
        auto* item =
            new FindingItem(ListeSante, {Msg(QLatin1String(kKindKeys[int(f.kind)])), f.path, f.entry->Name, f.detail});
        item->setData(0, kEntryRole, QVariant::fromValue(static_cast<void*>(f.entry)));
        item->setData(kDetailColumn, kOrderRole, f.order);
    }
    if (findings->empty())
        new QTreeWidgetItem(ListeSante, {Msg(QStringLiteral("SanteAucun"))});
    ListeSante->setSortingEnabled(true);
    // A current finding, so that Enter shows it rather than reaching the Close button.
    ListeSante->setCurrentItem(ListeSante->topLevelItem(0));
    for (int c = 0; c < 4; ++c)
        ListeSante->resizeColumnToContents(c);
    return true;
}

void TBoiteSante::ShowFindings(const DocumentState& doc, health::Options options, QString& breachFile,
                               const std::function<QString()>& askBreachList)
{
    // The list compared last stays compared; one that can no longer be read is said and dropped.
    if (!fill(doc, options, breachFile)) {
        breachFile.clear();
        fill(doc, options, breachFile);
    }
    connect(btnHibp, &QPushButton::clicked, this, [&] {
        const QString chosen = askBreachList ? askBreachList() : QString();
        if (!chosen.isEmpty() && fill(doc, options, chosen)) {
            breachFile = chosen;
            ListeSante->setFocus();
        }
    });
    const auto disconnectButton = qScopeGuard([this] { disconnect(btnHibp, &QPushButton::clicked, this, nullptr); });
    if (!ModalSeam::active()) {
        ListeSante->setFocus();
        PlaceDialogOverOwner(this);
        exec();
        return;
    }
    for (;;) {
        const QVariant answer =
            ModalSeam::ask({QStringLiteral("BoiteSante"), QString::number(ListeSante->topLevelItemCount())});
        const QString text = answer.typeId() == QMetaType::QString ? answer.toString() : QString();
        if (text == QLatin1String("hibp")) {
            btnHibp->click();
            continue;
        }
        if (text.startsWith(QLatin1String("enter:"))) {
            QTreeWidgetItem* item = ListeSante->topLevelItem(text.mid(6).toInt());
            if (!item)
                return;
            ListeSante->setCurrentItem(item);
            // Delivered as a real key press: were it to reach the default button, the window
            // would close, as the finished() signal tells even while the seam shows nothing.
            bool closed = false;
            const QMetaObject::Connection watch = connect(this, &QDialog::finished, this, [&] { closed = true; });
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(ListeSante, &press);
            disconnect(watch);
            if (closed)
                return;
            continue;
        }
        if (answer.typeId() == QMetaType::Int && answer.toInt() >= 0 &&
            answer.toInt() < ListeSante->topLevelItemCount()) {
            QTreeWidgetItem* item = ListeSante->topLevelItem(answer.toInt());
            emit ListeSante->itemDoubleClicked(item, 0);
            continue;
        }
        return;
    }
}

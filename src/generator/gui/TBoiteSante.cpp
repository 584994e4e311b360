#include "generator/gui/TBoiteSante.h"

#include "generator/BreachList.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kKindKeys[] = {"SanteWeak", "SanteReused", "SanteOld", "SanteEmpty", "SanteBreached"};
constexpr int kEntryRole = Qt::UserRole + 1;

// Numbers sort as numbers in the detail column (a score, an age, a count).
class FindingItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        bool a = false;
        bool b = false;
        const double x = text(column).toDouble(&a);
        const double y = other.text(column).toDouble(&b);
        if (a && b)
            return x < y;
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
    ListeSante->setToolTip(QStringLiteral("Double-clic pour afficher l'entrée"));
    ListeSante->setRootIsDecorated(false);
    // Entry by entry at first, as the document holds them; a click on a title sorts by it.
    ListeSante->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ListeSante->setSortingEnabled(true);
    ListeSante->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListeSante->setSelectionBehavior(QAbstractItemView::SelectRows);
    btnHibp = new QPushButton(QStringLiteral("Comparer à une liste de fuites..."), this);
    btnHibp->setObjectName(QStringLiteral("btnHibp"));
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
    connect(ListeSante, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        m_chosen = static_cast<TFeuille*>(item->data(0, kEntryRole).value<void*>());
        accept();
    });
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
    }
    if (findings->empty())
        new QTreeWidgetItem(ListeSante, {Msg(QStringLiteral("SanteAucun"))});
    ListeSante->setSortingEnabled(true);
    for (int c = 0; c < 4; ++c)
        ListeSante->resizeColumnToContents(c);
    return true;
}

TFeuille* TBoiteSante::ShowFindings(const DocumentState& doc, health::Options options,
                                    const std::function<QString()>& askBreachList)
{
    m_chosen = nullptr;
    QString breachFile;
    fill(doc, options, breachFile);
    connect(btnHibp, &QPushButton::clicked, this, [&] {
        const QString chosen = askBreachList ? askBreachList() : QString();
        if (!chosen.isEmpty() && fill(doc, options, chosen))
            breachFile = chosen;
    });
    const auto disconnectButton = qScopeGuard([this] { disconnect(btnHibp, &QPushButton::clicked, this, nullptr); });
    if (!ModalSeam::active()) {
        PlaceDialogOverOwner(this);
        exec();
        return m_chosen;
    }
    for (;;) {
        const QVariant answer =
            ModalSeam::ask({QStringLiteral("BoiteSante"), QString::number(ListeSante->topLevelItemCount())});
        if (answer.typeId() == QMetaType::QString && answer.toString() == QLatin1String("hibp")) {
            btnHibp->click();
            continue;
        }
        if (answer.typeId() == QMetaType::Int && answer.toInt() >= 0 &&
            answer.toInt() < ListeSante->topLevelItemCount()) {
            QTreeWidgetItem* item = ListeSante->topLevelItem(answer.toInt());
            emit ListeSante->itemDoubleClicked(item, 0);
            return m_chosen;
        }
        return nullptr;
    }
}

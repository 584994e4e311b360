#include "generator/gui/TBoiteSante.h"

#include "crypto/SecureBytes.h"
#include "generator/BreachList.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/DialogPlacement.h"
#include "platform/gui/ModalSeam.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>
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

// What the window says when the breach list cannot serve.
QString breachListFailure(const QString& path, const health::BreachCounts& result)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (BreachList::Fault(result.fault)) {
    case BreachList::Fault::NotAFile:
        return FillPlaceholders(Msg(QStringLiteral("SanteNonFichier")), {file});
    case BreachList::Fault::NotInOrder:
        return FillPlaceholders(Msg(QStringLiteral("SanteDesordre")), {file});
    case BreachList::Fault::NotThisFormat:
        return FillPlaceholders(Msg(QStringLiteral("SanteFormat")), {file});
    case BreachList::Fault::Unreadable:
    case BreachList::Fault::None:
        break;
    }
    return FillPlaceholders(Msg(QStringLiteral("SanteListe")), {file}) + QStringLiteral("\r\n\r\n") + result.error;
}

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

void TBoiteSante::fill(const DocumentState& doc, const health::Options& options)
{
    const std::optional<std::vector<health::Finding>> findings = health::Analyze(doc, options);
    ListeSante->setSortingEnabled(false);
    ListeSante->clear();
    for (const health::Finding& f : findings.value_or(std::vector<health::Finding>())) {
        auto* item =
            new FindingItem(ListeSante, {Msg(QLatin1String(kKindKeys[int(f.kind)])), f.path, f.entry->Name, f.detail});
        item->setData(0, kEntryRole, QVariant::fromValue(static_cast<void*>(f.entry)));
        item->setData(kDetailColumn, kOrderRole, f.order);
    }
    if (findings && findings->empty())
        new QTreeWidgetItem(ListeSante, {Msg(QStringLiteral("SanteAucun"))});
    ListeSante->setSortingEnabled(true);
    // A current finding, so that Enter shows it rather than reaching the Close button.
    ListeSante->setCurrentItem(ListeSante->topLevelItem(0));
    for (int c = 0; c < 4; ++c)
        ListeSante->resizeColumnToContents(c);
}

void TBoiteSante::startSearch(const DocumentState& doc, const health::Options& options, const QString& path)
{
    stopSearch();
    // The worker gets the hashes and the path by value, and leaves its outcome in `result`.
    auto result = std::make_shared<health::BreachCounts>();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    QList<QByteArray> hashes = health::PasswordHashes(doc);
    m_stop = stop;
    m_search = QThread::create([result, stop, path, hashes]() mutable {
        *result = health::LookUpBreaches(path, hashes, stop.get());
        for (QByteArray& h : hashes)
            secureWipe(h);
    });
    for (QByteArray& h : hashes)
        secureWipe(h);
    btnHibp->setEnabled(false);
    const DocumentTicket ticket(doc);
    QThread* thread = m_search;
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, thread, result, stop, ticket, &doc, options, path] {
        if (m_search != thread)
            return;
        m_search = nullptr;
        m_stop.reset();
        btnHibp->setEnabled(true);
        // Only for the document the search began with, still open as it was.
        if (!*stop && ticket.stillOpen()) {
            if (result->fault != int(BreachList::Fault::None)) {
                ShowMsg(breachListFailure(path, *result), MsgKind::Error, MsgOK);
                if (m_comparedFile == path)
                    m_comparedFile.clear();
            } else {
                health::Options withCounts = options;
                withCounts.breachCounts = &result->counts;
                fill(doc, withCounts);
                m_comparedFile = path;
                ListeSante->setFocus();
            }
        }
        emit searchEnded();
    });
    thread->start();
}

void TBoiteSante::stopSearch()
{
    if (!m_search)
        return;
    *m_stop = true;
    m_search->wait();
    // Its completion handler runs from the event loop and finds it no longer current.
    m_search = nullptr;
    m_stop.reset();
    btnHibp->setEnabled(true);
    emit searchEnded();
}

void TBoiteSante::waitForSearch()
{
    if (!m_search)
        return;
    QEventLoop wait;
    connect(this, &TBoiteSante::searchEnded, &wait, &QEventLoop::quit);
    wait.exec();
}

void TBoiteSante::ShowFindings(const DocumentState& doc, health::Options options, QString& breachFile,
                               const std::function<QString()>& askBreachList)
{
    fill(doc, options);
    // The list compared last is compared again; one that can no longer be read is said and dropped.
    m_comparedFile = breachFile;
    if (!breachFile.isEmpty())
        startSearch(doc, options, breachFile);
    connect(btnHibp, &QPushButton::clicked, this, [&] {
        const QString chosen = askBreachList ? askBreachList() : QString();
        if (!chosen.isEmpty())
            startSearch(doc, options, chosen);
    });
    const auto done = qScopeGuard([&] {
        disconnect(btnHibp, &QPushButton::clicked, this, nullptr);
        stopSearch();
        breachFile = m_comparedFile;
    });
    if (!ModalSeam::active()) {
        ListeSante->setFocus();
        PlaceDialogOverOwner(this);
        exec();
        return;
    }
    for (;;) {
        waitForSearch();
        const QVariant answer =
            ModalSeam::ask({QStringLiteral("BoiteSante"), QString::number(ListeSante->topLevelItemCount())});
        const QString text = answer.typeId() == QMetaType::QString ? answer.toString() : QString();
        if (text == QLatin1String("hibp")) {
            btnHibp->click();
            continue; // the next answer comes once the search is over
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

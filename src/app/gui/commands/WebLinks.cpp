#include "app/gui/commands/WebLinks.h"

#include "app/core/WebLink.h"
#include "app/gui/views/CellEditing.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListModel.h"
#include "app/gui/views/EntryListView.h"
#include "document/DocumentModel.h"
#include "document/gui/DocumentPipeline.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/gui/OpenLink.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

namespace {

// Left edges at which rows are hit tested: the pointer shape, then the click.
constexpr int kPointerHitX = 10;
constexpr int kClickHitX = 20;

} // namespace

WebLinks::WebLinks(DocumentView* view, QAction* openUrl, QObject* parent)
    : QObject(parent), m_view(view), m_openUrl(openUrl), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("timerClick"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(QApplication::doubleClickInterval());
    connect(m_timer, &QTimer::timeout, this, &WebLinks::timerClickTimer);
    // Installed after the cell editor's filter, so it sees the double click that filter takes.
    m_viewport = m_view->liste()->viewport();
    m_viewport->installEventFilter(this);
}

void WebLinks::OpenWebSite()
{
    // An address being typed in the cell editor is the one the user sees: it is stored first.
    CellEditing* cells = m_view->cellEditing();
    if (cells->isOpen())
        cells->edExit();
    const TFeuille* entry = m_view->selectedEntry();
    if (!entry || entry->WebAddress.isEmpty())
        return;
    const WebOpening plan = PlanWebOpening(entry->WebAddress, entry->Login, entry->Password);
    if (plan.isLink) {
        ShellOpen(plan.link, QString());
        return;
    }
    // An address from a merged, pasted or received document could start any program: nothing runs
    // before the user has seen what, and said yes (No is the default). Nothing is remembered.
    QString question = FillPlaceholders(Msg(QStringLiteral("RunProgram")), {plan.shown.program, plan.shown.parameters});
    if (plan.carriesPassword)
        question += QStringLiteral("\r\n\r\n") + Msg(QStringLiteral("RunProgramPass"));
    const DocumentState* doc = m_view->document();
    const quint64 generation = doc ? doc->generation() : 0;
    const QString address = entry->WebAddress;
    if (ShowMsg(question, MsgKind::Warning, MsgYes | MsgNo | MsgDefaultNo) != MsgYes)
        return;
    // The answer is for the entry that was asked about, which must still be the one selected.
    if (!doc || doc->generation() != generation || m_view->selectedEntry() != entry || entry->WebAddress != address)
        return;
    ShellOpen(plan.command.program, plan.command.parameters);
}

bool WebLinks::linkPointerAt(const QPoint& viewportPos) const
{
    EntryListView* list = m_view->liste();
    const QModelIndex row = list->indexAt(QPoint(kPointerHitX, viewportPos.y()));
    if (!row.isValid())
        return false;
    // Sideways scrolling is left out, as the column widths alone place the address.
    const QHeaderView* header = list->header();
    int before = 0;
    for (int c = 0; c < EntryListModel::WebColumn; ++c)
        before += header->sectionSize(c);
    const int x = viewportPos.x() - before - EntryListDelegate::kTextDx;
    const QString address = list->model()->index(row.row(), EntryListModel::WebColumn).data(Qt::DisplayRole).toString();
    if (address.isEmpty() || x < 0)
        return false;
    // The address as the delegate draws it: on one line, cut with an ellipsis at the cell's end.
    const QFontMetrics fm(list->font());
    const int room = header->sectionSize(EntryListModel::WebColumn) - EntryListDelegate::kTextDx;
    const int drawnWidth = room > 0 ? fm.horizontalAdvance(fm.elidedText(address, Qt::ElideRight, room)) : 0;
    return x < drawnWidth;
}

void WebLinks::ListeMouseMove(const QPoint& viewportPos)
{
    const bool hand = linkPointerAt(viewportPos);
    if (hand == m_handShown)
        return;
    m_handShown = hand;
    QWidget* viewport = m_view->liste()->viewport();
    if (hand)
        viewport->setCursor(Qt::PointingHandCursor);
    else
        viewport->unsetCursor();
}

void WebLinks::ListeClick(const QPoint& viewportPos)
{
    EntryListView* list = m_view->liste();
    if (list->dropIndex() != -1)
        return;
    const QModelIndex row = list->indexAt(QPoint(kClickHitX, viewportPos.y()));
    if (!row.isValid())
        return;
    if (viewportPos.x() < EntryListDelegate::kIconSize && list->horizontalScrollBar()->value() == 0)
        return;
    if (m_view->selectedRow() != row.row())
        m_view->selectRow(row.row());
    if (linkPointerAt(viewportPos))
        m_timer->start();
}

void WebLinks::stopClickTimer()
{
    m_timer->stop();
}

void WebLinks::timerClickTimer()
{
    m_timer->stop();
    if (m_openUrl->isEnabled())
        m_openUrl->trigger();
}

bool WebLinks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_viewport)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        ListeMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        break;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            stopClickTimer();
            m_releaseEndsDoubleClick = true;
        }
        break;
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        if (m_releaseEndsDoubleClick)
            m_releaseEndsDoubleClick = false;
        else
            ListeClick(mouse->position().toPoint());
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

#include "app/gui/views/EntryListView.h"

#include "app/core/WebLink.h"
#include "app/gui/views/EntryListModel.h"
#include "lang/gui/WindowTranslation.h"

#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

QColor highlightColour(const QPalette& pal)
{
    // Always the active colours: the selection stays visible when the list loses the focus.
    return pal.color(QPalette::Active, QPalette::Highlight);
}

QColor highlightTextColour(const QPalette& pal)
{
    return pal.color(QPalette::Active, QPalette::HighlightedText);
}

QColor greyTextColour(const QPalette& pal)
{
    return pal.color(QPalette::Disabled, QPalette::Text);
}

QColor textColour(const QPalette& pal)
{
    return pal.color(QPalette::Active, QPalette::Text);
}

void drawOneLine(QPainter* painter, const QRect& area, const QString& text)
{
    if (area.width() <= 0)
        return;
    const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, area.width());
    // No mnemonic processing: "&" is drawn as such.
    painter->drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// EntryListHeader

EntryListHeader::EntryListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setStretchLastSection(true);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void EntryListHeader::setSortArrow(int section, bool up)
{
    const int old = m_arrowSection;
    m_arrowSection = section;
    m_arrowUp = up;
    if (old >= 0)
        updateSection(old);
    if (section >= 0)
        updateSection(section);
}

void EntryListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    // The style may leave its own clipping behind: keep the painter as it was given.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != m_arrowSection || !rect.isValid())
        return;
    painter->save();
    painter->setClipRect(rect);
    const QString title = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const int w = 8;
    const int h = 4;
    int x = rect.left() + margin + painter->fontMetrics().horizontalAdvance(title) + 8;
    x = std::min(x, rect.right() - margin - w);
    x = std::max(x, rect.left() + 2);
    const int y = rect.center().y() - h / 2;
    QPolygon triangle;
    if (m_arrowUp)
        triangle << QPoint(x, y + h) << QPoint(x + w, y + h) << QPoint(x + w / 2, y);
    else
        triangle << QPoint(x, y) << QPoint(x + w, y) << QPoint(x + w / 2, y + h);
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette().color(QPalette::ButtonText));
    painter->drawPolygon(triangle);
    painter->restore();
}

// ---------------------------------------------------------------------------------------------
// EntryListDelegate

EntryListDelegate::EntryListDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
}

QString EntryListDelegate::passwordMask()
{
    return QString(kMaskLength, QChar(0x25CF));
}

QString EntryListDelegate::shownText(const QModelIndex& index, bool passwordsHidden)
{
    if (passwordsHidden && index.column() == EntryListModel::PasswordColumn)
        return passwordMask();
    return index.data(Qt::DisplayRole).toString();
}

QFont EntryListDelegate::maskFont(const QFont& base)
{
    QFont f(base);
    f.setPixelSize(8);
    f.setUnderline(false);
    return f;
}

QRect EntryListDelegate::nameHighlightRect(const QRect& cell, const QFontMetrics& fm, const QString& name)
{
    const int textLeft = cell.left() + kIconSize + kTextDx;
    const int right = std::min(textLeft + fm.horizontalAdvance(name) + 4, cell.right() + 1);
    return QRect(QPoint(textLeft - 1, cell.top()), QPoint(right - 1, cell.bottom()));
}

void EntryListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect cell = option.rect;
    const QPalette& pal = option.palette;
    painter->save();
    painter->setFont(option.font);

    if (index.column() == EntryListModel::NameColumn) {
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        if (!icon.isNull()) {
            const QRect iconRect(cell.left() + kIconLeft, cell.top() + (cell.height() - kIconSize) / 2, kIconSize,
                                 kIconSize);
            icon.paint(painter, iconRect);
        }
        const QString name = index.data(Qt::DisplayRole).toString();
        const QRect area(QPoint(cell.left() + kIconSize + kTextDx, cell.top() + kTextDy), cell.bottomRight());
        if ((option.state & QStyle::State_Selected) && !m_dragging) {
            painter->fillRect(nameHighlightRect(cell, painter->fontMetrics(), name), highlightColour(pal));
            painter->setPen(highlightTextColour(pal));
        } else {
            painter->setPen(m_greyed ? greyTextColour(pal) : textColour(pal));
        }
        drawOneLine(painter, area, name);
        painter->restore();
        return;
    }

    const QRect area(QPoint(cell.left() + kTextDx, cell.top() + kTextDy), cell.bottomRight());
    if (index.column() == EntryListModel::PasswordColumn && m_passwordsHidden) {
        // The mask has its own font and colour: it stays in the text colour under the lock too.
        painter->setFont(maskFont(option.font));
        painter->setPen(textColour(pal));
        drawOneLine(painter, area.adjusted(0, 4, 0, 0), passwordMask());
    } else {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (index.column() == EntryListModel::WebColumn && IsWebLink(text)) {
            QFont f(option.font);
            f.setUnderline(true);
            painter->setFont(f);
            painter->setPen(highlightColour(pal));
        } else {
            painter->setPen(m_greyed ? greyTextColour(pal) : textColour(pal));
        }
        drawOneLine(painter, area, text);
    }
    painter->restore();
}

QSize EntryListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFontMetrics fm(option.font);
    const int height = std::max(kIconSize + 2, fm.height() + 2 * kTextDy);
    QString text = shownText(index, m_passwordsHidden);
    int width = fm.horizontalAdvance(text) + kTextDx + 6;
    if (index.column() == EntryListModel::NameColumn)
        width += kIconSize;
    return QSize(width, height);
}

// ---------------------------------------------------------------------------------------------
// EntryListView

EntryListView::EntryListView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("Liste"));
    m_header = new EntryListHeader(this);
    setHeader(m_header);
    // setHeader() makes the titles follow the view's sorting switch, which stays off: the list
    // sorts its own way on a title click.
    m_header->setSectionsClickable(true);
    connect(m_header, &QHeaderView::sectionResized, this, [this](int section) {
        if (section < EntryListModel::WebColumn)
            fitWebColumn();
    });
    m_delegate = new EntryListDelegate(this);
    setItemDelegate(m_delegate);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(EntryListDelegate::kIconSize, EntryListDelegate::kIconSize));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);

    const QString hint = QStringLiteral("Double-clic pour éditer un élément. Naviguez avec Tab, ou Entrée.");
    setToolTip(hint);
    setStatusTip(hint);
    // The path column of the search view takes no field of the list's table row.
    setProperty(kTableColumnsProperty, EntryListModel::kBaseColumns);
}

void EntryListView::setModel(QAbstractItemModel* model)
{
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QTreeView::setModel(model);
    if (model) {
        connect(model, &QAbstractItemModel::columnsInserted, this, &EntryListView::fitWebColumn);
        connect(model, &QAbstractItemModel::columnsRemoved, this, &EntryListView::fitWebColumn);
        connect(model, &QAbstractItemModel::modelReset, this, &EntryListView::fitWebColumn);
    }
    fitWebColumn();
}

void EntryListView::fitWebColumn()
{
    // The search view's path column comes last and is fitted to its texts: the header stretches
    // it as far as the room left goes.
    const int columns = model() ? model()->columnCount() : 0;
    const bool groupView = columns == EntryListModel::kBaseColumns;
    m_header->setStretchLastSection(!groupView);
    if (!groupView)
        return;
    // The web column takes exactly the room the others leave: the header's own stretch would
    // keep it at least as wide as it first was, past the right edge, with a horizontal scroll
    // bar for it. When the others take it all it keeps the width of its title, so the addresses
    // and their cell editor stay within reach by scrolling.
    int used = 0;
    for (int c = 0; c < EntryListModel::WebColumn; ++c)
        if (!m_header->isSectionHidden(c))
            used += m_header->sectionSize(c);
    const int room = std::max(webColumnLeast(), viewport()->width() - used);
    if (m_header->sectionSize(EntryListModel::WebColumn) != room)
        m_header->resizeSection(EntryListModel::WebColumn, room);
}

int EntryListView::webColumnLeast() const
{
    return m_header->sectionSizeHint(EntryListModel::WebColumn);
}

void EntryListView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    fitWebColumn();
}

EntryListModel* EntryListView::entryModel() const
{
    return qobject_cast<EntryListModel*>(model());
}

void EntryListView::setSortBandColumn(int column)
{
    if (column == m_bandColumn)
        return;
    m_bandColumn = column;
    viewport()->update();
}

void EntryListView::setPasswordsHidden(bool hidden)
{
    m_delegate->setPasswordsHidden(hidden);
    viewport()->update();
}

bool EntryListView::passwordsHidden() const
{
    return m_delegate->passwordsHidden();
}

void EntryListView::setGreyed(bool greyed)
{
    m_greyed = greyed;
    m_delegate->setGreyed(greyed);
    viewport()->update();
}

void EntryListView::setDropIndex(int index)
{
    if (index == m_dropIndex)
        return;
    m_dropIndex = index;
    m_delegate->setDragging(index != -1);
    viewport()->update();
}

QRect EntryListView::sortBandRect(int top, int height) const
{
    const int columns = model() ? model()->columnCount() : 0;
    if (m_bandColumn <= 0 || m_bandColumn > columns)
        return QRect();
    const int section = m_bandColumn - 1;
    const int left = header()->sectionViewportPosition(section);
    int right = left + header()->sectionSize(section);
    if (section == columns - 1)
        right = std::max(right, viewport()->width());
    return QRect(left, top, right - left, height);
}

QRect EntryListView::rowRect(int row) const
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return QRect();
    const QRect r = visualRect(model()->index(row, 0));
    return QRect(0, r.top(), viewport()->width(), r.height());
}

void EntryListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int top = option.rect.top();
    const int height = option.rect.height();
    const QPalette& pal = palette();
    painter->fillRect(QRect(0, top, viewport()->width(), height), pal.color(QPalette::Active, QPalette::Base));
    const QRect band = sortBandRect(top, height);
    if (band.isValid())
        painter->fillRect(band, QColor(kSortBandGrey, kSortBandGrey, kSortBandGrey));

    const bool selected = selectionModel() && selectionModel()->isRowSelected(index.row(), index.parent());
    const int columns = model()->columnCount(index.parent());
    for (int c = 0; c < columns; ++c) {
        if (header()->isSectionHidden(c))
            continue;
        const QRect cell(header()->sectionViewportPosition(c), top, header()->sectionSize(c), height);
        if (cell.right() < 0 || cell.left() > viewport()->width())
            continue;
        QStyleOptionViewItem opt(option);
        opt.rect = cell;
        opt.palette = pal;
        opt.state = selected ? (option.state | QStyle::State_Selected) : (option.state & ~QStyle::State_Selected);
        painter->save();
        painter->setClipRect(cell, Qt::IntersectClip);
        m_delegate->paint(painter, opt, model()->index(index.row(), c, index.parent()));
        painter->restore();
    }
}

void EntryListView::drawInsertionMark(QPainter* painter, const QRect& row) const
{
    const int L = row.left();
    const int R = row.right();
    const int T = row.top();
    QPolygon mark;
    mark << QPoint(L, T - 5) << QPoint(L + 4, T) << QPoint(R - 5, T) << QPoint(R, T - 6) << QPoint(R, T)
         << QPoint(R, T + 6) << QPoint(R - 4, T + 2) << QPoint(L + 4, T + 2) << QPoint(L, T + 6);
    painter->setPen(Qt::NoPen);
    painter->setBrush(highlightColour(palette()));
    painter->drawPolygon(mark);
}

void EntryListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    QPainter painter(viewport());
    const int rows = model() ? model()->rowCount() : 0;
    int emptyTop = 0;
    if (rows > 0) {
        const QRect last = rowRect(rows - 1);
        emptyTop = last.bottom() + 1;
    }
    if (emptyTop < viewport()->height()) {
        const QRect band = sortBandRect(emptyTop, viewport()->height() - emptyTop);
        if (band.isValid())
            painter.fillRect(band, QColor(kSortBandGrey, kSortBandGrey, kSortBandGrey));
    }
    if (m_dropIndex >= 0 && rows > 0) {
        QRect target;
        if (m_dropIndex < rows) {
            target = rowRect(m_dropIndex);
        } else {
            const QRect last = rowRect(rows - 1);
            target = QRect(last.left(), last.bottom() + 2, last.width(), last.height());
        }
        if (target.isValid())
            drawInsertionMark(&painter, target);
    }
}

void EntryListView::mousePressEvent(QMouseEvent* event)
{
    // The right button only opens the context menu, which selects a row itself, and only when
    // none is selected: the selected row stays what it was.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void EntryListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Moving a row by drag and drop

int EntryListView::dropIndexAt(int y) const
{
    const QModelIndex index = indexAt(QPoint(10, y));
    return index.isValid() ? index.row() : (model() ? model()->rowCount() : 0);
}

void EntryListView::startDrag(Qt::DropActions)
{
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (rows.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setData(QLatin1String(kRowMimeType), QByteArray::number(rows.first().row()));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // No drag image: the insertion mark shows where the row goes.
    QPixmap none(1, 1);
    none.fill(Qt::transparent);
    drag->setPixmap(none);
    viewport()->update();
    drag->exec(Qt::MoveAction);
    setDropIndex(-1);
    viewport()->update();
}

void EntryListView::dragEnterEvent(QDragEnterEvent* event)
{
    // Only rows dragged from this list.
    if (event->source() == this && event->mimeData()->hasFormat(QLatin1String(kRowMimeType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void EntryListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(QLatin1String(kRowMimeType))) {
        event->ignore();
        return;
    }
    setDropIndex(dropIndexAt(event->position().toPoint().y()));
    event->acceptProposedAction();
}

void EntryListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropIndex(-1);
    event->accept();
}

void EntryListView::dropEvent(QDropEvent* event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(QLatin1String(kRowMimeType))) {
        event->ignore();
        return;
    }
    bool ok = false;
    const int from = event->mimeData()->data(QLatin1String(kRowMimeType)).toInt(&ok);
    const int index = m_dropIndex >= 0 ? m_dropIndex : dropIndexAt(event->position().toPoint().y());
    setDropIndex(-1);
    event->acceptProposedAction();
    if (ok)
        emit rowDropped(from, index);
}

void EntryListView::keyPressEvent(QKeyEvent* event)
{
    // The view would copy the text of its current cell by itself (a password among them) whenever
    // the program's own Copy is disabled: only the program's clipboard commands copy.
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

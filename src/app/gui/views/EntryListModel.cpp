#include "app/gui/views/EntryListModel.h"

#include "app/gui/window/Icons.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentModel.h"
#include "lang/LangTable.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_titles = {QStringLiteral("Nom"), QStringLiteral("Login"), QStringLiteral("Mot de passe"),
                QStringLiteral("Adresse web"), QString()};
}

EntryListModel::RowIcon EntryListModel::entryIcon(const TFeuille& entry, bool searchRow)
{
    const bool notes = !entry.Notes.isEmpty();
    if (searchRow)
        return notes ? SearchNotesIcon : SearchIcon;
    if (entry.IsFtpEntry)
        return notes ? FtpKeyNotesIcon : FtpKeyIcon;
    return notes ? KeyNotesIcon : KeyIcon;
}

QString EntryListModel::iconName(RowIcon icon)
{
    switch (icon) {
    case KeyIcon:
        return QStringLiteral("key");
    case KeyNotesIcon:
        return QStringLiteral("key-notes");
    case FtpKeyIcon:
        return QStringLiteral("key-ftp");
    case FtpKeyNotesIcon:
        return QStringLiteral("key-ftp-notes");
    case SearchIcon:
        return QStringLiteral("key-search");
    case SearchNotesIcon:
        return QStringLiteral("key-search-notes");
    }
    return QString();
}

EntryListModel::Row EntryListModel::makeRow(TFeuille* entry, const QString& path, bool searchRow)
{
    Row row;
    row.entry = entry;
    row.texts = {entry->Name, entry->Login, entry->Password, entry->WebAddress, path};
    row.icon = entryIcon(*entry, searchRow);
    row.searchRow = searchRow;
    return row;
}

namespace {

// A row's copy of a password usually shares the entry's characters, and is then only let go; once
// the entry has changed or gone, the row is the last owner and wipes them.
void releasePassword(EntryListModel::Row& row)
{
    secureWipe(row.texts[EntryListModel::PasswordColumn]);
}

} // namespace

EntryListModel::~EntryListModel()
{
    for (Row& r : m_rows)
        releasePassword(r);
}

void EntryListModel::resetRows(std::vector<Row> rows)
{
    beginResetModel();
    for (Row& r : m_rows)
        releasePassword(r);
    m_rows = std::move(rows);
    endResetModel();
}

void EntryListModel::clear()
{
    if (m_rows.empty())
        return;
    resetRows({});
}

void EntryListModel::FillEntryList(const DocumentState& doc, quint32 groupId)
{
    std::vector<Row> rows;
    for (const auto& e : doc.Entries())
        if (e->Group == groupId)
            rows.push_back(makeRow(e.get()));
    resetRows(std::move(rows));
}

void EntryListModel::fillSearchRows(const std::vector<TFeuille*>& entries, const QStringList& paths)
{
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        rows.push_back(makeRow(entries[i], i < static_cast<size_t>(paths.size()) ? paths.at(int(i)) : QString(), true));
    resetRows(std::move(rows));
}

int EntryListModel::appendEntryRow(TFeuille* entry, const QString& path, bool searchRow)
{
    const int row = count();
    insertEntryRow(row, makeRow(entry, path, searchRow));
    return row;
}

void EntryListModel::insertEntryRow(int row, const Row& data)
{
    row = std::clamp(row, 0, count());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(m_rows.begin() + row, data);
    endInsertRows();
}

void EntryListModel::removeEntryRow(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    releasePassword(m_rows[static_cast<size_t>(row)]);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void EntryListModel::moveEntryRow(int from, int to)
{
    if (from < 0 || from >= count())
        return;
    to = std::clamp(to, 0, count());
    if (to == from || to == from + 1)
        return;
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), to);
    Row moved = std::move(m_rows[static_cast<size_t>(from)]);
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + (to > from ? to - 1 : to), std::move(moved));
    endMoveRows();
}

void EntryListModel::refreshRow(int row)
{
    if (row < 0 || row >= count() || !m_rows[static_cast<size_t>(row)].entry)
        return;
    Row& r = m_rows[static_cast<size_t>(row)];
    Row fresh = makeRow(r.entry, r.texts[PathColumn], r.searchRow);
    releasePassword(r);
    r = std::move(fresh);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void EntryListModel::setCellText(int row, int column, const QString& text)
{
    if (row < 0 || row >= count() || column < 0 || column > PathColumn)
        return;
    QString& cell = m_rows[static_cast<size_t>(row)].texts[static_cast<size_t>(column)];
    if (column == PasswordColumn && cell.constData() != text.constData())
        secureWipe(cell);
    cell = text;
    if (column < columnCount())
        emit dataChanged(index(row, column), index(row, column));
}

void EntryListModel::SetEntryIcon(int row)
{
    if (row < 0 || row >= count() || !m_rows[static_cast<size_t>(row)].entry)
        return;
    Row& r = m_rows[static_cast<size_t>(row)];
    r.icon = entryIcon(*r.entry, r.searchRow);
    emit dataChanged(index(row, NameColumn), index(row, NameColumn), {Qt::DecorationRole, RowIconRole});
}

TFeuille* EntryListModel::entryAt(int row) const
{
    return row >= 0 && row < count() ? m_rows[static_cast<size_t>(row)].entry : nullptr;
}

int EntryListModel::rowOf(const TFeuille* entry) const
{
    if (!entry)
        return -1;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].entry == entry)
            return static_cast<int>(i);
    return -1;
}

QString EntryListModel::cellText(int row, int column) const
{
    if (row < 0 || row >= count() || column < 0 || column > PathColumn)
        return QString();
    return m_rows[static_cast<size_t>(row)].texts[static_cast<size_t>(column)];
}

void EntryListModel::setPathColumn(bool on)
{
    if (on == m_pathColumn)
        return;
    if (on) {
        beginInsertColumns(QModelIndex(), PathColumn, PathColumn);
        m_pathColumn = true;
        m_titles[PathColumn] = Msg(QStringLiteral("Chemin"));
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), PathColumn, PathColumn);
        m_pathColumn = false;
        endRemoveColumns();
    }
}

void EntryListModel::setCollatorLocale(const QLocale& locale)
{
    m_collator = EntryTextCollator(locale);
}

void EntryListModel::sortRows(int sortCode)
{
    const int column = std::abs(sortCode);
    if (sortCode == 0 || column > columnCount() || m_rows.size() < 2)
        return;
    const size_t c = static_cast<size_t>(column - 1);
    const int sign = sortCode > 0 ? 1 : -1;

    const std::vector<int> order = CollatedOrder(
        count(), [this, c](int i) -> const QString& { return m_rows[size_t(i)].texts[c]; }, m_collator.locale(),
        sign < 0);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_rows[size_t(order[i])]));
        newRowOf[size_t(order[i])] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.append(index(newRowOf[size_t(idx.row())], idx.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int EntryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : (m_pathColumn ? kBaseColumns + 1 : kBaseColumns);
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= columnCount())
        return QVariant();
    const Row& r = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return r.texts[static_cast<size_t>(index.column())];
    case Qt::DecorationRole:
        if (index.column() == NameColumn)
            return tresorinIcon(iconName(r.icon));
        return QVariant();
    case EntryRole:
        return QVariant::fromValue(static_cast<void*>(r.entry));
    case RowIconRole:
        return static_cast<int>(r.icon);
    default:
        return QVariant();
    }
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_titles[static_cast<size_t>(section)];
    return QVariant();
}

bool EntryListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section > PathColumn ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    m_titles[static_cast<size_t>(section)] = value.toString();
    if (section < columnCount())
        emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
}

#pragma once

#include "app/core/EntrySort.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <vector>

class DocumentState;
struct TFeuille;

// The rows of the entry list. Each row refers to its entry and holds copies of the entry's texts
// (name, login, password, web address and, in the search view, the group path), so painting never
// reads an entry that a command may just have freed. The order of the rows is the model's own:
// it changes only when sortRows() is called or a command inserts, removes or moves a row.
class EntryListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn = 0,
        LoginColumn,
        PasswordColumn,
        WebColumn,
        PathColumn,
    };
    static constexpr int kBaseColumns = 4;

    // Icon of a row (SetEntryIcon), by FTP mark and notes; the search view has its own pair.
    enum RowIcon
    {
        KeyIcon,
        KeyNotesIcon,
        FtpKeyIcon,
        FtpKeyNotesIcon,
        SearchIcon,
        SearchNotesIcon,
    };

    enum Role
    {
        EntryRole = Qt::UserRole + 1, // TFeuille* as void*
        RowIconRole,                  // RowIcon as int
    };

    struct Row
    {
        TFeuille* entry = nullptr;
        std::array<QString, 5> texts; // by Column
        RowIcon icon = KeyIcon;
        bool searchRow = false;
    };

    explicit EntryListModel(QObject* parent = nullptr);
    ~EntryListModel() override;

    static RowIcon entryIcon(const TFeuille& entry, bool searchRow);
    static QString iconName(RowIcon icon);
    static Row makeRow(TFeuille* entry, const QString& path = QString(), bool searchRow = false);

    // --- filling (each resets the model) ---
    void clear();
    // One row per entry of the group, in Entries order.
    void FillEntryList(const DocumentState& doc, quint32 groupId);
    // Result rows of a search: `paths` gives the fifth column's text per entry.
    void fillSearchRows(const std::vector<TFeuille*>& entries, const QStringList& paths);

    // --- rows changed by commands ---
    int appendEntryRow(TFeuille* entry, const QString& path = QString(), bool searchRow = false);
    void insertEntryRow(int row, const Row& data);
    void removeEntryRow(int row);
    // Moves a row so that it lands before the row now at `to` (to == rowCount(): at the end).
    void moveEntryRow(int from, int to);
    void refreshRow(int row); // texts and icon copied again from the entry
    void setCellText(int row, int column, const QString& text);
    void SetEntryIcon(int row); // icon chosen again from the entry

    // --- access ---
    int count() const { return static_cast<int>(m_rows.size()); }
    const Row& rowAt(int row) const { return m_rows[static_cast<size_t>(row)]; }
    TFeuille* entryAt(int row) const;
    int rowOf(const TFeuille* entry) const; // -1 when no row shows it
    QString cellText(int row, int column) const;

    // --- the fifth column ---
    void setPathColumn(bool on); // its title becomes Msg("Chemin") each time it is switched on
    bool pathColumn() const { return m_pathColumn; }

    // --- sorting ---
    // Stable sort by sortCode (see EntrySort.h); 0 keeps the order. A code beyond the columns
    // present keeps the order too.
    void sortRows(int sortCode);
    void setCollatorLocale(const QLocale& locale);
    const EntryTextCollator& collator() const { return m_collator; }

    // --- QAbstractItemModel ---
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void resetRows(std::vector<Row> rows);

    std::vector<Row> m_rows;
    std::array<QString, 5> m_titles;
    bool m_pathColumn = false;
    EntryTextCollator m_collator;
};

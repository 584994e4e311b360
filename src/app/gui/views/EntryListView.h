#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTreeView>

class EntryListModel;

// Header of the entry list: clickable titles and the sort direction arrow drawn by the program
// (an up-pointing triangle for an ascending sort, down-pointing for a descending one).
class EntryListHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit EntryListHeader(QWidget* parent = nullptr);

    // Section 0-based, -1 for no arrow.
    void setSortArrow(int section, bool up);
    int sortArrowSection() const { return m_arrowSection; }
    bool sortArrowUp() const { return m_arrowUp; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    int m_arrowSection = -1;
    bool m_arrowUp = true;
};

// Paints one cell of the entry list as the program wants it (the list's own painting of rows is
// off): icon, texts moved right 6 and down 2 on one line with an ellipsis, the password mask,
// web links underlined in the highlight colour, grey texts under the read-only lock, and the
// name cell's highlight only as wide as the name.
class EntryListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int kIconSize = 16;
    static constexpr int kIconLeft = 4;
    static constexpr int kTextDx = 6;
    static constexpr int kTextDy = 2;
    static constexpr int kMaskLength = 13;

    explicit EntryListDelegate(QObject* parent = nullptr);

    // The fixed run of 13 bullets drawn in place of any password, empty ones included.
    static QString passwordMask();
    // The text a cell shows: the mask in the password column while passwords are hidden.
    static QString shownText(const QModelIndex& index, bool passwordsHidden);
    static QFont maskFont(const QFont& base);

    void setPasswordsHidden(bool hidden) { m_passwordsHidden = hidden; }
    bool passwordsHidden() const { return m_passwordsHidden; }
    void setGreyed(bool greyed) { m_greyed = greyed; }
    void setDragging(bool dragging) { m_dragging = dragging; }

    // Highlight rectangle of a selected name cell: from 1 pixel left of the name's text area to
    // the smaller of the name's end + 4 and column 1's right edge. `cell` is column 1's rectangle.
    static QRect nameHighlightRect(const QRect& cell, const QFontMetrics& fm, const QString& name);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool m_passwordsHidden = true;
    bool m_greyed = false;
    bool m_dragging = false;
};

// The entry list "Liste": a report view over EntryListModel with single selection, no editing by
// the view itself, the selection drawn without the focus too, uniform rows, and every row painted
// by EntryListDelegate over the window background and the sort band.
class EntryListView : public QTreeView
{
    Q_OBJECT
public:
    static constexpr int kSortBandGrey = 247;
    // What a row being dragged carries: its row number. Only drags of this list use it.
    static constexpr const char* kRowMimeType = "application/x-tresorin-row";

    explicit EntryListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    EntryListModel* entryModel() const;
    EntryListHeader* sortHeader() const { return m_header; }
    EntryListDelegate* entryDelegate() const { return m_delegate; }

    // Column of the sort band, 1-based; 0 for none (also for a column that is not present).
    void setSortBandColumn(int column);
    int sortBandColumn() const { return m_bandColumn; }
    void setPasswordsHidden(bool hidden);
    bool passwordsHidden() const;
    void setGreyed(bool greyed);
    bool greyed() const { return m_greyed; }
    // Insertion mark of an entry drag: before row `index`, after the last row for rowCount(),
    // none for -1. Also stops the name highlight while set.
    void setDropIndex(int index);
    int dropIndex() const { return m_dropIndex; }

    // Horizontal extent of the sort band in viewport coordinates (empty when no band).
    QRect sortBandRect(int top, int height) const;

    // The row index before which a row dragged over viewport height `y` lands: the row at that
    // height (hit tested 10 pixels from the left edge), else the number of rows.
    int dropIndexAt(int y) const;

signals:
    // A dragged row was dropped on the list before row `dropIndex` (the row count: after the last).
    void rowDropped(int fromRow, int dropIndex);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

public:
    // The narrowest the web column becomes: the width of its title.
    int webColumnLeast() const;

private:
    // In the group view the web column fills the list's width, and never more unless the others
    // leave less than the width of its title.
    void fitWebColumn();
    void drawInsertionMark(QPainter* painter, const QRect& row) const;
    QRect rowRect(int row) const;

    EntryListHeader* m_header = nullptr;
    EntryListDelegate* m_delegate = nullptr;
    int m_bandColumn = 0;
    int m_dropIndex = -1;
    bool m_greyed = false;
};

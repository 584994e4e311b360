#pragma once

#include <QCollator>
#include <QLocale>
#include <QString>

#include <functional>
#include <vector>

// Sort code of the entry list: 0 = document order, +k = ascending on column k (1-based),
// -k = descending.

// The code after a click on the title of `column` (1-based): the same column reverses the
// direction, another column sorts ascending.
int NextSortCode(int current, int column);

// The code restored at start-up from a saved value, given the number of columns present: the
// saved value itself, or 0 when it names no column present.
int RestoredSortCode(int saved, int columnCount);

// Compares list texts the way the user's locale does, ignoring letter case only: "e" equals "E",
// "e" differs from "é".
class EntryTextCollator
{
public:
    explicit EntryTextCollator(const QLocale& locale = QLocale::system());
    // -1, 0 or +1.
    int compare(const QString& a, const QString& b) const;
    // A key whose compare() orders as compare() does: cheaper for sorting many texts, each text
    // being prepared once instead of at every comparison.
    QCollatorSortKey sortKey(const QString& text) const;
    QLocale locale() const { return m_collator.locale(); }

private:
    QCollator m_collator;
};

// The positions 0..count-1 in the stable order of text(position) under the collator of `locale`,
// ascending, or descending when `descending` (equal texts keep their order either way). Large lists
// are prepared and sorted in two halves on two threads, then merged.
std::vector<int> CollatedOrder(int count, const std::function<const QString&(int)>& text, const QLocale& locale,
                               bool descending, int parts = 0);

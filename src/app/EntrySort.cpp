#include "app/EntrySort.h"

#include <cstdlib>

int NextSortCode(int current, int column)
{
    return std::abs(current) == column ? -current : column;
}

int RestoredSortCode(int saved, int columnCount)
{
    if (saved == 0 || saved < -columnCount || saved > columnCount)
        return 0;
    // The start-up sets the opposite code and clicks the column, which turns it back.
    return NextSortCode(-saved, std::abs(saved));
}

EntryTextCollator::EntryTextCollator(const QLocale& locale) : m_collator(locale)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false);
}

int EntryTextCollator::compare(const QString& a, const QString& b) const
{
    const int r = m_collator.compare(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

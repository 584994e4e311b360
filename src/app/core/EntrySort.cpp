#include "app/core/EntrySort.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <numeric>
#include <system_error>
#include <thread>

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

QCollatorSortKey EntryTextCollator::sortKey(const QString& text) const
{
    // The C locale's keys are the plain UTF-8 bytes, which would order "B" before "a" although
    // compare() ignores case there: fold first so that both agree.
    if (m_collator.locale().language() == QLocale::C)
        return m_collator.sortKey(text.toCaseFolded());
    return m_collator.sortKey(text);
}

std::vector<int> CollatedOrder(int count, const std::function<const QString&(int)>& text, const QLocale& locale,
                               bool descending, int parts)
{
    std::vector<int> order(size_t(std::max(count, 0)));
    std::iota(order.begin(), order.end(), 0);
    if (count < 2)
        return order;
    // Below this a second thread costs more than it saves.
    constexpr int kParallelFrom = 4096;
    if (parts <= 0)
        parts = count >= kParallelFrom && std::thread::hardware_concurrency() > 1 ? 2 : 1;
    parts = std::clamp(parts, 1, 2);

    // Each text is prepared for the locale's comparison once, not at each of the n log n comparisons.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(count));
    const EntryTextCollator first(locale);
    const int mid = parts == 2 ? count / 2 : count;
    for (int i = 0; i < mid; ++i)
        keys.push_back(first.sortKey(text(i)));
    const auto less = [&keys, descending](int a, int b) {
        const int c = keys[size_t(a)].compare(keys[size_t(b)]);
        return descending ? c > 0 : c < 0;
    };
    if (parts == 1) {
        std::stable_sort(order.begin(), order.end(), less);
        return order;
    }

    // The second half gets its keys from a collator of its own (one per thread, nothing shared) into
    // its own vector, then both halves are sorted at the same time and merged; std::merge takes the
    // first half's element on ties, which keeps the sort stable.
    std::vector<QCollatorSortKey> secondKeys;
    std::exception_ptr failure;
    const auto secondHalf = [&] {
        try {
            const EntryTextCollator own(locale);
            secondKeys.reserve(size_t(count - mid));
            for (int i = mid; i < count; ++i)
                secondKeys.push_back(own.sortKey(text(i)));
            const auto lessSecond = [&secondKeys, mid, descending](int a, int b) {
                const int c = secondKeys[size_t(a - mid)].compare(secondKeys[size_t(b - mid)]);
                return descending ? c > 0 : c < 0;
            };
            std::stable_sort(order.begin() + mid, order.end(), lessSecond);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    std::thread worker;
    try {
        worker = std::thread(secondHalf);
    } catch (const std::system_error&) {
        // No thread to be had (memory or process limits): this thread does both halves.
    }
    std::stable_sort(order.begin(), order.begin() + mid, less);
    if (worker.joinable())
        worker.join();
    else
        secondHalf();
    if (failure)
        std::rethrow_exception(failure);

    keys.insert(keys.end(), std::make_move_iterator(secondKeys.begin()), std::make_move_iterator(secondKeys.end()));
    secondKeys.clear();
    std::vector<int> merged(order.size());
    std::merge(order.begin(), order.begin() + mid, order.begin() + mid, order.end(), merged.begin(), less);
    return merged;
}

// The three-way merge on hostile and ordinary copies: every entry holding one creation date (so
// that every one is given an identity), listed in the opposite order on the other side, with a
// base; then an ordinary pair of copies of the same size with a few changes on each side.
//   ./build/bench/bench_syncmerge [entries ...]      (default: 200000)
#include "document/EntryIdentity.h"
#include "document/SyncMerge.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void fill(DocumentState& doc, int count, bool reversed, bool oneDate)
{
    TGroupe* group = doc.addGroup(QStringLiteral("G"));
    for (int i = 0; i < count; ++i) {
        const int n = reversed ? count - 1 - i : i;
        auto e = std::make_unique<TFeuille>();
        e->Group = group->Id;
        e->Name = QStringLiteral("entry %1").arg(n);
        e->Password = QStringLiteral("password %1").arg(n % 97);
        e->Created = oneDate ? 46000.5 : 40000 + n * 0.001;
        e->ModifiedAt = 46100;
        doc.appendEntry(std::move(e));
    }
}

double mergeMs(const DocumentState* base, const DocumentState& local, const DocumentState& remote, int* entries)
{
    DocumentState out;
    SyncMergeOptions options;
    options.now = 47000;
    QElapsedTimer timer;
    timer.start();
    SyncMerge3(base, local, remote, options, out);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    *entries = out.entryCount();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        if (const int n = std::atoi(argv[i]); n > 0)
            counts.push_back(n);
    if (counts.empty())
        counts = {200000};
    for (int count : counts) {
        {
            DocumentState doc;
            fill(doc, count, false, true);
            QElapsedTimer timer;
            timer.start();
            const int assigned = identity::assignIdentities(doc);
            std::printf("identities for %d entries of one creation date:        %8.0f ms (%d assigned)\n", count,
                        double(timer.nsecsElapsed()) / 1e6, assigned);
        }
        {
            DocumentState base;
            DocumentState local;
            DocumentState remote;
            fill(base, count, false, true);
            fill(local, count, false, true);
            fill(remote, count, true, true);
            int entries = 0;
            const double ms = mergeMs(&base, local, remote, &entries);
            std::printf("one creation date, %d entries, other order, with base: %8.0f ms (%d entries out)\n", count, ms,
                        entries);
        }
        {
            DocumentState base;
            DocumentState local;
            DocumentState remote;
            fill(base, count, false, false);
            fill(local, count, false, false);
            fill(remote, count, false, false);
            for (int i = 0; i < count; i += 1000) {
                local.entry(i)->Password = QStringLiteral("changed here");
                local.entry(i)->ModifiedAt = 46200;
                remote.entry(i + 1 < count ? i + 1 : i)->Notes = QStringLiteral("changed there");
            }
            int entries = 0;
            const double ms = mergeMs(&base, local, remote, &entries);
            std::printf("unique dates, %d entries, a few changes each side:   %8.0f ms (%d entries out)\n", count, ms,
                        entries);
        }
    }
    return 0;
}

// The earlier synchronising merge, by dates alone; it goes once every caller uses SyncMerge3.
#include "document/SyncMerge.h"

#include <QHash>
#include <QStringList>

#include <map>
#include <vector>

namespace {

// A group's names from the top, joined by a character no name can hold in a file.
QString pathOf(const TGroupe* group)
{
    QStringList names;
    for (const TGroupe* g = group; g; g = g->Parent)
        names.prepend(g->Name);
    return names.join(QChar(0));
}

bool sameFields(const TFeuille& a, const TFeuille& b)
{
    return a.Name == b.Name && a.Login == b.Login && a.Password == b.Password && a.WebAddress == b.WebAddress &&
           a.Notes == b.Notes && a.ModifiedAt == b.ModifiedAt;
}

} // namespace

SyncMergeResult SyncMerge(DocumentState& doc, const DocumentState& other)
{
    SyncMergeResult result;

    // Groups by path; the first of two same-named siblings stands for both.
    QHash<QString, TGroupe*> byPath;
    for (TGroupe* g : doc.groupsInOrder())
        byPath.insert(pathOf(g), g);
    QHash<quint32, quint32> groupOfOther; // Id in other -> Id in doc
    for (const TGroupe* g : other.groupsInOrder()) {
        const QString path = pathOf(g);
        TGroupe* mine = byPath.value(path);
        if (!mine) {
            // Pre-order: the parent was met (and made) before.
            TGroupe* parent = g->Parent ? byPath.value(pathOf(g->Parent)) : nullptr;
            mine = doc.addGroup(g->Name, parent);
            byPath.insert(path, mine);
            ++result.groupsAdded;
        }
        groupOfOther.insert(g->Id, mine->Id);
    }
    const auto groupInDoc = [&](quint32 otherId) { return groupOfOther.value(otherId, 0); };

    // The document's entries by creation date, in document order.
    std::map<DateTime, std::vector<TFeuille*>> byCreation;
    std::vector<TFeuille*> undated;
    for (const auto& e : doc.Entries()) {
        if (e->Created != 0)
            byCreation[e->Created].push_back(e.get());
        else
            undated.push_back(e.get());
    }
    const auto groupPath = [](const DocumentState& d, quint32 id) {
        const TGroupe* g = d.findGroup(id);
        return g ? pathOf(g) : QString();
    };

    std::map<DateTime, size_t> seen; // how many of the other's entries with that date were paired
    for (const auto& theirs : other.Entries()) {
        if (theirs->Created == 0) {
            const QString path = groupPath(other, theirs->Group);
            bool present = false;
            for (const TFeuille* mine : undated)
                present = present || (sameFields(*mine, *theirs) && groupPath(doc, mine->Group) == path);
            if (present)
                continue;
        } else {
            const size_t rank = seen[theirs->Created]++;
            const auto it = byCreation.find(theirs->Created);
            if (it != byCreation.end() && rank < it->second.size()) {
                TFeuille* mine = it->second[rank];
                if (theirs->ModifiedAt > mine->ModifiedAt) {
                    mine->Name = theirs->Name;
                    mine->Login = theirs->Login;
                    mine->Password = theirs->Password;
                    mine->WebAddress = theirs->WebAddress;
                    mine->Notes = theirs->Notes;
                    mine->ModifiedAt = theirs->ModifiedAt;
                    mine->Group = groupInDoc(theirs->Group);
                    ++result.entriesUpdated;
                }
                continue;
            }
        }
        auto copy = std::make_unique<TFeuille>(*theirs);
        copy->Group = groupInDoc(theirs->Group);
        copy->RemapMark = -1;
        // The mark designates the open document's own FTP site.
        copy->IsFtpEntry = false;
        doc.appendEntry(std::move(copy));
        ++result.entriesAdded;
    }
    result.contentChanged = result.entriesAdded || result.entriesUpdated || result.groupsAdded;
    return result;
}

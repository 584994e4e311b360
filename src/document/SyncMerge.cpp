#include "document/SyncMerge.h"

#include "document/EntryIdentity.h"
#include "document/GroupPaths.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Name, login, password, web address, notes; the group path is compared beside them.
constexpr int kTextFields = 5;

const QString& textField(const TFeuille& e, int field)
{
    switch (field) {
    case 0:
        return e.Name;
    case 1:
        return e.Login;
    case 2:
        return e.Password;
    case 3:
        return e.WebAddress;
    default:
        return e.Notes;
    }
}

QString& textField(TFeuille& e, int field)
{
    return const_cast<QString&>(textField(static_cast<const TFeuille&>(e), field));
}

bool sameBits(DateTime a, DateTime b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// One entry of one side as the merge compares it: its fields and where it is.
struct Version
{
    const TFeuille* entry = nullptr;
    int location = GroupPathTable::kRoot;

    explicit operator bool() const { return entry != nullptr; }
};

bool sameVersion(const Version& a, const Version& b)
{
    if (a.location != b.location)
        return false;
    for (int f = 0; f < kTextFields; ++f)
        if (textField(*a.entry, f) != textField(*b.entry, f))
            return false;
    return true;
}

// One input, copied, clamped and given unique identities.
struct Side
{
    DocumentState doc;
    DateTime saveDate = 0;
    int ftpIndex = -1;
    int clamped = 0;
    int assigned = 0;
    std::unordered_map<quint32, int> pathOfGroup;
    std::unordered_set<int> paths;
    std::vector<int> location; // of each entry
    QHash<quint64, int> byIdentity;
    mutable std::unordered_map<quint32, QByteArray> digests; // made when a conflict copy needs them

    Version version(int index) const { return Version{doc.entry(index), location[size_t(index)]}; }
    Version find(quint64 key) const
    {
        const auto it = byIdentity.constFind(key);
        return it == byIdentity.cend() ? Version{} : version(it.value());
    }
};

// Groups (in pre-order, so parents first) and entries of `from` into the empty `to`; an entry
// whose group is not in `from` goes to no group.
void copyContent(const DocumentState& from, DocumentState& to)
{
    std::unordered_map<quint32, TGroupe*> made;
    made.reserve(size_t(from.groupCount()));
    from.forEachGroup(
        [&](TGroupe* g) { made[g->Id] = to.addGroup(g->Name, g->Parent ? made.at(g->Parent->Id) : nullptr); });
    for (const auto& e : from.Entries()) {
        auto copy = std::make_unique<TFeuille>(*e);
        const auto group = made.find(e->Group);
        copy->Group = group == made.end() ? 0 : group->second->Id;
        copy->RemapMark = -1;
        to.appendEntry(std::move(copy));
    }
}

std::unique_ptr<Side> prepare(const DocumentState& input, GroupPathTable& paths, DateTime now)
{
    auto side = std::make_unique<Side>();
    copyContent(input, side->doc);
    side->saveDate = input.LocalDoc.SaveDate;
    side->ftpIndex = input.FtpEntryIndex();
    // Clamped first: clamped creation dates may collide and are then given identities.
    side->clamped = identity::clampFutureDates(side->doc, now);
    side->assigned = identity::assignIdentities(side->doc);
    side->pathOfGroup = paths.add(side->doc);
    for (const auto& [id, path] : side->pathOfGroup)
        side->paths.insert(path);
    const int n = side->doc.entryCount();
    side->location.resize(size_t(n));
    side->byIdentity.reserve(n);
    for (int i = 0; i < n; ++i) {
        const TFeuille& e = *side->doc.entry(i);
        const auto group = side->pathOfGroup.find(e.Group);
        side->location[size_t(i)] = group == side->pathOfGroup.end() ? GroupPathTable::kRoot : group->second;
        side->byIdentity.insert(identity::keyOf(e.Created), i);
    }
    return side;
}

// One entry of the result, before its group exists.
struct Item
{
    TFeuille entry;
    int location = GroupPathTable::kRoot;
    int localIndex = -1; // the local entry it comes from, -1 for one from the remote side only
};

// The losing version of a conflict, kept beside the entry.
struct Copy
{
    size_t after = 0; // the item it follows
    Version loser;
    const Side* side = nullptr;
};

class Merger
{
public:
    Merger(const Side* base, const Side& local, const Side& remote, GroupPathTable& paths,
           const SyncMergeOptions& options)
        : m_base(base), m_local(local), m_remote(remote), m_paths(paths), m_options(options)
    {
    }

    void run(DocumentState& out, SyncMergeResult& result);

private:
    bool wins(const Version& a, const Version& b);
    void pair(const Version& l, const Version& r, const Version& b, int localIndex);
    void keepWhole(const Version& v, int localIndex);
    void giveCopiesIdentities();
    std::vector<char> keptGroups() const;

    const Side* m_base;
    const Side& m_local;
    const Side& m_remote;
    GroupPathTable& m_paths;
    const SyncMergeOptions& m_options;
    std::vector<Item> m_items;
    std::vector<Copy> m_copies;
    std::vector<Item> m_copyItems; // the copies made into entries, in m_copies' order
};

// The winner of a conflict: the later change, else the greater version as text, the same on
// every computer whichever side each version is on.
bool Merger::wins(const Version& a, const Version& b)
{
    if (a.entry->ModifiedAt != b.entry->ModifiedAt)
        return a.entry->ModifiedAt > b.entry->ModifiedAt;
    for (int f = 0; f < kTextFields; ++f)
        if (const int c = QString::compare(textField(*a.entry, f), textField(*b.entry, f), Qt::CaseSensitive))
            return c > 0;
    const std::vector<int>& ranks = m_paths.ranks();
    return ranks[size_t(a.location)] > ranks[size_t(b.location)];
}

void Merger::keepWhole(const Version& v, int localIndex)
{
    Item item{*v.entry, v.location, localIndex};
    item.entry.IsFtpEntry = false;
    m_items.push_back(std::move(item));
}

void Merger::pair(const Version& l, const Version& r, const Version& b, int localIndex)
{
    Item item{*l.entry, l.location, localIndex};
    item.entry.IsFtpEntry = false;
    bool conflict[kTextFields + 1] = {};
    bool anyConflict = false;
    for (int f = 0; f <= kTextFields; ++f) {
        const auto same = [f](const Version& x, const Version& y) {
            return f == kTextFields ? x.location == y.location : textField(*x.entry, f) == textField(*y.entry, f);
        };
        if (same(l, r))
            continue;
        if (b && same(l, b)) { // changed on the remote side only
            if (f == kTextFields)
                item.location = r.location;
            else
                textField(item.entry, f) = textField(*r.entry, f);
        } else if (!b || !same(r, b)) {
            conflict[f] = anyConflict = true;
        }
    }
    if (anyConflict) {
        const bool localWins = wins(l, r);
        const Version& winner = localWins ? l : r;
        for (int f = 0; f <= kTextFields; ++f) {
            if (!conflict[f])
                continue;
            if (f == kTextFields)
                item.location = winner.location;
            else
                textField(item.entry, f) = textField(*winner.entry, f);
        }
        m_copies.push_back(Copy{m_items.size(), localWins ? r : l, localWins ? &m_remote : &m_local});
    }
    const Version merged{&item.entry, item.location};
    const bool asLocal = sameVersion(merged, l);
    const bool asRemote = sameVersion(merged, r);
    if (asLocal != asRemote)
        item.entry.ModifiedAt = asLocal ? l.entry->ModifiedAt : r.entry->ModifiedAt;
    else
        item.entry.ModifiedAt = std::max(l.entry->ModifiedAt, r.entry->ModifiedAt);
    m_items.push_back(std::move(item));
}

// Conflict copies get identities once every other identity is known, in the order of the
// identities they come from, so that both computers derive the same ones.
void Merger::giveCopiesIdentities()
{
    if (m_copies.empty())
        return;
    QSet<quint64> taken;
    for (const Side* side : {m_base, &m_local, &m_remote})
        if (side)
            for (auto it = side->byIdentity.cbegin(); it != side->byIdentity.cend(); ++it)
                taken.insert(it.key());
    for (const Item& item : m_items)
        taken.insert(identity::keyOf(item.entry.Created));
    std::vector<size_t> order(m_copies.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return m_copies[a].loser.entry->Created < m_copies[b].loser.entry->Created;
    });
    const auto isTaken = [&taken](DateTime value) { return taken.contains(identity::keyOf(value)); };
    m_copyItems.resize(m_copies.size());
    for (size_t i : order) {
        const Copy& copy = m_copies[i];
        const Side& side = *copy.side;
        if (side.digests.empty() && side.doc.groupCount() > 0)
            side.digests = identity::groupPathDigests(side.doc);
        const auto digest = side.digests.find(copy.loser.entry->Group);
        const quint64 hash = identity::contentHash(
            *copy.loser.entry, digest == side.digests.end() ? identity::rootPathDigest() : digest->second);
        Item item{*copy.loser.entry, copy.loser.location, -1};
        item.entry.Created = identity::derivedIdentity(copy.loser.entry->Created, hash, isTaken);
        taken.insert(identity::keyOf(item.entry.Created));
        item.entry.IsFtpEntry = false;
        item.entry.Name = m_options.conflictName(copy.loser.entry->Name, side.saveDate);
        m_copyItems[i] = std::move(item);
    }
}

std::vector<char> Merger::keptGroups() const
{
    std::vector<char> keep(size_t(m_paths.count()), 0);
    std::vector<int> marked;
    const auto mark = [&](int path) {
        if (path != GroupPathTable::kRoot && !keep[size_t(path)]) {
            keep[size_t(path)] = 1;
            marked.push_back(path);
        }
    };
    // On both sides, or added on one (not in the base; without a base: every group).
    for (const Side* side : {&m_local, &m_remote}) {
        const Side* other = side == &m_local ? &m_remote : &m_local;
        for (int path : side->paths)
            if (other->paths.count(path) || !m_base || !m_base->paths.count(path))
                mark(path);
    }
    // Deleted on one side: kept while something of the result lies below.
    for (const Item& item : m_items)
        mark(item.location);
    for (const Item& item : m_copyItems)
        mark(item.location);
    for (size_t i = 0; i < marked.size(); ++i)
        for (int up = m_paths.parentOf(marked[i]); up != GroupPathTable::kRoot && !keep[size_t(up)];
             up = m_paths.parentOf(up))
            keep[size_t(up)] = 1;
    return keep;
}

void Merger::run(DocumentState& out, SyncMergeResult& result)
{
    const auto baseVersion = [this](quint64 key) { return m_base ? m_base->find(key) : Version{}; };
    const quint64 ftpKey = m_local.ftpIndex >= 0 && m_local.ftpIndex < m_local.doc.entryCount()
                               ? identity::keyOf(m_local.doc.entry(m_local.ftpIndex)->Created)
                               : 0;
    const int localCount = m_local.doc.entryCount();
    m_items.reserve(size_t(localCount + m_remote.doc.entryCount()));
    int keptLocal = 0;
    for (int i = 0; i < localCount; ++i) {
        const Version l = m_local.version(i);
        const quint64 key = identity::keyOf(l.entry->Created);
        const Version r = m_remote.find(key);
        const Version b = baseVersion(key);
        if (ftpKey != 0 && key == ftpKey) {
            // Where the document synchronises is this computer's: never taken from the other side.
            keepWhole(l, i);
            if (r && !sameVersion(r, l) && (!b || !sameVersion(r, b)))
                m_copies.push_back(Copy{m_items.size() - 1, r, &m_remote});
        } else if (r) {
            pair(l, r, b, i);
        } else if (!b || !sameVersion(l, b)) {
            keepWhole(l, i); // added here, or changed here and deleted there
        } else {
            continue; // deleted on the remote side, unchanged here
        }
        ++keptLocal;
    }
    for (int i = 0; i < m_remote.doc.entryCount(); ++i) {
        const Version r = m_remote.version(i);
        const quint64 key = identity::keyOf(r.entry->Created);
        if (m_local.byIdentity.contains(key))
            continue;
        const Version b = baseVersion(key);
        if (!b || !sameVersion(r, b)) {
            keepWhole(r, -1);
            ++result.entriesAdded;
        }
    }
    giveCopiesIdentities();

    // Groups: local's order, then the remote side's own at the end of their parents' children.
    const std::vector<char> keep = keptGroups();
    std::vector<TGroupe*> made(size_t(m_paths.count()), nullptr);
    for (const Side* side : {&m_local, &m_remote}) {
        side->doc.forEachGroup([&](TGroupe* g) {
            const int path = side->pathOfGroup.at(g->Id);
            if (!keep[size_t(path)] || made[size_t(path)])
                return;
            const int parent = m_paths.parentOf(path);
            made[size_t(path)] =
                out.addGroup(m_paths.nameOf(path), parent == GroupPathTable::kRoot ? nullptr : made[size_t(parent)]);
            if (side == &m_remote)
                ++result.groupsAdded;
        });
    }
    for (int path : m_local.paths)
        if (!keep[size_t(path)])
            ++result.groupsDeleted;

    const auto place = [&](Item& item) {
        item.entry.Group = item.location == GroupPathTable::kRoot ? 0 : made[size_t(item.location)]->Id;
        out.appendEntry(std::make_unique<TFeuille>(std::move(item.entry)));
    };
    std::vector<std::vector<size_t>> copiesAfter(m_items.size());
    for (size_t i = 0; i < m_copies.size(); ++i)
        copiesAfter[m_copies[i].after].push_back(i);
    for (size_t i = 0; i < m_items.size(); ++i) {
        Item& item = m_items[i];
        if (item.localIndex >= 0) {
            const Version before = m_local.version(item.localIndex);
            if (!sameVersion(Version{&item.entry, item.location}, before) ||
                !sameBits(item.entry.ModifiedAt, before.entry->ModifiedAt))
                ++result.entriesUpdated;
        }
        const bool isFtpEntry = ftpKey != 0 && identity::keyOf(item.entry.Created) == ftpKey;
        place(item);
        if (isFtpEntry)
            out.setFtpEntry(out.entryCount() - 1);
        for (size_t c : copiesAfter[i])
            place(m_copyItems[c]);
    }
    result.entriesDeleted = localCount - keptLocal;
    result.conflictCopies = int(m_copies.size());
}

QString defaultConflictName(const QString& name, DateTime saveDate)
{
    const QDateTime when = datetime::toQDateTime(saveDate);
    return QStringLiteral("%1 (conflict copy, %2)")
        .arg(name, when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString());
}

} // namespace

SyncMergeResult SyncMerge3(const DocumentState* base, const DocumentState& local, const DocumentState& remote,
                           const SyncMergeOptions& options, DocumentState& out)
{
    Q_ASSERT(&out != base && &out != &local && &out != &remote);
    SyncMergeResult result;
    const DateTime now = options.now != 0 ? options.now : datetime::now();
    GroupPathTable paths;
    const std::unique_ptr<Side> baseSide = base ? prepare(*base, paths, now) : nullptr;
    const std::unique_ptr<Side> localSide = prepare(local, paths, now);
    const std::unique_ptr<Side> remoteSide = prepare(remote, paths, now);
    result.datesClamped = localSide->clamped + remoteSide->clamped;
    result.identitiesAssigned = localSide->assigned + remoteSide->assigned;

    SyncMergeOptions withName = options;
    if (!withName.conflictName)
        withName.conflictName = defaultConflictName;
    out.clearContent();
    Merger(baseSide.get(), *localSide, *remoteSide, paths, withName).run(out, result);
    result.contentChanged = !SameDocumentContent(out, local);
    return result;
}

bool SameDocumentContent(const DocumentState& a, const DocumentState& b)
{
    const std::vector<TGroupe*> ga = a.groupsInOrder();
    const std::vector<TGroupe*> gb = b.groupsInOrder();
    if (ga.size() != gb.size() || a.entryCount() != b.entryCount() || a.FtpEntryIndex() != b.FtpEntryIndex())
        return false;
    std::unordered_map<quint32, int> ia;
    std::unordered_map<quint32, int> ib;
    for (size_t i = 0; i < ga.size(); ++i) {
        ia[ga[i]->Id] = int(i);
        ib[gb[i]->Id] = int(i);
    }
    const auto indexIn = [](const std::unordered_map<quint32, int>& index, quint32 id) {
        const auto it = index.find(id);
        return it == index.end() ? -1 : it->second;
    };
    for (size_t i = 0; i < ga.size(); ++i) {
        const int pa = ga[i]->Parent ? ia.at(ga[i]->Parent->Id) : -1;
        const int pb = gb[i]->Parent ? ib.at(gb[i]->Parent->Id) : -1;
        if (ga[i]->Name != gb[i]->Name || pa != pb)
            return false;
    }
    for (int i = 0; i < a.entryCount(); ++i) {
        const TFeuille& x = *a.entry(i);
        const TFeuille& y = *b.entry(i);
        for (int f = 0; f < kTextFields; ++f)
            if (textField(x, f) != textField(y, f))
                return false;
        if (!sameBits(x.Created, y.Created) || !sameBits(x.ModifiedAt, y.ModifiedAt) || x.IsFtpEntry != y.IsFtpEntry ||
            indexIn(ia, x.Group) != indexIn(ib, y.Group))
            return false;
    }
    return true;
}

#include "document/DocumentModel.h"

#include "crypto/SecureBytes.h"

#include <algorithm>
#include <unordered_set>

void ResetDoc(TDoc& doc)
{
    doc = TDoc();
    const DateTime now = datetime::now();
    doc.SaveDate = now;
    doc.CreateDate = now;
}

int TGroupe::indexInParent(const std::vector<std::unique_ptr<TGroupe>>& topLevel) const
{
    const auto& siblings = Parent ? Parent->Children : topLevel;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

DocumentTicket::DocumentTicket(const DocumentState& doc) : m_doc(&doc), m_generation(doc.generation())
{
}

bool DocumentTicket::stillOpen() const
{
    return m_doc->generation() == m_generation;
}

TFeuille::~TFeuille()
{
    secureWipe(Password);
}

std::unique_ptr<TFeuille> NewEntry(const TGroupe* group, const QString& name)
{
    auto entry = std::make_unique<TFeuille>();
    entry->Group = group ? group->Id : 0;
    entry->Name = name;
    entry->Created = datetime::now();
    return entry;
}

DocumentState::DocumentState()
{
    ResetDoc(LocalDoc);
    ResetDoc(RemoteCopy);
    RemoteCopy.SaveDate = 0;
}

DocumentState::~DocumentState()
{
    // A file can nest groups many thousand levels deep; nested unique_ptr destructors would
    // recurse once per level, so the tree is taken apart iteratively.
    clearContent();
}

void DocumentState::SetModified(bool value)
{
    Modified = value;
    if (modifiedChanged)
        modifiedChanged();
}

TGroupe* DocumentState::findGroup(quint32 id) const
{
    return m_groupIndex.value(id, nullptr);
}

quint32 DocumentState::freshGroupId()
{
    while (m_nextGroupId == 0 || m_groupIndex.contains(m_nextGroupId))
        ++m_nextGroupId;
    return m_nextGroupId++;
}

TGroupe* DocumentState::addGroup(const QString& name, TGroupe* parent, int position)
{
    auto group = std::make_unique<TGroupe>();
    group->Id = freshGroupId();
    group->Name = name;
    group->Parent = parent;
    TGroupe* raw = group.get();
    auto& siblings = siblingsOf(parent);
    if (position < 0 || position > static_cast<int>(siblings.size()))
        siblings.push_back(std::move(group));
    else
        siblings.insert(siblings.begin() + position, std::move(group));
    m_groupIndex.insert(raw->Id, raw);
    return raw;
}

void DocumentState::forEachGroup(const std::function<void(TGroupe*)>& visit) const
{
    // Iterative pre-order so that very deep trees cannot exhaust the stack.
    std::vector<TGroupe*> stack;
    for (auto it = m_groups.rbegin(); it != m_groups.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TGroupe* g = stack.back();
        stack.pop_back();
        visit(g);
        for (auto it = g->Children.rbegin(); it != g->Children.rend(); ++it)
            stack.push_back(it->get());
    }
}

std::vector<TGroupe*> DocumentState::groupsInOrder() const
{
    std::vector<TGroupe*> out;
    out.reserve(static_cast<size_t>(m_groupIndex.size()));
    forEachGroup([&out](TGroupe* g) { out.push_back(g); });
    return out;
}

bool DocumentState::isAncestorOf(const TGroupe* ancestor, const TGroupe* group) const
{
    for (const TGroupe* g = group; g; g = g->Parent)
        if (g == ancestor)
            return true;
    return false;
}

void DocumentState::unindexSubtree(TGroupe* group, std::vector<quint32>& ids)
{
    std::vector<TGroupe*> stack{group};
    while (!stack.empty()) {
        TGroupe* g = stack.back();
        stack.pop_back();
        ids.push_back(g->Id);
        m_groupIndex.remove(g->Id);
        for (auto& c : g->Children)
            stack.push_back(c.get());
    }
}

void DocumentState::deleteGroup(TGroupe* group)
{
    if (!group)
        return;
    auto& siblings = siblingsOf(group->Parent);
    auto it = std::find_if(siblings.begin(), siblings.end(), [group](const auto& p) { return p.get() == group; });
    if (it == siblings.end())
        return; // not a group of this document
    std::vector<quint32> ids;
    unindexSubtree(group, ids);
    const std::unordered_set<quint32> gone(ids.begin(), ids.end());

    removeEntriesIf([&gone](const TFeuille& e) { return gone.count(e.Group) > 0; });

    // Children are destroyed iteratively: a degenerate chain of many thousand levels must not
    // overflow the stack through nested unique_ptr destructors.
    std::unique_ptr<TGroupe> owned = std::move(*it);
    siblings.erase(it);
    std::vector<std::unique_ptr<TGroupe>> pending;
    pending.push_back(std::move(owned));
    while (!pending.empty()) {
        std::unique_ptr<TGroupe> g = std::move(pending.back());
        pending.pop_back();
        for (auto& c : g->Children)
            pending.push_back(std::move(c));
    }
}

bool DocumentState::moveGroup(TGroupe* group, TGroupe* newParent, int position)
{
    if (!group || (newParent && isAncestorOf(group, newParent)))
        return false;
    auto& from = siblingsOf(group->Parent);
    auto it = std::find_if(from.begin(), from.end(), [group](const auto& p) { return p.get() == group; });
    if (it == from.end())
        return false;
    std::unique_ptr<TGroupe> owned = std::move(*it);
    from.erase(it);
    owned->Parent = newParent;
    auto& to = siblingsOf(newParent);
    if (position < 0 || position > static_cast<int>(to.size()))
        to.push_back(std::move(owned));
    else
        to.insert(to.begin() + position, std::move(owned));
    return true;
}

int DocumentState::indexOfEntry(const TFeuille* entry) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].get() == entry)
            return static_cast<int>(i);
    return -1;
}

std::vector<TFeuille*> DocumentState::GroupEntries(quint32 groupId) const
{
    std::vector<TFeuille*> out;
    for (const auto& e : m_entries)
        if (e->Group == groupId)
            out.push_back(e.get());
    return out;
}

TFeuille* DocumentState::appendEntry(std::unique_ptr<TFeuille> entry)
{
    return insertEntry(entryCount(), std::move(entry));
}

TFeuille* DocumentState::insertEntry(int index, std::unique_ptr<TFeuille> entry)
{
    index = std::clamp(index, 0, entryCount());
    TFeuille* raw = entry.get();
    m_entries.insert(m_entries.begin() + index, std::move(entry));
    if (m_ftpEntryIndex >= index)
        ++m_ftpEntryIndex;
    return raw;
}

std::unique_ptr<TFeuille> DocumentState::takeEntry(int index)
{
    if (index < 0 || index >= entryCount())
        return nullptr;
    std::unique_ptr<TFeuille> taken = std::move(m_entries[static_cast<size_t>(index)]);
    m_entries.erase(m_entries.begin() + index);
    if (m_ftpEntryIndex == index)
        m_ftpEntryIndex = -1;
    else if (m_ftpEntryIndex > index)
        --m_ftpEntryIndex;
    return taken;
}

void DocumentState::removeEntry(int index)
{
    takeEntry(index);
}

int DocumentState::removeEntriesIf(const std::function<bool(const TFeuille&)>& remove)
{
    EntryList kept;
    kept.reserve(m_entries.size());
    int ftpIndex = -1;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (remove(*m_entries[i]))
            continue;
        if (static_cast<int>(i) == m_ftpEntryIndex)
            ftpIndex = static_cast<int>(kept.size());
        kept.push_back(std::move(m_entries[i]));
    }
    const int removed = static_cast<int>(m_entries.size() - kept.size());
    m_entries = std::move(kept);
    m_ftpEntryIndex = ftpIndex;
    return removed;
}

void DocumentState::moveEntry(int from, int to)
{
    if (from < 0 || from >= entryCount())
        return;
    to = std::clamp(to, 0, entryCount());
    if (to == from || to == from + 1)
        return;
    const bool wasFtp = m_ftpEntryIndex == from;
    auto owned = takeEntry(from);
    if (to > from)
        --to;
    insertEntry(to, std::move(owned));
    if (wasFtp)
        m_ftpEntryIndex = to;
}

void DocumentState::setFtpEntry(int index)
{
    for (auto& e : m_entries)
        e->IsFtpEntry = false;
    if (index >= 0 && index < entryCount()) {
        m_entries[static_cast<size_t>(index)]->IsFtpEntry = true;
        m_ftpEntryIndex = index;
    } else {
        m_ftpEntryIndex = -1;
    }
}

void DocumentState::clearContent()
{
    ++m_generation;
    StrongKey.reset();
    m_entries.clear();
    std::vector<std::unique_ptr<TGroupe>> pending;
    for (auto& g : m_groups)
        pending.push_back(std::move(g));
    m_groups.clear();
    while (!pending.empty()) {
        std::unique_ptr<TGroupe> g = std::move(pending.back());
        pending.pop_back();
        for (auto& c : g->Children)
            pending.push_back(std::move(c));
    }
    m_groupIndex.clear();
    m_nextGroupId = 1;
    m_ftpEntryIndex = -1;
}

void DocumentState::reset()
{
    clearContent();
    ResetDoc(LocalDoc);
    ResetDoc(RemoteCopy);
    RemoteCopy.SaveDate = 0;
    secureWipe(MetaPassword);
    CurrentPath.clear();
    FtpMode = false;
    ReadOnlyLock = false;
    SetModified(false);
}

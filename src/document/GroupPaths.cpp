#include "document/GroupPaths.h"

#include <QHash>

#include <algorithm>

std::unordered_map<quint32, int> siblingOrdinals(const DocumentState& doc)
{
    std::unordered_map<quint32, int> ordinals;
    ordinals.reserve(size_t(doc.groupCount()));
    const auto number = [&ordinals](const DocumentState::GroupList& siblings) {
        QHash<QString, int> seen;
        for (const auto& g : siblings)
            ordinals[g->Id] = seen[g->Name]++;
    };
    number(doc.Groups());
    doc.forEachGroup([&number](TGroupe* g) { number(g->Children); });
    return ordinals;
}

size_t GroupPathTable::KeyHash::operator()(const Key& k) const
{
    return size_t(qHash(k.name)) ^ (size_t(quint32(k.parent)) * 0x9E3779B97F4A7C15ull) ^ (size_t(k.ordinal) << 1);
}

GroupPathTable::GroupPathTable()
{
    m_nodes.push_back(Node{});
}

int GroupPathTable::child(int parent, const QString& name, int ordinal)
{
    const Key key{parent, name, ordinal};
    const auto found = m_index.find(key);
    if (found != m_index.end())
        return found->second;
    const int id = int(m_nodes.size());
    m_nodes.push_back(Node{parent, name, ordinal});
    m_index.emplace(key, id);
    m_ranks.clear();
    return id;
}

std::unordered_map<quint32, int> GroupPathTable::add(const DocumentState& doc)
{
    const std::unordered_map<quint32, int> ordinals = siblingOrdinals(doc);
    std::unordered_map<quint32, int> pathOf;
    pathOf.reserve(ordinals.size());
    // Pre-order: a parent's path is known before its children are met.
    doc.forEachGroup([&](TGroupe* g) {
        const int parent = g->Parent ? pathOf.at(g->Parent->Id) : kRoot;
        pathOf[g->Id] = child(parent, g->Name, ordinals.at(g->Id));
    });
    return pathOf;
}

const std::vector<int>& GroupPathTable::ranks()
{
    if (m_ranks.size() == m_nodes.size())
        return m_ranks;
    std::vector<std::vector<int>> children(m_nodes.size());
    for (size_t i = 1; i < m_nodes.size(); ++i)
        children[size_t(m_nodes[i].parent)].push_back(int(i));
    const auto before = [this](int a, int b) {
        const Node& x = m_nodes[size_t(a)];
        const Node& y = m_nodes[size_t(b)];
        const int byName = QString::compare(x.name, y.name, Qt::CaseSensitive);
        return byName != 0 ? byName < 0 : x.ordinal < y.ordinal;
    };
    for (auto& list : children)
        std::sort(list.begin(), list.end(), before);
    // Pre-order over the sorted tree, iteratively: its order is the order of the paths as lists.
    m_ranks.assign(m_nodes.size(), 0);
    std::vector<int> stack{kRoot};
    int next = 0;
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        m_ranks[size_t(node)] = next++;
        const auto& list = children[size_t(node)];
        for (auto it = list.rbegin(); it != list.rend(); ++it)
            stack.push_back(*it);
    }
    return m_ranks;
}

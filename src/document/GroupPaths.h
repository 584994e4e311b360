#pragma once

#include "document/DocumentModel.h"

#include <QString>

#include <unordered_map>
#include <vector>

// Where a group is, told by names rather than by Id (which means nothing outside its document):
// the names from the top, each with its ordinal among same-named siblings, so that two sibling
// groups "Work" are "Work#0" and "Work#1" and are never taken for one another.

// For every group of doc, its ordinal among the earlier siblings of the same name.
std::unordered_map<quint32, int> siblingOrdinals(const DocumentState& doc);

// One table of group paths shared by several documents: each path is a small number, equal for
// equal paths whichever document it came from. Paths are interned one step at a time (parent,
// name, ordinal), so a tree thousands of levels deep costs one step per group, never its depth.
class GroupPathTable
{
public:
    static constexpr int kRoot = 0; // the empty path: entries without a group

    GroupPathTable();

    // The path of each group of doc, by group Id. Entries whose group is not found are at kRoot.
    std::unordered_map<quint32, int> add(const DocumentState& doc);
    // The path one step below parent.
    int child(int parent, const QString& name, int ordinal);

    int parentOf(int path) const { return m_nodes[size_t(path)].parent; }
    const QString& nameOf(int path) const { return m_nodes[size_t(path)].name; }
    int count() const { return int(m_nodes.size()); }

    // A number per path that orders paths as their lists of (name, ordinal) compare, names by
    // their characters: a parent comes before its children. Valid until the next path is added.
    const std::vector<int>& ranks();

private:
    struct Node
    {
        int parent = -1;
        QString name;
        int ordinal = 0;
    };
    struct Key
    {
        int parent;
        QString name;
        int ordinal;
        bool operator==(const Key& o) const { return parent == o.parent && ordinal == o.ordinal && name == o.name; }
    };
    struct KeyHash
    {
        size_t operator()(const Key& k) const;
    };

    std::vector<Node> m_nodes;
    std::unordered_map<Key, int, KeyHash> m_index;
    std::vector<int> m_ranks;
};

#include "document/DocumentCommands.h"

#include "crypto/SecureBytes.h"

#include <unordered_set>

namespace {

QString* fieldOf(TFeuille& entry, EntryField field)
{
    switch (field) {
    case EntryField::Name:
        return &entry.Name;
    case EntryField::Login:
        return &entry.Login;
    case EntryField::Password:
        return &entry.Password;
    case EntryField::WebAddress:
        return &entry.WebAddress;
    }
    return &entry.Name;
}

} // namespace

QString EntryFieldText(const TFeuille& entry, EntryField field)
{
    return *fieldOf(const_cast<TFeuille&>(entry), field);
}

FieldCommit CommitEntryField(DocumentState& doc, TFeuille& entry, EntryField field, const QString& text)
{
    if (field == EntryField::Name && text.isEmpty())
        return FieldCommit::EmptyNameRefused;
    QString* target = fieldOf(entry, field);
    if (*target != text)
        doc.SetModified(true);
    // A cell left untouched in a document already modified still dates the entry.
    if (doc.Modified)
        entry.ModifiedAt = datetime::now();
    // The password being replaced does not stay behind in freed memory (unless still shared).
    if (field == EntryField::Password && target->constData() != text.constData())
        secureWipe(*target);
    *target = text;
    return FieldCommit::Written;
}

bool CommitEntryNotes(DocumentState& doc, TFeuille& entry, const QString& notes)
{
    if (entry.Notes == notes)
        return false;
    entry.Notes = notes;
    entry.ModifiedAt = datetime::now();
    doc.SetModified(true);
    return true;
}

int DeleteGroupEntries(DocumentState& doc, const TGroupe* group)
{
    if (!group)
        return 0;
    std::unordered_set<quint32> ids;
    std::vector<const TGroupe*> stack{group};
    while (!stack.empty()) {
        const TGroupe* g = stack.back();
        stack.pop_back();
        ids.insert(g->Id);
        for (const auto& c : g->Children)
            stack.push_back(c.get());
    }
    return doc.removeEntriesIf([&ids](const TFeuille& e) { return ids.count(e.Group) > 0; });
}

bool GroupDeletionNeedsConfirmation(const TGroupe& group, int listedRows)
{
    return !group.Children.empty() || listedRows > 0;
}

bool ModifiedAfterGroupDeletion(const DocumentState& doc)
{
    return !doc.Groups().empty() || !doc.CurrentPath.isEmpty();
}

bool MoveEntryBeside(DocumentState& doc, TFeuille* entry, const TFeuille* target, bool after)
{
    if (!entry || !target || entry == target)
        return false;
    const int from = doc.indexOfEntry(entry);
    const int to = doc.indexOfEntry(target);
    if (from < 0 || to < 0)
        return false;
    doc.moveEntry(from, after ? to + 1 : to);
    return true;
}

bool MoveEntryToGroup(TFeuille& entry, const TGroupe& group)
{
    if (entry.Group == group.Id)
        return false;
    entry.Group = group.Id;
    return true;
}

GroupPlacement PlaceGroupMove(const DocumentState& doc, TGroupe* dragged, TGroupe* target)
{
    GroupPlacement p;
    if (!dragged || target == dragged || (target && doc.isAncestorOf(dragged, target)))
        return p;
    if (target == dragged->Parent) {
        const auto& siblings = target ? target->Children : doc.Groups();
        if (!target && siblings.back().get() == dragged)
            return p; // already the last top-level group
        p.kind = GroupPlacement::Move;
        p.parent = target;
        // A first child, or a top-level group dropped on empty space, goes last; any other
        // child goes first.
        p.first = target && siblings.front().get() != dragged;
        return p;
    }
    p.kind = GroupPlacement::Move;
    p.parent = target;
    p.first = false;
    return p;
}

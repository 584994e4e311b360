#pragma once

#include "document/DateTime.h"
#include "document/DocumentProtection.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// File-level properties of a document; they travel in the header of the document stream.
struct TDoc
{
    QString FileName;
    qint32 SaveCount = 0;
    DateTime SaveDate = 0;
    QString Reserved1; // no use, written back exactly as read
    QString Reserved2;
    bool SyncOn = false;
    QString ServerName;
    qint32 PortNumber = 21;
    bool PassiveMode = false;
    QString RemotePath;
    QString UserName;
    QString UserPassword;
    qint32 FormatVersion = 0; // format of the last stream read into this record, 0 if none
    DateTime CreateDate = 0;
    bool UseFtpEntry = false;
    // The container of the file, not a field of the stream: set by the reader from the stored
    // form, used by the writer for the next saves.
    DocumentProtection Protection;
};

// Gives every field its initial value (SaveDate and CreateDate become now).
void ResetDoc(TDoc& doc);

// One node of the group tree. Entries refer to their group by Id, which never changes
// while the group exists and is never 0.
struct TGroupe
{
    quint32 Id = 0;
    QString Name;
    TGroupe* Parent = nullptr;
    std::vector<std::unique_ptr<TGroupe>> Children;

    int indexInParent(const std::vector<std::unique_ptr<TGroupe>>& topLevel) const;
};

class DocumentState;

// Taken before a wait (a question, a dialog, a transfer): tells afterwards whether the document the
// step began with is still the one open. New, Open, the idle lock's close and every load replace
// the content and so end the ticket.
class DocumentTicket
{
public:
    explicit DocumentTicket(const DocumentState& doc);
    bool stillOpen() const;

private:
    const DocumentState* m_doc;
    quint64 m_generation;
};

// One entry of the document. Its password is wiped when the entry goes (when no other text still
// shares its characters: the last owner wipes).
struct TFeuille
{
    TFeuille() = default;
    TFeuille(const TFeuille&) = default;
    TFeuille(TFeuille&&) = default;
    TFeuille& operator=(const TFeuille&) = default;
    TFeuille& operator=(TFeuille&&) = default;
    ~TFeuille();

    quint32 Group = 0; // Id of the owning group, 0 = none
    qint32 RemapMark = -1;
    QString Name;
    QString Login;
    QString Password;
    QString WebAddress;
    QString Notes; // line breaks as CR LF
    DateTime Created = 0;
    DateTime ModifiedAt = 0;
    bool IsFtpEntry = false;
};

// A new entry for the given group (or none), named with the caller's localised default name.
std::unique_ptr<TFeuille> NewEntry(const TGroupe* group, const QString& name);

// The one open document and the state around it. Every operation that removes, inserts or moves
// entries goes through this class, so that FtpEntryIndex keeps designating the same entry.
class DocumentState
{
public:
    using GroupList = std::vector<std::unique_ptr<TGroupe>>;
    using EntryList = std::vector<std::unique_ptr<TFeuille>>;

    DocumentState();
    ~DocumentState();
    DocumentState(const DocumentState&) = delete;
    DocumentState& operator=(const DocumentState&) = delete;

    TDoc LocalDoc;
    TDoc RemoteCopy;
    QString MetaPassword;
    QString CurrentPath;
    bool Modified = false;
    bool FtpMode = false;
    bool ReadOnlyLock = false;
    // The key of a strong document, kept from its open or its last save so that saving again
    // does not derive it anew; used only while it matches MetaPassword and the protection's
    // parameters. Dropped with the content.
    mutable std::unique_ptr<strong::SealingKey> StrongKey;

    // Called by SetModified so the window can refresh its status bar.
    std::function<void()> modifiedChanged;
    void SetModified(bool value);

    // --- groups ---
    const GroupList& Groups() const { return m_groups; }
    TGroupe* findGroup(quint32 id) const;
    // Appends (position -1) or inserts a new group with a fresh Id under parent (nullptr: top level).
    TGroupe* addGroup(const QString& name, TGroupe* parent = nullptr, int position = -1);
    // Pre-order: a group, then its children's subtrees, then its next sibling.
    std::vector<TGroupe*> groupsInOrder() const;
    void forEachGroup(const std::function<void(TGroupe*)>& visit) const;
    // Deletes the group, its subgroups and every entry of any of them.
    void deleteGroup(TGroupe* group);
    // Moves a group under newParent (nullptr: top level) at position (-1: last). Refused (false) when
    // newParent is the group itself or one of its descendants.
    bool moveGroup(TGroupe* group, TGroupe* newParent, int position = -1);
    bool isAncestorOf(const TGroupe* ancestor, const TGroupe* group) const;
    int groupCount() const { return m_groupIndex.size(); }

    // --- entries ---
    const EntryList& Entries() const { return m_entries; }
    int entryCount() const { return static_cast<int>(m_entries.size()); }
    TFeuille* entry(int index) const { return m_entries[static_cast<size_t>(index)].get(); }
    int indexOfEntry(const TFeuille* entry) const;
    std::vector<TFeuille*> GroupEntries(quint32 groupId) const;
    TFeuille* appendEntry(std::unique_ptr<TFeuille> entry);
    TFeuille* insertEntry(int index, std::unique_ptr<TFeuille> entry);
    // Out-of-range indices take or remove nothing.
    std::unique_ptr<TFeuille> takeEntry(int index);
    void removeEntry(int index);
    // Removes every entry the predicate picks in one pass, keeping the order of the others and the
    // FTP mark on its entry (-1 when that entry goes). Returns how many were removed.
    int removeEntriesIf(const std::function<bool(const TFeuille&)>& remove);
    // Moves the entry at from so that it ends up at index to (indices of the list before the move,
    // to in 0..count: "insert before the entry now at to").
    void moveEntry(int from, int to);

    // FTP entry mark: at most one entry carries it after the user marks one.
    int FtpEntryIndex() const { return m_ftpEntryIndex; }
    TFeuille* ftpEntry() const { return m_ftpEntryIndex >= 0 ? entry(m_ftpEntryIndex) : nullptr; }
    // Marks the entry at index (clearing any other mark), or clears every mark with -1.
    void setFtpEntry(int index);
    // Used by readers: an entry that arrives marked becomes the designated one.
    void noteFtpEntryRead(int index) { m_ftpEntryIndex = index; }

    // Empties groups and entries (FtpEntryIndex -1). Document properties are left alone.
    void clearContent();
    // Counts the times the content was emptied (every load without append, New, ...): work started
    // for one document (the download of its FTP copy) can tell it is still the same one.
    quint64 generation() const { return m_generation; }
    // The state of a new document: no content, reset properties, untitled, clean.
    void reset();

private:
    void unindexSubtree(TGroupe* group, std::vector<quint32>& ids);
    quint32 freshGroupId();
    GroupList& siblingsOf(TGroupe* parent) { return parent ? parent->Children : m_groups; }

    GroupList m_groups;
    EntryList m_entries;
    QHash<quint32, TGroupe*> m_groupIndex;
    quint32 m_nextGroupId = 1;
    int m_ftpEntryIndex = -1;
    quint64 m_generation = 0;
};

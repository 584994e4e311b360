#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <functional>
#include <unordered_map>

// Within a document an entry's creation date-time (Created) is its identity, and it is unique:
// that is how two copies of one document kept in step through a server tell which entry is
// which. Every path that makes an entry gives it a fresh identity when its own is absent or
// taken, and a document whose entries lack unique identities (older versions wrote none; a
// pasted duplicate kept its original's) gets them before it is merged with another copy.
namespace identity {

// Values of Created below this mean "not recorded": 0, and the stand-ins in [1.0, 2.0) (a moment
// of the day 31 December 1899) given to entries that had none. Hints and exports show no date.
constexpr DateTime kFirstRecorded = 2.0;
inline bool isRecorded(DateTime created)
{
    return created >= kFirstRecorded; // false for NaN too
}

// The distance between two identities made from one date: 2^-36 day (about 1.3 microseconds),
// or the spacing of doubles at that date where it is coarser.
DateTime stepAt(DateTime value);

// A Created or ModifiedAt later than now + 1 day, or not a number, becomes now: a date far in the
// future (31 Dec 9999) would otherwise win over every later edit forever. Returns how many dates
// changed. The document form clamps the entries from index `from` on.
int clampFutureDates(TFeuille& entry, DateTime now);
int clampFutureDates(DocumentState& doc, DateTime now, int from = 0);

// Gives every entry whose Created is 0, not finite, or held by more than one entry a new identity,
// and returns how many changed. All holders of a shared value are given new ones (none keeps it:
// nothing tells which one is the original). The new value is derived from the entry's content
// (fields, ModifiedAt, group path, old Created), so that two computers holding the same entry
// derive the same identity, whatever the order of their entries:
//  - an entry with a date: that date + k steps, k = 1 + (h mod 2^24): the shown date barely moves;
//  - an entry without (0, not finite, or outside the calendar): 1.0 + k steps, k = h mod 2^32,
//    inside the day reserved for "not recorded";
//  - an identity already taken: k + 1, k + 2...
// A document whose identities are unique is left as it is (returns 0).
int assignIdentities(DocumentState& doc);

// The identity for an entry that a command makes (new, paste while the original remains,
// import, File > Merge): `wanted` (its own date; now when 0 or not finite) when no entry of doc
// holds it, else wanted + k steps for the smallest k >= 1 that is free. Existing entries keep
// theirs.
DateTime freshIdentity(const DocumentState& doc, DateTime wanted, DateTime now);
DateTime freshIdentity(const DocumentState& doc, DateTime wanted);

// The identities taken so far, for making many fresh ones in one pass (an import of 100,000
// entries at one date costs one step each, not the whole list).
class IdentityPool
{
public:
    void add(DateTime taken);
    bool contains(DateTime value) const;
    // freshIdentity's rule against this pool; the value returned is taken.
    DateTime take(DateTime wanted, DateTime now);

private:
    QSet<quint64> m_taken;
    QHash<quint64, quint64> m_nextStep; // for a wanted value: the next k to try
};

// The entries of doc from index `from` on were just made (appended by an import or a merge):
// each gets freshIdentity's identity against the entries before it. Returns how many changed.
int makeIdentitiesFresh(DocumentState& doc, int from, DateTime now);

// --- the derivation, shared with the synchronising merge -----------------------------------

// The key of an identity in sets and maps: the value's bits (0 and -0 alike).
quint64 keyOf(DateTime value);

// A digest of every group's path (names and ordinals from the top), by group Id.
std::unordered_map<quint32, QByteArray> groupPathDigests(const DocumentState& doc);
// The digest standing for "no group".
QByteArray rootPathDigest();

// A stable 64-bit hash (SHA-256, truncated) of an entry's fields, ModifiedAt, group path digest
// and Created.
quint64 contentHash(const TFeuille& entry, const QByteArray& pathDigest);

// The identity derived from an old Created and a content hash, skipping every value `taken`
// says is taken (and 0).
DateTime derivedIdentity(DateTime oldCreated, quint64 hash, const std::function<bool(DateTime)>& taken);

} // namespace identity

#pragma once

#include "document/DocumentModel.h"

#include <QString>

#include <optional>
#include <unordered_set>
#include <vector>

// Which copy of a synchronised document descends from which. Dates cannot tell (clocks differ,
// a copy may say 31 Dec 9999, two saves may fall in one millisecond), so every counted save of a
// document whose SyncOn is set adds a random id to a chain kept in the header field Reserved1,
// which every implementation writes back exactly as it read it:
//     TSL1 <savedate> <id1> <id2> ... <idn>
// <savedate> is the SaveDate of the save that added the last id and every id 16 lower-case hex
// digits (the date as the bits of its double). A copy's own version is its last id while its
// SaveDate is still that one; a writer that keeps no chain changes the date and leaves the
// chain, so its copy descends from the last id without being it.
namespace lineage {

constexpr int kMaxIds = 64;           // the oldest ids drop off beyond this
constexpr int kMaxFieldLength = 2000; // a longer Reserved1 is no chain

struct Chain
{
    quint64 saveDateBits = 0; // 0: no own version (a merge result before its counted save)
    std::vector<quint64> ids; // oldest first, at least one, no id twice
};

// The chain in a Reserved1, or nothing for any other text (empty, another program's, malformed,
// too long, ids that are not 16 hex digits, an id twice).
std::optional<Chain> parse(const QString& reserved1);
QString format(const Chain& chain);

// The copy's own version, when its header says it (see above).
std::optional<quint64> ownVersion(const TDoc& header);
// Every id of the copy's chain (its own version included when known).
std::unordered_set<quint64> ancestors(const TDoc& header);

// The ids both copies descend from: where the base of their merge is looked for.
std::unordered_set<quint64> commonAncestors(const TDoc& a, const TDoc& b);

// 16 lower-case hex digits, the way ids are written (and the base store names its files).
QString idText(quint64 id);

// A counted save: a document whose SyncOn is set gets a new random id at the end of its chain
// (a new chain when Reserved1 is empty) and <savedate> = its SaveDate, which the caller has just
// set. A Reserved1 that holds something else is left alone, and so is every header whose SyncOn
// is off.
void recordCountedSave(TDoc& header);

enum class SyncRelation
{
    Same,           // the same version on both sides
    RemoteDescends, // the remote copy was saved from this one (or after it): take it
    LocalDescends,  // this copy was saved from the remote one: upload it
    Diverged,       // both changed, or nothing tells: merge
};
// Same when both own versions are known and equal; RemoteDescends when the local own version is
// known and in the remote chain (LocalDescends the other way round; both at once is no history
// and gives Diverged); otherwise Diverged, except that, when either own version is unknown, equal
// SaveDate and SaveCount count as Same (copies written by versions that kept no chain).
SyncRelation relate(const TDoc& local, const TDoc& remote);

// The chain of a merge result, before the counted save that follows it: the local chain, then the
// remote ids it lacks (in their order), the oldest dropped beyond kMaxIds. Its own version stays
// unknown until that save, which adds the result's id. Replaces whatever Reserved1 local held.
void mergeLineage(TDoc& local, const TDoc& remote);

} // namespace lineage

#include "document/Lineage.h"

#include "crypto/RandomBytes.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace lineage {

namespace {

const QString kMagic = QStringLiteral("TSL1");

bool parseHex16(QStringView text, quint64& out)
{
    if (text.size() != 16)
        return false;
    quint64 value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else
            return false;
        value = value << 4 | quint64(digit);
    }
    out = value;
    return true;
}

quint64 bitsOf(DateTime value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void dropOldest(Chain& chain)
{
    if (chain.ids.size() > size_t(kMaxIds))
        chain.ids.erase(chain.ids.begin(), chain.ids.end() - kMaxIds);
}

} // namespace

QString idText(quint64 id)
{
    return QStringLiteral("%1").arg(id, 16, 16, QLatin1Char('0'));
}

std::optional<Chain> parse(const QString& reserved1)
{
    if (reserved1.size() > kMaxFieldLength || !reserved1.startsWith(kMagic + QLatin1Char(' ')))
        return std::nullopt;
    const QList<QStringView> words = QStringView(reserved1).split(QLatin1Char(' '));
    // The magic, the date, then 1 to kMaxIds ids; single spaces only (an empty word fails below).
    if (words.size() < 3 || words.size() > 2 + kMaxIds)
        return std::nullopt;
    Chain chain;
    if (!parseHex16(words[1], chain.saveDateBits))
        return std::nullopt;
    std::unordered_set<quint64> seen;
    for (qsizetype i = 2; i < words.size(); ++i) {
        quint64 id = 0;
        if (!parseHex16(words[i], id) || !seen.insert(id).second)
            return std::nullopt;
        chain.ids.push_back(id);
    }
    return chain;
}

QString format(const Chain& chain)
{
    QString text = kMagic + QLatin1Char(' ') + idText(chain.saveDateBits);
    for (quint64 id : chain.ids)
        text += QLatin1Char(' ') + idText(id);
    return text;
}

std::optional<quint64> ownVersion(const TDoc& header)
{
    const std::optional<Chain> chain = parse(header.Reserved1);
    if (!chain || chain->saveDateBits == 0 || chain->saveDateBits != bitsOf(header.SaveDate))
        return std::nullopt;
    return chain->ids.back();
}

std::unordered_set<quint64> ancestors(const TDoc& header)
{
    const std::optional<Chain> chain = parse(header.Reserved1);
    if (!chain)
        return {};
    return std::unordered_set<quint64>(chain->ids.begin(), chain->ids.end());
}

std::unordered_set<quint64> commonAncestors(const TDoc& a, const TDoc& b)
{
    const std::unordered_set<quint64> first = ancestors(a);
    std::unordered_set<quint64> both;
    for (quint64 id : ancestors(b))
        if (first.count(id))
            both.insert(id);
    return both;
}

void recordCountedSave(TDoc& header)
{
    if (!header.SyncOn)
        return;
    Chain chain;
    if (!header.Reserved1.isEmpty()) {
        std::optional<Chain> read = parse(header.Reserved1);
        if (!read)
            return; // someone else's text: never overwritten by a save
        chain = std::move(*read);
    }
    quint64 id = 0;
    do
        id = crypto::randomU64();
    while (std::find(chain.ids.begin(), chain.ids.end(), id) != chain.ids.end());
    chain.ids.push_back(id);
    dropOldest(chain);
    chain.saveDateBits = bitsOf(header.SaveDate);
    header.Reserved1 = format(chain);
}

SyncRelation relate(const TDoc& local, const TDoc& remote)
{
    const std::optional<quint64> mine = ownVersion(local);
    const std::optional<quint64> theirs = ownVersion(remote);
    if (mine && theirs && *mine == *theirs)
        return SyncRelation::Same;
    const bool remoteDescends = mine && ancestors(remote).count(*mine) > 0;
    const bool localDescends = theirs && ancestors(local).count(*theirs) > 0;
    if (remoteDescends != localDescends)
        return remoteDescends ? SyncRelation::RemoteDescends : SyncRelation::LocalDescends;
    if (!remoteDescends && (!mine || !theirs) && local.SaveCount == remote.SaveCount &&
        bitsOf(local.SaveDate) == bitsOf(remote.SaveDate))
        return SyncRelation::Same;
    return SyncRelation::Diverged;
}

void mergeLineage(TDoc& local, const TDoc& remote)
{
    Chain merged;
    std::unordered_set<quint64> seen;
    for (const TDoc* side : {static_cast<const TDoc*>(&local), &remote}) {
        if (const std::optional<Chain> chain = parse(side->Reserved1))
            for (quint64 id : chain->ids)
                if (seen.insert(id).second)
                    merged.ids.push_back(id);
    }
    dropOldest(merged);
    // No date: the result is no version of its own until its counted save gives it one.
    merged.saveDateBits = 0;
    local.Reserved1 = merged.ids.empty() ? QString() : format(merged);
}

} // namespace lineage

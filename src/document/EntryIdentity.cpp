#include "document/EntryIdentity.h"

#include "crypto/Sha256.h"
#include "document/GroupPaths.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace identity {

namespace {

// 31 December 9999, the last day the calendar of the dates shown holds.
constexpr DateTime kLastCalendarDay = 2958466.0;

bool isIdentity(DateTime value)
{
    return std::isfinite(value) && value != 0;
}

void addU64(crypto::Sha256& hash, quint64 value)
{
    const quint64 le = qToLittleEndian(value);
    hash.add(QByteArrayView(reinterpret_cast<const char*>(&le), sizeof le));
}

// The characters as little-endian UTF-16, without a copy of the text (a password among them)
// where the machine already stores them so.
void addText(crypto::Sha256& hash, const QString& text)
{
    addU64(hash, quint64(text.size()));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    hash.add(QByteArrayView(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
#else
    char buffer[512];
    qsizetype done = 0;
    while (done < text.size()) {
        const qsizetype n = std::min<qsizetype>(text.size() - done, sizeof buffer / 2);
        for (qsizetype i = 0; i < n; ++i)
            qToLittleEndian<quint16>(text.at(done + i).unicode(), buffer + 2 * i);
        hash.add(QByteArrayView(buffer, n * 2));
        done += n;
    }
    std::memset(buffer, 0, sizeof buffer);
#endif
}

quint64 bitsOf(DateTime value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Where a command's entry starts looking for a free identity.
DateTime wantedOrNow(DateTime wanted, DateTime now)
{
    return isIdentity(wanted) && wanted <= kLastCalendarDay ? wanted : now;
}

} // namespace

quint64 keyOf(DateTime value)
{
    return value == 0 ? 0 : bitsOf(value);
}

DateTime stepAt(DateTime value)
{
    const DateTime step = std::ldexp(1.0, -36);
    if (!std::isfinite(value))
        return step;
    const DateTime magnitude = std::fabs(value);
    return std::max(step, std::nextafter(magnitude, HUGE_VAL) - magnitude);
}

int clampFutureDates(TFeuille& entry, DateTime now)
{
    const DateTime limit = now + 1.0;
    int changed = 0;
    for (DateTime* date : {&entry.Created, &entry.ModifiedAt}) {
        if (std::isnan(*date) || *date > limit) {
            *date = now;
            ++changed;
        }
    }
    return changed;
}

int clampFutureDates(DocumentState& doc, DateTime now, int from)
{
    int changed = 0;
    for (int i = std::max(from, 0); i < doc.entryCount(); ++i)
        changed += clampFutureDates(*doc.entry(i), now);
    return changed;
}

QByteArray rootPathDigest()
{
    return QByteArray(32, '\0');
}

std::unordered_map<quint32, QByteArray> groupPathDigests(const DocumentState& doc)
{
    const std::unordered_map<quint32, int> ordinals = siblingOrdinals(doc);
    std::unordered_map<quint32, QByteArray> digests;
    digests.reserve(ordinals.size());
    const QByteArray root = rootPathDigest();
    crypto::Sha256 hash;
    doc.forEachGroup([&](TGroupe* g) {
        hash.reset();
        hash.add(QByteArrayView("TSG1", 4));
        hash.add(g->Parent ? digests.at(g->Parent->Id) : root);
        addText(hash, g->Name);
        addU64(hash, quint64(ordinals.at(g->Id)));
        digests[g->Id] = hash.result();
    });
    return digests;
}

namespace {

quint64 contentHashWith(crypto::Sha256& hash, const TFeuille& entry, const QByteArray& pathDigest)
{
    hash.reset();
    hash.add(QByteArrayView("TSE1", 4));
    for (const QString* field : {&entry.Name, &entry.Login, &entry.Password, &entry.WebAddress, &entry.Notes})
        addText(hash, *field);
    addU64(hash, keyOf(entry.ModifiedAt));
    hash.add(pathDigest);
    addU64(hash, keyOf(entry.Created));
    unsigned char digest[crypto::Sha256::kLength];
    hash.result(digest);
    return qFromLittleEndian<quint64>(digest);
}

} // namespace

quint64 contentHash(const TFeuille& entry, const QByteArray& pathDigest)
{
    crypto::Sha256 hash;
    return contentHashWith(hash, entry, pathDigest);
}

DateTime derivedIdentity(DateTime oldCreated, quint64 hash, const std::function<bool(DateTime)>& taken)
{
    const bool dated = isIdentity(oldCreated) && std::fabs(oldCreated) <= kLastCalendarDay;
    const DateTime origin = dated ? oldCreated : 1.0;
    const DateTime step = stepAt(origin);
    // The values grow with k and the taken ones are finitely many: the loop ends.
    for (quint64 k = dated ? 1 + (hash & 0xFFFFFFu) : (hash & 0xFFFFFFFFu);; ++k) {
        const DateTime candidate = origin + DateTime(k) * step;
        if (isIdentity(candidate) && !taken(candidate))
            return candidate;
    }
}

int assignIdentities(DocumentState& doc)
{
    const int n = doc.entryCount();
    // Qt's hash tables keep their items in blocks: a million entries cost a few allocations, not
    // a million.
    QHash<quint64, int> holders;
    holders.reserve(n);
    for (int i = 0; i < n; ++i)
        if (isIdentity(doc.entry(i)->Created))
            ++holders[keyOf(doc.entry(i)->Created)];

    QSet<quint64> taken;
    taken.reserve(n);
    std::vector<int> rekeyed;
    for (int i = 0; i < n; ++i) {
        const DateTime created = doc.entry(i)->Created;
        if (isIdentity(created) && holders.value(keyOf(created)) == 1)
            taken.insert(keyOf(created));
        else
            rekeyed.push_back(i);
    }
    if (rekeyed.empty())
        return 0;

    const std::unordered_map<quint32, QByteArray> digests = groupPathDigests(doc);
    const QByteArray root = rootPathDigest();
    struct Holder
    {
        DateTime old;
        quint64 hash;
        int index;
    };
    std::vector<Holder> order;
    order.reserve(rekeyed.size());
    crypto::Sha256 hash;
    for (int i : rekeyed) {
        const TFeuille& e = *doc.entry(i);
        const auto digest = digests.find(e.Group);
        order.push_back(Holder{isIdentity(e.Created) ? e.Created : 0.0,
                               contentHashWith(hash, e, digest == digests.end() ? root : digest->second), i});
    }
    // An order that does not depend on the document's: two copies listing the same entries
    // differently derive the same identities (the index only separates identical entries).
    std::sort(order.begin(), order.end(), [](const Holder& a, const Holder& b) {
        if (a.old != b.old)
            return a.old < b.old;
        if (a.hash != b.hash)
            return a.hash < b.hash;
        return a.index < b.index;
    });
    const auto isTaken = [&taken](DateTime value) { return taken.contains(keyOf(value)); };
    for (const Holder& h : order) {
        const DateTime fresh = derivedIdentity(doc.entry(h.index)->Created, h.hash, isTaken);
        taken.insert(keyOf(fresh));
        doc.entry(h.index)->Created = fresh;
    }
    return int(order.size());
}

void IdentityPool::add(DateTime taken)
{
    if (isIdentity(taken))
        m_taken.insert(keyOf(taken));
}

bool IdentityPool::contains(DateTime value) const
{
    return m_taken.contains(keyOf(value));
}

DateTime IdentityPool::take(DateTime wanted, DateTime now)
{
    wanted = wantedOrNow(wanted, now);
    const quint64 key = keyOf(wanted);
    if (!m_taken.contains(key)) {
        m_taken.insert(key);
        return wanted;
    }
    // Many entries wanting one date (an import made at one moment) go on from where the last
    // one stopped instead of stepping over all of them again.
    quint64& k = m_nextStep[key];
    const DateTime step = stepAt(wanted);
    for (k = std::max<quint64>(k, 1);; ++k) {
        const DateTime candidate = wanted + DateTime(k) * step;
        if (isIdentity(candidate) && !m_taken.contains(keyOf(candidate))) {
            m_taken.insert(keyOf(candidate));
            ++k;
            return candidate;
        }
    }
}

DateTime freshIdentity(const DocumentState& doc, DateTime wanted, DateTime now)
{
    IdentityPool pool;
    for (const auto& e : doc.Entries())
        pool.add(e->Created);
    return pool.take(wanted, now);
}

DateTime freshIdentity(const DocumentState& doc, DateTime wanted)
{
    return freshIdentity(doc, wanted, datetime::now());
}

int makeIdentitiesFresh(DocumentState& doc, int from, DateTime now)
{
    from = std::clamp(from, 0, doc.entryCount());
    IdentityPool pool;
    for (int i = 0; i < from; ++i)
        pool.add(doc.entry(i)->Created);
    int changed = 0;
    for (int i = from; i < doc.entryCount(); ++i) {
        TFeuille& e = *doc.entry(i);
        const DateTime fresh = pool.take(e.Created, now);
        if (keyOf(fresh) != keyOf(e.Created)) {
            e.Created = fresh;
            ++changed;
        }
    }
    return changed;
}

} // namespace identity

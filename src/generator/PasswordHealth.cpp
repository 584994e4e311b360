#include "generator/PasswordHealth.h"

#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"
#include "document/DateTime.h"
#include "document/EntrySearch.h"
#include "generator/BreachList.h"
#include "generator/PasswordGenerator.h"

#include <QHash>

#include <cmath>

namespace health {

QString KindName(Kind kind)
{
    switch (kind) {
    case Kind::Weak:
        return QStringLiteral("weak");
    case Kind::Reused:
        return QStringLiteral("reused");
    case Kind::Old:
        return QStringLiteral("old");
    case Kind::Empty:
        return QStringLiteral("empty");
    case Kind::Breached:
        return QStringLiteral("breached");
    }
    return QString();
}

std::optional<std::vector<Finding>> Analyze(const DocumentState& doc, const Options& options, QString* error)
{
    const DateTime now = options.now > 0 ? options.now : datetime::now();
    // The entries that share each password, to name the others in each of their findings.
    QHash<QString, std::vector<const TFeuille*>> sharing;
    for (const auto& e : doc.Entries())
        if (!e->Password.isEmpty())
            sharing[e->Password].push_back(e.get());
    // Each group's path once per group.
    QHash<quint32, QString> paths;
    const auto pathOf = [&](const TFeuille& e) {
        auto it = paths.find(e.Group);
        if (it == paths.end())
            it = paths.insert(e.Group, entrysearch::GroupPath(doc.findGroup(e.Group)));
        return *it;
    };

    std::vector<Finding> out;
    for (const auto& owned : doc.Entries()) {
        TFeuille* e = owned.get();
        const QString path = pathOf(*e);
        const auto add = [&](Kind kind, const QString& detail) { out.push_back(Finding{kind, e, path, detail}); };
        if (e->Password.isEmpty()) {
            add(Kind::Empty, QString());
            continue;
        }
        const double score = generator::PasswordScore(e->Password);
        if (score < options.weakBelow)
            add(Kind::Weak, QString::number(score, 'f', 2));
        const std::vector<const TFeuille*>& same = sharing.value(e->Password);
        if (same.size() > 1) {
            QStringList others;
            for (const TFeuille* other : same)
                if (other != e)
                    others << pathOf(*other) + QLatin1Char('\\') + other->Name;
            add(Kind::Reused, others.join(QStringLiteral(", ")));
        }
        if (e->ModifiedAt > 0 && now - e->ModifiedAt > options.olderThanDays)
            add(Kind::Old, QString::number(qint64(std::floor(now - e->ModifiedAt))));
        if (options.breachCounts) {
            QByteArray utf8 = e->Password.toUtf8();
            QByteArray digest = sha1(utf8);
            const qint64 seen = options.breachCounts->value(digest.toHex().toUpper());
            secureWipe(utf8);
            secureWipe(digest);
            if (seen > 0)
                add(Kind::Breached, QString::number(seen));
        } else if (options.breaches) {
            const std::optional<qint64> seen = options.breaches->count(e->Password);
            if (!seen) {
                if (error)
                    *error = options.breaches->error();
                return std::nullopt;
            }
            if (*seen > 0)
                add(Kind::Breached, QString::number(*seen));
        }
    }
    return out;
}

QList<QByteArray> PasswordHashes(const DocumentState& doc)
{
    QList<QByteArray> hashes;
    QHash<QByteArray, bool> seen;
    for (const auto& e : doc.Entries()) {
        if (e->Password.isEmpty())
            continue;
        QByteArray utf8 = e->Password.toUtf8();
        QByteArray digest = sha1(utf8);
        const QByteArray hex = digest.toHex().toUpper();
        secureWipe(utf8);
        secureWipe(digest);
        if (!seen.contains(hex)) {
            seen.insert(hex, true);
            hashes << hex;
        }
    }
    return hashes;
}

BreachCounts LookUpBreaches(const QString& path, const QList<QByteArray>& hashes, const std::atomic<bool>* stop)
{
    BreachCounts out;
    BreachList list;
    if (!list.open(path)) {
        out.fault = int(list.fault());
        out.error = list.error();
        return out;
    }
    for (const QByteArray& hash : hashes) {
        if (stop && *stop) {
            out.counts.clear();
            return out;
        }
        const std::optional<qint64> seen = list.countForHash(hash);
        if (!seen) {
            out.counts.clear();
            out.fault = int(list.fault());
            out.error = list.error();
            return out;
        }
        out.counts.insert(hash, *seen);
    }
    return out;
}

} // namespace health

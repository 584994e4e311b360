#include "generator/PasswordHealth.h"

#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"
#include "document/DateTime.h"
#include "document/EntrySearch.h"
#include "generator/BreachList.h"
#include "lang/LangTable.h"
#include "platform/Win1252.h"

#include <QHash>

#include <zxcvbn.h>

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

Strength EstimateStrength(const QString& password)
{
    // The estimator reads single-byte text up to a NUL: the document's own code page gives one byte
    // per character, and a NUL (which a document cannot hold anyway) is read as any other control.
    QByteArray bytes = win1252::fromUnicode(password.left(kEstimatedLength));
    bytes.replace('\0', '\x01');
    const double bits = ZxcvbnMatch(bytes.constData(), nullptr, nullptr);
    secureWipe(bytes);
    Strength s;
    s.log10Guesses = std::max(0.0, bits * std::log10(2.0));
    // zxcvbn's own bands of guesses.
    static const double kBands[] = {3, 6, 8, 10};
    s.score = 4;
    for (int i = 0; i < 4; ++i)
        if (s.log10Guesses < kBands[i]) {
            s.score = i;
            break;
        }
    return s;
}

QString StrengthText(const Strength& strength)
{
    QString guesses;
    if (strength.log10Guesses < 6) {
        // Two significant digits say all an estimate can: "64,000", not "64,127".
        qint64 n = qint64(std::llround(std::pow(10.0, strength.log10Guesses)));
        qint64 unit = 1;
        while (n / unit >= 100)
            unit *= 10;
        n = (n + unit / 2) / unit * unit;
        guesses = MsgCount(QStringLiteral("NbEssais"), std::max<qint64>(n, 1));
    } else {
        guesses = FillPlaceholders(Msg(QStringLiteral("NbEssaisPuissance")),
                                   {QString::number(qint64(std::floor(strength.log10Guesses)))});
    }
    return FillPlaceholders(Msg(QStringLiteral("SanteForce")), {QString::number(strength.score), guesses});
}

QString ReportPath(const DocumentState& doc, const TFeuille& entry)
{
    return entrysearch::GroupPath(doc.findGroup(entry.Group), QLatin1Char('/'));
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
            it = paths.insert(e.Group, ReportPath(doc, e));
        return *it;
    };

    std::vector<Finding> out;
    for (const auto& owned : doc.Entries()) {
        TFeuille* e = owned.get();
        const QString path = pathOf(*e);
        const auto add = [&](Kind kind, const QString& detail, double order) {
            out.push_back(Finding{kind, e, path, detail, order});
        };
        if (e->Password.isEmpty()) {
            const bool notesOnly = !e->Notes.isEmpty() && e->Login.isEmpty() && e->WebAddress.isEmpty();
            if (!notesOnly)
                add(Kind::Empty, QString(), 0);
            continue;
        }
        const Strength strength = EstimateStrength(e->Password);
        if (strength.score < options.weakBelow)
            add(Kind::Weak, StrengthText(strength), strength.log10Guesses);
        const std::vector<const TFeuille*>& same = sharing.value(e->Password);
        if (same.size() > 1) {
            QStringList others;
            for (const TFeuille* other : same)
                if (other != e) {
                    const QString otherPath = pathOf(*other);
                    others << (otherPath.isEmpty() ? other->Name : otherPath + QLatin1Char('/') + other->Name);
                }
            add(Kind::Reused, others.join(QStringLiteral(", ")), double(others.size()));
        }
        if (e->ModifiedAt > 0 && now - e->ModifiedAt > options.olderThanDays) {
            const qint64 days = qint64(std::floor(now - e->ModifiedAt));
            add(Kind::Old, MsgCount(QStringLiteral("NbJours"), days), double(days));
        }
        if (options.breachCounts) {
            QByteArray utf8 = e->Password.toUtf8();
            QByteArray digest = sha1(utf8);
            const qint64 seen = options.breachCounts->value(digest.toHex().toUpper());
            secureWipe(utf8);
            secureWipe(digest);
            if (seen > 0)
                add(Kind::Breached, MsgCount(QStringLiteral("SanteVu"), seen), double(seen));
        } else if (options.breaches) {
            const std::optional<qint64> seen = options.breaches->count(e->Password);
            if (!seen) {
                if (error)
                    *error = options.breaches->error();
                return std::nullopt;
            }
            if (*seen > 0)
                add(Kind::Breached, MsgCount(QStringLiteral("SanteVu"), *seen), double(*seen));
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

#include "generator/PasswordGenerator.h"

#include "platform/Win1252.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace generator {

namespace {

std::uint32_t g_state = 0;
bool g_seeded = false;

const char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool isCapital(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

bool isSmallOrAccented(QChar c)
{
    return (c >= u'a' && c <= u'z') || accentedLetters().contains(c);
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

QString capitalLetters()
{
    return QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

QString smallLetters()
{
    return QStringLiteral("abcdefghijklmnopqrstuvwxyz");
}

QString accentedLetters()
{
    return QString::fromUtf16(
        u"\u00E0\u00E9\u00E8\u00EE\u00EF\u00F4\u00F6\u00FB\u00FC\u00EB\u00EA\u00E4\u00E2\u00FF\u00E7");
}

QString specialCharacters()
{
    return QString::fromUtf16(u"&\"'(){}\u00B2+/*. -_@#$\u00A3*\u00B5");
}

QString digits()
{
    return QStringLiteral("0123456789");
}

QString StorableCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSurrogate()) // never one Windows-1252 character, pair or not
            continue;
        if (win1252::toUnicode(win1252::fromUnicode(QString(c))) == QString(c))
            out += c;
    }
    return out;
}

QStringList PreviewLines(const PoolOptions& options)
{
    QStringList lines;
    if (options.capitals)
        lines << capitalLetters();
    if (options.small)
        lines << smallLetters();
    if (options.accented)
        lines << accentedLetters();
    if (options.special)
        lines << specialCharacters();
    if (options.digits)
        lines << digits();
    return lines;
}

QString CharPool(const PoolOptions& options)
{
    QString pool = PreviewLines(options).join(QString());
    if (options.custom)
        pool += StorableCharacters(options.customChars);
    return pool;
}

namespace rng {

void seedOnce()
{
    if (g_seeded)
        return;
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    setSeed(static_cast<std::uint32_t>(ticks));
}

void setSeed(std::uint32_t seed)
{
    g_state = seed;
    g_seeded = true;
}

std::uint32_t state()
{
    return g_state;
}

std::uint32_t draw(std::uint32_t n)
{
    g_state = g_state * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(g_state) * n) >> 32);
}

} // namespace rng

QString GeneratePassword(const QString& pool, int length, bool firstLetter)
{
    const QList<uint> chars = pool.toUcs4();
    if (chars.isEmpty() || length <= 0)
        return QString();
    rng::seedOnce();
    QList<uint> out;
    out.reserve(length);
    for (int i = 0; i < length; ++i) {
        if (i == 0 && firstLetter)
            out.append(kLetters[rng::draw(52)]);
        else
            out.append(chars[rng::draw(static_cast<std::uint32_t>(chars.size()))]);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(out.constData()), out.size());
}

double PasswordScore(const QString& s)
{
    const qsizetype n = s.size();
    double lo = 0, up = 0, d = 0, dm = 0, o = 0, om = 0;
    for (qsizetype k = 0; k < n; ++k) {
        const qsizetype i = k + 1; // positions count from 1
        const bool middle = 1 < i && i < n - 1;
        const QChar c = s[k];
        if (isCapital(c)) {
            up += 1;
        } else if (isSmallOrAccented(c)) {
            lo += 1;
        } else if (isDigit(c)) {
            d += 1;
            if (middle)
                dm += 1;
        } else {
            o += 1;
            if (middle)
                om += 1;
        }
    }

    double r = static_cast<double>(n);
    if (n >= 2) {
        int fresh = 0;
        for (qsizetype k = 1; k < n - 1; ++k) // positions 2 to n - 1
            if (!QStringView(s).left(k).contains(s[k]))
                ++fresh;
        if (fresh > 0)
            r = static_cast<double>(n) / fresh;
    }

    const double len = static_cast<double>(n);
    double score = 0.5 * len;
    score += n < 5 ? -20.0 : (len - 5) * 0.5 + 10;
    score += n < 8 ? -10.0 : (len - 8) * 1.2 + 10;
    for (double count : {lo, up, d, dm, o, om})
        score += count > 0 ? 10.0 : -10.0;
    if (r > 2)
        score *= 1 / (r - 1);
    const int c = (n >= 5 ? 1 : 0) + (up > 0 ? 1 : 0) + (lo > 0 ? 1 : 0) + (d > 0 ? 1 : 0) + (o > 0 ? 1 : 0);
    score += c > 3 ? 10.0 + c : -10.0;
    return score;
}

int ScoreBarValue(double score)
{
    const double clamped = std::clamp(score, 0.0, 100.0);
    return static_cast<int>(std::nearbyint(clamped));
}

QString ScoreHint(double score, const QLocale& locale)
{
    return QStringLiteral("Score : ") + locale.toString(score, 'f', 2);
}

} // namespace generator

#include "generator/BreachList.h"

#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"
#include "platform/Win1252.h"

namespace {

// The longest line worth reading: 40 hex digits, a colon, a count, a line end.
constexpr qint64 kMaxLine = 128;

} // namespace

bool BreachList::open(const QString& path)
{
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = m_file.errorString();
        return false;
    }
    m_error.clear();
    return true;
}

bool BreachList::lineAt(qint64 offset, qint64& lineStart, QByteArray& hash, qint64& seen)
{
    // The first line that starts at or after `offset`: right after the first line end at or after
    // offset - 1.
    qint64 at = 0;
    if (offset > 0) {
        qint64 pos = offset - 1;
        if (!m_file.seek(pos))
            return false;
        for (;;) {
            char c = 0;
            if (!m_file.getChar(&c)) {
                at = m_file.size();
                break;
            }
            if (c == '\n') {
                at = pos + 1;
                break;
            }
            if (++pos - offset > kMaxLine)
                return false; // no line end where one must be: not this list's format
        }
    } else if (!m_file.seek(0)) {
        return false;
    }
    lineStart = at;
    if (at >= m_file.size())
        return true; // past the last line: hash stays empty
    const QByteArray line = m_file.readLine(kMaxLine).trimmed();
    if (line.indexOf(':') != 40)
        return false;
    hash = line.left(40).toUpper();
    bool ok = false;
    seen = line.mid(41).toLongLong(&ok);
    return ok;
}

std::optional<qint64> BreachList::countForHash(const QByteArray& sha1Hex)
{
    if (sha1Hex.size() != 40 || !m_file.isOpen())
        return std::nullopt;
    const QByteArray wanted = sha1Hex.toUpper();
    // A lower bound over the lines: the first whose hash is not below the one sought. Each step
    // reads the first line at or after the middle offset.
    qint64 lo = 0;
    qint64 hi = m_file.size();
    QByteArray found;
    qint64 foundSeen = 0;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        qint64 start = 0;
        QByteArray hash;
        qint64 seen = 0;
        if (!lineAt(mid, start, hash, seen))
            return std::nullopt;
        if (!hash.isEmpty() && qstrcmp(hash, wanted) < 0) {
            lo = start + 1;
        } else {
            if (!hash.isEmpty()) {
                found = hash;
                foundSeen = seen;
            }
            hi = mid;
        }
    }
    return found == wanted ? foundSeen : 0;
}

std::optional<qint64> BreachList::count(const QString& password)
{
    // The list hashes the UTF-8 form of the password.
    QByteArray utf8 = password.toUtf8();
    QByteArray digest = sha1(utf8);
    const QByteArray hex = digest.toHex().toUpper();
    secureWipe(utf8);
    secureWipe(digest);
    return countForHash(hex);
}

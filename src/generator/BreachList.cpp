#include "generator/BreachList.h"

#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The longest line worth reading: 40 hex digits, a colon, a count, a line end.
constexpr qint64 kMaxLine = 128;

bool isHexHash(const QByteArray& hash)
{
    if (hash.size() != 40)
        return false;
    for (const char c : hash)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

bool BreachList::fail(Fault fault, const QString& text)
{
    m_fault = fault;
    m_error = text;
    return false;
}

bool BreachList::open(const QString& path)
{
    m_file.close();
    m_fault = Fault::None;
    m_error.clear();
#ifdef Q_OS_UNIX
    // Opened without waiting (a pipe with no writer would hold the open itself), then looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return fail(Fault::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(Fault::NotAFile, QStringLiteral("not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!m_file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(Fault::Unreadable, m_file.errorString());
    }
#else
    m_file.setFileName(path);
    if (!QFileInfo(path).isFile())
        return fail(Fault::NotAFile, QStringLiteral("not a regular file"));
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(Fault::Unreadable, m_file.errorString());
#endif
    return true;
}

bool BreachList::lineAt(qint64 offset, qint64& lineStart, qint64& nextStart, QByteArray& hash, qint64& seen)
{
    hash.clear();
    // The first line that starts at or after `offset`: right after the first line end at or after
    // offset - 1.
    qint64 at = 0;
    if (offset > 0) {
        qint64 pos = offset - 1;
        if (!m_file.seek(pos))
            return fail(Fault::Unreadable, m_file.errorString());
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
                return fail(Fault::NotThisFormat, QStringLiteral("no line end where one must be, near byte %1")
                                                      .arg(offset)); // not this list's format
        }
    } else if (!m_file.seek(0)) {
        return fail(Fault::Unreadable, m_file.errorString());
    }
    lineStart = at;
    nextStart = at;
    if (at >= m_file.size())
        return true; // past the last line: hash stays empty
    const QByteArray raw = m_file.readLine(kMaxLine);
    nextStart = at + raw.size();
    const QByteArray line = raw.trimmed();
    bool ok = line.indexOf(':') == 40 && isHexHash(line.left(40));
    seen = ok ? line.mid(41).toLongLong(&ok) : 0;
    if (!ok || seen < 0 || (!raw.endsWith('\n') && nextStart < m_file.size()))
        return fail(Fault::NotThisFormat,
                    QStringLiteral("the line at byte %1 is not \"40 hex digits:count\"").arg(lineStart));
    hash = line.left(40).toUpper();
    return true;
}

std::optional<qint64> BreachList::countForHash(const QByteArray& sha1Hex)
{
    if (sha1Hex.size() != 40 || !m_file.isOpen())
        return std::nullopt;
    const QByteArray wanted = sha1Hex.toUpper();
    const auto disorder = [this](qint64 at) {
        fail(Fault::NotInOrder,
             QStringLiteral("the lines are not in the order of their hashes (near byte %1)").arg(at));
        return std::nullopt;
    };
    // A lower bound over the lines: the first whose hash is not below the one sought. Each step
    // reads the first line at or after the middle offset, and the line after it. Every line the
    // search passed below (above) the one sought bounds the lines after (before) it: a line read
    // outside those bounds, or not below the line that follows it, is a list out of order.
    qint64 lo = 0;
    qint64 hi = m_file.size();
    QByteArray below; // the greatest hash passed that is below the one sought
    QByteArray above; // the least hash passed that is not
    QByteArray found;
    qint64 foundSeen = 0;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        qint64 start = 0;
        qint64 next = 0;
        QByteArray hash;
        qint64 seen = 0;
        if (!lineAt(mid, start, next, hash, seen))
            return std::nullopt;
        if (!hash.isEmpty()) {
            if ((!below.isEmpty() && qstrcmp(hash, below) <= 0) || (!above.isEmpty() && qstrcmp(hash, above) > 0))
                return disorder(start);
            qint64 afterStart = 0;
            qint64 afterNext = 0;
            QByteArray after;
            qint64 afterSeen = 0;
            if (!lineAt(next, afterStart, afterNext, after, afterSeen))
                return std::nullopt;
            if (!after.isEmpty() && qstrcmp(after, hash) <= 0)
                return disorder(afterStart);
        }
        if (!hash.isEmpty() && qstrcmp(hash, wanted) < 0) {
            below = hash;
            lo = start + 1;
        } else {
            if (!hash.isEmpty()) {
                above = hash;
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

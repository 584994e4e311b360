#include "ftp/TFileFTP.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cctype>

// The texts a transfer reads from the server or builds for it: the reply log, the refusal of
// control characters, the temporary names of uploads.

void FtpReplyLog::addLine(const QByteArray& line)
{
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    if (!m_current.isEmpty())
        m_current += "\r\n";
    m_current += text;
    // "123 text" ends a reply; "123-text" and other lines continue it.
    if (text.size() >= 4 && std::isdigit(uchar(text[0])) && std::isdigit(uchar(text[1])) &&
        std::isdigit(uchar(text[2])) && text[3] == ' ') {
        m_last = m_current;
        m_current.clear();
    }
}

QString FtpReplyLog::text() const
{
    const QByteArray& reply = m_current.isEmpty() ? m_last : m_current;
    return QString::fromUtf8(reply).left(MaxLength);
}

bool HasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

QString ShowControlCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20)
            out += QLatin1Char('^') + QChar(c.unicode() + 0x40);
        else if (c.unicode() == 0x7F)
            out += QStringLiteral("^?");
        else
            out += c;
    }
    return out;
}

QString TemporaryFtpName(const QString& remotePath)
{
    const qsizetype dot = remotePath.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QString after = remotePath.mid(dot + 1);
        if (!after.contains(QLatin1Char('\\')) && !after.contains(QLatin1Char(':')))
            return remotePath.left(dot) + QStringLiteral(".tmp");
    }
    return remotePath + QStringLiteral(".tmp");
}

QString UniqueTemporaryName(const QString& remotePath)
{
    // From the system's source of randomness: two computers never draw the same name.
    quint32 words[2];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray token(reinterpret_cast<const char*>(words), sizeof words);
    return remotePath + QLatin1Char('.') + QString::fromLatin1(token.toHex()) + QStringLiteral(".tmp");
}

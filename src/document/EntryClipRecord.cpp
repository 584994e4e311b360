#include "document/EntryClipRecord.h"

#include "platform/Win1252.h"

#include <QtEndian>

namespace entryclip {

namespace {

void putUInt32(QByteArray& out, quint32 v)
{
    unsigned char b[4];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 4);
}

void putText(QByteArray& out, const QString& text)
{
    putUInt32(out, static_cast<quint32>(win1252::encodedSize(text)));
    win1252::appendTo(out, text);
}

void putDouble(QByteArray& out, double v)
{
    unsigned char b[8];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 8);
}

// Reads strictly inside the record: every field must be there whole.
class Reader
{
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}

    qsizetype left() const { return m_data.size() - m_pos; }

    bool skip(qsizetype n)
    {
        if (left() < n)
            return false;
        m_pos += n;
        return true;
    }
    bool uint32(quint32& v)
    {
        if (left() < 4)
            return false;
        v = qFromLittleEndian<quint32>(m_data.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool dbl(double& v)
    {
        if (left() < 8)
            return false;
        v = qFromLittleEndian<double>(m_data.constData() + m_pos);
        m_pos += 8;
        return true;
    }
    bool text(QString& v)
    {
        quint32 n = 0;
        if (!uint32(n) || n > static_cast<quint64>(left()))
            return false;
        v = win1252::toUnicode(m_data.constData() + m_pos, static_cast<qsizetype>(n));
        m_pos += static_cast<qsizetype>(n);
        return true;
    }
    bool byte(unsigned char& v)
    {
        if (left() < 1)
            return false;
        v = static_cast<unsigned char>(m_data[m_pos++]);
        return true;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

} // namespace

QString mimeType()
{
    return QStringLiteral("application/x-tresorin-entry");
}

QByteArray encode(const TFeuille& entry, qint32 formatVersion)
{
    QByteArray out;
    out.reserve(4 + 5 * 4 + 8 + 8 + 4 + win1252::encodedSize(entry.Name) + win1252::encodedSize(entry.Login) +
                win1252::encodedSize(entry.Password) + win1252::encodedSize(entry.WebAddress) +
                win1252::encodedSize(entry.Notes));
    putUInt32(out, static_cast<quint32>(formatVersion));
    for (const QString* text : {&entry.Name, &entry.Login, &entry.Password, &entry.WebAddress, &entry.Notes})
        putText(out, *text);
    putDouble(out, entry.Created);
    putDouble(out, entry.ModifiedAt);
    const char mark[4] = {entry.IsFtpEntry ? '\1' : '\0', 0, 0, 0};
    out.append(mark, 4);
    return out;
}

std::unique_ptr<TFeuille> decode(const QByteArray& record)
{
    Reader in(record);
    auto entry = std::make_unique<TFeuille>();
    entry->Group = 0;
    entry->RemapMark = -1;
    unsigned char mark = 0;
    const bool ok = in.skip(4) && in.text(entry->Name) && in.text(entry->Login) && in.text(entry->Password) &&
                    in.text(entry->WebAddress) && in.text(entry->Notes) && in.dbl(entry->Created) &&
                    in.dbl(entry->ModifiedAt) && in.byte(mark) && in.skip(3) && in.left() == 0;
    if (!ok)
        return nullptr;
    entry->IsFtpEntry = mark != 0;
    return entry;
}

} // namespace entryclip

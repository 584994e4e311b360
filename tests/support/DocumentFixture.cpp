#include "support/DocumentFixture.h"

#include "crypto/Cipher.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QVariant>
#include <QtEndian>

#include <cstring>
#include <map>

namespace testsupport {

StreamBuilder& StreamBuilder::raw(const QByteArray& bytes)
{
    m_bytes.append(bytes);
    return *this;
}

StreamBuilder& StreamBuilder::tag(const char* fourBytes)
{
    m_bytes.append(fourBytes, static_cast<qsizetype>(std::strlen(fourBytes)));
    return *this;
}

StreamBuilder& StreamBuilder::u32(quint32 value)
{
    uchar b[4];
    qToLittleEndian(value, b);
    m_bytes.append(reinterpret_cast<const char*>(b), 4);
    return *this;
}

StreamBuilder& StreamBuilder::i32(qint32 value)
{
    return u32(static_cast<quint32>(value));
}

StreamBuilder& StreamBuilder::dbl(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, 8);
    uchar b[8];
    qToLittleEndian(bits, b);
    m_bytes.append(reinterpret_cast<const char*>(b), 8);
    return *this;
}

StreamBuilder& StreamBuilder::byte(quint8 value)
{
    m_bytes.append(static_cast<char>(value));
    return *this;
}

StreamBuilder& StreamBuilder::text(const QByteArray& bytes)
{
    u32(static_cast<quint32>(bytes.size()));
    return raw(bytes);
}

StreamBuilder& StreamBuilder::text(const QString& value)
{
    return text(win1252::fromUnicode(value));
}

StreamBuilder& StreamBuilder::text(const char* latin1)
{
    return text(QByteArray(latin1));
}

StreamBuilder& StreamBuilder::textCount(quint32 count)
{
    return u32(count);
}

StreamBuilder& StreamBuilder::start(int version)
{
    tag("TRS");
    if (version >= 2)
        m_bytes.append(QByteArray(" 1.") + char('0' + version));
    return *this;
}

StreamBuilder& StreamBuilder::header(int version, const TDoc& d)
{
    if (version < 3)
        return *this;
    i32(d.SaveCount).dbl(d.SaveDate).text(d.Reserved1).text(d.Reserved2);
    if (version >= 5)
        dbl(d.CreateDate);
    byte(d.SyncOn ? 1 : 0);
    if (version >= 6)
        byte(d.UseFtpEntry ? 1 : 0);
    text(d.ServerName).i32(d.PortNumber);
    if (version >= 7)
        byte(d.PassiveMode ? 1 : 0);
    return text(d.RemotePath).text(d.UserName).text(d.UserPassword);
}

StreamBuilder& StreamBuilder::group(quint32 id, quint32 parentId, const QString& name)
{
    return tag("NODE").u32(id).u32(parentId).text(name);
}

StreamBuilder& StreamBuilder::entry(int version, quint32 groupId, const TFeuille& e)
{
    tag("FEUI").u32(groupId).text(e.Name);
    if (version >= 2)
        text(e.Login);
    text(e.Password).text(e.WebAddress).text(e.Notes);
    if (version >= 4)
        dbl(e.Created).dbl(e.ModifiedAt);
    if (version >= 6)
        byte(e.IsFtpEntry ? 1 : 0).byte(0).byte(0).byte(0);
    return *this;
}

TDoc richHeader()
{
    TDoc d;
    d.FileName = QStringLiteral("ignored.pass");
    d.SaveCount = 4711;
    d.SaveDate = 45123.6789012345;
    d.Reserved1 = QStringLiteral("réservé 1");
    d.Reserved2 = QStringLiteral("reserved \u20AC \u0178 2");
    d.SyncOn = true;
    d.ServerName = QStringLiteral("ftp.example.org");
    d.PortNumber = 2121;
    d.PassiveMode = true;
    d.RemotePath = QStringLiteral("/backup/docs/mine.pass");
    d.UserName = QStringLiteral("ftpuser");
    d.UserPassword = QStringLiteral("ftp-secret-\u00e9");
    d.FormatVersion = 7;
    d.CreateDate = 40000.25;
    d.UseFtpEntry = true;
    return d;
}

TFeuille richEntry(const QString& tag, bool ftp)
{
    TFeuille e;
    e.Name = tag;
    e.Login = tag + QStringLiteral("-login");
    e.Password = tag + QStringLiteral("-pässwörd-\u20AC");
    e.WebAddress = QStringLiteral("https://example.org/") + tag;
    e.Notes = QStringLiteral("first line of ") + tag + QStringLiteral("\r\nsecond line\r\n");
    e.Created = 44000.5 + tag.size();
    e.ModifiedAt = 44500.125 + tag.size();
    e.IsFtpEntry = ftp;
    return e;
}

void buildRichDocument(DocumentState& doc)
{
    doc.clearContent();
    doc.LocalDoc = richHeader();
    TGroupe* web = doc.addGroup(QStringLiteral("Web"));
    TGroupe* mail = doc.addGroup(QStringLiteral("Mail \u0152uvre"), web);
    TGroupe* deep = doc.addGroup(QStringLiteral("Deep"), mail);
    TGroupe* bank = doc.addGroup(QStringLiteral("Banque"));
    TGroupe* shops = doc.addGroup(QStringLiteral("Shops"), web);
    doc.addGroup(QStringLiteral("Empty"), bank);
    TGroupe* aaa = doc.addGroup(QStringLiteral("Aaa last"));

    const auto add = [&doc](TGroupe* g, const QString& tag, bool ftp = false) {
        auto e = std::make_unique<TFeuille>(richEntry(tag, ftp));
        e->Group = g ? g->Id : 0;
        doc.appendEntry(std::move(e));
    };
    add(bank, QStringLiteral("bank one"));
    add(web, QStringLiteral("web one"));
    add(deep, QStringLiteral("deep"));
    add(bank, QStringLiteral("bank two"), true);
    add(nullptr, QStringLiteral("no group"));
    add(shops, QStringLiteral("shop \u00ff\u00e0"));
    add(aaa, QStringLiteral("aaa"));
    add(web, QStringLiteral("web two"));
    doc.noteFtpEntryRead(3);
    // An entry with empty texts and no dates, the state of entries from old files.
    auto bare = std::make_unique<TFeuille>();
    bare->Group = mail->Id;
    doc.appendEntry(std::move(bare));
}

namespace {

std::map<quint32, int> groupPositions(const DocumentState& doc)
{
    std::map<quint32, int> pos;
    int i = 0;
    doc.forEachGroup([&](TGroupe* g) { pos[g->Id] = i++; });
    return pos;
}

QString path(const TGroupe* g)
{
    QString p;
    for (; g; g = g->Parent)
        p = QLatin1Char('/') + g->Name + p;
    return p;
}

template <typename T> QString diff(const char* field, const T& a, const T& b)
{
    if (a == b)
        return {};
    return QStringLiteral("%1: %2 != %3")
        .arg(QLatin1String(field), QVariant::fromValue(a).toString(), QVariant::fromValue(b).toString());
}

QString diffDouble(const char* field, double a, double b)
{
    if (std::memcmp(&a, &b, sizeof a) == 0)
        return {};
    return QStringLiteral("%1: %2 != %3").arg(QLatin1String(field)).arg(a, 0, 'g', 17).arg(b, 0, 'g', 17);
}

} // namespace

QString compareHeaders(const TDoc& a, const TDoc& b)
{
    const QStringList diffs = {
        diff("SaveCount", a.SaveCount, b.SaveCount),
        diffDouble("SaveDate", a.SaveDate, b.SaveDate),
        diff("Reserved1", a.Reserved1, b.Reserved1),
        diff("Reserved2", a.Reserved2, b.Reserved2),
        diff("SyncOn", a.SyncOn, b.SyncOn),
        diff("ServerName", a.ServerName, b.ServerName),
        diff("PortNumber", a.PortNumber, b.PortNumber),
        diff("PassiveMode", a.PassiveMode, b.PassiveMode),
        diff("RemotePath", a.RemotePath, b.RemotePath),
        diff("UserName", a.UserName, b.UserName),
        diff("UserPassword", a.UserPassword, b.UserPassword),
        diffDouble("CreateDate", a.CreateDate, b.CreateDate),
        diff("UseFtpEntry", a.UseFtpEntry, b.UseFtpEntry),
    };
    for (const QString& d : diffs)
        if (!d.isEmpty())
            return d;
    return {};
}

QString compareContent(const DocumentState& a, const DocumentState& b)
{
    const auto ga = a.groupsInOrder();
    const auto gb = b.groupsInOrder();
    if (ga.size() != gb.size())
        return QStringLiteral("group count %1 != %2").arg(ga.size()).arg(gb.size());
    for (size_t i = 0; i < ga.size(); ++i)
        if (path(ga[i]) != path(gb[i]))
            return QStringLiteral("group %1: %2 != %3").arg(i).arg(path(ga[i]), path(gb[i]));

    const auto pa = groupPositions(a);
    const auto pb = groupPositions(b);
    const auto position = [](const std::map<quint32, int>& m, quint32 id) {
        const auto it = m.find(id);
        return id == 0 ? -1 : (it == m.end() ? -2 : it->second);
    };
    if (a.entryCount() != b.entryCount())
        return QStringLiteral("entry count %1 != %2").arg(a.entryCount()).arg(b.entryCount());
    for (int i = 0; i < a.entryCount(); ++i) {
        const TFeuille& x = *a.entry(i);
        const TFeuille& y = *b.entry(i);
        const QStringList diffs = {
            diff("Group", position(pa, x.Group), position(pb, y.Group)),
            diff("RemapMark", x.RemapMark, y.RemapMark),
            diff("Name", x.Name, y.Name),
            diff("Login", x.Login, y.Login),
            diff("Password", x.Password, y.Password),
            diff("WebAddress", x.WebAddress, y.WebAddress),
            diff("Notes", x.Notes, y.Notes),
            diffDouble("Created", x.Created, y.Created),
            diffDouble("ModifiedAt", x.ModifiedAt, y.ModifiedAt),
            diff("IsFtpEntry", x.IsFtpEntry, y.IsFtpEntry),
        };
        for (const QString& d : diffs)
            if (!d.isEmpty())
                return QStringLiteral("entry %1 %2").arg(i).arg(d);
    }
    if (a.FtpEntryIndex() != b.FtpEntryIndex())
        return QStringLiteral("FtpEntryIndex %1 != %2").arg(a.FtpEntryIndex()).arg(b.FtpEntryIndex());
    return {};
}

QByteArray storedStream(const QByteArray& stream, const QString& password)
{
    return encipherDocument(stream, win1252::fromUnicode(password));
}

QByteArray storedBytes(const DocumentState& doc, const QString& password)
{
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    return storedStream(stream, password);
}

bool writeStream(const QString& path, const QByteArray& stream, const QString& password)
{
    QFile file(path);
    const QByteArray bytes = storedStream(stream, password);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeDocument(const QString& path, const DocumentState& doc, const QString& password)
{
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    return writeStream(path, stream, password);
}

bool readBytes(const QByteArray& bytes, const QString& password, DocumentState& out)
{
    QByteArray stream;
    if (!decipherDocument(bytes, win1252::fromUnicode(password), stream))
        return false;
    StreamReader in(stream);
    ResetDoc(out.LocalDoc);
    const HeaderResult header = ReadDocumentHeader(in, out.LocalDoc, {});
    return header.ok && ReadDocumentRecords(in, header.firstTag, out.LocalDoc.FormatVersion, out, false, {}).ok;
}

bool readDocument(const QString& path, const QString& password, DocumentState& out)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && readBytes(file.readAll(), password, out);
}

StreamMessageSink MessageLog::sink()
{
    return [this](const QString& key, const QString& arg) {
        messages.append(arg.isEmpty() ? key : key + QLatin1Char(':') + arg);
    };
}

} // namespace testsupport

#include "ftp/FtpParameters.h"

#include "crypto/Cipher.h"
#include "crypto/SecureBytes.h"
#include "platform/Win1252.h"
#include "settings/IniFile.h"

#include <algorithm>

namespace {

const QString kSection = QStringLiteral("FTP");

bool isTrimmed(QChar c)
{
    return c == QLatin1Char(' ') || c.category() == QChar::Other_Control;
}

bool strictBase64(const QString& text)
{
    if (text.size() % 4 != 0)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool alphabet =
            (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('/');
        // Padding only at the end, at most two.
        const bool padding = c == QLatin1Char('=') && i >= text.size() - 2 &&
                             (i == text.size() - 1 || text.at(text.size() - 1) == QLatin1Char('='));
        if (!alphabet && !padding)
            return false;
    }
    return true;
}

void keyCipher(TCipher_Blowfish& cipher, const QString& key)
{
    cipher.setFlag(TCipher_Blowfish::UseCheckValue, true);
    SecureBytes keyBytes(win1252::fromUnicode(key));
    cipher.InitKey(keyBytes.bytes());
}

} // namespace

QString EncodeIniCredential(const QString& plain, const QString& key)
{
    // Enciphered in place: the plain bytes never outlive this call.
    SecureBytes plainBytes(win1252::fromUnicode(plain));
    QByteArray& bytes = plainBytes.bytes();
    if (bytes.isEmpty())
        return QString();
    TCipher_Blowfish cipher;
    keyCipher(cipher, key);
    cipher.ChainEncode(reinterpret_cast<const uchar*>(bytes.constData()), reinterpret_cast<uchar*>(bytes.data()),
                       bytes.size());
    return QString::fromLatin1(bytes.toBase64());
}

QString DecodeIniCredential(const QString& stored, const QString& key)
{
    if (stored.isEmpty() || !strictBase64(stored))
        return QString();
    auto decoded = QByteArray::fromBase64Encoding(stored.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    // Deciphered in place in a buffer of its own, wiped once the text is made.
    SecureBytes bytes(std::move(decoded.decoded));
    TCipher_Blowfish cipher;
    keyCipher(cipher, key);
    cipher.ChainDecode(reinterpret_cast<const uchar*>(bytes.bytes().constData()),
                       reinterpret_cast<uchar*>(bytes.bytes().data()), bytes.size());
    return win1252::toUnicode(bytes.bytes());
}

QString TrimFtpField(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString CleanServerField(const QString& text)
{
    QString out = TrimFtpField(text);
    out.remove(QLatin1Char('/'));
    if (!out.isEmpty()) {
        const qsizetype at = out.indexOf(QLatin1String("ftp:"), 0, Qt::CaseInsensitive);
        if (at >= 0)
            out.remove(at, 4);
    }
    return out;
}

QString CleanFileField(const QString& text)
{
    const qsizetype cut = std::max(text.lastIndexOf(QLatin1Char('\\')), text.lastIndexOf(QLatin1Char(':')));
    return text.mid(cut + 1);
}

QString FtpFileName(const QString& remotePath)
{
    const qsizetype cut = std::max({remotePath.lastIndexOf(QLatin1Char('/')), remotePath.lastIndexOf(QLatin1Char('\\')),
                                    remotePath.lastIndexOf(QLatin1Char(':'))});
    return remotePath.mid(cut + 1);
}

QString FtpIniSection::credentialKey(const QString& server, const QString& file)
{
    return TrimFtpField(server) + TrimFtpField(file);
}

void FtpIniSection::read(const IniFile& ini)
{
    Serveur = ini.readString(kSection, QStringLiteral("Serveur"));
    Port = ini.readInteger(kSection, QStringLiteral("Port"), 21);
    Passif = ini.readBool(kSection, QStringLiteral("Passif"), false);
    Fichier = ini.readString(kSection, QStringLiteral("Fichier"));
    const QString key = credentialKey(Serveur, Fichier);
    Login = DecodeIniCredential(ini.readString(kSection, QStringLiteral("Login")), key);
    Pass = DecodeIniCredential(ini.readString(kSection, QStringLiteral("Pass")), key);
}

void FtpIniSection::write(IniFile& ini) const
{
    const QString key = credentialKey(Serveur, Fichier);
    ini.writeString(kSection, QStringLiteral("Serveur"), Serveur);
    ini.writeInteger(kSection, QStringLiteral("Port"), Port);
    ini.writeBool(kSection, QStringLiteral("Passif"), Passif);
    ini.writeString(kSection, QStringLiteral("Fichier"), Fichier);
    QString login = TrimFtpField(Login);
    QString pass = TrimFtpField(Pass);
    ini.writeString(kSection, QStringLiteral("Login"), EncodeIniCredential(login, key));
    ini.writeString(kSection, QStringLiteral("Pass"), EncodeIniCredential(pass, key));
    secureWipe(login);
    secureWipe(pass);
}

FtpEntryAddress ParseFtpEntry(const QString& webAddress)
{
    FtpEntryAddress out;
    QString s = webAddress;
    for (const QString& flag : {QStringLiteral("/PASSIF"), QStringLiteral("/PASV")}) {
        if (s.contains(flag, Qt::CaseInsensitive)) {
            out.passive = true;
            s.remove(flag, Qt::CaseInsensitive);
            s = TrimFtpField(s);
        }
    }
    const qsizetype scheme = s.indexOf(QLatin1String("//"));
    if (scheme >= 0)
        s.remove(0, scheme + 2);
    const qsizetype at = s.indexOf(QLatin1Char('@'));
    if (at >= 0)
        s.remove(0, at + 1);
    const qsizetype slash = s.indexOf(QLatin1Char('/'));
    QString host;
    if (slash >= 0) {
        host = s.left(slash);
        out.path = s.mid(slash + 1);
    } else {
        out.path = s;
    }
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool ok = false;
        const int port = host.mid(colon + 1).toInt(&ok);
        out.port = ok ? port : 21;
        host = host.left(colon);
    }
    out.server = host;
    return out;
}

void ApplyFTPEntry(TDoc& doc, const TFeuille& entry)
{
    if (!doc.UseFtpEntry)
        return;
    const FtpEntryAddress address = ParseFtpEntry(entry.WebAddress);
    doc.ServerName = address.server;
    doc.PortNumber = address.port;
    if (address.passive)
        doc.PassiveMode = true;
    doc.RemotePath = address.path;
    doc.UserName = entry.Login;
    doc.UserPassword = entry.Password;
}

// The FTP entry's web address and the credentials of the settings file as anybody may write them:
// the entry syntax is read without fault (the port is brought into range by the transfer), the field clean-ups are
// stable, and a credential enciphered under a key deciphers to what was stored.
#include "FuzzInput.h"
#include "ftp/FtpParameters.h"
#include "ftp/Transport.h"
#include "platform/Win1252.h"

using fuzzinput::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray first;
    QByteArray second;
    fuzzinput::splitAtZero(fuzzinput::bytes(data, size), first, second);
    const QString text = QString::fromUtf8(first);
    const QString other = win1252::toUnicode(second);

    // An encrypted transport keeps its scheme ("sftp://host:port") in the server; the host that a
    // transfer connects to never holds "/", and a plain FTP server name holds none at all.
    const FtpEntryAddress address = ParseFtpEntry(text);
    const ServerAddress where = ParseServerAddress(address.server, address.port);
    require(!where.host.contains(QLatin1Char('/')), "a server's host holds \"/\"", text);
    require(where.transport != Transport::Ftp || !address.server.contains(QLatin1Char('/')),
            "a plain FTP server name holds \"/\"", text);

    TDoc doc;
    TFeuille entry;
    entry.WebAddress = text;
    entry.Login = other;
    entry.Password = other;
    doc.UseFtpEntry = true;
    doc.PassiveMode = false;
    ApplyFTPEntry(doc, entry);
    require(doc.ServerName == address.server && doc.PortNumber == address.port, "entry applied differently");
    require(doc.PassiveMode == address.passive, "passive mode applied differently");

    // The server clean-up is not meant to be stable ("ftp:ftp:x" loses one "ftp:" each time).
    const QString cleaned = CleanServerField(text);
    const ServerAddress cleanedWhere = ParseServerAddress(cleaned, 21);
    require(!cleanedWhere.host.contains(QLatin1Char('/')), "a cleaned server's host holds \"/\"", text);
    require(cleanedWhere.transport != Transport::Ftp || !cleaned.contains(QLatin1Char('/')),
            "a cleaned plain FTP server holds \"/\"", text);
    const QString file = CleanFileField(text);
    require(CleanFileField(file) == file, "file clean-up not stable", text);
    require(TrimFtpField(TrimFtpField(text)) == TrimFtpField(text), "trim not stable", text);
    FtpFileName(text);

    // A stored value of any form deciphers to something or nothing, never a fault.
    DecodeIniCredential(text, other);
    DecodeIniCredential(other, text);
    // What the code page holds goes through the settings file unchanged.
    const QString stored = EncodeIniCredential(other, text);
    require(other.isEmpty() == stored.isEmpty(), "an empty credential or an empty stored form");
    require(DecodeIniCredential(stored, text) == other, "a credential does not decipher to itself", other);
    return 0;
}

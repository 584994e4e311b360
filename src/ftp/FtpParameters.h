#pragma once

#include "document/DocumentModel.h"

#include <QString>

class IniFile;

// The FTP parameters outside the dialog: the credentials stored in the settings file, the
// "FTP" section itself, the clean-up of the typed fields and the syntax of the FTP entry.

// The login or password as stored in the settings file: its Windows-1252 bytes ("?" for what the
// code page lacks) enciphered with the document cipher keyed by `key`, without check value, in
// Base64. Empty for an empty text.
QString EncodeIniCredential(const QString& plain, const QString& key);
// The reverse. A value that is not strict Base64 (length not a multiple of 4, a character
// outside the alphabet) gives an empty text; a wrong key gives garbage, never an error.
QString DecodeIniCredential(const QString& stored, const QString& key);

// Leading and trailing spaces and control characters removed.
QString TrimFtpField(const QString& text);

// The server field when the focus leaves it: trimmed, every "/" removed, then the first "ftp:"
// (any case) removed. An address of another transport ("ftps://", "sftp://", "https://",
// "http://") is only trimmed, and loses a closing "/".
QString CleanServerField(const QString& text);
// The file field when the focus leaves it: only what follows the last backslash or ":".
QString CleanFileField(const QString& text);
// The name of a remote file: what follows its last "/", backslash or ":".
QString FtpFileName(const QString& remotePath);

// The section "FTP" of the settings file: the values last used by Open and Save on FTP.
struct FtpIniSection
{
    QString Serveur;
    int Port = 21;
    bool Passif = false;
    QString Fichier;
    QString Login;
    QString Pass;

    // The credential key: the trimmed server immediately followed by the trimmed file.
    static QString credentialKey(const QString& server, const QString& file);

    void read(const IniFile& ini);
    // Login and password are stored trimmed and enciphered.
    void write(IniFile& ini) const;
};

// What the web address of the FTP entry says: [scheme "//"] [user "@"] host [":" port] "/" path,
// with "/PASSIF" or "/PASV" anywhere (any case) for passive mode. The scheme of another transport
// than FTP (ftps, sftp, https, http) stays in the server, with the port: "sftp://host:2222".
struct FtpEntryAddress
{
    QString server;
    int port = 21;
    QString path;
    bool passive = false; // a switch was found
};
FtpEntryAddress ParseFtpEntry(const QString& webAddress);

// The document's parameters taken from the FTP entry, when UseFtpEntry is on: server, port, file,
// login and password; passive mode is only ever switched on.
void ApplyFTPEntry(TDoc& doc, const TFeuille& entry);

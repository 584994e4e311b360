#pragma once

#include <QString>

// Where a transfer goes, as the server field (or the FTP entry) writes it:
// - a bare host name: plain FTP on the port field, exactly as it always was;
// - "ftps://host[:port][/folder]": FTP over explicit TLS (AUTH TLS), data channel protected too;
// - "sftp://host[:port][/folder]": SFTP, the host key checked against ~/.ssh/known_hosts;
// - "https://host[:port][/folder]": WebDAV over HTTPS;
// - "http://host[:port][/folder]": WebDAV without encryption, accepted only on this computer's
//   loopback, where nothing crosses a network.
// The port in the address wins; without one, a port field left at 21 (or 0) stands for the
// scheme's usual port, and any other value is used as it is. The folder goes before the file.
enum class Transport
{
    Ftp,
    Ftps,
    Sftp,
    WebDav,     // https
    WebDavPlain // http on the loopback
};

struct ServerAddress
{
    Transport transport = Transport::Ftp;
    QString host; // without brackets for an IPv6 address
    quint16 port = 21;
    QString folder; // without leading or trailing "/"; empty when none
    bool valid = true;
    bool plainHttpRefused = false; // http:// to another machine than this one
};

ServerAddress ParseServerAddress(const QString& serverName, qint32 portNumber);

// "FTP", "FTPS", "SFTP", "WebDAV (HTTPS)", "WebDAV (HTTP)".
QString TransportName(Transport transport);
// True for the transports whose login and password cross the network in clear (plain FTP).
bool TransportIsPlain(Transport transport);
bool IsLoopbackHost(const QString& host);
// "host:port", with brackets around an IPv6 address: the key of a pinned certificate.
QString HostPortKey(const ServerAddress& address);
// The host as known_hosts names it: "host" on port 22, else "[host]:port".
QString KnownHostsName(const QString& host, quint16 port);
// The remote path with the folder of the address before it.
QString PathOnServer(const ServerAddress& address, const QString& remotePath);

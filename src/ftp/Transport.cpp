#include "ftp/Transport.h"

#include <QHostAddress>

namespace {

struct Scheme
{
    const char* prefix;
    Transport transport;
    quint16 defaultPort;
};

const Scheme kSchemes[] = {
    {"ftps://", Transport::Ftps, 21},
    {"sftp://", Transport::Sftp, 22},
    {"https://", Transport::WebDav, 443},
    {"http://", Transport::WebDavPlain, 80},
};

QString trimSlashes(QString text)
{
    while (text.startsWith(QLatin1Char('/')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

} // namespace

ServerAddress ParseServerAddress(const QString& serverName, qint32 portNumber)
{
    ServerAddress out;
    const quint16 fieldPort = quint16(quint32(portNumber) & 0xFFFF);
    const Scheme* scheme = nullptr;
    for (const Scheme& s : kSchemes) {
        if (serverName.startsWith(QLatin1String(s.prefix), Qt::CaseInsensitive)) {
            scheme = &s;
            break;
        }
    }
    if (!scheme) {
        // Plain FTP: the name goes to the connection as it is, as it always did.
        out.host = serverName;
        out.port = fieldPort == 0 ? 21 : fieldPort;
        return out;
    }
    out.transport = scheme->transport;
    QString rest = serverName.mid(qsizetype(qstrlen(scheme->prefix)));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString hostPort = slash >= 0 ? rest.left(slash) : rest;
    out.folder = slash >= 0 ? trimSlashes(rest.mid(slash + 1)) : QString();

    QString portText;
    if (hostPort.startsWith(QLatin1Char('['))) {
        const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
        if (close < 0) {
            out.valid = false;
            return out;
        }
        out.host = hostPort.mid(1, close - 1);
        const QString after = hostPort.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':'))) {
                out.valid = false;
                return out;
            }
            portText = after.mid(1);
        }
    } else {
        const qsizetype colon = hostPort.indexOf(QLatin1Char(':'));
        out.host = colon >= 0 ? hostPort.left(colon) : hostPort;
        if (colon >= 0)
            portText = hostPort.mid(colon + 1);
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535) {
            out.valid = false;
            return out;
        }
        out.port = quint16(port);
    } else {
        out.port = (fieldPort == 0 || fieldPort == 21) ? scheme->defaultPort : fieldPort;
    }
    // A user name in the address would be sent instead of the login field: refused, as is a
    // host name that holds what no host name holds.
    if (out.host.isEmpty() || out.host.contains(QLatin1Char('@')) || out.host.contains(QLatin1Char(' ')) ||
        out.host.contains(QLatin1Char('\\'))) {
        out.valid = false;
        return out;
    }
    if (out.transport == Transport::WebDavPlain && !IsLoopbackHost(out.host)) {
        out.valid = false;
        out.plainHttpRefused = true;
    }
    return out;
}

QString TransportName(Transport transport)
{
    switch (transport) {
    case Transport::Ftp:
        return QStringLiteral("FTP");
    case Transport::Ftps:
        return QStringLiteral("FTPS");
    case Transport::Sftp:
        return QStringLiteral("SFTP");
    case Transport::WebDav:
        return QStringLiteral("WebDAV (HTTPS)");
    case Transport::WebDavPlain:
        return QStringLiteral("WebDAV (HTTP)");
    }
    return QString();
}

bool TransportIsPlain(Transport transport)
{
    return transport == Transport::Ftp;
}

bool IsLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString HostPortKey(const ServerAddress& address)
{
    const QString host = address.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + address.host + QLatin1Char(']')
                                                                 : address.host.toLower();
    return host + QLatin1Char(':') + QString::number(address.port);
}

QString KnownHostsName(const QString& host, quint16 port)
{
    if (port == 22)
        return host;
    return QLatin1Char('[') + host + QStringLiteral("]:") + QString::number(port);
}

QString PathOnServer(const ServerAddress& address, const QString& remotePath)
{
    if (address.folder.isEmpty())
        return remotePath;
    QString path = remotePath;
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return address.folder + QLatin1Char('/') + path;
}

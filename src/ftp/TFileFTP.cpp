#include "ftp/TFileFTP.h"

#include "document/DocumentFile.h"
#include "ftp/TransferSession.h"
#include "ftp/TrustStore.h"
#include "lang/LangTable.h"
#include "platform/NetworkClient.h"

#include <QMutex>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

const QString kSeparator = QStringLiteral("\r\n\r\n");

QMutex& timeoutsMutex()
{
    static QMutex mutex;
    return mutex;
}

FtpTimeouts& sharedTimeouts()
{
    static FtpTimeouts timeouts;
    return timeouts;
}

qint64& sharedMaxDownload()
{
    static qint64 bytes = docfile::kMaxDocumentBytes;
    return bytes;
}

std::function<void()>& sharedReplacedHook()
{
    static std::function<void()> hook;
    return hook;
}

QString message(const char* key, const QStringList& args = {})
{
    return FillPlaceholders(Msg(QLatin1String(key)), args);
}

bool isNotFound(CURLcode code, long httpStatus)
{
    return code == CURLE_REMOTE_FILE_NOT_FOUND ||
           (code == CURLE_HTTP_RETURNED_ERROR && (httpStatus == 404 || httpStatus == 410));
}

} // namespace

bool WinInetAvailable()
{
    return platform::NetworkClientReady();
}

void TFileFTP::setTimeouts(const FtpTimeouts& timeouts)
{
    QMutexLocker lock(&timeoutsMutex());
    sharedTimeouts() = timeouts;
}

FtpTimeouts TFileFTP::timeouts()
{
    QMutexLocker lock(&timeoutsMutex());
    return sharedTimeouts();
}

void TFileFTP::setMaxDownloadBytes(qint64 bytes)
{
    QMutexLocker lock(&timeoutsMutex());
    sharedMaxDownload() = bytes;
}

qint64 TFileFTP::maxDownloadBytes()
{
    QMutexLocker lock(&timeoutsMutex());
    return sharedMaxDownload();
}

void TFileFTP::setReplacedHook(const std::function<void()>& hook)
{
    QMutexLocker lock(&timeoutsMutex());
    sharedReplacedHook() = hook;
}

TFileFTP::TFileFTP(Mode mode, const Parameters& parameters, bool download, const QByteArray& upload)
    : m_mode(mode), m_parameters(parameters), m_download(download), m_upload(upload), m_maxDownload(maxDownloadBytes()),
      m_timeouts(timeouts())
{
    // On the thread that made the worker: the completion handlers run inside completed(), and the
    // worker is freed only after all of them.
    connect(
        this, &QThread::finished, this,
        [this] {
            emit completed(this);
            deleteLater();
        },
        Qt::QueuedConnection);
}

TFileFTP* TFileFTP::CreateForDialog(const Parameters& parameters, bool download, const QByteArray& upload)
{
    return new TFileFTP(Mode::Dialog, parameters, download, download ? QByteArray() : upload);
}

TFileFTP* TFileFTP::CreateForStatusBar(const Parameters& parameters)
{
    return new TFileFTP(Mode::StatusBar, parameters, true, QByteArray());
}

TFileFTP* TFileFTP::CreateForHead(const Parameters& parameters)
{
    auto* worker = new TFileFTP(Mode::Dialog, parameters, true, QByteArray());
    worker->m_head = true;
    return worker;
}

TFileFTP* TFileFTP::CreateForProbe(const Parameters& parameters)
{
    auto* worker = new TFileFTP(Mode::Dialog, parameters, true, QByteArray());
    worker->m_probeOnly = true;
    return worker;
}

FtpField TFileFTP::UnsafeField(const Parameters& p)
{
    if (HasControlCharacter(p.ServerName))
        return FtpField::Server;
    if (HasControlCharacter(p.RemotePath))
        return FtpField::Path;
    if (HasControlCharacter(p.UserName))
        return FtpField::Login;
    if (HasControlCharacter(p.UserPassword))
        return FtpField::Password;
    return FtpField::None;
}

TFileFTP::~TFileFTP()
{
    if (isRunning()) {
        requestStop();
        wait();
    }
}

QByteArray TFileFTP::takeData()
{
    QByteArray out;
    out.swap(m_data);
    return out;
}

bool TFileFTP::checkStop()
{
    if (m_stopRequested.load() || isInterruptionRequested())
        m_stopped = true;
    return m_stopped;
}

void TFileFTP::run()
{
    m_errorText.clear();
    m_stopped = false;
    try {
        execute();
    } catch (...) {
        // Whatever went wrong (memory above all), the caller must not take it for a success.
        m_data.clear();
        m_stopped = false;
        m_verified = false;
        m_replacedMeanwhile = false;
        m_errorText = message("FTPInternal");
    }
    if (m_stopped) {
        m_errorText.clear();
        m_verified = false;
        m_replacedMeanwhile = false;
    }
}

namespace {

QString trustText(const TrustProblem& t, const QString& server)
{
    switch (t.kind) {
    case TrustProblem::None:
        break;
    case TrustProblem::UnknownCertificate:
        return message("TLSUnknown", {server, t.fingerprint});
    case TrustProblem::ChangedCertificate:
        return message("TLSChanged", {server, t.pinned, t.fingerprint, t.hostPort});
    case TrustProblem::UnknownHostKey:
        return message("SSHUnknown", {server, t.fingerprint});
    case TrustProblem::ChangedHostKey:
        return message("SSHChanged", {server, t.fingerprint});
    }
    return QString();
}

} // namespace

// How a failed step is told: the message, then what the server or libcurl said about it.
struct TFileFTP::Report
{
    // text + the separator + the server's last words (never a line the client sent).
    std::function<QString(const QString&)> withReply;
    // ErrorText for a step that failed with code at the file (fileText) or before it.
    std::function<void(CURLcode, const QString&)> fail;
};

void TFileFTP::execute()
{
    const Parameters& p = m_parameters;
    // Hostile text (a received document's header, a pasted FTP entry) must not smuggle commands
    // in: nothing is sent when a field holds a control character.
    const auto refused = [](FtpField field) {
        static const char* const keys[] = {"", "FTPFieldServer", "FTPFieldPath", "FTPFieldLogin", "FTPFieldPassword"};
        return message("FTPControlChar", {message(keys[int(field)])});
    };
    switch (const FtpField field = UnsafeField(p)) {
    case FtpField::None:
        break;
    case FtpField::Path:
        m_errorText = message("FileAccess", {ShowControlCharacters(p.RemotePath)}) + kSeparator + refused(field);
        return;
    default:
        m_errorText = message("ConnectError", {ShowControlCharacters(p.ServerName)}) + kSeparator + refused(field);
        return;
    }

    const ServerAddress address = ParseServerAddress(p.ServerName, p.PortNumber);
    if (!address.valid) {
        m_errorText = message("ConnectError", {p.ServerName}) + kSeparator +
                      message(address.plainHttpRefused ? "HTTPPlain" : "BadAddress");
        return;
    }

    // 1-2. Connecting.
    emit statusChanged(message("Connect"));
    const bool ftp = address.transport == Transport::Ftp || address.transport == Transport::Ftps;
    Session s;
    s.worker = this;
    s.transport = address.transport;
    s.tls = address.transport == Transport::Ftps;

    Report report;
    if (ftp) {
        // A server that echoes what it was sent must not put the password in front of the user.
        report.withReply = [&p, &s](const QString& text) {
            QString reply = s.replies.text();
            // Nothing came from the server (it is down, or the name is unknown), or it came over
            // TLS, whose failures are often the handshake's, which no reply tells: libcurl says why.
            if (s.errorBuffer[0] && (reply.isEmpty() || s.tls))
                reply += (reply.isEmpty() ? QString() : QStringLiteral("\r\n")) + QString::fromUtf8(s.errorBuffer);
            if (p.UserPassword.size() >= 3)
                reply.replace(p.UserPassword, QStringLiteral("****"));
            return text + kSeparator + reply;
        };
    } else {
        // The server's last words: an HTTP answer, else what libcurl found wrong (SSH has no
        // reply texts), never a line the client sent.
        report.withReply = [&p, &s](const QString& text) {
            QString reply = s.replies.text();
            if (s.errorBuffer[0])
                reply += (reply.isEmpty() ? QString() : QStringLiteral("\r\n")) + QString::fromUtf8(s.errorBuffer);
            if (p.UserPassword.size() >= 3)
                reply.replace(p.UserPassword, QStringLiteral("****"));
            return text + kSeparator + reply.left(FtpReplyLog::MaxLength);
        };
    }
    // Where a step failed: before the login (or refused it), or at the file. FTP logs in first,
    // so its later steps fail at the file.
    report.fail = [this, &p, &s, &address, &report, ftp](CURLcode code, const QString& fileText) {
        if (address.transport != Transport::Ftp)
            m_serverFingerprint = s.seenFingerprint;
        m_trust = s.trustProblem(code, address);
        if (m_trust.kind != TrustProblem::None) {
            m_errorText = message("ConnectError", {p.ServerName}) + kSeparator + trustText(m_trust, p.ServerName);
            return;
        }
        if (code == CURLE_WRITE_ERROR && s.tooLarge) {
            m_errorText = message("DocTropGros", {QString::number((m_maxDownload + (1 << 20) - 1) >> 20)});
            return;
        }
        const long status = s.status;
        const bool atFile = ftp || code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_REMOTE_ACCESS_DENIED ||
                            code == CURLE_UPLOAD_FAILED || code == CURLE_QUOTE_ERROR ||
                            (code == CURLE_HTTP_RETURNED_ERROR && status != 401 && status != 407);
        m_errorText = report.withReply(atFile ? fileText : message("ConnectError", {p.ServerName}));
    };

    // 3-4. Whether the machine is offline is not known here: the connection says it.
    if (!WinInetAvailable() || !(s.curl = curl_easy_init())) {
        m_errorText = report.withReply(message("NetError"));
        return;
    }
    if (checkStop())
        return;
    if (!(ftp ? connectFtp(s, address, report) : connectOther(s, address, report)))
        return;

    const QString onServer = PathOnServer(address, p.RemotePath);
    if (m_probeOnly)
        runProbe(s, onServer, report);
    else if (m_download)
        download(s, onServer, report);
    else
        upload(s, onServer, report);
}

// FTP and FTPS: the connection and the login are a step of their own.
bool TFileFTP::connectFtp(Session& s, const ServerAddress& address, const Report& report)
{
    const Parameters& p = m_parameters;
    // A name that is no host name (spaces, "@", "/"...) must not turn into another address.
    QByteArray host = QUrl::toAce(s.tls ? address.host : p.ServerName);
    if (s.tls && address.host.contains(QLatin1Char(':')))
        host = '[' + address.host.toLatin1() + ']';
    if (host.isEmpty()) {
        m_errorText = report.withReply(message("ConnectError", {p.ServerName}));
        return false;
    }
    s.base = "ftp://" + host + ':' + QByteArray::number(address.port) + '/';
    CURL* c = s.curl;
    s.setCommonOptions(p.UserName.toUtf8(), p.UserPassword.toUtf8(), m_timeouts);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    // The path goes to the server as it is, without changes of folder.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    if (!p.PassiveMode)
        curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    if (s.tls) {
        // Explicit TLS on the control connection (AUTH TLS) and on every data connection; a
        // server that refuses it is refused.
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
        s.setTls(p.CertificatePin);
    }

    // 5-6. Connection and login.
    const CURLcode code = s.perform(s.base, Session::Body::None);
    if (checkStop())
        return false;
    if (s.tls)
        m_serverFingerprint = s.seenFingerprint;
    if (code != CURLE_OK) {
        m_trust = s.trustProblem(code, address);
        if (m_trust.kind != TrustProblem::None) {
            m_errorText = message("ConnectError", {p.ServerName}) + kSeparator + trustText(m_trust, p.ServerName);
            return false;
        }
        m_errorText = report.withReply(message("ConnectError", {p.ServerName}));
        return false;
    }
    return true;
}

// SFTP and WebDAV: the login is made by the first request itself.
bool TFileFTP::connectOther(Session& s, const ServerAddress& address, const Report& report)
{
    const Parameters& p = m_parameters;
    const bool sftp = s.isSftp();
    QByteArray host = QUrl::toAce(address.host);
    if (address.host.contains(QLatin1Char(':')))
        host = '[' + address.host.toLatin1() + ']';
    if (host.isEmpty()) {
        m_errorText = report.withReply(message("ConnectError", {p.ServerName}));
        return false;
    }
    const QByteArray scheme = sftp ? "sftp" : (address.transport == Transport::WebDav ? "https" : "http");
    s.base = scheme + "://" + host + ':' + QByteArray::number(address.port);

    CURL* c = s.curl;
    s.setCommonOptions(p.UserName.toUtf8(), p.UserPassword.toUtf8(), m_timeouts);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, scheme.constData());
    // A redirection is an answer like any other: never followed, and a failure of its step.
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);

    if (sftp)
        s.setSshOptions(p.KnownHostsPath.isEmpty() ? trust::knownHostsFile() : p.KnownHostsPath, address);
    else
        s.setHttpOptions(address.transport == Transport::WebDav ? p.CertificatePin : QString(),
                         address.transport == Transport::WebDav);
    return true;
}

void TFileFTP::download(Session& s, const QString& onServer, const Report& report)
{
    const Parameters& p = m_parameters;
    const QByteArray url = s.urlOf(onServer);
    const QString tooLarge = message("DocTropGros", {QString::number((m_maxDownload + (1 << 20) - 1) >> 20)});
    if (s.transport == Transport::Ftp || s.transport == Transport::Ftps) {
        // 8, 10.1. The file and its size.
        qint64 size = -1;
        CURLcode code = s.fileSize(onServer, size);
        if (checkStop())
            return;
        if (m_head && code == CURLE_REMOTE_FILE_NOT_FOUND) {
            m_remoteMissing = true;
            return;
        }
        if (code != CURLE_OK) {
            m_errorText = report.withReply(message("FileAccess", {p.RemotePath}));
            return;
        }
        if (!m_head && size > m_maxDownload) {
            m_errorText = tooLarge;
            return;
        }
        if (size < 0 || size > std::numeric_limits<qint32>::max()) {
            m_errorText = message("NotFound", {p.RemotePath, p.ServerName});
            return;
        }
        emit progressMaximum(int(size));
        if (checkStop())
            return;
        // 10.3-10.5.
        emit statusChanged(message("FTPDL"));
        m_bytesDone.store(0);
        m_data.clear();
        if (m_head)
            s.limit = HeadLength;
        else
            s.cap = size; // a server that sends more than it announced is sending something else
        m_data.reserve(s.limit >= 0 ? std::min<qsizetype>(size, s.limit) : qsizetype(size));
        code = s.perform(url, Session::Body::Receive);
        if (checkStop())
            return;
        if (m_head && (code == CURLE_OK || (code == CURLE_WRITE_ERROR && s.limitReached)))
            return;
        // A transfer that broke off, or ended short of the size announced, is no document.
        if (code != CURLE_OK || m_data.size() != size) {
            m_data.clear();
            m_errorText = report.withReply(message("FTPDLError"));
        }
        return;
    }

    emit statusChanged(message("FTPDL"));
    m_bytesDone.store(0);
    m_data.clear();
    if (m_head)
        s.limit = HeadLength;
    else
        s.cap = m_maxDownload;
    const CURLcode code = s.perform(url, Session::Body::Receive);
    if (checkStop())
        return;
    m_serverFingerprint = s.seenFingerprint;
    if (m_head && (code == CURLE_OK || (code == CURLE_WRITE_ERROR && s.limitReached)))
        return;
    if (m_head && isNotFound(code, s.status)) {
        m_remoteMissing = true;
        return;
    }
    if (code != CURLE_OK) {
        m_data.clear();
        if (s.tooLarge)
            m_errorText = tooLarge;
        else if (code == CURLE_PARTIAL_FILE || code == CURLE_OPERATION_TIMEDOUT || code == CURLE_RECV_ERROR)
            m_errorText = report.withReply(message("FTPDLError"));
        else
            report.fail(code, message("FileAccess", {p.RemotePath}));
        return;
    }
    // Asked for no range, a WebDAV server sends the whole file (200); any other success is not it.
    if (s.isHttp() && s.status != 200) {
        m_data.clear();
        m_errorText = report.withReply(message("FileAccess", {p.RemotePath}));
        return;
    }
    const qint64 size = s.contentLength();
    if (m_data.size() > std::numeric_limits<qint32>::max() || (size >= 0 && m_data.size() != size)) {
        m_data.clear();
        m_errorText = report.withReply(message("FTPDLError"));
    }
}

void TFileFTP::runProbe(Session& s, const QString& onServer, const Report& report)
{
    RemoteProbe probe;
    const bool read = probeFile(s, onServer, probe, report);
    m_bytesDone.store(qint32(std::min<qint64>(s.totalReceived, std::numeric_limits<qint32>::max())));
    if (!read || checkStop())
        return;
    m_probe = probe;
    m_remoteMissing = probe.missing;
}

bool TFileFTP::probeFile(Session& s, const QString& path, RemoteProbe& probe, const Report& report)
{
    const Parameters& p = m_parameters;
    const int edge = RemoteProbe::EdgeLength;
    // One end of the file: CURLE_OK, or false with ErrorText set, or `again` when the file changed
    // (or went) between the reads.
    bool again = false;
    const auto readEnd = [&](qint64 from, qsizetype length, bool toEnd, QByteArray& out) {
        const CURLcode code = s.readRange(path, from, length, toEnd, out);
        if (checkStop())
            return false;
        if (code == CURLE_BAD_DOWNLOAD_RESUME || isNotFound(code, s.status)) {
            again = true; // shorter than its size said, or gone
            return true;
        }
        if (code != CURLE_OK) {
            report.fail(code, message("FileAccess", {p.RemotePath}));
            return false;
        }
        return true;
    };
    // The end of the file is where its size said: FTP and SFTP announce what is left from the
    // offset, HTTP the whole size.
    const auto tailFits = [&](const QByteArray& tail, qint64 size) {
        return tail.size() == edge && (s.isHttp() ? s.rangeTotal == size : s.contentLength() == edge);
    };
    for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
        probe = RemoteProbe();
        again = false;
        qint64 size = -1;
        if (!s.isHttp()) {
            const CURLcode code = s.fileSize(path, size);
            if (checkStop())
                return false;
            if (code == CURLE_REMOTE_FILE_NOT_FOUND) {
                probe.missing = true;
                return true;
            }
            if (code != CURLE_OK) {
                report.fail(code, message("FileAccess", {p.RemotePath}));
                return false;
            }
        }
        // FTP and SFTP: the end first, read up to the end of the file; the beginning last, as an
        // FTP server makes the step after a transfer stopped short wait for its abort.
        QByteArray tail;
        if (size > edge) {
            if (!readEnd(size - edge, edge, true, tail))
                return false;
            if (again || !tailFits(tail, size))
                continue;
        }
        QByteArray head;
        if (size != 0) {
            // A file no longer than one end is read whole.
            const bool whole = size >= 0 && size <= edge;
            if (!readEnd(0, size > 0 ? qsizetype(std::min<qint64>(size, edge)) : edge, whole, head))
                return false;
            if (again && attempt + 1 < ProbeAttempts)
                continue;
            if (again) {
                // Gone since its size was read, or never there (HTTP learns it here).
                probe.missing = true;
                return true;
            }
            if (s.isHttp())
                size = s.rangeTotal;
        }
        // Without a size from the server (an SFTP file of 0 bytes, an FTP server without SIZE):
        // a beginning shorter than asked is the whole file.
        if (size < 0 && head.size() < edge)
            size = head.size();
        if (size < 0 || head.size() != std::min<qint64>(size, edge))
            continue;
        if (size <= edge) {
            tail = head;
        } else if (s.isHttp()) {
            if (!readEnd(size - edge, edge, true, tail))
                return false;
            if (again || !tailFits(tail, size))
                continue;
        } else if (tail.isEmpty()) {
            continue; // no size before the beginning was read, and longer than one end
        }
        probe.size = size;
        probe.head = head;
        probe.tail = tail;
        return true;
    }
    m_errorText = report.withReply(message("FileAccess", {p.RemotePath}));
    return false;
}

TFileFTP::Ownership TFileFTP::temporaryIsOurs(Session& s, const QString& temporary)
{
    QByteArray back;
    const CURLcode code = s.readRange(temporary, 0, m_upload.size(), true, back);
    if (code == CURLE_OK)
        return back == m_upload ? Ownership::Ours : Ownership::Theirs;
    // Gone: another computer's upload renamed it.
    return code == CURLE_REMOTE_FILE_NOT_FOUND ? Ownership::Theirs : Ownership::Unknown;
}

void TFileFTP::upload(Session& s, const QString& onServer, const Report& report)
{
    const Parameters& p = m_parameters;
    const bool plain = TransportIsPlain(s.transport);
    // 11. Under the temporary name, then renamed; the copy on the server is replaced only by the
    // rename (FTP RNFR/RNTO, SFTP rename, WebDAV MOVE with "Overwrite: T") once all of it is there.
    const QString temporary = plain ? TemporaryFtpName(onServer) : UniqueTemporaryName(onServer);
    // SFTP 3 servers: where the old copy waits while the new one takes its name.
    const QString aside = temporary.chopped(4) + QStringLiteral(".old");
    m_temporaryName = temporary;
    if (HasControlCharacter(temporary)) {
        m_errorText = message("FileAccess", {ShowControlCharacters(p.RemotePath)});
        return;
    }
    emit progressMaximum(int(std::min<qsizetype>(m_upload.size(), std::numeric_limits<int>::max())));
    m_bytesDone.store(0);
    emit statusChanged(message("FTPUL"));
    CURLcode code = s.store(temporary);
    if (checkStop()) {
        // Plain FTP leaves a stopped upload's temporary file, as it always did: it has one name,
        // which the next upload overwrites. A unique name would stay for ever.
        if (!plain)
            s.remove(temporary);
        return;
    }
    if (code != CURLE_OK) {
        // Failed before a byte went (the file refused, or its data connection): the remote file
        // could not be created, as a download that cannot start; later, the upload broke off.
        if (s.transport == Transport::Ftp || s.transport == Transport::Ftps)
            m_errorText =
                s.uploadPos == 0 ? report.withReply(message("FileAccess", {p.RemotePath})) : message("FTPULError");
        else if (s.uploadPos == 0 || code == CURLE_HTTP_RETURNED_ERROR || code == CURLE_REMOTE_ACCESS_DENIED)
            report.fail(code, message("FileAccess", {p.RemotePath}));
        else
            m_errorText = message("FTPULError");
        if (m_trust.kind == TrustProblem::None)
            s.remove(temporary);
        return;
    }
    if (s.transport != Transport::Ftp)
        m_serverFingerprint = s.seenFingerprint;

    // Plain FTP: every computer writes into the same temporary file; another one's bytes mixed
    // into it must never take the copy's name.
    if (plain) {
        const Ownership ours = temporaryIsOurs(s, temporary);
        if (checkStop())
            return;
        if (ours != Ownership::Ours) {
            if (ours == Ownership::Theirs)
                m_replacedMeanwhile = true;
            else
                m_errorText = report.withReply(message("FileAccess", {p.RemotePath}));
            s.remove(temporary);
            return;
        }
    }

    code = s.replace(temporary, onServer, aside);
    if (checkStop()) {
        if (!plain)
            s.remove(temporary);
        return;
    }
    if (code != CURLE_OK) {
        m_errorText = report.withReply(message("RenameFile", {temporary, p.RemotePath}));
        s.remove(temporary);
        return;
    }

    std::function<void()> hook;
    {
        QMutexLocker lock(&timeoutsMutex());
        hook = sharedReplacedHook();
    }
    if (hook)
        hook();
    // Read back: another computer's replacement at the same moment may have come after this one.
    RemoteProbe back;
    if (!probeFile(s, onServer, back, report))
        return;
    m_probe = back;
    m_verified = back.equals(probeOf(m_upload));
    m_replacedMeanwhile = !m_verified;
}

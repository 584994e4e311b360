#include "ftp/TFileFTP.h"

#include "ftp/TrustStore.h"
#include "lang/LangTable.h"
#include "platform/NetworkClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStringList>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cstring>
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

QString message(const char* key, const QStringList& args = {})
{
    return FillPlaceholders(Msg(QLatin1String(key)), args);
}

// The list of quote commands libcurl sends; freed with the list.
class CurlList
{
public:
    ~CurlList() { curl_slist_free_all(m_list); }
    // A line break inside a command would start another command: such a line is refused.
    bool append(const QByteArray& line)
    {
        if (HasControlCharacter(QString::fromUtf8(line)))
            return false;
        curl_slist* grown = curl_slist_append(m_list, line.constData());
        if (!grown)
            return false;
        m_list = grown;
        return true;
    }
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// Where a transfer keeps its session in the TLS context that libcurl makes for each connection.
int sessionIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// A path inside an SFTP quote command: quoted, so that spaces stay inside it.
QByteArray quotedSftpPath(const QByteArray& path)
{
    QByteArray out = "\"";
    for (const char c : path) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
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

TFileFTP::TFileFTP(Mode mode, const Parameters& parameters, bool download, const QByteArray& upload)
    : m_mode(mode), m_parameters(parameters), m_download(download), m_upload(upload), m_timeouts(timeouts())
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
        m_errorText = message("FTPInternal");
    }
    if (m_stopped)
        m_errorText.clear();
}

// One libcurl handle, kept for the whole transfer so that every step uses the same control
// connection, with the callbacks that feed the reply log, the stop checks and the data.
struct TFileFTP::Session
{
    TFileFTP* worker = nullptr;
    CURL* curl = nullptr;
    FtpReplyLog replies;
    QByteArray base; // "ftp://host:port/"
    bool receiving = false;
    qsizetype uploadPos = 0;
    bool tls = false;
    qsizetype limit = -1; // a head download stops after this many bytes
    bool limitReached = false;
    bool maximumKnown = false;
    char errorBuffer[CURL_ERROR_SIZE] = {}; // libcurl's own reason for the last failure
    // TLS: the pin, and what the handshake saw.
    QString pin;
    QString seenFingerprint;
    bool pinMismatch = false;
    // SSH: the server's key and how known_hosts matched it.
    QString knownHostsName;
    QString hostKeyLine;
    curl_khmatch hostKeyMatch = CURLKHMATCH_OK;
    bool hostKeySeen = false;

    ~Session()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }

    static int debug(CURL*, curl_infotype type, char* data, size_t size, void* user)
    {
        // Only what the server sent: the client's lines carry the password.
        if (type == CURLINFO_HEADER_IN) {
            auto* s = static_cast<Session*>(user);
            const QByteArray text(data, qsizetype(size));
            for (const QByteArray& line : text.split('\n'))
                if (!line.trimmed().isEmpty())
                    s->replies.addLine(line);
        }
        return 0;
    }

    static int progress(void* user, curl_off_t total, curl_off_t, curl_off_t, curl_off_t)
    {
        auto* s = static_cast<Session*>(user);
        // Transports without a size step learn the size as the download starts.
        if (s->receiving && !s->maximumKnown && total > 0 && total <= std::numeric_limits<qint32>::max()) {
            s->maximumKnown = true;
            emit s->worker->progressMaximum(int(s->limit >= 0 ? std::min<curl_off_t>(total, s->limit) : total));
        }
        return s->worker->checkStop() ? 1 : 0;
    }

    // libcurl's TLS context of a new connection (control or data): the certificate is checked
    // by verifyCertificate during the handshake, before anything is sent over it.
    static CURLcode sslContext(CURL*, void* context, void* user)
    {
        auto* ctx = static_cast<SSL_CTX*>(context);
        if (!SSL_CTX_set_ex_data(ctx, sessionIndex(), user))
            return CURLE_SSL_CERTPROBLEM;
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, &Session::verifyCertificate);
        return CURLE_OK;
    }

    // The system's verdict stands unless the user pinned a certificate for this server: then
    // that exact certificate, and no other, is accepted.
    static int verifyCertificate(int preverified, X509_STORE_CTX* store)
    {
        auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        auto* s = ssl ? static_cast<Session*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), sessionIndex())) : nullptr;
        X509* leaf = X509_STORE_CTX_get0_cert(store);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!s || !leaf || !X509_digest(leaf, EVP_sha256(), digest, &length))
            return 0;
        s->seenFingerprint =
            QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex(':').toUpper());
        if (!s->pin.isEmpty()) {
            if (s->seenFingerprint == s->pin) {
                X509_STORE_CTX_set_error(store, X509_V_OK);
                return 1;
            }
            s->pinMismatch = true;
            return 0;
        }
        return preverified;
    }

    // The server's host key against known_hosts: only a key found there passes; an unknown or a
    // changed one ends the connection before the login is sent.
    static int hostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* user)
    {
        auto* s = static_cast<Session*>(user);
        const QByteArray blob = found->len > 0 ? QByteArray(found->key, qsizetype(found->len))
                                               : QByteArray::fromBase64(QByteArray(found->key));
        s->hostKeySeen = true;
        s->hostKeyMatch = match;
        s->seenFingerprint = trust::hostKeyFingerprint(blob);
        s->hostKeyLine = trust::knownHostsLine(s->knownHostsName, blob);
        return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
    }

    static size_t discard(char*, size_t, size_t size, void*) { return size; }

    static size_t write(char* data, size_t, size_t size, void* user)
    {
        auto* s = static_cast<Session*>(user);
        // Without a body libcurl hands over header-like lines of its own: not file content.
        if (!s->receiving)
            return size;
        if (s->worker->checkStop())
            return 0;
        qsizetype taken = qsizetype(size);
        if (s->limit >= 0 && s->worker->m_data.size() + taken >= s->limit) {
            // Enough for a header: the rest is not fetched.
            taken = s->limit - s->worker->m_data.size();
            s->limitReached = true;
        }
        s->worker->m_data.append(data, taken);
        if (s->limitReached)
            return 0;
        const qint32 done = s->worker->m_bytesDone.load() + qint32(size);
        s->worker->m_bytesDone.store(done);
        emit s->worker->progressChanged(done);
        return size;
    }

    static size_t read(char* buffer, size_t, size_t size, void* user)
    {
        auto* s = static_cast<Session*>(user);
        if (s->worker->checkStop())
            return CURL_READFUNC_ABORT;
        const QByteArray& bytes = s->worker->m_upload;
        const size_t count = std::min<size_t>({size, size_t(ChunkLength), size_t(bytes.size() - s->uploadPos)});
        if (count > 0)
            std::memcpy(buffer, bytes.constData() + s->uploadPos, count);
        s->uploadPos += qsizetype(count);
        const qint32 done = qint32(s->uploadPos);
        s->worker->m_bytesDone.store(done);
        if (count > 0)
            emit s->worker->progressChanged(done);
        return count;
    }

    // The options every transport shares: the login (none means anonymous), buffer sizes, the
    // time-outs, libcurl's reason, the reply log and the progress and data callbacks.
    void setCommonOptions(const QByteArray& user, const QByteArray& password, const FtpTimeouts& t)
    {
        CURL* c = curl;
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        if (!user.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
            curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
        }
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, long(ChunkLength));
        curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, 16384L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(t.connectMs));
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(std::max(1, (t.replyMs + 999) / 1000)));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(std::max(1, t.stallSeconds)));
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &Session::debug);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Session::progress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Session::write);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, &Session::read);
        curl_easy_setopt(c, CURLOPT_READDATA, this);
    }

    // Sets the options of one step on the shared handle and runs it.
    CURLcode perform(const QByteArray& path, bool body, bool upload, curl_slist* quote = nullptr)
    {
        const QByteArray url = base + QUrl::toPercentEncoding(QString::fromUtf8(path), "/");
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_NOBODY, body ? 0L : 1L);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, upload ? 1L : 0L);
        curl_easy_setopt(curl, CURLOPT_QUOTE, quote);
        if (upload) {
            uploadPos = 0;
            curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(worker->m_upload.size()));
        }
        receiving = body && !upload;
        const CURLcode code = curl_easy_perform(curl);
        receiving = false;
        return code;
    }

    // The same for a full address (SFTP, WebDAV).
    CURLcode performUrl(const QByteArray& url, bool body, bool upload)
    {
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_NOBODY, body ? 0L : 1L);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, upload ? 1L : 0L);
        if (upload) {
            uploadPos = 0;
            curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(worker->m_upload.size()));
        }
        errorBuffer[0] = 0;
        receiving = body && !upload;
        const CURLcode code = curl_easy_perform(curl);
        receiving = false;
        return code;
    }

    long httpStatus() const
    {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        return status;
    }

    // The trust problem the last step ran into, if any.
    TrustProblem trustProblem(CURLcode code, const ServerAddress& address) const
    {
        TrustProblem t;
        if (address.transport == Transport::Sftp) {
            if (!hostKeySeen || hostKeyMatch == CURLKHMATCH_OK)
                return t;
            t.kind = hostKeyMatch == CURLKHMATCH_MISMATCH ? TrustProblem::ChangedHostKey : TrustProblem::UnknownHostKey;
            t.fingerprint = seenFingerprint;
            t.knownHostLine = hostKeyLine;
            return t;
        }
        if (seenFingerprint.isEmpty())
            return t;
        t.hostPort = HostPortKey(address);
        t.fingerprint = seenFingerprint;
        if (pinMismatch) {
            t.kind = TrustProblem::ChangedCertificate;
            t.pinned = pin;
        } else if (pin.isEmpty() && code == CURLE_PEER_FAILED_VERIFICATION) {
            // Not vouched for by the system: an unknown issuer, a self-signed certificate, or
            // one made out to another name.
            t.kind = TrustProblem::UnknownCertificate;
        }
        return t;
    }

    // Options of TLS connections: the system's checks, or the pin alone when there is one (the
    // pin names one exact certificate, whatever name it was made out to).
    void setTls(const QString& pinned)
    {
        pin = pinned.trimmed().toUpper();
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, pin.isEmpty() ? 2L : 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &Session::sslContext);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, this);
    }
};

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

void TFileFTP::execute()
{
    const Parameters& p = m_parameters;
    // A server that echoes what it was sent must not put the password in front of the user.
    const auto withReply = [&p](const QString& text, const Session& s) {
        QString reply = s.replies.text();
        // Nothing came from the server (it is down, or the name is unknown), or it came over TLS,
        // whose failures are often the handshake's, which no reply tells: libcurl says why.
        if (s.errorBuffer[0] && (reply.isEmpty() || s.tls))
            reply += (reply.isEmpty() ? QString() : QStringLiteral("\r\n")) + QString::fromUtf8(s.errorBuffer);
        if (p.UserPassword.size() >= 3)
            reply.replace(p.UserPassword, QStringLiteral("****"));
        return text + kSeparator + reply;
    };

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
    if (address.transport != Transport::Ftp && address.transport != Transport::Ftps) {
        executeOther(address);
        return;
    }
    const bool tls = address.transport == Transport::Ftps;
    Session s;
    s.worker = this;

    // 3-4. Whether the machine is offline is not known here: the connection says it.
    if (!WinInetAvailable() || !(s.curl = curl_easy_init())) {
        m_errorText = withReply(message("NetError"), s);
        return;
    }
    if (checkStop())
        return;

    const quint16 port = address.port;
    // A name that is no host name (spaces, "@", "/"...) must not turn into another address.
    QByteArray host = QUrl::toAce(tls ? address.host : p.ServerName);
    if (tls && address.host.contains(QLatin1Char(':')))
        host = '[' + address.host.toLatin1() + ']';
    if (host.isEmpty()) {
        m_errorText = withReply(message("ConnectError", {p.ServerName}), s);
        return;
    }
    s.base = "ftp://" + host + ':' + QByteArray::number(port) + '/';
    const QByteArray user = p.UserName.toUtf8();
    const QByteArray password = p.UserPassword.toUtf8();
    CURL* c = s.curl;
    s.setCommonOptions(user, password, m_timeouts);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    // The path goes to the server as it is, without changes of folder.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    if (!p.PassiveMode)
        curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    if (tls) {
        // Explicit TLS on the control connection (AUTH TLS) and on every data connection; a
        // server that refuses it is refused.
        s.tls = true;
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
        s.setTls(p.CertificatePin);
    }

    // 5-6. Connection and login.
    CURLcode code = s.perform(QByteArray(), false, false);
    if (checkStop())
        return;
    if (tls)
        m_serverFingerprint = s.seenFingerprint;
    if (code != CURLE_OK) {
        m_trust = s.trustProblem(code, address);
        if (m_trust.kind != TrustProblem::None) {
            m_errorText = message("ConnectError", {p.ServerName}) + kSeparator + trustText(m_trust, p.ServerName);
            return;
        }
        m_errorText = withReply(message("ConnectError", {p.ServerName}), s);
        return;
    }

    const QString onServer = PathOnServer(address, p.RemotePath);
    const QByteArray remote = onServer.toUtf8();
    if (m_download) {
        // 8, 10.1. The file and its size.
        code = s.perform(remote, false, false);
        if (checkStop())
            return;
        if (m_head && code == CURLE_REMOTE_FILE_NOT_FOUND) {
            m_remoteMissing = true;
            return;
        }
        if (code != CURLE_OK) {
            m_errorText = withReply(message("FileAccess", {p.RemotePath}), s);
            return;
        }
        curl_off_t size = -1;
        if (curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK || size < 0 ||
            size > std::numeric_limits<qint32>::max()) {
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
        m_data.reserve(s.limit >= 0 ? std::min<qsizetype>(size, s.limit) : qsizetype(size));
        code = s.perform(remote, true, false);
        if (checkStop())
            return;
        if (m_head && (code == CURLE_OK || (code == CURLE_WRITE_ERROR && s.limitReached)))
            return;
        // A transfer that broke off, or ended short of the size announced, is no document.
        if (code != CURLE_OK || m_data.size() != size) {
            m_data.clear();
            m_errorText = withReply(message("FTPDLError"), s);
        }
        return;
    }

    // 11. Upload under the temporary name, then rename.
    const QString temporary = TemporaryFtpName(onServer);
    emit progressMaximum(int(std::min<qsizetype>(m_upload.size(), std::numeric_limits<int>::max())));
    m_bytesDone.store(0);
    emit statusChanged(message("FTPUL"));
    code = s.perform(temporary.toUtf8(), true, true);
    if (checkStop())
        return;
    if (code != CURLE_OK) {
        // Failed before a byte went (the file refused, or its data connection): the remote file could
        // not be created, as a download that cannot start; later, the upload broke off.
        m_errorText = s.uploadPos == 0 ? withReply(message("FileAccess", {p.RemotePath}), s) : message("FTPULError");
        return;
    }
    CurlList rename;
    const bool listed = rename.append("RNFR " + temporary.toUtf8()) && rename.append("RNTO " + remote);
    code = listed ? s.perform(QByteArray(), false, false, rename.get()) : CURLE_QUOTE_ERROR;
    if (code != CURLE_OK && !checkStop())
        m_errorText = withReply(message("RenameFile", {temporary, p.RemotePath}), s);
}

// SFTP and WebDAV: the same steps as FTP, with the login made by the first request itself.
void TFileFTP::executeOther(const ServerAddress& address)
{
    const Parameters& p = m_parameters;
    const bool sftp = address.transport == Transport::Sftp;
    const bool https = address.transport == Transport::WebDav;
    Session s;
    s.worker = this;
    // The server's last words: an HTTP status line, else what libcurl found wrong (SSH has no
    // reply texts), never a line the client sent.
    const auto withReply = [&p, &s](const QString& text) {
        QString reply = s.replies.text();
        if (s.errorBuffer[0])
            reply += (reply.isEmpty() ? QString() : QStringLiteral("\r\n")) + QString::fromUtf8(s.errorBuffer);
        if (p.UserPassword.size() >= 3)
            reply.replace(p.UserPassword, QStringLiteral("****"));
        return text + kSeparator + reply.left(FtpReplyLog::MaxLength);
    };
    if (!WinInetAvailable() || !(s.curl = curl_easy_init())) {
        m_errorText = withReply(message("NetError"));
        return;
    }
    if (checkStop())
        return;

    QByteArray host = QUrl::toAce(address.host);
    if (address.host.contains(QLatin1Char(':')))
        host = '[' + address.host.toLatin1() + ']';
    if (host.isEmpty()) {
        m_errorText = withReply(message("ConnectError", {p.ServerName}));
        return;
    }
    const QByteArray scheme = sftp ? "sftp" : (https ? "https" : "http");
    s.base = scheme + "://" + host + ':' + QByteArray::number(address.port);
    const auto urlOf = [&](const QString& path) {
        const QByteArray encoded = QUrl::toPercentEncoding(path, "/");
        // SFTP: a relative path is the user's home, as with the sftp command.
        if (sftp && !path.startsWith(QLatin1Char('/')))
            return s.base + "/~/" + encoded;
        QByteArray trimmed = encoded;
        while (trimmed.startsWith('/'))
            trimmed.remove(0, 1);
        return s.base + '/' + trimmed;
    };

    const QByteArray user = p.UserName.toUtf8();
    const QByteArray password = p.UserPassword.toUtf8();
    CURL* c = s.curl;
    s.setCommonOptions(user, password, m_timeouts);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, scheme.constData());
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);

    QByteArray knownHosts;
    QByteArray keyFile;
    if (sftp) {
        // Without a known_hosts file set, libcurl would take any host key: it is always set.
        knownHosts = QFile::encodeName(p.KnownHostsPath.isEmpty() ? trust::knownHostsFile() : p.KnownHostsPath);
        s.knownHostsName = KnownHostsName(address.host, address.port);
        curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, knownHosts.constData());
        curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, &Session::hostKey);
        curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, &s);
        // The password, ssh-agent, or the user's own key.
        long methods = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD | CURLSSH_AUTH_AGENT;
        const QString sshFolder = QDir::homePath() + QStringLiteral("/.ssh/");
        for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
            const QString candidate = sshFolder + QLatin1String(name);
            if (QFileInfo(candidate).isFile() && QFileInfo(candidate + QStringLiteral(".pub")).isFile()) {
                keyFile = QFile::encodeName(candidate);
                break;
            }
        }
        // Without a key of the user's, libcurl would look for one in the working folder.
        if (!keyFile.isEmpty()) {
            methods |= CURLSSH_AUTH_PUBLICKEY;
            curl_easy_setopt(c, CURLOPT_SSH_PRIVATE_KEYFILE, keyFile.constData());
            const QByteArray publicKey = keyFile + ".pub";
            curl_easy_setopt(c, CURLOPT_SSH_PUBLIC_KEYFILE, publicKey.constData());
        }
        curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES, methods);
    } else {
        curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        if (https)
            s.setTls(p.CertificatePin);
    }

    // Where a step failed: before the login (or refused it), or at the file.
    const auto fail = [&](CURLcode code, const QString& fileText) {
        if (sftp || https)
            m_serverFingerprint = s.seenFingerprint;
        m_trust = s.trustProblem(code, address);
        if (m_trust.kind != TrustProblem::None) {
            m_errorText = message("ConnectError", {p.ServerName}) + kSeparator + trustText(m_trust, p.ServerName);
            return;
        }
        const long status = s.httpStatus();
        const bool atFile = code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_REMOTE_ACCESS_DENIED ||
                            code == CURLE_UPLOAD_FAILED || code == CURLE_QUOTE_ERROR ||
                            (code == CURLE_HTTP_RETURNED_ERROR && status != 401 && status != 407);
        m_errorText = atFile ? withReply(fileText) : withReply(message("ConnectError", {p.ServerName}));
    };

    const QString onServer = PathOnServer(address, p.RemotePath);
    if (m_download) {
        emit statusChanged(message("FTPDL"));
        m_bytesDone.store(0);
        m_data.clear();
        if (m_head)
            s.limit = HeadLength;
        const CURLcode code = s.performUrl(urlOf(onServer), true, false);
        if (checkStop())
            return;
        m_serverFingerprint = s.seenFingerprint;
        if (m_head && (code == CURLE_OK || (code == CURLE_WRITE_ERROR && s.limitReached)))
            return;
        if (m_head && isNotFound(code, s.httpStatus())) {
            m_remoteMissing = true;
            return;
        }
        if (code != CURLE_OK) {
            m_data.clear();
            if (code == CURLE_PARTIAL_FILE || code == CURLE_OPERATION_TIMEDOUT || code == CURLE_RECV_ERROR)
                m_errorText = withReply(message("FTPDLError"));
            else
                fail(code, message("FileAccess", {p.RemotePath}));
            return;
        }
        curl_off_t size = -1;
        curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        if (m_data.size() > std::numeric_limits<qint32>::max() || (size >= 0 && m_data.size() != size)) {
            m_data.clear();
            m_errorText = withReply(message("FTPDLError"));
        }
        return;
    }

    // Upload under the temporary name; the copy on the server is replaced only by the rename
    // (SFTP rename with overwrite, WebDAV MOVE with "Overwrite: T") once all of it is there.
    const QString temporary = TemporaryFtpName(onServer);
    emit progressMaximum(int(std::min<qsizetype>(m_upload.size(), std::numeric_limits<int>::max())));
    m_bytesDone.store(0);
    emit statusChanged(message("FTPUL"));
    CURLcode code = s.performUrl(urlOf(temporary), true, true);
    if (checkStop())
        return;
    m_serverFingerprint = s.seenFingerprint;
    if (code != CURLE_OK) {
        if (s.uploadPos == 0 || code == CURLE_HTTP_RETURNED_ERROR || code == CURLE_REMOTE_ACCESS_DENIED)
            fail(code, message("FileAccess", {p.RemotePath}));
        else
            m_errorText = message("FTPULError");
        return;
    }

    const auto renameFailed = [&] { m_errorText = withReply(message("RenameFile", {temporary, p.RemotePath})); };
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Session::discard);
    if (!sftp) {
        CurlList headers;
        const QByteArray destination = urlOf(onServer);
        if (!headers.append("Destination: " + destination) || !headers.append("Overwrite: T")) {
            renameFailed();
            return;
        }
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "MOVE");
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        code = s.performUrl(urlOf(temporary), true, false);
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, nullptr);
        if (code != CURLE_OK && !checkStop())
            renameFailed();
        return;
    }

    // SFTP: the rename replaces the old copy where the server allows it (SFTP 5 and later, and
    // servers that follow POSIX); SFTP 3 servers such as OpenSSH's refuse to rename over an
    // existing file, and there the old copy steps aside first and is removed once the new one
    // holds the name (put back if that fails).
    const auto quotedPath = [&](const QString& path) { return quotedSftpPath(path.toUtf8()); };
    const auto runQuote = [&](const QList<QByteArray>& commands) {
        CurlList list;
        for (const QByteArray& command : commands)
            if (!list.append(command))
                return CURLE_QUOTE_ERROR;
        curl_easy_setopt(c, CURLOPT_QUOTE, list.get());
        // The quote commands run before a transfer of nothing: the folder's own address, no body.
        const CURLcode result = s.performUrl(s.base + "/~/", false, false);
        curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
        return result;
    };
    code = runQuote({"rename " + quotedPath(temporary) + ' ' + quotedPath(onServer)});
    if (code == CURLE_OK || checkStop())
        return;
    const QString aside = onServer + QStringLiteral(".old");
    code = runQuote({"*rm " + quotedPath(aside), "rename " + quotedPath(onServer) + ' ' + quotedPath(aside)});
    if (code != CURLE_OK) {
        renameFailed();
        return;
    }
    code = runQuote({"rename " + quotedPath(temporary) + ' ' + quotedPath(onServer)});
    if (code != CURLE_OK) {
        runQuote({"rename " + quotedPath(aside) + ' ' + quotedPath(onServer)});
        renameFailed();
        return;
    }
    runQuote({"*rm " + quotedPath(aside)});
}

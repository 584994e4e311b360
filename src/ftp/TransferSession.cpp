#include "ftp/TransferSession.h"

#include "ftp/TrustStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <openssl/ssl.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Where a transfer keeps its session in the TLS context that libcurl makes for each connection.
int sessionIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// A path inside an SFTP quote command: quoted, so that spaces stay inside it.
QByteArray quotedSftpPath(const QString& path)
{
    QByteArray out = "\"";
    for (const char c : path.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// The number after the last "/" of "bytes a-b/N" or "bytes */N"; -1 when there is none.
qint64 rangeTotalOf(const QByteArray& value)
{
    const qsizetype slash = value.lastIndexOf('/');
    if (slash < 0)
        return -1;
    bool ok = false;
    const qint64 total = value.mid(slash + 1).trimmed().toLongLong(&ok);
    return ok && total >= 0 ? total : -1;
}

} // namespace

bool CurlList::append(const QByteArray& line)
{
    if (HasControlCharacter(QString::fromUtf8(line)))
        return false;
    curl_slist* grown = curl_slist_append(m_list, line.constData());
    if (!grown)
        return false;
    m_list = grown;
    return true;
}

TFileFTP::Session::~Session()
{
    if (curl)
        curl_easy_cleanup(curl);
}

bool TFileFTP::Session::stopNow() const
{
    return !ignoreStop && worker->checkStop();
}

int TFileFTP::Session::debug(CURL*, curl_infotype type, char* data, size_t size, void* user)
{
    // Only what the server sent: the client's lines carry the password.
    if (type == CURLINFO_HEADER_IN) {
        auto* s = static_cast<Session*>(user);
        const QByteArray text(data, qsizetype(size));
        for (const QByteArray& line : text.split('\n')) {
            if (line.trimmed().isEmpty())
                continue;
            // An HTTP answer starts the reply afresh: the reply shown is the last answer's.
            if (s->isHttp() && line.startsWith("HTTP/"))
                s->replies = FtpReplyLog();
            s->replies.addLine(line);
        }
    }
    return 0;
}

int TFileFTP::Session::progress(void* user, curl_off_t total, curl_off_t, curl_off_t, curl_off_t)
{
    auto* s = static_cast<Session*>(user);
    if (s->receiving && s->cap >= 0 && total > s->cap) {
        // Announced too large (the size of an SFTP file, a Content-Length): not even begun.
        s->tooLarge = true;
        return 1;
    }
    // Transports without a size step learn the size as the download starts.
    if (s->receiving && !s->quiet && !s->maximumKnown && total > 0 && total <= std::numeric_limits<qint32>::max()) {
        s->maximumKnown = true;
        emit s->worker->progressMaximum(int(s->limit >= 0 ? std::min<curl_off_t>(total, s->limit) : total));
    }
    return s->stopNow() ? 1 : 0;
}

// libcurl's TLS context of a new connection (control or data): the certificate is checked by
// verifyCertificate during the handshake, before anything is sent over it.
CURLcode TFileFTP::Session::sslContext(CURL*, void* context, void* user)
{
    auto* ctx = static_cast<SSL_CTX*>(context);
    if (!SSL_CTX_set_ex_data(ctx, sessionIndex(), user))
        return CURLE_SSL_CERTPROBLEM;
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, &Session::verifyCertificate);
    return CURLE_OK;
}

// The system's verdict stands unless the user pinned a certificate for this server: then that
// exact certificate, and no other, is accepted.
int TFileFTP::Session::verifyCertificate(int preverified, X509_STORE_CTX* store)
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
int TFileFTP::Session::hostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* user)
{
    auto* s = static_cast<Session*>(user);
    const QByteArray blob =
        found->len > 0 ? QByteArray(found->key, qsizetype(found->len)) : QByteArray::fromBase64(QByteArray(found->key));
    s->hostKeySeen = true;
    s->hostKeyMatch = match;
    s->seenFingerprint = trust::hostKeyFingerprint(blob);
    s->hostKeyLine = trust::knownHostsLine(s->knownHostsName, blob);
    return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
}

// HTTP only: the status and the sizes of each answer (a "100 Continue" comes before the real one).
size_t TFileFTP::Session::header(char* data, size_t, size_t size, void* user)
{
    auto* s = static_cast<Session*>(user);
    const QByteArray line = QByteArray(data, qsizetype(std::min<size_t>(size, 4096))).trimmed();
    if (line.startsWith("HTTP/")) {
        const QList<QByteArray> parts = line.split(' ');
        s->status = parts.size() > 1 ? parts[1].toLong() : 0;
        s->rangeTotal = -1;
        s->announced = -1;
        return size;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return size;
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "content-range") {
        s->rangeTotal = rangeTotalOf(value);
    } else if (name == "content-length") {
        bool ok = false;
        const qint64 length = value.toLongLong(&ok);
        s->announced = ok && length >= 0 ? length : -1;
        // A whole body announced larger than the cap is not begun.
        if (s->receiving && s->cap >= 0 && s->status == 200 && s->announced > s->cap) {
            s->tooLarge = true;
            return 0;
        }
    }
    return size;
}

size_t TFileFTP::Session::write(char* data, size_t, size_t size, void* user)
{
    auto* s = static_cast<Session*>(user);
    // Without a body libcurl hands over header-like lines of its own: not file content; nor is
    // the text of an HTTP error or redirection.
    if (!s->receiving || (s->isHttp() && (s->status < 200 || s->status > 299)))
        return size;
    if (s->stopNow())
        return 0;
    s->received += qint64(size);
    s->totalReceived += qint64(size);
    if (s->cap >= 0 && s->received > s->cap) {
        s->tooLarge = true;
        return 0;
    }
    QByteArray& out = s->sink ? *s->sink : s->worker->m_data;
    if (s->keepLast >= 0 && s->rangeAsked && s->isHttp() && s->status == 200) {
        // The range was ignored: the whole file comes, of which only the end is wanted.
        out.append(data, qsizetype(size));
        if (out.size() > 2 * s->keepLast + 65536)
            out.remove(0, out.size() - s->keepLast);
        return size;
    }
    qsizetype taken = qsizetype(size);
    if (s->limit >= 0 && out.size() + taken >= s->limit) {
        // Enough: the rest is not fetched.
        taken = s->limit - out.size();
        s->limitReached = true;
    }
    out.append(data, taken);
    if (s->limitReached)
        return 0;
    if (!s->quiet) {
        const qint32 done = s->worker->m_bytesDone.load() + qint32(size);
        s->worker->m_bytesDone.store(done);
        emit s->worker->progressChanged(done);
    }
    return size;
}

size_t TFileFTP::Session::read(char* buffer, size_t, size_t size, void* user)
{
    auto* s = static_cast<Session*>(user);
    if (s->stopNow())
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

void TFileFTP::Session::setCommonOptions(const QByteArray& user, const QByteArray& password, const FtpTimeouts& t)
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
    if (isHttp()) {
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Session::header);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    }
}

void TFileFTP::Session::setTls(const QString& pinned)
{
    pin = pinned.trimmed().toUpper();
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, pin.isEmpty() ? 2L : 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &Session::sslContext);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, this);
}

void TFileFTP::Session::setSshOptions(const QString& knownHosts, const ServerAddress& address)
{
    // Without a known_hosts file set, libcurl would take any host key: it is always set. libcurl
    // keeps its own copy of the strings it is given.
    knownHostsName = KnownHostsName(address.host, address.port);
    curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, QFile::encodeName(knownHosts).constData());
    curl_easy_setopt(curl, CURLOPT_SSH_KEYFUNCTION, &Session::hostKey);
    curl_easy_setopt(curl, CURLOPT_SSH_KEYDATA, this);
    // The password, ssh-agent, or the user's own key.
    long methods = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD | CURLSSH_AUTH_AGENT;
    const QString sshFolder = QDir::homePath() + QStringLiteral("/.ssh/");
    QByteArray keyFile;
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
        curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, keyFile.constData());
        const QByteArray publicKey = keyFile + ".pub";
        curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE, publicKey.constData());
    }
    curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, methods);
}

void TFileFTP::Session::setHttpOptions(const QString& pinned, bool https)
{
    // Every answer's status is checked by the steps themselves (a redirection is a failure too),
    // and the text of an error answer is never taken for file content.
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    if (https)
        setTls(pinned);
}

QByteArray TFileFTP::Session::urlOf(const QString& path) const
{
    const QByteArray encoded = QUrl::toPercentEncoding(path, "/");
    // FTP: the path goes to the server as it is.
    if (transport == Transport::Ftp || transport == Transport::Ftps)
        return base + encoded;
    // SFTP: a relative path is the user's home, as with the sftp command.
    if (isSftp() && !path.startsWith(QLatin1Char('/')))
        return base + "/~/" + encoded;
    QByteArray trimmed = encoded;
    while (trimmed.startsWith('/'))
        trimmed.remove(0, 1);
    return base + '/' + trimmed;
}

CURLcode TFileFTP::Session::perform(const QByteArray& url, Body body, curl_slist* quote)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, body == Body::None ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, body == Body::Send ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_QUOTE, quote);
    if (body == Body::Send) {
        uploadPos = 0;
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(worker->m_upload.size()));
    }
    errorBuffer[0] = 0;
    status = 0;
    rangeTotal = -1;
    announced = -1;
    received = 0;
    limitReached = false;
    tooLarge = false;
    receiving = body == Body::Receive;
    CURLcode code = curl_easy_perform(curl);
    receiving = false;
    curl_easy_setopt(curl, CURLOPT_QUOTE, nullptr);
    if (code == CURLE_OK && isHttp() && (status < 200 || status > 299 || status == 207))
        code = CURLE_HTTP_RETURNED_ERROR;
    return code;
}

long TFileFTP::Session::httpStatus() const
{
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

qint64 TFileFTP::Session::contentLength() const
{
    curl_off_t size = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK)
        return -1;
    return qint64(size);
}

TrustProblem TFileFTP::Session::trustProblem(CURLcode code, const ServerAddress& address) const
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
        // Not vouched for by the system: an unknown issuer, a self-signed certificate, or one
        // made out to another name.
        t.kind = TrustProblem::UnknownCertificate;
    }
    return t;
}

CURLcode TFileFTP::Session::fileSize(const QString& path, qint64& size)
{
    size = -1;
    const CURLcode code = perform(urlOf(path), Body::None);
    if (code == CURLE_OK)
        size = contentLength();
    return code;
}

CURLcode TFileFTP::Session::readRange(const QString& path, qint64 from, qsizetype length, bool toEnd, QByteArray& out)
{
    out.clear();
    const QByteArray range =
        QByteArray::number(from) + '-' + (toEnd ? QByteArray() : QByteArray::number(from + length - 1));
    // Built from numbers; checked as every text that reaches a protocol command is.
    if (HasControlCharacter(QString::fromLatin1(range)))
        return CURLE_BAD_FUNCTION_ARGUMENT;
    rangeAsked = !(from == 0 && toEnd);
    curl_easy_setopt(curl, CURLOPT_RANGE, rangeAsked ? range.constData() : nullptr);
    const bool wasQuiet = quiet;
    sink = &out;
    quiet = true;
    // One byte more than asked shows a longer file without reading the rest of it.
    limit = length + 1;
    keepLast = from > 0 ? length : -1;
    // A server that ignores the range sends the whole file: no more of it than of a download.
    const qint64 wasCap = cap;
    cap = worker->m_maxDownload;
    CURLcode code = perform(urlOf(path), Body::Receive);
    cap = wasCap;
    if (code == CURLE_WRITE_ERROR && limitReached)
        code = CURLE_OK;
    if (code == CURLE_HTTP_RETURNED_ERROR && status == 416 && rangeAsked) {
        out.clear();
        code = CURLE_OK;
    }
    if (isHttp() && status == 200 && rangeAsked) {
        // The range was ignored and the whole file came: its beginning or its end is what was
        // asked for, the body's size the file's.
        if (from > 0) {
            out = out.right(length);
            rangeTotal = received;
        } else {
            out.truncate(length);
            rangeTotal = announced;
        }
    }
    curl_easy_setopt(curl, CURLOPT_RANGE, nullptr);
    rangeAsked = false;
    sink = nullptr;
    quiet = wasQuiet;
    keepLast = -1;
    limit = -1;
    return code;
}

CURLcode TFileFTP::Session::store(const QString& path)
{
    return perform(urlOf(path), Body::Send);
}

CURLcode TFileFTP::Session::sftpQuote(const QList<QByteArray>& commands)
{
    CurlList list;
    for (const QByteArray& command : commands)
        if (!list.append(command))
            return CURLE_QUOTE_ERROR;
    // The quote commands run before a transfer of nothing: the home folder's address, no body.
    return perform(base + "/~/", Body::None, list.get());
}

CURLcode TFileFTP::Session::replace(const QString& from, const QString& to, const QString& aside)
{
    if (transport == Transport::Ftp || transport == Transport::Ftps) {
        CurlList rename;
        if (!rename.append("RNFR " + from.toUtf8()) || !rename.append("RNTO " + to.toUtf8()))
            return CURLE_QUOTE_ERROR;
        return perform(base, Body::None, rename.get());
    }
    if (isHttp()) {
        CurlList headers;
        if (!headers.append("Destination: " + urlOf(to)) || !headers.append("Overwrite: T"))
            return CURLE_BAD_FUNCTION_ARGUMENT;
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "MOVE");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        const CURLcode code = perform(urlOf(from), Body::Discard);
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
        return code;
    }
    // SFTP: the rename replaces the old copy where the server allows it (SFTP 5 and later, and
    // servers that follow POSIX); SFTP 3 servers such as OpenSSH's refuse to rename over an
    // existing file, and there the old copy steps aside first.
    const QByteArray renamed = "rename " + quotedSftpPath(from) + ' ' + quotedSftpPath(to);
    CURLcode code = sftpQuote({renamed});
    if (code == CURLE_OK || stopNow())
        return code;
    code = sftpQuote({"rename " + quotedSftpPath(to) + ' ' + quotedSftpPath(aside)});
    if (code != CURLE_OK)
        return code;
    code = sftpQuote({renamed});
    if (code != CURLE_OK) {
        sftpQuote({"rename " + quotedSftpPath(aside) + ' ' + quotedSftpPath(to)});
        return code;
    }
    sftpQuote({"rm " + quotedSftpPath(aside)});
    return CURLE_OK;
}

void TFileFTP::Session::remove(const QString& path)
{
    const bool wasIgnoring = ignoreStop;
    ignoreStop = true;
    if (transport == Transport::Ftp || transport == Transport::Ftps) {
        CurlList commands;
        if (commands.append("DELE " + path.toUtf8()))
            perform(base, Body::None, commands.get());
    } else if (isHttp()) {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
        perform(urlOf(path), Body::Discard);
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    } else {
        sftpQuote({"rm " + quotedSftpPath(path)});
    }
    ignoreStop = wasIgnoring;
}

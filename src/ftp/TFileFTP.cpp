#include "ftp/TFileFTP.h"

#include "lang/LangTable.h"
#include "platform/NetworkClient.h"

#include <QMutex>
#include <QStringList>
#include <QUrl>

#include <curl/curl.h>

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
    char curlError[CURL_ERROR_SIZE] = {}; // libcurl's own reason for the last failure
    QByteArray base; // "ftp://host:port/"
    bool receiving = false;
    qsizetype uploadPos = 0;

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

    static int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<Session*>(user)->worker->checkStop() ? 1 : 0;
    }

    static size_t write(char* data, size_t, size_t size, void* user)
    {
        auto* s = static_cast<Session*>(user);
        // Without a body libcurl hands over header-like lines of its own: not file content.
        if (!s->receiving)
            return size;
        if (s->worker->checkStop())
            return 0;
        s->worker->m_data.append(data, qsizetype(size));
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
};

void TFileFTP::execute()
{
    const Parameters& p = m_parameters;
    // A server that echoes what it was sent must not put the password in front of the user.
    const auto withReply = [&p](const QString& text, const Session& s) {
        QString reply = s.replies.text();
        // Nothing came from the server (it is down, or the name is unknown): libcurl says why.
        if (reply.isEmpty())
            reply = QString::fromLocal8Bit(s.curlError);
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

    // 1-2. Connecting.
    emit statusChanged(message("Connect"));
    Session s;
    s.worker = this;

    // 3-4. Whether the machine is offline is not known here: the connection says it.
    if (!WinInetAvailable() || !(s.curl = curl_easy_init())) {
        m_errorText = withReply(message("NetError"), s);
        return;
    }
    if (checkStop())
        return;

    quint16 port = quint16(quint32(p.PortNumber) & 0xFFFF);
    if (port == 0)
        port = 21;
    // A name that is no host name (spaces, "@", "/"...) must not turn into another address.
    const QByteArray host = QUrl::toAce(p.ServerName);
    if (host.isEmpty()) {
        m_errorText = withReply(message("ConnectError", {p.ServerName}), s);
        return;
    }
    s.base = "ftp://" + host + ':' + QByteArray::number(port) + '/';
    const QByteArray user = p.UserName.toUtf8();
    const QByteArray password = p.UserPassword.toUtf8();
    CURL* c = s.curl;
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    // Without a user name the login is anonymous, whatever the password field holds.
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    // The path goes to the server as it is, without changes of folder.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    if (!p.PassiveMode)
        curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, long(ChunkLength));
    curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, 16384L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(m_timeouts.connectMs));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(std::max(1, (m_timeouts.replyMs + 999) / 1000)));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(std::max(1, m_timeouts.stallSeconds)));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, s.curlError);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &Session::debug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &s);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Session::progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &s);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Session::write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &s);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &Session::read);
    curl_easy_setopt(c, CURLOPT_READDATA, &s);

    // 5-6. Connection and login.
    CURLcode code = s.perform(QByteArray(), false, false);
    if (checkStop())
        return;
    if (code != CURLE_OK) {
        m_errorText = withReply(message("ConnectError", {p.ServerName}), s);
        return;
    }

    const QByteArray remote = p.RemotePath.toUtf8();
    if (m_download) {
        // 8, 10.1. The file and its size.
        code = s.perform(remote, false, false);
        if (checkStop())
            return;
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
        m_data.reserve(qsizetype(size));
        code = s.perform(remote, true, false);
        if (checkStop())
            return;
        // A transfer that broke off, or ended short of the size announced, is no document.
        if (code != CURLE_OK || m_data.size() != size) {
            m_data.clear();
            m_errorText = withReply(message("FTPDLError"), s);
        }
        return;
    }

    // 11. Upload under the temporary name, then rename.
    const QString temporary = TemporaryFtpName(p.RemotePath);
    emit progressMaximum(int(std::min<qsizetype>(m_upload.size(), std::numeric_limits<int>::max())));
    m_bytesDone.store(0);
    emit statusChanged(message("FTPUL"));
    code = s.perform(temporary.toUtf8(), true, true);
    if (checkStop())
        return;
    if (code != CURLE_OK) {
        // Failed before a byte went (the file refused, or its data connection): the remote file could
        // not be created, as a download that cannot start; later, the upload broke off.
        m_errorText =
            s.uploadPos == 0 ? withReply(message("FileAccess", {p.RemotePath}), s) : message("FTPULError");
        return;
    }
    CurlList rename;
    const bool listed = rename.append("RNFR " + temporary.toUtf8()) && rename.append("RNTO " + remote);
    code = listed ? s.perform(QByteArray(), false, false, rename.get()) : CURLE_QUOTE_ERROR;
    if (code != CURLE_OK && !checkStop())
        m_errorText = withReply(message("RenameFile", {temporary, p.RemotePath}), s);
}

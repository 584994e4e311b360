#pragma once

#include "ftp/TFileFTP.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <curl/curl.h>
#include <openssl/x509.h>

// The list of quote commands or headers libcurl sends; freed with the list.
class CurlList
{
public:
    CurlList() = default;
    CurlList(const CurlList&) = delete;
    CurlList& operator=(const CurlList&) = delete;
    ~CurlList() { curl_slist_free_all(m_list); }
    // A line break inside a command would start another command: such a line is refused.
    bool append(const QByteArray& line);
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// libcurl's side of one transfer, for the worker alone: one handle kept for every step, so that
// the steps share their connection, with the callbacks that feed the reply log, the stop checks,
// the size cap and the data; and the steps each transport makes on a file of the server (its
// size, a range of it, a store, a replacement, a removal). Paths are as the server knows them
// (the address's folder included).
struct TFileFTP::Session
{
    // What a step does with a body.
    enum class Body
    {
        None,    // no body either way (FTP SIZE and quote commands, SFTP stat)
        Receive, // the body is file content: into the sink
        Send,    // the worker's upload goes out
        Discard  // an answer's body that is no file content (WebDAV MOVE, DELETE)
    };

    TFileFTP* worker = nullptr;
    CURL* curl = nullptr;
    Transport transport = Transport::Ftp;
    FtpReplyLog replies;
    QByteArray base; // "ftp://host:port/" (FTP, FTPS), "scheme://host:port" (SFTP, WebDAV)
    bool tls = false;
    char errorBuffer[CURL_ERROR_SIZE] = {}; // libcurl's own reason for the last failure

    // The step running, and what it received.
    bool receiving = false;
    QByteArray* sink = nullptr; // where received bytes go; null: the worker's data
    bool quiet = false;         // probes and read-backs report no progress
    qsizetype limit = -1;       // the step stops once this many bytes are in the sink
    bool limitReached = false;
    qsizetype keepLast = -1; // an HTTP server that ignored a range: only the last bytes are kept
    qint64 cap = -1;         // more body bytes than this (or announced) fail the step: tooLarge
    bool tooLarge = false;
    qint64 received = 0;      // body bytes of the step (also those not kept)
    qint64 totalReceived = 0; // body bytes of every step
    bool maximumKnown = false;
    bool ignoreStop = false; // the removal of a temporary file goes on after a stop
    qsizetype uploadPos = 0;
    // HTTP: the last answer.
    long status = 0;
    bool rangeAsked = false;
    qint64 rangeTotal = -1; // "Content-Range: bytes a-b/N" or "bytes */N"
    qint64 announced = -1;  // Content-Length

    // TLS: the pin, and what the handshake saw.
    QString pin;
    QString seenFingerprint;
    bool pinMismatch = false;
    // SSH: the server's key and how known_hosts matched it.
    QString knownHostsName;
    QString hostKeyLine;
    curl_khmatch hostKeyMatch = CURLKHMATCH_OK;
    bool hostKeySeen = false;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    bool isHttp() const { return transport == Transport::WebDav || transport == Transport::WebDavPlain; }
    bool isSftp() const { return transport == Transport::Sftp; }

    static int debug(CURL*, curl_infotype type, char* data, size_t size, void* user);
    static int progress(void* user, curl_off_t total, curl_off_t, curl_off_t, curl_off_t);
    static CURLcode sslContext(CURL*, void* context, void* user);
    static int verifyCertificate(int preverified, X509_STORE_CTX* store);
    static int hostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* user);
    static size_t header(char* data, size_t, size_t size, void* user);
    static size_t write(char* data, size_t, size_t size, void* user);
    static size_t read(char* buffer, size_t, size_t size, void* user);

    bool stopNow() const;

    // The options every transport shares: the login (none means anonymous), buffer sizes, the
    // time-outs, libcurl's reason, the reply log and the progress and data callbacks.
    void setCommonOptions(const QByteArray& user, const QByteArray& password, const FtpTimeouts& t);
    // Options of TLS connections: the system's checks, or the pin alone when there is one (the
    // pin names one exact certificate, whatever name it was made out to).
    void setTls(const QString& pinned);
    // SFTP: the host key checked against knownHosts, the login by password, agent or the user's key.
    void setSshOptions(const QString& knownHosts, const ServerAddress& address);
    // WebDAV: HTTP/1.1, basic authentication, every status checked by the steps; https: TLS.
    void setHttpOptions(const QString& pinned, bool https);

    // The address of a path on the server.
    QByteArray urlOf(const QString& path) const;
    // Runs one step on url. An HTTP answer other than 2xx gives CURLE_HTTP_RETURNED_ERROR (its
    // status in `status`, its lines in the reply log): a redirection is never taken for a success.
    CURLcode perform(const QByteArray& url, Body body, curl_slist* quote = nullptr);
    long httpStatus() const;
    // The size the last step announced; -1 when none.
    qint64 contentLength() const;
    // The trust problem the last step ran into, if any.
    TrustProblem trustProblem(CURLcode code, const ServerAddress& address) const;

    // FTP SIZE or SFTP stat of path; size -1 when the server gives none (SFTP: an empty file).
    CURLcode fileSize(const QString& path, qint64& size);
    // length bytes of path from `from` (toEnd: to the end of the file, however long) into out,
    // quietly; a file longer than that gives one byte more, without the rest. FTP and SFTP
    // servers are asked from `from` (REST, an offset), HTTP servers for a Range; one that ignores
    // it sends the whole file, of which out keeps the beginning (from 0) or the last length bytes
    // (rangeTotal is then the whole size). An HTTP 416 (nothing in that range: an empty file) is
    // no failure: out stays empty, rangeTotal says the size.
    CURLcode readRange(const QString& path, qint64 from, qsizetype length, bool toEnd, QByteArray& out);
    // Stores the worker's upload at path.
    CURLcode store(const QString& path);
    // Puts the file at from in the place of to (FTP RNFR/RNTO, SFTP rename, WebDAV MOVE). SFTP
    // servers whose rename never replaces (OpenSSH's) get the old copy renamed to aside first,
    // removed once the new one holds the name, put back when it does not.
    CURLcode replace(const QString& from, const QString& to, const QString& aside);
    // Removes the file at path, whatever was asked meanwhile; its outcome is not used.
    void remove(const QString& path);

private:
    CURLcode sftpQuote(const QList<QByteArray>& commands);
};

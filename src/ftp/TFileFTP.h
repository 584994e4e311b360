#pragma once

#include "ftp/RemoteProbe.h"
#include "ftp/Transport.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

// libcurl is set up for the whole process (once); true when that worked. Every caller checks it
// before it creates a transfer or an update check.
bool WinInetAvailable();

// The last server reply seen by a transfer: the lines of the last complete reply, at most 1024
// characters. Lines sent by the client never get here, so the password cannot either.
class FtpReplyLog
{
public:
    static constexpr int MaxLength = 1024;

    // One line received on the control connection (with or without its line end).
    void addLine(const QByteArray& line);
    // The last complete reply (or the lines received so far when none is complete yet).
    QString text() const;

private:
    QByteArray m_current;
    QByteArray m_last;
};

// `RemotePath` with its extension replaced by ".tmp": the extension starts at the last "." of
// the whole path unless a backslash or ":" follows it; without one ".tmp" is appended.
QString TemporaryFtpName(const QString& remotePath);

// `remotePath` followed by "." + 16 random lower-case hexadecimal digits + ".tmp", in the same
// folder: the temporary name of an upload over an encrypted transport (FTPS, SFTP, WebDAV), one
// per upload, so that two computers saving at the same moment never write into one file.
QString UniqueTemporaryName(const QString& remotePath);

// The fields of a transfer that reach the server inside protocol commands. A control character
// (below 0x20, or 0x7F) in any of them could end a command early and start another one, so such
// a field is refused before anything is sent.
enum class FtpField
{
    None,
    Server,
    Path,
    Login,
    Password
};

// True when `text` holds a character below 0x20 or 0x7F.
bool HasControlCharacter(const QString& text);
// `text` with every control character in caret notation ("^M", "^?"), for messages.
QString ShowControlCharacters(const QString& text);

// Time limits of every transfer: the connection with its login, each server reply, and a data
// connection that stops moving. A server that stops answering ends the transfer with an error
// within about this time.
struct FtpTimeouts
{
    int connectMs = 30000;
    int replyMs = 30000;
    int stallSeconds = 30;
};

// Why a server was not trusted: the transfer stopped before the login was sent. The caller may
// ask the user about an unknown certificate or host key, record it, and start again.
struct TrustProblem
{
    enum Kind
    {
        None,
        UnknownCertificate, // the system's store does not vouch for it, and no pin names it
        ChangedCertificate, // the pin of this server names another certificate
        UnknownHostKey,     // not in known_hosts
        ChangedHostKey      // known_hosts holds another key for this server
    };
    Kind kind = None;
    QString fingerprint;   // what the server presented ("AB:CD:..." or "SHA256:...")
    QString pinned;        // ChangedCertificate: the fingerprint that was trusted
    QString hostPort;      // certificates: the key of the pin, "host:port"
    QString knownHostLine; // host keys: the line that would go into known_hosts
};

// One transfer between a server and memory, on its own thread: a download of RemotePath, a probe
// of it (RemoteProbe), or an upload of given bytes under a temporary name followed by a rename to
// RemotePath and a read-back, over the transport that the server field names (Transport.h; a
// bare host name is plain FTP). It never touches the document or a widget: progress is reported
// by signals (queued to the thread that made the worker), and the outcome is left in ErrorText
// (empty after success and after a stop), data(), probe() and the flags of the upload. The
// worker deletes itself once the thread has finished and the handlers connected to finished()
// have run.
//
// An upload goes to TemporaryFtpName over plain FTP (there the worker first reads the whole
// temporary file back: another computer may have written into it at the same time), and to
// UniqueTemporaryName over the encrypted transports. Once the replacement is done the worker
// reads back the probe of the copy on the server: see verified() and replacedMeanwhile(). When
// a step after the store fails, the temporary file is removed (best effort; a stop over plain
// FTP leaves it, as it always did).
//
// Downloads stop with an error ("DocTropGros") as soon as the bytes received, or the size the
// server announces, go past maxDownloadBytes(); an HTTP answer other than 2xx (a redirection
// above all: none is ever followed) is a failure of the step, with its status line in ErrorText.
//
// Stopping: requestStop() (the status bar's Stop) or requestInterruption() (the dialog's
// Cancel); either takes effect within one chunk, or within a second while waiting for the
// server, and leaves ErrorText empty.
class TFileFTP : public QThread
{
    Q_OBJECT
public:
    enum class Mode
    {
        Dialog,   // progress for the FTP dialog; download or upload
        StatusBar // progress for the status bar's transfer panel; always a download
    };

    struct Parameters
    {
        QString ServerName;
        qint32 PortNumber = 21;
        bool PassiveMode = false;
        QString RemotePath;
        QString UserName;
        QString UserPassword;
        // TLS (FTPS, HTTPS): the SHA-256 fingerprint of the one certificate the user trusted for
        // this server; empty: only what the system's store vouches for.
        QString CertificatePin;
        // SFTP: the known_hosts file; empty: ~/.ssh/known_hosts.
        QString KnownHostsPath;
    };

    // Reading the header of the copy on the server takes at most this many bytes.
    static constexpr int HeadLength = 65536;
    // A probe tries this many times when the copy changes between its reads, then fails.
    static constexpr int ProbeAttempts = 3;

    static constexpr int ChunkLength = 1024;

    // The first field (server, path, login, password) that holds a control character.
    static FtpField UnsafeField(const Parameters& parameters);

    // Not started: the caller connects completed() (its completion handler) and then calls start().
    // An upload sends `upload`; a download leaves the bytes in data().
    static TFileFTP* CreateForDialog(const Parameters& parameters, bool download,
                                     const QByteArray& upload = QByteArray());
    static TFileFTP* CreateForStatusBar(const Parameters& parameters);
    // A download of the beginning of RemotePath only (HeadLength bytes at most), in dialog mode:
    // enough to read the header of the copy on the server. A missing file is no failure here:
    // remoteMissing() says so.
    static TFileFTP* CreateForHead(const Parameters& parameters);
    // The probe of RemotePath (RemoteProbe), in dialog mode, without progress signals: its size,
    // then its first and last RemoteProbe::EdgeLength bytes by range requests (HTTP Range, FTP
    // REST, an SFTP offset); the copy is never read whole when the server honours ranges. A
    // missing file is no failure: probe().missing says so. BytesDone() is the count of bytes
    // received.
    static TFileFTP* CreateForProbe(const Parameters& parameters);

    ~TFileFTP() override;

    Mode mode() const { return m_mode; }
    bool IsDownload() const { return m_download; }
    bool isHead() const { return m_head; }
    bool isProbe() const { return m_probeOnly; }
    const Parameters& parameters() const { return m_parameters; }

    // Read after the thread has finished.
    const QString& ErrorText() const { return m_errorText; }
    // The downloaded bytes; empty for an upload.
    const QByteArray& data() const { return m_data; }
    QByteArray takeData();
    qint32 BytesDone() const { return m_bytesDone.load(); }

    void requestStop() { m_stopRequested.store(true); }
    bool StopRequested() const { return m_stopRequested.load(); }
    // True when the transfer ended because of requestStop() or requestInterruption().
    bool wasStopped() const { return m_stopped; }
    // The server was not trusted (ErrorText says so too).
    const TrustProblem& trustProblem() const { return m_trust; }
    // A head download or a probe found no file at RemotePath.
    bool remoteMissing() const { return m_remoteMissing; }
    // A probe: what it found. An upload: what the read-back found after the replacement.
    const RemoteProbe& probe() const { return m_probe; }

    // An upload that got as far as the replacement then read the copy on the server back and
    // compared its probe with the probe of the bytes uploaded:
    // - verified(): the server held the bytes uploaded; the upload is a success.
    // - replacedMeanwhile(): another computer's copy was there instead (it saved at the same
    //   moment; over plain FTP it may also have written into the same temporary file, which was
    //   then not renamed at all). This is NOT a success, although ErrorText() is empty, so that
    //   the caller gives its own message ("SyncMemeMoment"): it keeps its document as still to be
    //   uploaded and records nothing as agreed with the server.
    // Both are false after a failure (ErrorText), after a stop, for downloads and for probes. A
    // read-back that fails is a failure of the upload, although the copy may have been replaced:
    // what the server holds is not known. A caller that takes an empty ErrorText for a success
    // must check replacedMeanwhile() as well.
    bool verified() const { return m_verified; }
    bool replacedMeanwhile() const { return m_replacedMeanwhile; }
    // The temporary name an upload used on the server (empty before the upload step).
    const QString& temporaryName() const { return m_temporaryName; }
    // What the server proved itself with, when the transfer got that far ("AB:CD:..." for a
    // certificate, "SHA256:..." for a host key); empty for plain FTP.
    const QString& serverFingerprint() const { return m_serverFingerprint; }

    // The limits of transfers made from now on (tests shorten them).
    static void setTimeouts(const FtpTimeouts& timeouts);
    static FtpTimeouts timeouts();
    // The largest download of transfers made from now on: docfile::kMaxDocumentBytes (tests make
    // it small, instead of sending a gigabyte).
    static void setMaxDownloadBytes(qint64 bytes);
    static qint64 maxDownloadBytes();
    // Tests: called on the worker's thread once an upload has replaced the copy on the server and
    // before it reads the copy back (two racing uploads meet there). Empty: nothing is called.
    static void setReplacedHook(const std::function<void()>& hook);

signals:
    // The transfer is over: ErrorText(), data() and the stop flags are final. Emitted on the thread
    // that made the worker; the worker is deleted right after.
    void completed(TFileFTP* worker);
    // The status text ("Connecting...", "Downloading...", "Uploading...").
    void statusChanged(const QString& text);
    // The size of the transfer, once known.
    void progressMaximum(int maximum);
    // Bytes done so far, after every chunk.
    void progressChanged(int bytesDone);

protected:
    void run() override;

private:
    TFileFTP(Mode mode, const Parameters& parameters, bool download, const QByteArray& upload);
    struct Session;
    struct Report;
    void execute();
    bool connectFtp(Session& s, const ServerAddress& address, const Report& report);
    bool connectOther(Session& s, const ServerAddress& address, const Report& report);
    void download(Session& s, const QString& onServer, const Report& report);
    void runProbe(Session& s, const QString& onServer, const Report& report);
    // The probe of the file at path, into probe; false (ErrorText set) when it could not be read.
    bool probeFile(Session& s, const QString& path, RemoteProbe& probe, const Report& report);
    void upload(Session& s, const QString& onServer, const Report& report);
    // Plain FTP: whether the temporary file holds exactly the bytes uploaded (Unknown: it could
    // not be read).
    enum class Ownership
    {
        Ours,
        Theirs,
        Unknown
    };
    Ownership temporaryIsOurs(Session& s, const QString& temporary);
    bool checkStop();

    const Mode m_mode;
    const Parameters m_parameters;
    const bool m_download;
    bool m_head = false;
    bool m_probeOnly = false;
    const QByteArray m_upload;
    QByteArray m_data;
    QString m_errorText;
    std::atomic<qint32> m_bytesDone{0};
    std::atomic<bool> m_stopRequested{false};
    bool m_stopped = false;
    bool m_remoteMissing = false;
    RemoteProbe m_probe;
    bool m_verified = false;
    bool m_replacedMeanwhile = false;
    QString m_temporaryName;
    qint64 m_maxDownload = 0;
    TrustProblem m_trust;
    QString m_serverFingerprint;
    FtpTimeouts m_timeouts;
};

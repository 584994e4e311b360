#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>

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

// One FTP transfer between a server and memory, on its own thread: a download of RemotePath, or
// an upload of given bytes under the temporary name followed by a rename to RemotePath. It
// never touches the document or a widget: progress is reported by signals (queued to the
// thread that made the worker), and the outcome is left in ErrorText (empty after success and
// after a stop) and data(). The worker deletes itself once the thread has finished and the
// handlers connected to finished() have run.
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
    };

    static constexpr int ChunkLength = 1024;

    // The first field (server, path, login, password) that holds a control character.
    static FtpField UnsafeField(const Parameters& parameters);

    // Not started: the caller connects completed() (its completion handler) and then calls start().
    // An upload sends `upload`; a download leaves the bytes in data().
    static TFileFTP* CreateForDialog(const Parameters& parameters, bool download,
                                     const QByteArray& upload = QByteArray());
    static TFileFTP* CreateForStatusBar(const Parameters& parameters);

    ~TFileFTP() override;

    Mode mode() const { return m_mode; }
    bool IsDownload() const { return m_download; }
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

    // The limits of transfers made from now on (tests shorten them).
    static void setTimeouts(const FtpTimeouts& timeouts);
    static FtpTimeouts timeouts();

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
    void execute();
    bool checkStop();

    const Mode m_mode;
    const Parameters m_parameters;
    const bool m_download;
    const QByteArray m_upload;
    QByteArray m_data;
    QString m_errorText;
    std::atomic<qint32> m_bytesDone{0};
    std::atomic<bool> m_stopRequested{false};
    bool m_stopped = false;
    FtpTimeouts m_timeouts;
};

#pragma once

#include "ftp/TFileFTP.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

namespace testsupport {

// What the completion handler of a transfer saw.
struct TransferOutcome
{
    bool done = false;
    QString error;
    QByteArray data;
    TrustProblem trust;
    bool missing = false;
    QString fingerprint;
    bool verified = false;
    bool replacedMeanwhile = false;
    QString temporaryName;
    RemoteProbe probe;
    int bytesDone = 0;
};

// Starts worker and runs the test's event loop until its completion handler ran (a minute at
// most: done stays false); onProgress sees its progress signals.
TransferOutcome runTransfer(TFileFTP* worker, const std::function<void(int)>& onProgress = {});

// What the completion handler of one upload saw.
struct UploadOutcome
{
    bool done = false;
    QString error;
    bool verified = false;
    bool replacedMeanwhile = false;
    QString temporaryName;
};

// The largest download of the transfers made while it lives (TFileFTP::setMaxDownloadBytes).
class DownloadCap
{
public:
    explicit DownloadCap(qint64 bytes);
    ~DownloadCap();
    DownloadCap(const DownloadCap&) = delete;
    DownloadCap& operator=(const DownloadCap&) = delete;

private:
    qint64 m_saved;
};

// Two uploads to the same place at once, as two computers saving at the same moment, each on
// its own worker thread, run to their end in the test's event loop. meet: both replacements are
// made before either upload reads the copy back (TFileFTP::setReplacedHook; an upload that stops
// before its replacement releases the other).
std::array<UploadOutcome, 2> raceUploads(const TFileFTP::Parameters& p, const QByteArray& first,
                                         const QByteArray& second, bool meet);

} // namespace testsupport

#include "support/TransferRunner.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace testsupport {

TransferOutcome runTransfer(TFileFTP* worker, const std::function<void(int)>& onProgress)
{
    // Shared with the handler, which may outlive a transfer that timed out.
    auto out = std::make_shared<TransferOutcome>();
    auto context = std::make_shared<QObject>();
    if (onProgress)
        QObject::connect(worker, &TFileFTP::progressChanged, context.get(), onProgress);
    QObject::connect(worker, &TFileFTP::completed, context.get(), [out](TFileFTP* w) {
        out->done = true;
        out->error = w->ErrorText();
        out->data = w->takeData();
        out->trust = w->trustProblem();
        out->missing = w->remoteMissing();
        out->fingerprint = w->serverFingerprint();
        out->verified = w->verified();
        out->replacedMeanwhile = w->replacedMeanwhile();
        out->temporaryName = w->temporaryName();
        out->probe = w->probe();
        out->bytesDone = w->BytesDone();
    });
    worker->start();
    const bool ended = QTest::qWaitFor([&] { return out->done; }, 60000);
    Q_UNUSED(ended);
    return *out;
}

DownloadCap::DownloadCap(qint64 bytes) : m_saved(TFileFTP::maxDownloadBytes())
{
    TFileFTP::setMaxDownloadBytes(bytes);
}

DownloadCap::~DownloadCap()
{
    TFileFTP::setMaxDownloadBytes(m_saved);
}

std::array<UploadOutcome, 2> raceUploads(const TFileFTP::Parameters& p, const QByteArray& first,
                                         const QByteArray& second, bool meet)
{
    // Shared with the handlers, which may outlive a race that timed out.
    auto out = std::make_shared<std::array<UploadOutcome, 2>>();
    auto arrived = std::make_shared<std::atomic<int>>(0);
    auto ended = std::make_shared<std::atomic<int>>(0);
    if (meet) {
        TFileFTP::setReplacedHook([arrived, ended] {
            arrived->fetch_add(1);
            const QDeadlineTimer deadline(20000);
            while (arrived->load() + ended->load() < 2 && !deadline.hasExpired())
                QThread::msleep(1);
        });
    }
    auto context = std::make_shared<QObject>();
    TFileFTP* workers[2] = {TFileFTP::CreateForDialog(p, false, first), TFileFTP::CreateForDialog(p, false, second)};
    for (int i = 0; i < 2; ++i) {
        TFileFTP* worker = workers[i];
        // On the worker's own thread, as it ends: an upload that never reaches its replacement
        // must not hold the other one at the meeting point.
        QObject::connect(
            worker, &QThread::finished, worker, [ended] { ended->fetch_add(1); }, Qt::DirectConnection);
        QObject::connect(worker, &TFileFTP::completed, context.get(), [out, i](TFileFTP* w) {
            UploadOutcome& o = (*out)[i];
            o.done = true;
            o.error = w->ErrorText();
            o.verified = w->verified();
            o.replacedMeanwhile = w->replacedMeanwhile();
            o.temporaryName = w->temporaryName();
        });
    }
    workers[0]->start();
    workers[1]->start();
    // A race that never ends leaves its outcomes undone, which the test sees.
    const bool bothDone = QTest::qWaitFor([&] { return (*out)[0].done && (*out)[1].done; }, 90000);
    Q_UNUSED(bothDone);
    TFileFTP::setReplacedHook({});
    return *out;
}

} // namespace testsupport

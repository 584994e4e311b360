#include "support/TransferRace.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace testsupport {

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

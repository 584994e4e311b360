#pragma once

#include "ftp/TFileFTP.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace testsupport {

// What the completion handler of one upload saw.
struct UploadOutcome
{
    bool done = false;
    QString error;
    bool verified = false;
    bool replacedMeanwhile = false;
    QString temporaryName;
};

// Two uploads to the same place at once, as two computers saving at the same moment, each on
// its own worker thread, run to their end in the test's event loop. meet: both replacements are
// made before either upload reads the copy back (TFileFTP::setReplacedHook; an upload that stops
// before its replacement releases the other).
std::array<UploadOutcome, 2> raceUploads(const TFileFTP::Parameters& p, const QByteArray& first,
                                         const QByteArray& second, bool meet);

} // namespace testsupport

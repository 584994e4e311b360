#pragma once

#include <QDateTime>

// Dates are stored as days since 30 December 1899 (local wall-clock time), the fraction being the
// time of day; 0 means "never recorded". This is the format of the files and of the clipboard.
using DateTime = double;

namespace datetime {

DateTime now();
DateTime fromQDateTime(const QDateTime& value);
// Invalid QDateTime for 0 or for values outside the calendar Qt can hold.
QDateTime toQDateTime(DateTime value);

} // namespace datetime

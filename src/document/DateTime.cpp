#include "document/DateTime.h"

#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

namespace datetime {

DateTime fromQDateTime(const QDateTime& value)
{
    if (!value.isValid())
        return 0;
    const QDateTime local = value.toLocalTime();
    const double days = static_cast<double>(kEpoch.daysTo(local.date()));
    const double ms = local.time().msecsSinceStartOfDay();
    // Negative dates count the day backwards but the time forwards, as the stored format does.
    return days >= 0 ? days + ms / kMsPerDay : days - ms / kMsPerDay;
}

DateTime now()
{
    return fromQDateTime(QDateTime::currentDateTime());
}

QDateTime toQDateTime(DateTime value)
{
    if (value == 0 || !std::isfinite(value) || std::fabs(value) > 2958466.0) // past 31 Dec 9999
        return {};
    const double days = std::trunc(value);
    const double frac = std::fabs(value - days);
    qint64 ms = std::llround(frac * kMsPerDay);
    qint64 d = static_cast<qint64>(days);
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        ms -= static_cast<qint64>(kMsPerDay);
        d += value >= 0 ? 1 : -1;
    }
    return QDateTime(kEpoch.addDays(d), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

} // namespace datetime

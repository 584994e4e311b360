#include "ftp/Synchronisation.h"

#include "lang/LangTable.h"

#include <QLocale>

#include <algorithm>

SyncChoice CompareSaveDates(DateTime local, DateTime remote)
{
    if (local > remote)
        return SyncChoice::ProposeLocal;
    if (local < remote)
        return SyncChoice::ProposeFtp;
    return SyncChoice::KeepLocal;
}

bool TakesFtpCopy(SyncChoice choice, PropertiesAnswer answer)
{
    switch (choice) {
    case SyncChoice::KeepLocal:
        return false;
    case SyncChoice::ProposeLocal:
        return answer == PropertiesAnswer::No;
    case SyncChoice::ProposeFtp:
        return answer == PropertiesAnswer::Yes;
    }
    return false;
}

void TakeFtpHeader(TDoc& local, const TDoc& remote)
{
    local.SaveCount = remote.SaveCount;
    local.SaveDate = remote.SaveDate;
    local.SyncOn = remote.SyncOn;
    local.UseFtpEntry = remote.UseFtpEntry;
    local.FormatVersion = remote.FormatVersion;
    local.CreateDate = std::min(local.CreateDate, remote.CreateDate);
    // A copy saved with strong protection brings it along; taking an older compatible copy never
    // turns the protection the user chose off behind their back.
    if (remote.Protection.isStrong())
        local.Protection = remote.Protection;
}

QString PropertyDate(DateTime value)
{
    const QDateTime dt = datetime::toQDateTime(value);
    if (!dt.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    QString text = locale.toString(dt.date(), QLocale::ShortFormat);
    if (dt.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(dt.time(), QLocale::LongFormat);
    return text;
}

QList<PropertyRow> FileProperties(const TDoc& local, const TDoc* remote)
{
    const QString unknown = Msg(QStringLiteral("Inconnu"));
    const QString no = Msg(QStringLiteral("Non"));
    const auto yesNo = [](bool value) { return Msg(value ? QStringLiteral("Oui") : QStringLiteral("Non")); };
    struct Column
    {
        QString values[10];
    };
    const auto column = [&](const TDoc& d) {
        Column c;
        c.values[0] = QString::number(d.SaveCount);
        c.values[1] = PropertyDate(d.SaveDate);
        c.values[2] = yesNo(d.SyncOn);
        c.values[3] = d.ServerName;
        c.values[4] = QString::number(d.PortNumber);
        c.values[5] = yesNo(d.PassiveMode);
        c.values[6] = d.UserName;
        c.values[7] = yesNo(!d.UserPassword.isEmpty());
        c.values[8] = d.RemotePath;
        c.values[9] = QString::number(d.FormatVersion);
        return c;
    };
    static const char* const keys[10] = {"Version", "SauveDate", "SyncOn", "DServer", "DPort",
                                         "DPasv",   "DUser",     "DPass",  "DFich",   "Format"};
    const QString defaults[10] = {unknown, unknown,   QString(), QString(), QString(),
                                  no,      QString(), QString(), QString(), unknown};
    const Column l = column(local);
    const bool hasRemote = remote && remote->SaveDate != 0;
    const Column r = hasRemote ? column(*remote) : Column();
    QList<PropertyRow> rows;
    for (int i = 0; i < 10; ++i) {
        PropertyRow row;
        row.key = QLatin1String(keys[i]);
        row.local = l.values[i].isEmpty() ? defaults[i] : l.values[i];
        if (hasRemote)
            row.ftp = r.values[i].isEmpty() ? defaults[i] : r.values[i];
        rows.append(row);
    }
    return rows;
}

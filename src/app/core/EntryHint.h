#pragma once

#include "document/DateTime.h"

#include <QLocale>
#include <QString>

// A date as the status bar shows it: the locale's short date, a space and its long time without
// the time-zone name; the time is left out at exactly midnight. Empty for 0 or an unreadable value.
QString HintDateText(DateTime value, const QLocale& locale = QLocale::system());

// The status-bar text of the list's hint for the selected entry:
// "Elément créé le : <created> " (only when recorded: identity::isRecorded) + "Modifié le : <modified>"
// (only when set) + " (" + hint + ")"; the plain hint when neither date is shown.
QString EntryHintText(DateTime created, DateTime modified, const QString& hint,
                      const QLocale& locale = QLocale::system());

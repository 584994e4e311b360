#pragma once

#include "platform/SystemVersion.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// The program's version as the about box shows it and the update check and the support page send
// it. The numbers come from the build (the project version), as do a private build's name and the
// debug and pre-release marks.
struct VersionInfo
{
    QString fileVersion; // the version text; empty gives the four numbers joined by "."
    int major = 0;
    int minor = 0;
    int release = 0;
    int build = 0;
    QString privateBuild;
    bool debug = false;
    bool prerelease = false;
};

// This build's version.
VersionInfo CompiledVersion();

// The version text the update check compares: fileVersion, or "major.minor.release.build".
QString ProgramVersionText(const VersionInfo& version);

// The version line: "major.minor.release #build", then " " and the private build's name when there
// is one, "-DBG" for a debug build, "-PRE" for a pre-release, then " du " and the date of the
// executable file in the locale's short date format (an invalid date gives 30 December 1899).
QString VersionLine(const VersionInfo& version, const QDateTime& fileDate, const QLocale& locale = QLocale::system());

// The last change of the file at path, in local time; invalid when it cannot be read.
QDateTime FileDate(const QString& path);

// The text in Windows-1252 with every byte of 0-32, '"', '#', '%', '&', '+', '/', 58-64 (":" to
// "@"), 91-96 ("[" to "`") and 123-255 written as "%" and two capital hexadecimal digits; letters,
// digits and ! $ ' ( ) * , - . pass unchanged.
QString PercentEncode(const QString& text);

// The support page's address for a version line and a system: the version and the description
// of the system encoded, the system's numbers left plain (spaces included).
QString SupportLinkUrl(const QString& versionLine, const platform::SystemVersion& system);

#include "platform/gui/OpenLink.h"

#include "platform/gui/ModalSeam.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace {

void record(const QString& dialog, const QString& text, const QString& detail = QString())
{
    ModalSeam::Shown shown;
    shown.dialog = dialog;
    shown.text = text;
    shown.detail = detail;
    ModalSeam::record(shown);
}

// "mailto:...", "https://...": a scheme of two letters or more (one letter would be a drive).
bool hasUrlScheme(const QString& target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

// What the desktop opens itself rather than running: a link, a folder, a file that is no program.
bool opensWithDesktop(const QString& target)
{
    const QFileInfo info(target);
    if (info.exists())
        return info.isDir() || !info.isExecutable();
    return hasUrlScheme(target);
}

} // namespace

void OpenLink(const QString& target)
{
    if (ModalSeam::active()) {
        record(QStringLiteral("OpenLink"), target);
        return;
    }
    // Plain spaces and the like in an address are encoded; a path without a scheme opens as a file.
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

void ShellOpen(const QString& target, const QString& parameters)
{
    if (target.isEmpty())
        return;
    if (parameters.isEmpty() && opensWithDesktop(target)) {
        const QFileInfo info(target);
        if (!info.exists()) {
            OpenLink(target);
        } else if (ModalSeam::active()) {
            record(QStringLiteral("OpenLink"), info.absoluteFilePath());
        } else {
            QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
        }
        return;
    }
    if (ModalSeam::active()) {
        record(QStringLiteral("RunProgram"), target, parameters);
        return;
    }
    // No shell between: the parameters reach the program as its arguments, quotes grouping words.
    QProcess::startDetached(target, QProcess::splitCommand(parameters));
}

#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Whom a file made by writeFileSafely is readable by, when it did not exist before. A file that
// exists keeps its own permissions (and, where the system allows it, its owner and group).
enum class NewFileAccess
{
    OwnerOnly, // documents: they may hold secrets
    Default,   // what the user's file-creation mask gives (exported texts)
    // The settings file, whose FTP credentials are enciphered under a key made of texts stored
    // beside them: for its owner only, an existing file narrowed to that at its next write too.
    AlwaysOwnerOnly
};

// What a write does with a symbolic link at the path it writes, or at its temporary file.
enum class SymbolicLinks
{
    Follow, // documents: a link is the user's own way to keep the file elsewhere, its target is replaced
    Refuse  // files the program makes beside a document (its .bak): a link there is refused, nothing written
};

struct SafeWriteResult
{
    bool ok = true;
    QString error; // the system's own text of the failure ("No space left on device", ...)
};

// Replaces the whole content of the file at path by bytes, so that at every moment the file holds
// either its complete old content or the complete new one, also when the disk fills up, a
// file-size limit is reached or the process is killed: the bytes go to a temporary file beside it
// (temporaryPathFor), every write is checked, the file is synced, then renamed over the target,
// then the folder is synced. On any failure the temporary file is removed, the old file is left
// as it was and the error is returned. A symbolic link is followed (its target is replaced), or
// with SymbolicLinks::Refuse, a link at path or at its temporary file is a failure
// (symbolicLinkText()) and nothing is written anywhere.
SafeWriteResult writeFileSafely(const QString& path, const QByteArray& bytes,
                                NewFileAccess access = NewFileAccess::OwnerOnly,
                                SymbolicLinks links = SymbolicLinks::Follow);

// The text of a write refused because of a symbolic link.
QString symbolicLinkText();

// The temporary file writeFileSafely uses for path, in the same folder. It is always the same
// name for the same target, so a copy left behind by a killed process is found and removed by
// the next save of that file.
QString temporaryPathFor(const QString& path);

// By default a write past the process's file-size limit ends the process, and the user's unsaved
// changes with it. Called once at start, it makes such a write fail with "File too large" instead,
// which the save then reports like a full disk.
void ignoreFileSizeSignal();

} // namespace platform

#pragma once

#include <QString>

// Rules on document paths shared by the file commands, the meta password dialog, the recent
// files and the command line: they need no window.

// The path made absolute against `currentDir`, its last component being the file's name as found
// on disk. When no such file exists the result is the directory alone, with its trailing
// separator. A folder is not a document: it gives its parent directory too.
QString CanonicalDocumentPath(const QString& path, const QString& currentDir);

// The part of a path after its last "/", "\" or ":".
QString FileNamePart(const QString& path);

// "Tresorin - " and the file name, " (FTP)" appended in FTP mode; "Tresorin - " and `untitled`
// for an empty path.
QString DocumentTitle(const QString& path, bool ftpMode, const QString& untitled);

// The name Save as writes: the chosen name with ".pass" appended when its file-name part has no
// extension (no "."); any other extension is kept as chosen.
QString SaveAsFileName(const QString& chosen);

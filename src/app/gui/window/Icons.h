#pragma once

#include <QIcon>
#include <QStringList>

// The program's own icons, drawn as vector shapes on a 16 x 16 grid and rendered at whatever size
// is asked, so they stay sharp in the 16-pixel lists and on a larger tool bar.
//
// Names:
//   entries:  "key", "key-notes", "key-ftp", "key-ftp-notes", "key-search", "key-search-notes"
//   groups:   "folder", "folder-open"
//   commands: "new", "open", "open-ftp", "save", "save-ftp", "merge", "meta-password", "search",
//             "generate", "hide-passwords", "new-group", "new-entry", "rename", "delete", "cut",
//             "copy", "paste", "open-url", "sync", "file-info", "options", "update", "support",
//             "about", "exit"
//   small:    "arrow-up", "arrow-down", "tray"
//   program:  "tresorin"
// An unknown name gives a null icon.
QIcon tresorinIcon(const QString& name);
QStringList tresorinIconNames();

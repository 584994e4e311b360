#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The association of documents with the program, per user, the freedesktop way:
//   - a MIME package "$XDG_DATA_HOME/mime/packages/tresorin-<ext>_file.xml" that names the type
//     "application/x-tresorin-document" for "*.<ext>", with the description and the icon;
//   - a desktop entry "$XDG_DATA_HOME/applications/tresorin-documents.desktop", kept out of the
//     menus, whose command passes the document path as the only argument (an id of its own: the
//     menu entry "tresorin.desktop" the package installs is never hidden by it);
//   - the type's default application in "$XDG_CONFIG_HOME/mimeapps.list";
//   - the document icon "$XDG_DATA_HOME/icons/hicolor/48x48/mimetypes/<type with - for />.png".
// The XDG variables are read at each call (a test points them at a temporary folder); unset, they
// mean ~/.local/share and ~/.config. Nothing here shows anything: failures come back as values.
namespace association {

inline constexpr char kMimeType[] = "application/x-tresorin-document";
inline constexpr char kDesktopId[] = "tresorin-documents.desktop";
// The id earlier versions gave their entry, the same as the installed menu entry's: such an entry
// of the user's own, recognised by the type identity the program writes in it, is taken away when
// the association is made or undone; any other file of that name is the user's and stays.
inline constexpr char kLegacyDesktopId[] = "tresorin.desktop";

// The type name built from the extension: "pass" gives "pass_file".
QString ClassName(const QString& extension);
// The Exec line of the desktop entry for the executable: the path quoted (with the escapes a
// desktop entry asks for) and the document placeholder, so the path is the only argument.
QString OpenCommand(const QString& executablePath);

// Where the files are, from the XDG variables.
QString PackageFile(const QString& extension);
QString DesktopFile();
QString MimeAppsFile();
QString IconFile();

// True exactly when the extension's MIME package exists, the type's default application is a
// desktop entry, and that entry's command is the one of this executable. The files a system-wide
// installation puts in the XDG data and configuration folders (the package "tresorin.xml", a
// desktop entry whose command names the program, a default in a system list) count as well when
// they name this executable; only the user's own files are ever written. Any failure to read
// gives false.
bool IsAssociated(const QString& extension, const QString& executablePath);

// Writes the four parts, in order: package, desktop entry, default application, icon (only when
// iconPng holds an image). Every write is attempted; the result holds one line per write that
// failed (empty on success). An existing file is replaced only once the new one is complete.
// `iconNumber` names the icon in the identity of the type: "1" is the document icon.
QStringList RegisterAssociation(const QString& extension, const QString& executablePath, const QString& description,
                                const QString& iconNumber, const QByteArray& iconPng = QByteArray());

// Removes the package, the desktop entry, the type's default application and its other
// associations in mimeapps.list, and the icon. What is missing is passed over.
// False at the first failure, with its text in *error; what follows it is left.
bool UnregisterAssociation(const QString& extension, QString* error = nullptr);

// Asks the desktop to read the MIME packages and desktop entries again (best effort, in the
// background, when the tools are installed).
void RefreshDesktopCaches();

} // namespace association

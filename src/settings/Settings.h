#pragma once

#include "ProductInfo.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class IniFile;

// The value of X and Y that stands for "no position stored".
inline constexpr int kNoPosition = 2147483647;
// The auto-type shortcut of a new settings file.
inline constexpr char kDefaultAutoTypeShortcut[] = "Ctrl+Alt+A";

// Every preference of "Tresorin.ini" in memory, one field per key (named after the key, and after
// its section where the key alone would be ambiguous: IdleMain is the key "Main" of [Idle]). The main window owns
// one for the whole run, reads it at start and writes it back at exit; dialogs change fields.
// Layout values are kept as read; the applied*() helpers say what the window should apply.
struct Settings
{
    // [MRU]
    bool Use = true;
    std::array<QString, 4> MRU; // keys "1" to "4", the most recent first

    // [Pos]
    bool Pos = false;
    int X = kNoPosition;
    int Y = kNoPosition;
    bool Size = false;
    int H = 0;
    int W = 0;
    bool Panel = false;
    int Arbo = 0;
    int Info = 0;
    bool Hide = false;
    bool Col = false;
    int C1 = 0;
    int C2 = 0;
    int C3 = 0;
    int Tri = 0;
    bool AutoHide = false;
    bool Tray = false;
    // Geometry of the tray button of the title bar; read, never written.
    int BtnHeight = 15;
    int BtnTop = 0;
    int BtnWidth = 18;
    int BtnLeft = -40;

    // [Main]
    QString Langue;
    bool HidePass = true;
    bool OneInstance = false;
    bool AutoSync = false;
    bool AutoCopy = false;
    int AutoCheck = 3;
    QDateTime LastCheck = defaultLastCheck();
    QString UrlUpdate = QString::fromLatin1(kBuiltInUpdateUrl);
    bool nobutton = false; // read only

    // [Idle]
    bool IdleMain = true; // key "Main"
    int MainMin = 5;
    bool Clipboard = true;
    int ClipboardMin = 5;

    // [AutoType]
    // The global shortcut of auto-type, in the toolkit's portable text ("Ctrl+Alt+A"); empty: none.
    QString AutoTypeShortcut = QString::fromLatin1(kDefaultAutoTypeShortcut); // key "Raccourci"

    // [Gener]
    bool MAJ = true;
    bool MIN = true;
    bool NUM = true;
    bool ACC = false;
    bool SPE = false;
    bool Other = false;
    QString Chars;
    int Len = 10;
    bool First = false;

    // Fills every field from the file, in the order and with the rules of the program's start:
    // the recent files only when Use is 1, X/Y only when Pos, H/W only when Size, Arbo, Info
    // and Hide only when Panel, C1 to C3 and Tri only when Col; fields not read keep their
    // defaults. Missing or unreadable values give the defaults.
    void read(const IniFile& ini, const QLocale& locale = QLocale::system());

    // Writes every written key in the order of the program's exit (UrlUpdate only when it
    // differs from the built-in address), then saves the file. The file should be freshly
    // loaded, so that a section changed meanwhile by someone else (the FTP dialog) survives.
    // On failure returns false with the error text in *error, and the old file is intact.
    bool write(IniFile& ini, QString* error = nullptr, const QLocale& locale = QLocale::system()) const;

    // Loads the file at path and reads it; a missing file gives the defaults.
    static Settings load(const QString& path, bool* tooLarge = nullptr);
    // Loads the file at path afresh, writes into it and saves it.
    bool save(const QString& path, QString* error = nullptr) const;

    // Default of LastCheck: 31 days before now, so that a monthly check is due.
    static QDateTime defaultLastCheck();

    // Rules for applying the stored layout: nothing when it is not to be applied.
    std::optional<int> appliedX() const;
    std::optional<int> appliedY() const;
    std::optional<int> appliedHeight() const;
    std::optional<int> appliedWidth() const;
    std::optional<int> appliedTreeWidth() const;  // Arbo
    std::optional<int> appliedInfoHeight() const; // Info
    // Width of list column 1 to 3 (C1 to C3).
    std::optional<int> appliedColumnWidth(int column) const;
    // The list's starting sort code: 0 unsorted, k ascending on column k, -k descending; 0 also
    // when Col is 0 or when |Tri| names no column of a list with columnCount columns.
    int appliedSortCode(int columnCount = 4) const;
    // The information panel starts collapsed.
    bool infoPanelStartsHidden() const;
    // The tray button of the title bar is made: neither nobutton nor a "-nobutton" or "/nobutton"
    // switch (any case) among the command-line arguments.
    bool trayButtonWanted(const QStringList& arguments) const;
    // The address the update check asks.
    QString updateUrl() const;
};

// Where the settings file lives: $TRESORIN_INI when set; else the user's configuration folder,
// $XDG_CONFIG_HOME/tresorin/Tresorin.ini. A "Tresorin.ini" that already stands beside the
// executable (a portable install) is used instead, when it is a file of the user running the
// program: the file holds FTP logins and trusted certificates, so one left there by another user
// (or by an earlier version run as root) is never read nor written, and a writable install never
// makes one by itself.
QString settingsFilePath();
// The same rules for an executable in executableDir (empty when unknown).
QString settingsFilePathFor(const QString& executableDir);

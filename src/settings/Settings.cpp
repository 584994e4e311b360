#include "settings/Settings.h"

#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QString kMru = QStringLiteral("MRU");
const QString kPos = QStringLiteral("Pos");
const QString kMain = QStringLiteral("Main");
const QString kIdle = QStringLiteral("Idle");
const QString kAutoType = QStringLiteral("AutoType");
constexpr qsizetype kMaxShortcutLength = 64;
const QString kGener = QStringLiteral("Gener");

QString slotKey(int index)
{
    return QString::number(index + 1);
}

std::optional<int> positive(bool flag, int value)
{
    if (flag && value > 0)
        return value;
    return std::nullopt;
}

std::optional<int> position(bool flag, int value)
{
    if (flag && value != kNoPosition)
        return value;
    return std::nullopt;
}

} // namespace

QDateTime Settings::defaultLastCheck()
{
    return QDateTime::currentDateTime().addDays(-31);
}

void Settings::read(const IniFile& ini, const QLocale& locale)
{
    *this = Settings();

    Use = ini.readBool(kMru, QStringLiteral("Use"), Use);
    if (Use)
        for (int i = 0; i < 4; ++i)
            MRU[i] = ini.readString(kMru, slotKey(i));

    Pos = ini.readBool(kPos, QStringLiteral("Pos"), Pos);
    if (Pos) {
        X = ini.readInteger(kPos, QStringLiteral("X"), kNoPosition);
        Y = ini.readInteger(kPos, QStringLiteral("Y"), kNoPosition);
    }
    Size = ini.readBool(kPos, QStringLiteral("Size"), Size);
    if (Size) {
        H = ini.readInteger(kPos, QStringLiteral("H"), H);
        W = ini.readInteger(kPos, QStringLiteral("W"), W);
    }
    Panel = ini.readBool(kPos, QStringLiteral("Panel"), Panel);
    if (Panel) {
        Arbo = ini.readInteger(kPos, QStringLiteral("Arbo"), Arbo);
        Info = ini.readInteger(kPos, QStringLiteral("Info"), Info);
        Hide = ini.readBool(kPos, QStringLiteral("Hide"), Hide);
    }
    Col = ini.readBool(kPos, QStringLiteral("Col"), Col);
    if (Col) {
        C1 = ini.readInteger(kPos, QStringLiteral("C1"), C1);
        C2 = ini.readInteger(kPos, QStringLiteral("C2"), C2);
        C3 = ini.readInteger(kPos, QStringLiteral("C3"), C3);
        Tri = ini.readInteger(kPos, QStringLiteral("Tri"), Tri);
    }

    Langue = ini.readString(kMain, QStringLiteral("Langue"), Langue);
    HidePass = ini.readBool(kMain, QStringLiteral("HidePass"), HidePass);
    OneInstance = ini.readBool(kMain, QStringLiteral("OneInstance"), OneInstance);

    AutoHide = ini.readBool(kPos, QStringLiteral("AutoHide"), AutoHide);
    Tray = ini.readBool(kPos, QStringLiteral("Tray"), Tray);

    AutoSync = ini.readBool(kMain, QStringLiteral("AutoSync"), AutoSync);
    AutoCopy = ini.readBool(kMain, QStringLiteral("AutoCopy"), AutoCopy);
    AutoCheck = ini.readInteger(kMain, QStringLiteral("AutoCheck"), AutoCheck);
    LastCheck = ini.readDateTime(kMain, QStringLiteral("LastCheck"), LastCheck, locale);
    UrlUpdate = ini.readString(kMain, QStringLiteral("UrlUpdate"), UrlUpdate);
    if (UrlUpdate.isEmpty())
        UrlUpdate = QString::fromLatin1(kBuiltInUpdateUrl);

    IdleMain = ini.readBool(kIdle, QStringLiteral("Main"), IdleMain);
    MainMin = ini.readInteger(kIdle, QStringLiteral("MainMin"), MainMin);
    Clipboard = ini.readBool(kIdle, QStringLiteral("Clipboard"), Clipboard);
    ClipboardMin = ini.readInteger(kIdle, QStringLiteral("ClipboardMin"), ClipboardMin);

    // Empty stands for no shortcut; a value longer than any shortcut's text gives the default.
    const QString shortcut = ini.readString(kAutoType, QStringLiteral("Raccourci"), AutoTypeShortcut).trimmed();
    if (shortcut.size() <= kMaxShortcutLength)
        AutoTypeShortcut = shortcut;

    nobutton = ini.readBool(QStringLiteral("main"), QStringLiteral("nobutton"), nobutton);
    BtnHeight = ini.readInteger(kPos, QStringLiteral("BtnHeight"), BtnHeight);
    BtnTop = ini.readInteger(kPos, QStringLiteral("BtnTop"), BtnTop);
    BtnWidth = ini.readInteger(kPos, QStringLiteral("BtnWidth"), BtnWidth);
    BtnLeft = ini.readInteger(kPos, QStringLiteral("BtnLeft"), BtnLeft);

    MAJ = ini.readBool(kGener, QStringLiteral("MAJ"), MAJ);
    MIN = ini.readBool(kGener, QStringLiteral("MIN"), MIN);
    NUM = ini.readBool(kGener, QStringLiteral("NUM"), NUM);
    ACC = ini.readBool(kGener, QStringLiteral("ACC"), ACC);
    SPE = ini.readBool(kGener, QStringLiteral("SPE"), SPE);
    Other = ini.readBool(kGener, QStringLiteral("Other"), Other);
    Chars = ini.readString(kGener, QStringLiteral("Chars"), Chars);
    Len = ini.readInteger(kGener, QStringLiteral("Len"), Len);
    First = ini.readBool(kGener, QStringLiteral("First"), First);
}

bool Settings::write(IniFile& ini, QString* error, const QLocale& locale) const
{
    ini.writeBool(kMru, QStringLiteral("Use"), Use);
    for (int i = 0; i < 4; ++i)
        ini.writeString(kMru, slotKey(i), MRU[i]);

    ini.writeBool(kPos, QStringLiteral("Pos"), Pos);
    ini.writeInteger(kPos, QStringLiteral("X"), X);
    ini.writeInteger(kPos, QStringLiteral("Y"), Y);
    ini.writeBool(kPos, QStringLiteral("Size"), Size);
    ini.writeInteger(kPos, QStringLiteral("H"), H);
    ini.writeInteger(kPos, QStringLiteral("W"), W);
    ini.writeBool(kPos, QStringLiteral("Panel"), Panel);
    ini.writeInteger(kPos, QStringLiteral("Arbo"), Arbo);
    ini.writeInteger(kPos, QStringLiteral("Info"), Info);
    ini.writeBool(kPos, QStringLiteral("Col"), Col);
    ini.writeInteger(kPos, QStringLiteral("C1"), C1);
    ini.writeInteger(kPos, QStringLiteral("C2"), C2);
    ini.writeInteger(kPos, QStringLiteral("C3"), C3);
    ini.writeInteger(kPos, QStringLiteral("Tri"), Tri);
    ini.writeBool(kPos, QStringLiteral("Hide"), Hide);
    ini.writeBool(kPos, QStringLiteral("AutoHide"), AutoHide);
    ini.writeBool(kPos, QStringLiteral("Tray"), Tray);

    ini.writeString(kMain, QStringLiteral("Langue"), Langue);
    ini.writeBool(kMain, QStringLiteral("HidePass"), HidePass);
    ini.writeBool(kMain, QStringLiteral("AutoCopy"), AutoCopy);
    ini.writeBool(kMain, QStringLiteral("OneInstance"), OneInstance);
    ini.writeBool(kMain, QStringLiteral("AutoSync"), AutoSync);
    ini.writeInteger(kMain, QStringLiteral("AutoCheck"), AutoCheck);
    ini.writeDateTime(kMain, QStringLiteral("LastCheck"), LastCheck, locale);

    ini.writeBool(kIdle, QStringLiteral("Main"), IdleMain);
    ini.writeInteger(kIdle, QStringLiteral("MainMin"), MainMin);
    ini.writeBool(kIdle, QStringLiteral("Clipboard"), Clipboard);
    ini.writeInteger(kIdle, QStringLiteral("ClipboardMin"), ClipboardMin);

    ini.writeString(kAutoType, QStringLiteral("Raccourci"), AutoTypeShortcut);

    const QString builtIn = QString::fromLatin1(kBuiltInUpdateUrl);
    const QString urlKey = QStringLiteral("UrlUpdate");
    if (updateUrl() != builtIn) {
        ini.writeString(kMain, urlKey, UrlUpdate);
    } else if (ini.contains(kMain, urlKey)) {
        // Back on the built-in address: an older address left in the file would win at the next
        // start, so it is emptied (which reads as the built-in address).
        const QString stored = ini.readString(kMain, urlKey);
        if (!stored.isEmpty() && stored != builtIn)
            ini.writeString(kMain, urlKey, QString());
    }

    ini.writeBool(kGener, QStringLiteral("MAJ"), MAJ);
    ini.writeBool(kGener, QStringLiteral("MIN"), MIN);
    ini.writeBool(kGener, QStringLiteral("NUM"), NUM);
    ini.writeBool(kGener, QStringLiteral("ACC"), ACC);
    ini.writeBool(kGener, QStringLiteral("SPE"), SPE);
    ini.writeBool(kGener, QStringLiteral("Other"), Other);
    ini.writeString(kGener, QStringLiteral("Chars"), Chars);
    ini.writeInteger(kGener, QStringLiteral("Len"), Len);
    ini.writeBool(kGener, QStringLiteral("First"), First);

    return ini.save(error);
}

Settings Settings::load(const QString& path, bool* tooLarge)
{
    Settings s;
    const IniFile ini(path);
    s.read(ini);
    if (tooLarge)
        *tooLarge = ini.tooLarge();
    return s;
}

bool Settings::save(const QString& path, QString* error) const
{
    IniFile ini(path);
    return write(ini, error);
}

std::optional<int> Settings::appliedX() const
{
    return position(Pos, X);
}

std::optional<int> Settings::appliedY() const
{
    return position(Pos, Y);
}

std::optional<int> Settings::appliedHeight() const
{
    return positive(Size, H);
}

std::optional<int> Settings::appliedWidth() const
{
    return positive(Size, W);
}

std::optional<int> Settings::appliedTreeWidth() const
{
    return positive(Panel, Arbo);
}

std::optional<int> Settings::appliedInfoHeight() const
{
    return positive(Panel, Info);
}

std::optional<int> Settings::appliedColumnWidth(int column) const
{
    switch (column) {
    case 1:
        return positive(Col, C1);
    case 2:
        return positive(Col, C2);
    case 3:
        return positive(Col, C3);
    default:
        return std::nullopt;
    }
}

int Settings::appliedSortCode(int columnCount) const
{
    if (!Col || Tri == 0)
        return 0;
    // A hand-edited value naming no column would point the sort past the list.
    const long long column = std::llabs(static_cast<long long>(Tri));
    return column <= columnCount ? Tri : 0;
}

bool Settings::infoPanelStartsHidden() const
{
    return AutoHide || (Panel && Hide);
}

bool Settings::trayButtonWanted(const QStringList& arguments) const
{
    if (nobutton)
        return false;
    for (const QString& arg : arguments)
        if ((arg.startsWith(u'-') || arg.startsWith(u'/')) &&
            QStringView(arg).mid(1).compare(QLatin1String("nobutton"), Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

QString Settings::updateUrl() const
{
    return UrlUpdate.isEmpty() ? QString::fromLatin1(kBuiltInUpdateUrl) : UrlUpdate;
}

QString settingsFilePath()
{
    return settingsFilePathFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
}

QString settingsFilePathFor(const QString& executableDir)
{
    const QString overridden = qEnvironmentVariable("TRESORIN_INI");
    if (!overridden.isEmpty())
        return overridden;
    const QString fileName = QStringLiteral("Tresorin.ini");
    if (!executableDir.isEmpty()) {
        const QFileInfo beside(QDir(executableDir).filePath(fileName));
        bool own = beside.isFile();
#ifdef Q_OS_UNIX
        own = own && beside.ownerId() == uint(geteuid());
#endif
        if (own)
            return beside.filePath();
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("tresorin/") + fileName);
}

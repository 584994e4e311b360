// Any bytes as the settings file, as another program or a damaged disk may leave it: the reader
// takes every key it finds, reads it as text, number, yes/no and date, lets a write change it,
// and what it writes back reads the same.
#include "FuzzInput.h"
#include "settings/IniFile.h"

#include <QLocale>
#include <QStringList>

using fuzzinput::require;

namespace {

// The sections and keys of the text, in order: the pairs a program reading this file would ask for.
QList<std::pair<QString, QString>> keysOf(const QString& text, int limit)
{
    QList<std::pair<QString, QString>> keys;
    QString section;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.lastIndexOf(QLatin1Char(']'));
            section = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            continue;
        }
        // Comment lines hold no key, and a key the program writes never starts like one.
        if (line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = line.left(eq).trimmed();
        if (eq > 0 && !key.isEmpty() && keys.size() < limit)
            keys.append({section, key});
    }
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IniFile ini;
    ini.loadBytes(fuzzinput::bytes(data, size));
    const QString text = ini.text();
    const QLocale locale = QLocale::c();

    const auto keys = keysOf(text, 16);
    for (const auto& [section, key] : keys) {
        const QString value = ini.readString(section, key);
        require(value.size() <= IniFile::kMaxReadLength, "a read returned more than the longest value");
        ini.readInteger(section, key, 0);
        ini.readBool(section, key, false);
        ini.readDateTime(section, key, QDateTime(), locale);
    }
    require(!ini.isModified(), "reading modified the file");

    // Re-reading the written form gives the same text.
    IniFile again;
    again.loadBytes(ini.encodedText());
    require(again.text() == text, "the file reads differently once written",
            text + QLatin1String("\n---\n") + again.text());

    // A write reads back, whether its key was there or not, and keeps every other key's value.
    const QString written = QStringLiteral("fuzz value");
    QList<QString> before;
    for (const auto& [section, key] : keys)
        before << ini.readString(section, key);
    // The writer turns line breaks in names into blanks: the program's own names hold none.
    std::pair<QString, QString> target{QStringLiteral("Fuzz"), QStringLiteral("Key")};
    const auto breaks = [](const QString& name) {
        return name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n'));
    };
    for (const auto& pair : keys) {
        if (!breaks(pair.first) && !breaks(pair.second)) {
            target = pair;
            break;
        }
    }
    ini.writeString(target.first, target.second, written);
    require(ini.readString(target.first, target.second) == written, "a written value does not read back",
            QString::fromLatin1((target.first + QLatin1Char('/') + target.second).toUtf8().toHex(' ')) +
                QLatin1String("\n") + QString::fromLatin1(ini.text().toUtf8().toHex(' ')));
    ini.writeString(QStringLiteral("FuzzNew"), QStringLiteral("Other"), written);
    require(ini.readString(QStringLiteral("FuzzNew"), QStringLiteral("Other")) == written,
            "a value written in a new section does not read back");
    for (int i = 0; i < keys.size(); ++i) {
        const auto& [section, key] = keys[i];
        const bool same = section.compare(target.first, Qt::CaseInsensitive) == 0 &&
                          key.trimmed().compare(target.second.trimmed(), Qt::CaseInsensitive) == 0;
        if (!same)
            require(ini.readString(section, key) == before[i], "a write changed another key",
                    section + QLatin1Char('/') + key);
    }
    return 0;
}

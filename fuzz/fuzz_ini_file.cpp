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
            section = line.mid(1, line.indexOf(QLatin1Char(']')) - 1);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && keys.size() < limit)
            keys.append({section, line.left(eq)});
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

    const auto keys = keysOf(text, 32);
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
    const std::pair<QString, QString> target =
        keys.isEmpty() ? std::pair<QString, QString>{QStringLiteral("Fuzz"), QStringLiteral("Key")} : keys.first();
    ini.writeString(target.first, target.second, written);
    require(ini.readString(target.first, target.second) == written, "a written value does not read back",
            target.first + QLatin1Char('/') + target.second);
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

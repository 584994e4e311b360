#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include "generator/PasswordGenerator.h"
#include "settings/Settings.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

const char kUsage[] = "Usage: tresorin-cli generate [--length N] [--upper] [--lower] [--digits] [--accented]\n"
                      "                             [--special] [--custom CHARS] [--first-letter] [--count K]\n"
                      "Prints K passwords (default 1), each followed by a tab and its score.\n"
                      "Without a class option the classes, custom characters and first-letter rule of the\n"
                      "settings file are used; without --length its length (1 to 255).";

int usageError(const QString& message)
{
    return cli::fail(QStringLiteral("generate"), message + QStringLiteral(" (see tresorin-cli generate --help)"));
}

std::optional<int> positiveNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1)
        return std::nullopt;
    return value;
}

} // namespace

int runGenerate(const QStringList& args)
{
    generator::PoolOptions classes{false, false, false, false, false, false, QString()};
    bool anyClass = false;
    bool firstLetter = false;
    std::optional<int> length;
    int count = 1;

    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            value = arg.mid(arg.indexOf(u'=') + 1);
            arg = arg.left(arg.indexOf(u'='));
            hasValue = true;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };

        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            cli::printOut(QString::fromUtf8(kUsage));
            return ExitOk;
        } else if (arg == QLatin1String("--upper")) {
            classes.capitals = anyClass = true;
        } else if (arg == QLatin1String("--lower")) {
            classes.small = anyClass = true;
        } else if (arg == QLatin1String("--digits")) {
            classes.digits = anyClass = true;
        } else if (arg == QLatin1String("--accented")) {
            classes.accented = anyClass = true;
        } else if (arg == QLatin1String("--special")) {
            classes.special = anyClass = true;
        } else if (arg == QLatin1String("--first-letter")) {
            firstLetter = true;
        } else if (arg == QLatin1String("--custom")) {
            const auto chars = takeValue();
            if (!chars)
                return usageError(QStringLiteral("--custom needs the characters"));
            // A password holding a character a document cannot store would be saved altered.
            if (generator::StorableCharacters(*chars) != *chars)
                return usageError(QStringLiteral("--custom holds characters a document cannot store"));
            classes.custom = anyClass = true;
            classes.customChars = *chars;
        } else if (arg == QLatin1String("--length")) {
            const auto text = takeValue();
            length = text ? positiveNumber(*text) : std::nullopt;
            if (!length || *length > 255)
                return usageError(QStringLiteral("--length must be a number from 1 to 255"));
        } else if (arg == QLatin1String("--count")) {
            const auto text = takeValue();
            const auto k = text ? positiveNumber(*text) : std::nullopt;
            if (!k)
                return usageError(QStringLiteral("--count must be a positive number"));
            count = *k;
        } else {
            return usageError(QStringLiteral("unknown argument \"%1\"").arg(args[i]));
        }
    }

    if (!anyClass || !length) {
        const Settings settings = Settings::load(settingsFilePath());
        if (!anyClass) {
            classes = {settings.MAJ, settings.MIN,   settings.ACC,  settings.SPE,
                       settings.NUM, settings.Other, settings.Chars};
            firstLetter = firstLetter || settings.First;
        }
        if (!length)
            length = std::clamp(settings.Len, 1, 255); // as the generator window's length field does
    }

    const QString pool = generator::CharPool(classes);
    if (pool.isEmpty()) {
        return cli::fail(QStringLiteral("generate"), QStringLiteral("no characters to draw from"));
    }

    generator::rng::seedOnce();
    for (int k = 0; k < count; ++k) {
        const QString password = generator::GeneratePassword(pool, *length, firstLetter);
        cli::printOut(password + u'\t' + QString::number(generator::PasswordScore(password), 'f', 2));
    }
    return std::fflush(stdout) == 0 ? ExitOk : ExitFailure;
}

#include "cli/ProtectionOptions.h"

#include "document/DocumentFile.h"

namespace cli {

const char kProtectionHelp[] =
    "  --strong            strong protection: the key is derived with Argon2id (calibrated to about a\n"
    "                      second on this machine, at least 64 MiB) and the file is sealed with\n"
    "                      XChaCha20-Poly1305. Only this program opens such a document, not other\n"
    "                      copies of the compatible format\n"
    "  --compatible        the compatible format (SHA-1 and Blowfish), which every copy opens\n"
    "  --kdf-memory MIB    with --strong: Argon2id memory instead of the calibration, 64 to 1024\n"
    "  --kdf-passes N      with --strong: Argon2id passes instead of the calibration, 1 to 64\n"
    "                      (memory times passes at most 8192 MiB)\n";

namespace {

constexpr quint32 kDefaultMemoryMiB = 64;
constexpr quint32 kDefaultPasses = 3;

bool number(const QString& text, quint32& out)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0)
        return false;
    out = value;
    return true;
}

} // namespace

bool takeProtectionOptions(QStringList& args, ProtectionChoice& choice, QString& error)
{
    bool strongGiven = false;
    bool compatibleGiven = false;
    quint32 memoryMiB = 0;
    quint32 passes = 0;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--")) {
            rest << args.mid(i);
            break;
        }
        if (a == QLatin1String("--strong")) {
            strongGiven = true;
            continue;
        }
        if (a == QLatin1String("--compatible")) {
            compatibleGiven = true;
            continue;
        }
        const bool memory = a == QLatin1String("--kdf-memory") || a.startsWith(QLatin1String("--kdf-memory="));
        const bool passOption = a == QLatin1String("--kdf-passes") || a.startsWith(QLatin1String("--kdf-passes="));
        if (!memory && !passOption) {
            rest << a;
            continue;
        }
        const QString name = memory ? QStringLiteral("--kdf-memory") : QStringLiteral("--kdf-passes");
        QString value;
        if (a.contains(QLatin1Char('='))) {
            value = a.section(QLatin1Char('='), 1);
        } else if (i + 1 < args.size()) {
            value = args.at(++i);
        } else {
            error = QStringLiteral("%1 needs a number").arg(name);
            return false;
        }
        if (!number(value, memory ? memoryMiB : passes)) {
            error = QStringLiteral("%1 needs a positive number").arg(name);
            return false;
        }
    }
    if (strongGiven && compatibleGiven) {
        error = QStringLiteral("--strong and --compatible exclude each other");
        return false;
    }
    if ((memoryMiB || passes) && !strongGiven) {
        error = QStringLiteral("--kdf-memory and --kdf-passes go with --strong");
        return false;
    }
    choice = ProtectionChoice();
    if (compatibleGiven)
        choice.kind = ProtectionChoice::Compatible;
    if (strongGiven) {
        choice.kind = ProtectionChoice::Strong;
        if (memoryMiB || passes) {
            const quint64 kib = quint64(memoryMiB ? memoryMiB : kDefaultMemoryMiB) * 1024;
            const strong::KdfParameters kdf{passes ? passes : kDefaultPasses, quint32(qMin<quint64>(kib, 0xFFFFFFFFu))};
            if (kib > 0xFFFFFFFFu || !strong::parametersForCreation(kdf)) {
                error = QStringLiteral("the key derivation needs 64 to 1024 MiB, 1 to 64 passes, and memory times "
                                       "passes at most 8192 MiB");
                return false;
            }
            choice.kdf = kdf;
        }
    }
    args = rest;
    return true;
}

void applyProtection(DocumentState& doc, const ProtectionChoice& choice)
{
    switch (choice.kind) {
    case ProtectionChoice::Keep:
        break;
    case ProtectionChoice::Compatible:
        docfile::setProtection(doc, false);
        break;
    case ProtectionChoice::Strong:
        // Asked for anew: a cost given, else a fresh calibration for this machine.
        docfile::setProtection(doc, true, choice.kdf.isSet() ? choice.kdf : strong::calibratedParameters());
        break;
    }
}

QString protectionText(const DocumentProtection& protection)
{
    if (!protection.isStrong())
        return QStringLiteral("compatible (SHA-1, Blowfish)");
    return QStringLiteral("strong (%1)").arg(strong::describe(protection.kdf));
}

} // namespace cli

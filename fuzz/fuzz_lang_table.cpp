// Any bytes as a language table (Windows-1252 lines of "key=value"): loading never fails, every
// key found reads back its first value, and the "~" fields of each value put together again give
// the value.
#include "FuzzInput.h"
#include "lang/LangTable.h"
#include "platform/Win1252.h"

#include <QStringList>

using fuzzinput::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LangTable& table = LangTable::instance();
    table.setText(win1252::toUnicode(fuzzinput::bytes(data, size)), QStringLiteral("FZ"));
    const auto snap = table.snapshot();
    require(snap->code == QLatin1String("FZ"), "table code lost");
    require(snap->entries.size() <= snap->lines.size(), "more entries than lines");

    int checked = 0;
    for (const LangTable::Line& line : snap->entries) {
        if (++checked > 64)
            break;
        require(!line.key.contains(QLatin1Char('=')), "a key holds \"=\"");
        const QString first = table.lookup(line.key);
        // An earlier line of the same key, letter case aside, wins.
        bool earlier = false;
        for (const LangTable::Line& other : snap->entries) {
            if (&other == &line)
                break;
            if (other.key.toCaseFolded() == line.key.toCaseFolded()) {
                earlier = true;
                break;
            }
        }
        if (!earlier)
            require(first == line.value, "a key does not read its first value", line.key);

        QStringList fields;
        const int count = int(line.value.count(QLatin1Char('~'))) + 1;
        for (int n = 1; n <= count && n <= 64; ++n)
            fields << ExtractField(n, line.value);
        if (count <= 64)
            require(fields.join(QLatin1Char('~')) == line.value, "the fields do not make the value again", line.value);
        require(ExtractField(count + 1, line.value).isEmpty(), "a field past the last one");
        require(ExtractField(0, line.value).isEmpty() && ExtractField(-1, line.value).isEmpty(), "field 0 or below");

        if (!first.isEmpty() && line.key.startsWith(QLatin1String("Messages."), Qt::CaseInsensitive)) {
            const QString text = Msg(line.key.mid(9));
            require(!text.contains(QLatin1Char('|')), "a message keeps a \"|\"");
        }
    }
    clearLangTable();
    return 0;
}

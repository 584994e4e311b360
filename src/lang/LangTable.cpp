#include "lang/LangTable.h"

#include "platform/Win1252.h"

#include <QFile>
#include <QMutexLocker>

#include <mutex>

// The tables are compiled into this static library; the reference keeps the linker from
// dropping them from the programs that use it.
static void initLangResources()
{
    Q_INIT_RESOURCE(lang);
}

namespace {

const QStringList kCodes = {QStringLiteral("FR"), QStringLiteral("US")};

void ensureResources()
{
    static std::once_flag once;
    std::call_once(once, initLangResources);
}

QString canonicalCode(const QString& code)
{
    for (const QString& c : kCodes)
        if (c.compare(code, Qt::CaseInsensitive) == 0)
            return c;
    return QString();
}

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString resourceNotFound(const QString& code)
{
    // The table is empty at this point, so the text cannot come from it: it speaks the
    // language of the system, as the system's own message would.
    if (QLocale::system().language() == QLocale::French)
        return QStringLiteral("Ressource introuvable : %1").arg(code);
    return QStringLiteral("Resource not found: %1").arg(code);
}

} // namespace

LangTable::LangTable() : m_snapshot(std::make_shared<const Snapshot>())
{
}

LangTable& LangTable::instance()
{
    static LangTable table;
    return table;
}

void LangTable::setText(const QString& text, const QString& code)
{
    auto snap = std::make_shared<Snapshot>();
    snap->code = code;
    snap->lines = splitLines(text);
    for (const QString& line : std::as_const(snap->lines)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        Line l{line.left(eq), line.mid(eq + 1)};
        const QString folded = l.key.toCaseFolded();
        if (!snap->firstValues.contains(folded))
            snap->firstValues.insert(folded, l.value);
        snap->entries << l;
    }
    std::shared_ptr<const Snapshot> frozen = std::move(snap);
    QMutexLocker lock(&m_mutex);
    m_snapshot.swap(frozen);
    // The previous snapshot is released after the lock, by whoever holds it last.
}

void LangTable::clear()
{
    std::shared_ptr<const Snapshot> empty = std::make_shared<const Snapshot>();
    QMutexLocker lock(&m_mutex);
    m_snapshot.swap(empty);
}

std::shared_ptr<const LangTable::Snapshot> LangTable::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_snapshot;
}

QString LangTable::lookup(const QString& key) const
{
    const auto snap = snapshot();
    return snap->firstValues.value(key.toCaseFolded());
}

QString LangTable::code() const
{
    return snapshot()->code;
}

bool LangTable::isEmpty() const
{
    return snapshot()->lines.isEmpty();
}

QStringList builtInLanguageCodes()
{
    return kCodes;
}

QByteArray builtInLangTableBytes(const QString& code)
{
    const QString canonical = canonicalCode(code);
    if (canonical.isEmpty())
        return QByteArray();
    ensureResources();
    QFile f(QStringLiteral(":/lang/%1.txt").arg(canonical));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool LoadLangTable(const QString& code, QString* error)
{
    LangTable& table = LangTable::instance();
    const QByteArray bytes = builtInLangTableBytes(code);
    if (bytes.isEmpty()) {
        table.clear();
        if (error)
            *error = resourceNotFound(code);
        return false;
    }
    table.setText(win1252::toUnicode(bytes), canonicalCode(code));
    if (error)
        error->clear();
    return true;
}

void clearLangTable()
{
    LangTable::instance().clear();
}

QString langLookup(const QString& key)
{
    return LangTable::instance().lookup(key);
}

QString Msg(const QString& key)
{
    QString text = langLookup(QStringLiteral("Messages.") + key);
    text.replace(QLatin1Char('|'), QStringLiteral("\r\n"));
    if (text.isEmpty())
        return key;
    return text;
}

QChar pluralForm(const QString& languageCode, qint64 count)
{
    // French counts nothing and one alike ("0 élément", "1 élément"); English only one.
    if (languageCode.compare(QLatin1String("FR"), Qt::CaseInsensitive) == 0)
        return count == 0 || count == 1 ? QLatin1Char('1') : QLatin1Char('n');
    return count == 1 ? QLatin1Char('1') : QLatin1Char('n');
}

namespace {

QString formatCountIn(const QString& languageCode, qint64 count)
{
    const bool french = languageCode.compare(QLatin1String("FR"), Qt::CaseInsensitive) == 0;
    QLocale locale =
        french ? QLocale(QLocale::French, QLocale::France) : QLocale(QLocale::English, QLocale::UnitedStates);
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(count);
}

} // namespace

QString formatCount(qint64 count)
{
    return formatCountIn(currentLanguageCode(), count);
}

QString MsgCount(const QString& key, qint64 count)
{
    // One snapshot for the language and its rows: a reload meanwhile cannot mix two tables.
    const std::shared_ptr<const LangTable::Snapshot> table = LangTable::instance().snapshot();
    const QChar form = pluralForm(table->code, count);
    const QChar other = form == QLatin1Char('1') ? QLatin1Char('n') : QLatin1Char('1');
    const auto row = [&](QChar f) {
        return table->firstValues.value((QStringLiteral("Messages.") + key + QLatin1Char('.') + f).toCaseFolded());
    };
    QString text = row(form);
    if (text.isEmpty())
        text = row(other);
    if (text.isEmpty())
        return key;
    text.replace(QLatin1Char('|'), QStringLiteral("\r\n"));
    return FillPlaceholders(text, {formatCountIn(table->code, count)});
}

QString ExtractField(int n, const QString& value)
{
    if (n < 1)
        return QString();
    int passed = 0;
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('~')) {
            ++passed;
            if (passed >= n)
                break;
            continue;
        }
        if (passed == n - 1)
            out += c;
    }
    return out;
}

namespace {
bool hasSwitch(const QStringList& args, const QString& code)
{
    for (const QString& a : args) {
        if (a.size() != code.size() + 1)
            continue;
        if (a.at(0) != QLatin1Char('-') && a.at(0) != QLatin1Char('/'))
            continue;
        if (a.mid(1).compare(code, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

QString ChooseLanguage(const QStringList& args, const QString& langueSetting, const QLocale& locale)
{
    if (hasSwitch(args, QStringLiteral("FR")))
        return QStringLiteral("FR");
    if (hasSwitch(args, QStringLiteral("US")))
        return QStringLiteral("US");
    const QString setting = langueSetting.trimmed();
    if (!setting.isEmpty())
        return setting;
    if (locale.language() == QLocale::French)
        return QStringLiteral("FR");
    return QStringLiteral("US");
}

QString currentLanguageCode()
{
    return LangTable::instance().code();
}

QString FillPlaceholders(const QString& text, const QStringList& args)
{
    QString out;
    out.reserve(text.size());
    int next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 1 < text.size() && next < args.size() &&
            (text.at(i + 1) == QLatin1Char('s') || text.at(i + 1) == QLatin1Char('d'))) {
            out += args.at(next++);
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

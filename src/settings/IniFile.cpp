#include "settings/IniFile.h"

#include "platform/SafeFileWrite.h"
#include "platform/Win1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

#ifdef Q_OS_WIN
const QString kNativeEol = QStringLiteral("\r\n");
#else
const QString kNativeEol = QStringLiteral("\n");
#endif

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

// A section header: "[name]" after optional blanks; the name runs to the last "]".
std::optional<QString> sectionName(const QString& line)
{
    const QString t = trimmedBlanks(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.lastIndexOf(u']');
    if (close < 1)
        return std::nullopt;
    return trimmedBlanks(QStringView(t).mid(1, close - 1));
}

bool isComment(const QString& trimmed)
{
    return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

// Position of the "=" of a key line, or -1 for blank lines, comments and lines without a key.
qsizetype keySeparator(const QString& line)
{
    const QString t = trimmedBlanks(line);
    if (t.isEmpty() || isComment(t) || t.startsWith(u'['))
        return -1;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0 || trimmedBlanks(QStringView(line).left(eq)).isEmpty())
        return -1;
    return eq;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// A value that a read would change (blanks around it, or a pair of quotes around it) is put
// between double quotes, which the read removes again.
QString encodeValue(const QString& value)
{
    QString v = value;
    // A line break would split the line and let the rest pose as another key or section.
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    const bool blanksAround = !v.isEmpty() && (isBlank(v.front()) || isBlank(v.back()));
    const bool quotedAlready = v.size() >= 2 && isQuote(v.front()) && v.front() == v.back();
    if (blanksAround || quotedAlready)
        return u'"' + v + u'"';
    return v;
}

QString cleanName(const QString& name)
{
    QString n = name;
    n.replace(u'\r', u' ');
    n.replace(u'\n', u' ');
    return n;
}

// Qt's long time formats end with a time-zone name, which the classic time format never had and
// which does not parse back reliably: it is dropped, with the blank before it.
QString withoutTimeZone(const QString& format)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == u't') {
            while (i + 1 < format.size() && format[i + 1] == u't')
                ++i;
            while (!out.isEmpty() && isBlank(out.back()))
                out.chop(1);
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

QString dateFormat(const QLocale& locale)
{
    return locale.dateFormat(QLocale::ShortFormat);
}

QString dateTimeFormat(const QLocale& locale)
{
    return dateFormat(locale) + u' ' + withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

bool hasTwoDigitYear(const QString& format)
{
    return format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"));
}

// Qt reads "yy" as 19yy; put the year within 50 years of today instead.
QDateTime fixCentury(QDateTime value)
{
    const int thisYear = QDate::currentDate().year();
    const int twoDigits = ((value.date().year() % 100) + 100) % 100;
    int year = thisYear - thisYear % 100 + twoDigits;
    if (year > thisYear + 50)
        year -= 100;
    else if (year <= thisYear - 50)
        year += 100;
    const QDate d = value.date();
    const QDate fixed(year, d.month(), std::min(d.day(), QDate(year, d.month(), 1).daysInMonth()));
    return QDateTime(fixed, value.time());
}

} // namespace

IniFile::IniFile(const QString& path)
{
    load(path);
}

bool IniFile::load(const QString& path)
{
    m_path = path;
    m_lines.clear();
    m_encoding = Encoding::Utf8;
    m_defaultEol = kNativeEol;
    m_modified = false;
    m_unreadable = false;
    m_tooLarge = false;

    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return false;
    }
    if (file.size() > kMaxFileSize) {
        m_unreadable = true;
        m_tooLarge = true;
        return false;
    }
    loadBytes(file.readAll());
    return true;
}

void IniFile::loadBytes(const QByteArray& bytes)
{
    m_lines.clear();
    m_encoding = Encoding::Utf8;
    m_defaultEol = kNativeEol;
    m_modified = false;

    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_encoding = Encoding::Utf8Bom;
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        m_encoding = little ? Encoding::Utf16Le : Encoding::Utf16Be;
        QStringDecoder decode(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                              QStringConverter::Flag::Stateless);
        text = decode(bytes.mid(2));
    } else {
        QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        text = decode(bytes);
        if (decode.hasError())
            text = win1252::toUnicode(bytes);
    }
    parse(text);
}

void IniFile::parse(const QString& text)
{
    qsizetype start = 0;
    bool eolKnown = false;
    while (start < text.size()) {
        const qsizetype lf = text.indexOf(u'\n', start);
        Line line;
        if (lf < 0) {
            line.text = text.mid(start);
            start = text.size();
        } else {
            const bool crlf = lf > start && text[lf - 1] == u'\r';
            line.text = text.mid(start, lf - start - (crlf ? 1 : 0));
            line.eol = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
            if (!eolKnown) {
                m_defaultEol = line.eol;
                eolKnown = true;
            }
            start = lf + 1;
        }
        m_lines.append(line);
    }
}

IniFile::Location IniFile::locate(const QString& section, const QString& key) const
{
    Location loc;
    bool inside = false;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines[i].text;
        if (const auto name = sectionName(line)) {
            if (inside)
                break; // only the first section of that name counts
            if (sameName(*name, section)) {
                inside = true;
                loc.sectionLine = i;
                loc.lastLine = i;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!trimmedBlanks(line).isEmpty())
            loc.lastLine = i;
        if (loc.keyLine < 0) {
            const qsizetype eq = keySeparator(line);
            if (eq >= 0 && sameName(trimmedBlanks(QStringView(line).left(eq)), key))
                loc.keyLine = i;
        }
    }
    return loc;
}

std::optional<QString> IniFile::rawValue(const QString& section, const QString& key) const
{
    const Location loc = locate(section, key);
    if (loc.keyLine < 0)
        return std::nullopt;
    const QString& line = m_lines[loc.keyLine].text;
    QString value = trimmedBlanks(QStringView(line).mid(keySeparator(line) + 1));
    if (value.size() >= 2 && isQuote(value.front()) && value.front() == value.back())
        value = value.mid(1, value.size() - 2);
    return value;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    return locate(section, key).keyLine >= 0;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& fallback) const
{
    QString value = rawValue(section, key).value_or(fallback);
    if (value.size() > kMaxReadLength) {
        value.truncate(kMaxReadLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

int IniFile::readInteger(const QString& section, const QString& key, int fallback) const
{
    const auto raw = rawValue(section, key);
    if (!raw)
        return fallback;
    return parseInteger(readString(section, key)).value_or(fallback);
}

bool IniFile::readBool(const QString& section, const QString& key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

QDateTime IniFile::readDateTime(const QString& section, const QString& key, const QDateTime& fallback,
                                const QLocale& locale) const
{
    if (!contains(section, key))
        return fallback;
    const QDateTime value = parseDateTime(readString(section, key), locale);
    return value.isValid() ? value : fallback;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QString encoded = encodeValue(value);
    const Location loc = locate(section, key);
    if (loc.keyLine >= 0) {
        Line& line = m_lines[loc.keyLine];
        // Keep the key as spelt in the file, and the blanks after "=".
        qsizetype valueStart = keySeparator(line.text) + 1;
        while (valueStart < line.text.size() && isBlank(line.text[valueStart]))
            ++valueStart;
        const QString updated = line.text.left(valueStart) + encoded;
        if (updated != line.text) {
            line.text = updated;
            m_modified = true;
        }
        return;
    }

    const QString newLine = cleanName(key) + u'=' + encoded;
    if (loc.sectionLine >= 0) {
        Line& previous = m_lines[loc.lastLine];
        if (previous.eol.isEmpty())
            previous.eol = m_defaultEol;
        m_lines.insert(loc.lastLine + 1, Line{newLine, m_defaultEol});
    } else {
        if (!m_lines.isEmpty() && m_lines.back().eol.isEmpty())
            m_lines.back().eol = m_defaultEol;
        m_lines.append(Line{u'[' + cleanName(section) + u']', m_defaultEol});
        m_lines.append(Line{newLine, m_defaultEol});
    }
    m_modified = true;
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeDateTime(const QString& section, const QString& key, const QDateTime& value, const QLocale& locale)
{
    writeString(section, key, formatDateTime(value, locale));
}

QString IniFile::text() const
{
    QString out;
    for (const Line& line : m_lines)
        out += line.text + line.eol;
    return out;
}

QByteArray IniFile::encodedText() const
{
    const QString t = text();
    switch (m_encoding) {
    case Encoding::Utf8:
        return t.toUtf8();
    case Encoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + t.toUtf8();
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool little = m_encoding == Encoding::Utf16Le;
        QStringEncoder encode(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                              QStringConverter::Flag::Stateless);
        return (little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF")) + QByteArray(encode(t));
    }
    }
    return t.toUtf8();
}

bool IniFile::save(QString* error)
{
    if (!m_modified)
        return true;
    const QFileInfo info(m_path);
    // A file that exists but could not be read would be replaced by the few keys written since:
    // everything else in it (other sections, hand-made notes) would be lost.
    bool ok = !m_unreadable && !m_path.isEmpty() && QDir().mkpath(info.absolutePath());
    QString reason;
    if (ok) {
        // The file may come to hold FTP credentials: it is for its owner only, and a file made
        // readable by others (by hand, or by an older copy of the program) is narrowed now.
        const platform::SafeWriteResult written =
            platform::writeFileSafely(m_path, encodedText(), platform::NewFileAccess::AlwaysOwnerOnly);
        ok = written.ok;
        reason = written.error;
    }
    if (!ok) {
        if (error) {
            *error = QStringLiteral("Impossible d'écrire dans %1").arg(QDir::toNativeSeparators(m_path));
            if (!reason.isEmpty())
                *error += QStringLiteral("\r\n\r\n") + reason;
        }
        return false;
    }
    m_modified = false;
    return true;
}

std::optional<int> IniFile::parseInteger(const QString& text)
{
    QStringView digits = text;
    int base = 10;
    if (digits.startsWith(u'$')) {
        digits = digits.mid(1);
        base = 16;
    } else if (digits.size() > 2 && digits[0] == u'0' && (digits[1] == u'x' || digits[1] == u'X')) {
        digits = digits.mid(2);
        base = 16;
    }
    if (digits.isEmpty())
        return std::nullopt;

    if (base == 16) {
        if (digits.size() > 8)
            return std::nullopt;
        bool ok = false;
        const uint value = digits.toUInt(&ok, 16);
        // toUInt would accept blanks and a sign; the file's rules do not.
        for (QChar c : digits)
            if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
                return std::nullopt;
        if (!ok)
            return std::nullopt;
        return static_cast<int>(value);
    }

    qsizetype i = 0;
    if (digits[0] == u'-' || digits[0] == u'+')
        i = 1;
    if (i == digits.size())
        return std::nullopt;
    for (qsizetype k = i; k < digits.size(); ++k)
        if (digits[k] < u'0' || digits[k] > u'9')
            return std::nullopt;
    bool ok = false;
    const int value = digits.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString IniFile::formatDateTime(const QDateTime& value, const QLocale& locale)
{
    const QDateTime local = value.toLocalTime();
    if (local.time() == QTime(0, 0))
        return locale.toString(local.date(), dateFormat(locale));
    return locale.toString(local, dateTimeFormat(locale));
}

QDateTime IniFile::parseDateTime(const QString& text, const QLocale& locale)
{
    const QString t = text.trimmed();
    QString format = dateTimeFormat(locale);
    QDateTime value = locale.toDateTime(t, format);
    if (!value.isValid()) {
        format = dateFormat(locale);
        const QDate date = locale.toDate(t, format);
        if (date.isValid())
            value = QDateTime(date, QTime(0, 0));
    }
    if (!value.isValid())
        return QDateTime();
    if (hasTwoDigitYear(format))
        value = fixCentury(value);
    return value;
}

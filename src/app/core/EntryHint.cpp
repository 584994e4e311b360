#include "app/core/EntryHint.h"

#include "document/EntryIdentity.h"

namespace {

// The long time format of a locale without its time-zone field ("t"), which a time of day alone
// cannot honestly carry.
QString timeFormatWithoutZone(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == QLatin1Char('t')) {
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

} // namespace

QString HintDateText(DateTime value, const QLocale& locale)
{
    const QDateTime when = datetime::toQDateTime(value);
    if (!when.isValid())
        return QString();
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time().msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') + locale.toString(when.time(), timeFormatWithoutZone(locale));
    return text;
}

QString EntryHintText(DateTime created, DateTime modified, const QString& hint, const QLocale& locale)
{
    // A creation date before 2.0 stands for "not recorded" (an identity given to an entry that had none).
    const QString createdText = identity::isRecorded(created) ? HintDateText(created, locale) : QString();
    const QString modifiedText = HintDateText(modified, locale);
    if (createdText.isEmpty() && modifiedText.isEmpty())
        return hint;
    QString text;
    if (!createdText.isEmpty())
        text += QStringLiteral("Elément créé le : ") + createdText + QLatin1Char(' ');
    if (!modifiedText.isEmpty())
        text += QStringLiteral("Modifié le : ") + modifiedText;
    return text + QStringLiteral(" (") + hint + QLatin1Char(')');
}

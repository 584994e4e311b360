#include "app/core/WebLink.h"

namespace {

// Only a to z are turned into capitals: no other character may stand for a letter of a prefix or
// of a placeholder.
QChar asciiCapital(QChar c)
{
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        return QChar(c.unicode() - 'a' + 'A');
    return c;
}

bool matchesCapitalsAt(const QString& text, qsizetype at, const QString& capitals)
{
    if (text.size() - at < capitals.size())
        return false;
    for (qsizetype i = 0; i < capitals.size(); ++i)
        if (asciiCapital(text.at(at + i)) != capitals.at(i))
            return false;
    return true;
}

QString replaceAnyCase(const QString& text, const QString& capitals, const QString& by)
{
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (matchesCapitalsAt(text, i, capitals)) {
            result += by;
            i += capitals.size();
        } else {
            result += text.at(i);
            ++i;
        }
    }
    return result;
}

} // namespace

bool IsWebLink(const QString& text)
{
    return matchesCapitalsAt(text, 0, QStringLiteral("HTTP://")) ||
           matchesCapitalsAt(text, 0, QStringLiteral("HTTPS://")) ||
           matchesCapitalsAt(text, 0, QStringLiteral("FTP://"));
}

QString SubstituteCredentials(const QString& address, const QString& login, const QString& password)
{
    const QString withPassword = replaceAnyCase(address, QStringLiteral("\u00B0PASS"), password);
    return replaceAnyCase(withPassword, QStringLiteral("\u00B0USER"), login);
}

ShellCommand SplitCommandLine(const QString& text)
{
    ShellCommand command;
    if (text.startsWith(QLatin1Char('"'))) {
        const qsizetype closing = text.indexOf(QLatin1Char('"'), 1);
        if (closing < 0) {
            command.parameters = text.mid(2);
        } else {
            command.program = text.mid(1, closing - 1);
            command.parameters = text.mid(closing + 2);
        }
        return command;
    }
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space < 0) {
        command.program = text;
        return command;
    }
    command.program = text.left(space);
    command.parameters = text.mid(space + 1);
    return command;
}

ShellCommand WebAddressTarget(const QString& address, const QString& login, const QString& password)
{
    const QString target = SubstituteCredentials(address, login, password);
    if (IsWebLink(target))
        return ShellCommand{target, QString()};
    return SplitCommandLine(target);
}

QString WithHiddenCharactersShown(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            out += QStringLiteral("<U+%1>").arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
        else
            out += c;
    }
    return out;
}

WebOpening PlanWebOpening(const QString& address, const QString& login, const QString& password)
{
    WebOpening plan;
    const QString target = SubstituteCredentials(address, login, password);
    if (IsWebLink(target)) {
        plan.isLink = true;
        plan.link = target;
        return plan;
    }
    // What people type for a site; run as a program it would do nothing useful.
    if (target.size() > 4 && matchesCapitalsAt(target, 0, QStringLiteral("WWW."))) {
        plan.isLink = true;
        plan.link = QStringLiteral("https://") + target;
        return plan;
    }
    plan.command = SplitCommandLine(target);
    // Dots stand for the password in the question.
    const ShellCommand shown =
        SplitCommandLine(SubstituteCredentials(address, login, QStringLiteral("\u2022\u2022\u2022")));
    plan.shown = ShellCommand{WithHiddenCharactersShown(shown.program), WithHiddenCharactersShown(shown.parameters)};
    bool placeholder = false;
    for (qsizetype i = 0; i < address.size() && !placeholder; ++i)
        placeholder = matchesCapitalsAt(address, i, QStringLiteral("\u00B0PASS"));
    plan.carriesPassword = placeholder && !password.isEmpty();
    return plan;
}

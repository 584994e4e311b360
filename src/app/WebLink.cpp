#include "app/WebLink.h"

namespace {

bool startsWithCapitals(const QString& text, QLatin1String prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (int i = 0; i < prefix.size(); ++i) {
        QChar c = text.at(i);
        // Only a to z are turned into capitals: no other character may stand for a prefix letter.
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
        if (c != QLatin1Char(prefix[i]))
            return false;
    }
    return true;
}

} // namespace

bool IsWebLink(const QString& text)
{
    return startsWithCapitals(text, QLatin1String("HTTP://")) || startsWithCapitals(text, QLatin1String("HTTPS://")) ||
           startsWithCapitals(text, QLatin1String("FTP://"));
}

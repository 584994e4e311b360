#include "platform/ArgumentNames.h"

#include <QFile>
#include <QStringDecoder>

#include <cstring>

namespace platform {

bool argumentKeepsItsBytes(const char* raw)
{
    const QByteArray bytes(raw);
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

CheckedArguments checkArguments(int argc, const char* const* argv)
{
    CheckedArguments out;
    for (int i = 1; i < argc; ++i) {
        if (argumentKeepsItsBytes(argv[i]))
            out.kept << QFile::decodeName(argv[i]);
        else
            out.refused << displayArgument(argv[i]);
    }
    return out;
}

QString displayArgument(const char* raw)
{
    const QByteArray bytes(raw);
    QString shown;
    qsizetype i = 0;
    while (i < bytes.size()) {
        // One character at a time: the shortest run from here that decodes cleanly.
        qsizetype end = i;
        QString piece;
        for (qsizetype length = 1; length <= qMin<qsizetype>(4, bytes.size() - i); ++length) {
            QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString text = decode(QByteArrayView(bytes).sliced(i, length));
            if (!decode.hasError() && text.size() > 0 && !text.contains(QChar::ReplacementCharacter)) {
                end = i + length;
                piece = text;
                break;
            }
        }
        if (end > i) {
            const bool control = piece.size() == 1 && (piece.at(0).unicode() < 0x20 || piece.at(0).unicode() == 0x7F);
            shown += control ? QStringLiteral("\\x%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0')) : piece;
            i = end;
        } else {
            shown += QStringLiteral("\\x%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return shown;
}

} // namespace platform

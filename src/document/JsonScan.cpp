#include "document/JsonScan.h"

#include <QSet>

#include <vector>

namespace jsonscan {

namespace {

struct Frame
{
    bool object = false;
    bool expectKey = false;
    QSet<QString> keys;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The text of a key as the parser makes it: its escapes undone.
QString keyText(const char* p, qsizetype n)
{
    QString out;
    QByteArray run;
    const auto flush = [&] {
        out += QString::fromUtf8(run);
        run.clear();
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != '\\' || i + 1 >= n) {
            run += p[i];
            continue;
        }
        const char e = p[++i];
        switch (e) {
        case 'b':
            run += '\b';
            break;
        case 'f':
            run += '\f';
            break;
        case 'n':
            run += '\n';
            break;
        case 'r':
            run += '\r';
            break;
        case 't':
            run += '\t';
            break;
        case 'u': {
            char16_t unit = 0;
            bool ok = i + 4 < n;
            for (int k = 1; ok && k <= 4; ++k) {
                const int v = hexValue(p[i + k]);
                ok = v >= 0;
                unit = char16_t(unit * 16 + v);
            }
            if (!ok) {
                run += e;
                break;
            }
            flush();
            out += QChar(unit);
            i += 4;
            break;
        }
        default:
            run += e; // \" \\ \/
        }
    }
    flush();
    return out;
}

} // namespace

Result scan(const QByteArray& json, qsizetype maxStringBytes)
{
    Result result;
    std::vector<Frame> stack;
    const char* p = json.constData();
    const qsizetype n = json.size();
    qint64 line = 1;
    qsizetype lineStart = 0;
    const auto place = [&](Fault& f, qsizetype at, const QString& what) {
        f.line = line;
        f.column = at - lineStart + 1;
        f.what = what;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        switch (c) {
        case '\n':
            ++line;
            lineStart = i + 1;
            break;
        case '{':
            stack.push_back(Frame{true, true, {}});
            break;
        case '[':
            stack.push_back(Frame{false, false, {}});
            break;
        case '}':
        case ']':
            if (!stack.empty())
                stack.pop_back();
            break;
        case ',':
            if (!stack.empty() && stack.back().object)
                stack.back().expectKey = true;
            break;
        case ':':
            if (!stack.empty() && stack.back().object)
                stack.back().expectKey = false;
            break;
        case '"': {
            const qsizetype start = i + 1;
            qsizetype j = start;
            while (j < n && p[j] != '"') {
                if (p[j] == '\\')
                    ++j;
                ++j;
            }
            const qsizetype length = qMin(j, n) - start;
            if (maxStringBytes >= 0 && length > maxStringBytes) {
                place(result.tooLong, i, QStringLiteral("a text of more than %1 bytes").arg(maxStringBytes));
                return result;
            }
            if (!stack.empty() && stack.back().object && stack.back().expectKey && !result.duplicate.found()) {
                const QString key = keyText(p + start, length);
                if (stack.back().keys.contains(key))
                    place(result.duplicate, i, QStringLiteral("the key \"%1\" appears twice in one object").arg(key));
                else
                    stack.back().keys.insert(key);
            }
            i = j; // the closing quote (a string holds no line break)
            break;
        }
        default:
            break;
        }
    }
    return result;
}

} // namespace jsonscan

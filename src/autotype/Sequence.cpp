#include "autotype/Sequence.h"

#include "autotype/WindowMatch.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentModel.h"

namespace autotype {

namespace {

bool isDigits(QStringView text)
{
    if (text.isEmpty() || text.size() > 6)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// Appends a field or literal text; false when it holds a control character that has no key.
bool appendTyped(QString& out, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\t')) {
            out += c;
        } else if (c.category() == QChar::Other_Control) {
            return false;
        } else {
            out += c;
        }
    }
    return true;
}

} // namespace

ParsedSequence parseSequence(const QString& sequence)
{
    ParsedSequence parsed;
    if (sequence.size() > kMaxSequenceLength) {
        parsed.error = ParsedSequence::TooLong;
        return parsed;
    }
    QString literal;
    const auto flushLiteral = [&] {
        if (!literal.isEmpty()) {
            parsed.items.push_back({SequenceItem::Text, literal, 0});
            literal.clear();
        }
    };
    for (qsizetype i = 0; i < sequence.size(); ++i) {
        if (sequence[i] != QLatin1Char('{')) {
            literal += sequence[i];
            continue;
        }
        const qsizetype close = sequence.indexOf(QLatin1Char('}'), i + 1);
        if (close < 0) {
            parsed.items.clear();
            parsed.error = ParsedSequence::Unclosed;
            parsed.placeholder = sequence.mid(i, 40);
            return parsed;
        }
        const QString written = sequence.mid(i, close - i + 1);
        const QString name = sequence.mid(i + 1, close - i - 1).toUpper();
        SequenceItem item;
        if (name == QLatin1String("USERNAME")) {
            item.kind = SequenceItem::Username;
        } else if (name == QLatin1String("PASSWORD")) {
            item.kind = SequenceItem::Password;
        } else if (name == QLatin1String("URL")) {
            item.kind = SequenceItem::Url;
        } else if (name == QLatin1String("TOTP")) {
            item.kind = SequenceItem::Totp;
        } else if (name == QLatin1String("TAB")) {
            item.kind = SequenceItem::Tab;
        } else if (name == QLatin1String("ENTER")) {
            item.kind = SequenceItem::Enter;
        } else if (name.startsWith(QLatin1String("DELAY="))) {
            const QStringView digits = QStringView(name).mid(6);
            const int ms = isDigits(digits) ? digits.toInt() : -1;
            if (ms < 0 || ms > kMaxDelayMs) {
                parsed.items.clear();
                parsed.error = ParsedSequence::BadDelay;
                parsed.placeholder = written.left(40);
                return parsed;
            }
            item.kind = SequenceItem::Delay;
            item.ms = ms;
        } else {
            parsed.items.clear();
            parsed.error = ParsedSequence::UnknownPlaceholder;
            parsed.placeholder = written.left(40);
            return parsed;
        }
        flushLiteral();
        parsed.items.push_back(item);
        i = close;
    }
    flushLiteral();
    return parsed;
}

QString sequenceOf(const TFeuille& entry)
{
    const QStringList lines = notesValues(entry.Notes, QStringLiteral("Auto-Type"), 1);
    return lines.isEmpty() ? QString::fromLatin1(kDefaultSequence) : lines.first();
}

namespace {
bool hasKind(const ParsedSequence& sequence, SequenceItem::Kind kind)
{
    for (const SequenceItem& item : sequence.items)
        if (item.kind == kind)
            return true;
    return false;
}
} // namespace

bool typesPassword(const ParsedSequence& sequence)
{
    return hasKind(sequence, SequenceItem::Password);
}

bool typesOneTimeCode(const ParsedSequence& sequence)
{
    return hasKind(sequence, SequenceItem::Totp);
}

void TypingPlan::wipe()
{
    secureWipe(text);
    pauses.clear();
}

TypingPlan::TypingPlan(TypingPlan&& other) noexcept : text(std::move(other.text)), pauses(std::move(other.pauses))
{
}

TypingPlan& TypingPlan::operator=(TypingPlan&& other) noexcept
{
    if (this != &other) {
        wipe();
        text = std::move(other.text);
        pauses = std::move(other.pauses);
    }
    return *this;
}

PlanResult buildPlan(const ParsedSequence& sequence, const TFeuille& entry, const QString& oneTimeCode,
                     TypingPlan& plan)
{
    plan.wipe();
    PlanResult result;
    // Sized once, so that growing does not leave copies of the password in freed memory.
    qsizetype size = 0;
    for (const SequenceItem& item : sequence.items) {
        switch (item.kind) {
        case SequenceItem::Text:
            size += item.text.size();
            break;
        case SequenceItem::Username:
            size += entry.Login.size();
            break;
        case SequenceItem::Password:
            size += entry.Password.size();
            break;
        case SequenceItem::Url:
            size += entry.WebAddress.size();
            break;
        case SequenceItem::Totp:
            size += oneTimeCode.size();
            break;
        default:
            size += 1;
            break;
        }
    }
    plan.text.reserve(size + 1);
    for (const SequenceItem& item : sequence.items) {
        const QString* field = nullptr;
        switch (item.kind) {
        case SequenceItem::Text:
            field = &item.text;
            break;
        case SequenceItem::Username:
            field = &entry.Login;
            break;
        case SequenceItem::Password:
            field = &entry.Password;
            break;
        case SequenceItem::Url:
            field = &entry.WebAddress;
            break;
        case SequenceItem::Totp:
            field = &oneTimeCode;
            break;
        case SequenceItem::Tab:
            plan.text += QLatin1Char('\t');
            break;
        case SequenceItem::Enter:
            plan.text += QLatin1Char('\n');
            break;
        case SequenceItem::Delay:
            plan.pauses.emplace_back(plan.text.size(), item.ms);
            break;
        }
        if (field && !appendTyped(plan.text, *field)) {
            plan.wipe();
            result.error = PlanResult::ControlCharacter;
            result.field = item.kind;
            return result;
        }
    }
    return result;
}

} // namespace autotype

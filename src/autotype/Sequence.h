#pragma once

#include <QString>

#include <utility>
#include <vector>

struct TFeuille;

// What auto-type types for an entry: a sequence of literal text and placeholders, read from a
// notes line "Auto-Type: SEQUENCE" or the default, then turned into the characters to type.
namespace autotype {

// Typed when the entry's notes give no sequence.
inline constexpr char kDefaultSequence[] = "{USERNAME}{TAB}{PASSWORD}{ENTER}";
// A longer sequence is refused: it comes from notes, which may come from anywhere.
constexpr qsizetype kMaxSequenceLength = 1024;
// {DELAY=ms} waits at most this long.
constexpr int kMaxDelayMs = 10000;

struct SequenceItem
{
    enum Kind
    {
        Text,     // `text` as it is
        Username, // the entry's login
        Password,
        Url,  // the web address
        Totp, // the one-time code of the notes, at the moment of typing
        Tab,
        Enter,
        Delay, // wait `ms`
    };
    Kind kind = Text;
    QString text;
    int ms = 0;
};

struct ParsedSequence
{
    enum Error
    {
        None,
        UnknownPlaceholder, // `placeholder` names no placeholder
        BadDelay,           // `placeholder` is a {DELAY=...} without 0 to kMaxDelayMs milliseconds
        Unclosed,           // a "{" has no "}"
        TooLong,
    };
    std::vector<SequenceItem> items;
    Error error = None;
    QString placeholder; // the refused placeholder, braces included, as written
    bool ok() const { return error == None; }
};

// Placeholder names are read without letter case; text outside braces is typed as it is.
ParsedSequence parseSequence(const QString& sequence);

// The entry's sequence: the first "Auto-Type:" line of its notes, else the default.
QString sequenceOf(const TFeuille& entry);

// The sequence types the password (the safety rule of the chooser).
bool typesPassword(const ParsedSequence& sequence);
bool typesOneTimeCode(const ParsedSequence& sequence);

// The characters to type and where to pause. Tab and Enter are '\t' and '\n' in `text`; a
// pause waits its milliseconds before the character at its index (or at the end). The text is the
// entry's login and password in clear: wipe() it as soon as it was typed.
struct TypingPlan
{
    QString text;
    std::vector<std::pair<qsizetype, int>> pauses; // (index in text, ms), in order

    void wipe();
    ~TypingPlan() { wipe(); }
    TypingPlan() = default;
    TypingPlan(const TypingPlan&) = delete;
    TypingPlan& operator=(const TypingPlan&) = delete;
    TypingPlan(TypingPlan&& other) noexcept;
    TypingPlan& operator=(TypingPlan&& other) noexcept;
};

struct PlanResult
{
    enum Error
    {
        None,
        ControlCharacter, // `field` holds a control character other than a tab or a line break
    };
    Error error = None;
    SequenceItem::Kind field = SequenceItem::Text;
};

// Fills `plan` with what the sequence types for the entry; `oneTimeCode` stands for {TOTP}. A line
// break (CR LF, CR or LF) is typed as Enter, a tab as Tab; any other control character refuses the
// whole plan (which is then left empty).
PlanResult buildPlan(const ParsedSequence& sequence, const TFeuille& entry, const QString& oneTimeCode,
                     TypingPlan& plan);

} // namespace autotype

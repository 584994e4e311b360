#pragma once

#include <QByteArray>
#include <QString>

// Documents, language tables and key material store text as Windows-1252, one byte per
// character. Qt has no built-in codec for it on every platform, and the mapping must be exact
// (bytes 0x80-0x9F are the typographic characters, not C1 controls), so it lives here.
namespace win1252 {

// One byte per character; "?" for every character the code page cannot hold
// (a surrogate pair counts as one character and gives one "?", so does a lone surrogate).
QByteArray fromUnicode(const QString& text);

// Number of bytes fromUnicode gives for text, without converting it.
qsizetype encodedSize(const QString& text);

// Appends the encoding of text to out and returns the number of bytes appended. Writes straight
// into out, so a secret leaves no temporary copy behind.
qsizetype appendTo(QByteArray& out, const QString& text);

// Writes the encoding of text at dst, which has room for text.size() bytes (never more are
// needed), and returns the number of bytes written.
qsizetype writeTo(char* dst, const QString& text);

// Every byte gives one character. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value.
QString toUnicode(const QByteArray& bytes);
QString toUnicode(const char* data, qsizetype size);

// True when the code page holds the character (false for every surrogate, paired or not).
bool canHold(QChar c);

// Number of characters of text the code page cannot hold (a surrogate pair counts once).
qsizetype unholdableCount(const QString& text);

} // namespace win1252

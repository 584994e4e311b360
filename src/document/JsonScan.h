#pragma once

#include <QByteArray>
#include <QString>

// What a JSON parser keeps to itself, read straight from the text before it is parsed: a key held
// twice by one object (QJsonDocument keeps one of them, so that a second "items" would silently
// take the place of the first), and a string longer than a bound (found before the parser makes
// the text, then a QString of it, each several times the size of the file).
namespace jsonscan {

struct Fault
{
    qint64 line = 0;   // from 1
    qint64 column = 0; // from 1, in bytes
    QString what;
    bool found() const { return !what.isEmpty(); }
};

struct Result
{
    Fault tooLong;   // the first string of more than maxStringBytes bytes as written
    Fault duplicate; // the first key held twice by one object (meaningful once the text parses)
};

// Scans UTF-8 JSON text. maxStringBytes < 0: no bound. A text that is no JSON gives whatever it
// gives: its parse says what is wrong.
Result scan(const QByteArray& json, qsizetype maxStringBytes);

} // namespace jsonscan

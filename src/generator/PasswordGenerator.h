#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>

// The logic of the password generator, without its window: the character classes, the pool
// they make, the program's pseudo-random generator, the drawing of a password and its score.
namespace generator {

// The fixed classes, in their exact order of characters (repeats are deliberate: "*" is twice
// in the special class, so it is drawn twice as often).
QString capitalLetters(); // "A".."Z"
QString smallLetters();   // "a".."z"
QString accentedLetters();
QString specialCharacters();
QString digits();

// Which classes go into the pool.
struct PoolOptions
{
    bool capitals = true;
    bool small = true;
    bool accented = false;
    bool special = false;
    bool digits = true;
    bool custom = false;
    QString customChars;
};

// Documents store text in Windows-1252: a character it cannot hold would be saved as "?", and a
// password drawn with it would no longer be the one the user was given. The custom characters
// keep only those a document can hold (in their order, repeats included).
QString StorableCharacters(const QString& text);

// One line per chosen fixed class, in the order capitals, small, accented, special, digits
// (what the preview shows).
QStringList PreviewLines(const PoolOptions& options);

// The preview lines joined, then the custom characters when chosen (StorableCharacters of them).
QString CharPool(const PoolOptions& options);

// The program-wide generator: one 32-bit state; each draw advances it to
// state * 134775813 + 1 (mod 2^32) and returns the high 32 bits of state * n.
namespace rng {
// Seeds from the low 32 bits of a steady clock, unless a seed was already set.
void seedOnce();
void setSeed(std::uint32_t seed);
std::uint32_t state();
// A number from 0 to n - 1 (n >= 1).
std::uint32_t draw(std::uint32_t n);
} // namespace rng

// A password of `length` characters drawn from `pool` (counted in characters, so a character
// outside the basic plane is never split). With firstLetter the first character is one of the
// 52 letters A-Z, a-z, whatever the pool. An empty pool gives an empty string.
QString GeneratePassword(const QString& pool, int length, bool firstLetter);

// Strength of a password: unbounded, may be far below 0 or above 100.
double PasswordScore(const QString& password);

// Position of the strength bar: the score rounded half to even, clamped to 0..100.
int ScoreBarValue(double score);

// Hint of the strength bar: "Score : " and the score with two decimals in the locale's format.
QString ScoreHint(double score, const QLocale& locale = QLocale());

} // namespace generator

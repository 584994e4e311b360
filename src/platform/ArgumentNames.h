#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Command-line arguments reach a program as bytes, and Qt hands them on as text decoded as UTF-8:
// a file name that is not valid UTF-8 comes back from that text as other bytes, so the file it
// names can never be opened, and a file written under it would land under another name.
// These helpers find such arguments so that the programs refuse them instead.
namespace platform {

// Whether the bytes decode to text that names the same bytes again.
bool argumentKeepsItsBytes(const char* raw);

// The arguments after the program path (argv[1] on), as Qt decodes them, split into those that
// keep their bytes and those that do not (shown by displayArgument).
struct CheckedArguments
{
    QStringList kept;
    QStringList refused;
};
CheckedArguments checkArguments(int argc, const char* const* argv);

// The bytes of an argument for a message: valid UTF-8 text as it is, and every byte of an invalid
// sequence written as \xNN, so that the user can tell which file is meant.
QString displayArgument(const char* raw);

} // namespace platform

#pragma once

#include <QString>

// True when the text begins with "HTTP://", "HTTPS://" or "FTP://", the letters a to z of the text
// compared as capitals (no other case folding).
bool IsWebLink(const QString& text);

// The address with every "°pass" (any letter case) replaced by the password, then every "°user"
// by the login. The order is part of the rule: a "°user" brought in by the password is replaced
// too.
QString SubstituteCredentials(const QString& address, const QString& login, const QString& password);

// What the shell is asked to open for a text that is no web link: the program and its parameters
// as one text, split the way the address was typed.
struct ShellCommand
{
    QString program;
    QString parameters;
};

// A text in double quotes is the program, its parameters start one separator character after the
// closing quote (no closing quote: no program, parameters from the third character); otherwise
// the program ends at the first space.
ShellCommand SplitCommandLine(const QString& text);

// What opening an entry's web address comes to: a link is opened with no parameters, any other
// text is split into a program and its parameters.
ShellCommand WebAddressTarget(const QString& address, const QString& login, const QString& password);

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

// What Open web site does with an address, decided before anything is opened. Links (http, https,
// ftp) open in the browser, and so does an address that starts with "www." (as https). Any other
// text would start a program: that is only done once the user has seen what would run.
struct WebOpening
{
    bool isLink = false;
    QString link;                 // a link: what the browser is given
    ShellCommand command;         // otherwise: the program and parameters that would run
    ShellCommand shown;           // the same for the question, the password as dots, hidden characters visible
    bool carriesPassword = false; // the password is part of what would run (other users can read it)
};

WebOpening PlanWebOpening(const QString& address, const QString& login, const QString& password);

// The text with each control or invisible formatting character (line breaks, direction overrides)
// written as "<U+XXXX>", so that a question shows what would really run.
QString WithHiddenCharactersShown(const QString& text);

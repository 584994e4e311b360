#pragma once

#include <QString>

class QWidget;

// A modal input box with a title, a prompt, an empty field and OK and Cancel; Cancel gives an
// empty text. Under the test seam it is recorded as dialog "InputBox" (text: the prompt) and the
// next queued answer (a text) is returned.
QString InputBox(QWidget* parent, const QString& title, const QString& prompt);

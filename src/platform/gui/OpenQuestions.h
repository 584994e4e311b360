#pragma once

class QWidget;

// Closes, as Cancel (or Escape) would, every modal dialog of the program that is on screen,
// except `keep`. Used when the document those questions were asked about has been closed under
// them (the idle lock): an answer given afterwards must not act on whatever is open then.
// Returns how many dialogs were closed.
int CloseOpenQuestions(const QWidget* keep = nullptr);

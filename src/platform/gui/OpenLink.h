#pragma once

#include <QString>

// Asks the desktop to open a web address, a mail link or a file with the program it chooses.
// Failures are not reported. Under the test seam nothing is opened: the target is recorded as
// dialog "OpenLink" (ModalSeam::shownTexts("OpenLink")).
void OpenLink(const QString& target);

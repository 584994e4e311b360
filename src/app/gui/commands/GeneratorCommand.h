#pragma once

class QWidget;
class TfrmGenerateur;
struct Settings;

// The password generator window of the program: the one made at start, found by its name among
// the windows; where none was made (a main window built on its own), one is made now, owned by
// `owner`, with the texts of the active language table.
TfrmGenerateur* GeneratorWindow(QWidget* owner);

// The command that shows the generator (actGenerateur): the window opens with the choices of
// `settings` and a fresh password, the user may copy it by hand; OK writes the choices back into
// `settings`, Annuler changes nothing. True on OK.
bool ShowGenerator(QWidget* owner, Settings& settings);

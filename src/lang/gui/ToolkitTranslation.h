#pragma once

#include <QString>

// The toolkit's own texts (the standard buttons, file dialogs, the clear button of a search field)
// in the language of the program's table: "FR" loads the toolkit's French catalogue, any other
// code goes back to its built-in English. Returns true when the catalogue asked for is in place
// (false when it is not installed: the toolkit then speaks English, as before).
bool ApplyToolkitLanguage(const QString& code);

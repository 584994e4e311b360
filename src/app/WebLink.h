#pragma once

#include <QString>

// True when the text begins with "HTTP://", "HTTPS://" or "FTP://", the letters a to z of the text
// compared as capitals (no other case folding).
bool IsWebLink(const QString& text);

#pragma once

#include <QByteArray>
#include <QString>

class QMimeData;

// The system clipboard as the program uses it: plain text, and an entry record under the private
// MIME type beside the entry's password. A password carries the hint that asks clipboard managers
// to keep no history of it ("x-kde-passwordManagerHint" = "secret").
namespace clipboard {

// Replaces the clipboard's content by the text; `secret` marks it as a password. Returns the data
// now on the clipboard (owned by the clipboard, gone once something else replaces it); the text
// is shared with it, not copied.
QMimeData* setText(const QString& text, bool secret);
// Replaces the clipboard's content by the password (as text, marked secret) and the record under
// mimeType, both shared, not copied.
QMimeData* setEntry(const QString& password, const QString& mimeType, const QByteArray& record);
// Whether the clipboard holds text, and which.
bool holdsText();
QString text();
// Whether the clipboard holds data under mimeType, and those bytes.
bool holds(const QString& mimeType);
QByteArray data(const QString& mimeType);
// Leaves the clipboard holding an empty text (every other format gone).
void empty();

} // namespace clipboard

#pragma once

#include "document/DocumentModel.h"

#include <QString>

// The benchmark documents: `entries` entries in groups of 100 (a top-level group every tenth group,
// the others beneath it), names of 10 to 30 characters, 16-character passwords, notes of 0 to 300
// characters on several lines. The same seed gives the same document on every machine.
namespace benchdoc {

constexpr const char* kPassword = "bench password";

// groupOf50000: the first group holds half of the entries instead (for the window figures).
void build(DocumentState& doc, int entries, bool halfInFirstGroup = false);

// The same entries as a KeePass 2 XML file, for the peer's import.
bool writeKeePassXml(const DocumentState& doc, const QString& path);

} // namespace benchdoc

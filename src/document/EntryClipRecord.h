#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>

#include <memory>

// The bytes of one entry on the clipboard, under the program's private format, so that Paste can
// recreate the entry in another group, another document or another running program. All
// integers are little-endian: the format version of the open document (ignored when read back),
// the five texts as counted Windows-1252 texts (as in a document file), the two dates as
// 8-byte doubles and the FTP mark as four bytes of which only the first is read. No header, no
// checksum: the record's size is the clipboard block's size.
namespace entryclip {

// The MIME type the record travels under.
QString mimeType();

QByteArray encode(const TFeuille& entry, qint32 formatVersion);

// A new entry from a record (Group 0, RemapMark -1), or null when the bytes are not exactly one
// record: a count beyond the bytes left, a field cut by the end or bytes after the FTP mark.
// Nothing is read outside `record`.
std::unique_ptr<TFeuille> decode(const QByteArray& record);

} // namespace entryclip

#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>
#include <QString>

#include <functional>

// A document as JSON, for export and import by the command-line tool:
//   {"header": {"formatVersion", "saveCount", "saveDate", "createDate", "reserved1", "reserved2",
//               "syncOn", "useFtpEntry", "serverName", "portNumber", "passiveMode", "remotePath",
//               "userName", "userPassword"},
//    "groups":  [{"name", "parent"}],
//    "entries": [{"group", "name", "login", "password", "webAddress", "notes", "created",
//                 "modifiedAt", "isFtpEntry"}]}
// Groups are listed in document order (a group before its children); "parent" is the index of
// the parent group in that list, or null at top level. Entries are in document order; "group" is
// the index of the entry's group, or null for an entry without group. Dates are the stored
// day-count doubles, printed so that they read back to the same double (JSON has no place for
// the sign of a zero, nor for a date that is not a finite number: these come out as 0 and null,
// and null reads as 0, "not recorded").
namespace docjson {

// UTF-8 JSON of doc (LocalDoc, groups, entries), indented. The array holds every password in
// clear: wipe it (secureWipe, SecureBytes) when done.
QByteArray toJson(const DocumentState& doc);

// The same text, handed to write in pieces of at most kJsonChunk bytes, all made in one buffer
// that is wiped at the end: an export of any size needs no more memory than that. Stops and
// returns false as soon as write returns false.
constexpr qsizetype kJsonChunk = 64 * 1024;
bool writeJson(const DocumentState& doc, const std::function<bool(const char* data, qsizetype size)>& write);

// Replaces doc's LocalDoc (reset, then the header fields given), groups and entries by those of
// json. Fields left out take the values of a reset header or of an empty entry; unknown fields,
// values of the wrong type, a parent that does not come before its child and a group index out
// of range are errors. On error, error names the place (for example
// "entries[3].group: index 7 out of range") and doc is left as it was.
bool fromJson(const QByteArray& json, DocumentState& doc, QString* error);

} // namespace docjson

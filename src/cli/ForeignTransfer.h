#pragma once

#include "document/DocumentModel.h"

#include <QString>
#include <QStringList>

// The formats of `import --from` and `export --to`: our JSON, and the exports of other managers.
namespace cli {

// Takes "OPTION VALUE" or "OPTION=VALUE" out of args (before any "--"). False, with error set,
// when the option is given without a value or twice.
bool takeValueOption(QStringList& args, const QString& option, QString& value, QString& error);

// Reads the file at source into the new document doc: in formatName ("json", "keepass-xml",
// "csv", "bitwarden-json"), or the format its content shows when formatName is empty. Characters a
// document cannot hold refuse the import, each field listed on standard error, unless lossy: then
// each becomes "?" and every replacement is listed. So do parts of the source a document has no
// place for (attachments, values that are no text) and a source none of whose entries comes in;
// the entries of a recycle bin left out are noted. Returns ExitOk, or the status after printing
// the failure.
int importSource(const QString& command, const QString& source, const QString& formatName, bool lossy,
                 DocumentState& doc);

// Writes doc to standard output as formatName ("json" when empty, "csv", "keepass-xml").
int exportDocument(const QString& command, const DocumentState& doc, const QString& formatName);

} // namespace cli

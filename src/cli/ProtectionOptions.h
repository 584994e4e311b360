#pragma once

#include "document/DocumentModel.h"

#include <QString>
#include <QStringList>

namespace cli {

// The container a command writes a document in, as its options ask.
struct ProtectionChoice
{
    enum Kind
    {
        Keep,       // no option: the document's own (a new document: compatible)
        Compatible, // --compatible
        Strong      // --strong, with the calibrated cost or the one given
    };
    Kind kind = Keep;
    strong::KdfParameters kdf; // Strong: set when --kdf-memory or --kdf-passes was given
};

// The options' help lines, for the commands that take them.
extern const char kProtectionHelp[];

// Takes --strong, --compatible, --kdf-memory MIB and --kdf-passes N (also written --opt=VALUE)
// out of args, before any "--", leaving the rest for prepareCommand. False with error for a
// contradiction, a missing or bad value, or a cost outside what a new document may get (at least
// 64 MiB, the accepted ranges of strong::parametersForCreation).
bool takeProtectionOptions(QStringList& args, ProtectionChoice& choice, QString& error);

// Applies the choice to doc (docfile::setProtection).
void applyProtection(DocumentState& doc, const ProtectionChoice& choice);

// "compatible (SHA-1, Blowfish)" or "strong (Argon2id, ...; XChaCha20-Poly1305)".
QString protectionText(const DocumentProtection& protection);

} // namespace cli

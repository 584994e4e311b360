// Any bytes given to `tresorin-cli import` as JSON: the import takes them or refuses them with a
// place named, leaves the document alone when it refuses, and what it takes is exported and
// imported again to the same document.
#include "DocumentReadCheck.h"
#include "FuzzInput.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentJson.h"

using fuzzinput::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json = fuzzinput::bytes(data, size);
    DocumentState doc;
    QString error;
    const QByteArray untouched = fuzzcheck::describe(doc);
    if (!docjson::fromJson(json, doc, &error)) {
        require(!error.isEmpty(), "a refusal without an error text");
        require(fuzzcheck::describe(doc) == untouched, "a refused import changed the document");
        return 0;
    }
    fuzzcheck::checkInvariants(doc);

    QByteArray exported = docjson::toJson(doc);
    QByteArray streamed;
    require(docjson::writeJson(doc,
                               [&streamed](const char* chunk, qsizetype n) {
                                   require(n > 0 && n <= docjson::kJsonChunk, "chunk size");
                                   streamed.append(chunk, n);
                                   return true;
                               }),
            "the streamed export failed");
    require(streamed == exported, "the streamed export differs from the whole one");

    DocumentState again;
    require(docjson::fromJson(exported, again, &error), "the export does not import", error);
    fuzzcheck::checkInvariants(again);
    const QByteArray before = fuzzcheck::describe(doc);
    const QByteArray after = fuzzcheck::describe(again);
    require(before == after, "the document changes through export and import",
            QString::fromLatin1(before + "\n" + after));
    require(docjson::toJson(again) == exported, "the export of the import differs");
    secureWipe(exported);
    secureWipe(streamed);
    return 0;
}

#pragma once

// Shared by the fuzz targets of the import readers: any bytes are read or refused with a place
// named and nothing kept; what is read is well formed, becomes storable, goes into a document
// that keeps its invariants, and both exports of that document are read back by our own readers
// with every entry.

#include "DocumentReadCheck.h"
#include "FuzzInput.h"
#include "crypto/SecureBytes.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"

namespace foreigncheck {

using fuzzinput::require;

inline void exportAndReadBack(const DocumentState& doc, foreign::ExportFormat format)
{
    SecureBytes out;
    const foreign::ExportResult written = foreign::exportToBytes(doc, format, out);
    require(written.ok && written.entries == doc.entryCount(), "the export lost entries");
    foreign::ImportedData back;
    foreign::ImportError error;
    const bool read = format == foreign::ExportFormat::Csv
                          ? foreign::readCsv(out.bytes(), QStringLiteral("Item"), back, error)
                          : foreign::readKeePassXml(out.bytes(), QStringLiteral("Item"), back, error);
    require(read, "our own export is refused", error.text());
    require(int(back.entries.size()) == doc.entryCount(), "the export does not read back whole");
}

inline void check(const QByteArray& bytes, foreign::Format format)
{
    foreign::ImportedData data;
    foreign::ImportError error;
    if (!foreign::readForeign(bytes, format, QStringLiteral("Item"), data, error)) {
        require(!error.text().isEmpty(), "a refusal without an error text");
        require(data.entries.empty() && data.groups.empty(), "a refused file left data behind");
        return;
    }
    require(data.entries.size() == data.entryGroup.size() && data.entries.size() == data.entryLine.size(),
            "entry lists of different sizes");
    for (size_t g = 0; g < data.groups.size(); ++g)
        require(data.groups[g].parent < int(g) && data.groups[g].parent >= -1, "a group before its parent");
    for (size_t i = 0; i < data.entries.size(); ++i)
        require(data.entries[i] && data.entryGroup[i] >= -1 && data.entryGroup[i] < int(data.groups.size()),
                "an entry of no group read");

    foreign::findUnstorable(data, true);
    require(foreign::findUnstorable(data, false).empty(), "characters left that a document cannot hold");
    DocumentState doc;
    const size_t entries = data.entries.size();
    foreign::addImported(data, doc, nullptr, QStringLiteral("loose"));
    require(size_t(doc.entryCount()) == entries, "entries lost on the way into the document");
    fuzzcheck::checkInvariants(doc);
    // An export adds the root above the tree; a tree at the readers' depth limit reads back no more.
    int depth = 0;
    for (const TGroupe* g : doc.groupsInOrder()) {
        int d = 1;
        for (const TGroupe* p = g->Parent; p; p = p->Parent)
            ++d;
        depth = qMax(depth, d);
    }
    if (depth + 1 > foreign::kMaxGroupDepth)
        return;
    exportAndReadBack(doc, foreign::ExportFormat::Csv);
    exportAndReadBack(doc, foreign::ExportFormat::KeePassXml);
}

} // namespace foreigncheck

#pragma once

// Shared by the fuzz targets: reads a document stream the way a document is opened, checks the
// invariants of what was read, then writes it and reads it again: the writer's output must
// read back cleanly into the same document.

#include "document/DocumentModel.h"
#include "document/DocumentStream.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

inline void require(bool condition, const char* what)
{
    if (!condition)
        fail(what);
}

struct ReadOutcome
{
    bool headerOk = false;
    bool recordsOk = false;
    QStringList messages;
};

inline ReadOutcome readStream(const QByteArray& bytes, DocumentState& doc)
{
    ReadOutcome outcome;
    const StreamMessageSink sink = [&outcome](const QString& key, const QString&) { outcome.messages << key; };
    StreamReader in(bytes);
    const HeaderResult header = ReadDocumentHeader(in, doc.LocalDoc, sink);
    outcome.headerOk = header.ok;
    if (!header.ok)
        return outcome;
    const RecordsResult records =
        ReadDocumentRecords(in, header.firstTag, doc.LocalDoc.FormatVersion, doc, false, sink);
    outcome.recordsOk = records.ok;
    require(records.groups == doc.groupCount(), "group count differs from the groups in the document");
    require(records.entries == doc.entryCount(), "entry count differs from the entries in the document");
    return outcome;
}

inline void checkInvariants(const DocumentState& doc)
{
    require(doc.FtpEntryIndex() >= -1 && doc.FtpEntryIndex() < doc.entryCount(), "FtpEntryIndex out of range");
    require(int(doc.groupsInOrder().size()) == doc.groupCount(), "group tree and group index disagree");
    for (const TGroupe* g : doc.groupsInOrder()) {
        require(g->Id != 0, "group with Id 0");
        require(doc.findGroup(g->Id) == g, "group not found by its Id");
    }
}

inline bool hasEntryWithoutGroup(const DocumentState& doc)
{
    for (const auto& e : doc.Entries())
        if (!doc.findGroup(e->Group))
            return true;
    return false;
}

// Everything a write and a read must keep: the header fields (but the file name and the format
// version), the group names with their nesting and order, and the entries in order with all their
// fields. Group identifiers are left out: a stream's identifiers only link its own records, and a
// reader gives its groups fresh ones. Dates are compared bit for bit.
inline QByteArray describe(const DocumentState& doc)
{
    QByteArray out;
    auto text = [&out](const QString& s) { out += s.toUtf8().toHex() + ' '; };
    auto date = [&out](DateTime d) { out += QByteArray(reinterpret_cast<const char*>(&d), sizeof d).toHex() + ' '; };
    auto number = [&out](qint64 n) { out += QByteArray::number(n) + ' '; };
    const TDoc& h = doc.LocalDoc;
    number(h.SaveCount);
    date(h.SaveDate);
    text(h.Reserved1);
    text(h.Reserved2);
    date(h.CreateDate);
    number(h.SyncOn);
    number(h.UseFtpEntry);
    text(h.ServerName);
    number(h.PortNumber);
    number(h.PassiveMode);
    text(h.RemotePath);
    text(h.UserName);
    text(h.UserPassword);

    const std::vector<TGroupe*> groups = doc.groupsInOrder();
    QHash<const TGroupe*, qint64> positions;
    for (size_t i = 0; i < groups.size(); ++i)
        positions.insert(groups[i], qint64(i));
    auto position = [&positions](const TGroupe* g) { return positions.value(g, -1); };
    for (const TGroupe* g : groups) {
        out += "| group ";
        number(position(g->Parent));
        text(g->Name);
    }
    for (const auto& e : doc.Entries()) {
        out += "| entry ";
        number(position(doc.findGroup(e->Group)));
        text(e->Name);
        text(e->Login);
        text(e->Password);
        text(e->WebAddress);
        text(e->Notes);
        date(e->Created);
        date(e->ModifiedAt);
        number(e->IsFtpEntry);
    }
    return out;
}

// The whole check; `bytes` is any input a reader may be given.
inline void readWriteRead(const QByteArray& bytes)
{
    DocumentState doc;
    const ReadOutcome first = readStream(bytes, doc);
    if (!first.headerOk)
        return;
    checkInvariants(doc);

    QByteArray written;
    WriteDocumentStream(doc, written);
    DocumentState again;
    const ReadOutcome second = readStream(written, again);
    require(second.headerOk && second.recordsOk, "the writer's output does not read back");
    require(again.LocalDoc.FormatVersion == 7, "the writer's output is not version 7");
    // An entry whose group was unknown is written with group 0, which is unknown again.
    for (const QString& key : second.messages)
        require(key == QLatin1String("ErreurHN") && hasEntryWithoutGroup(doc), "the writer's output gives a message");
    require(again.groupCount() == doc.groupCount(), "group count changes through write and read");
    require(again.entryCount() == doc.entryCount(), "entry count changes through write and read");
    require(again.FtpEntryIndex() == doc.FtpEntryIndex(), "FTP entry changes through write and read");
    checkInvariants(again);

    const QByteArray before = describe(doc);
    const QByteArray after = describe(again);
    if (before != after) {
        std::fprintf(stderr, "read:      %s\nread back: %s\n", before.constData(), after.constData());
        fail("the document changes through write and read");
    }
}

} // namespace fuzzcheck

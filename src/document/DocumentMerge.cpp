#include "document/DocumentMerge.h"

#include "document/EntryIdentity.h"

namespace docfile {

MergeResult mergeRecords(const OpenedDocument& opened, DocumentState& doc, const StreamMessageSink& sink)
{
    MergeResult result;
    result.status = opened.status;
    result.header = opened.header;
    const size_t topBefore = doc.Groups().size();
    const int entriesBefore = doc.entryCount();
    const int ftpEntryBefore = doc.FtpEntryIndex();

    const RecordsResult records = readRecords(opened, doc, true, sink);
    result.groups = records.groups;
    result.entries = records.entries;
    result.recordsOk = records.ok;
    result.error = records.error;

    for (int i = entriesBefore; i < doc.entryCount(); ++i)
        doc.entry(i)->IsFtpEntry = false;
    doc.noteFtpEntryRead(ftpEntryBefore);
    const DateTime now = datetime::now();
    result.datesClamped = identity::clampFutureDates(doc, now, entriesBefore);
    identity::makeIdentitiesFresh(doc, entriesBefore, now);

    if (doc.Groups().size() > topBefore)
        result.firstAddedGroup = doc.Groups()[topBefore].get();
    return result;
}

MergeResult mergeFile(const QString& path, const QString& password, DocumentState& doc, const StreamMessageSink& sink)
{
    const OpenedDocument opened = openFile(path, password, sink);
    if (!opened.ok()) {
        MergeResult result;
        result.status = opened.status;
        result.error = opened.error;
        result.header = opened.header;
        return result;
    }
    return mergeRecords(opened, doc, sink);
}

} // namespace docfile

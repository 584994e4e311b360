#pragma once

#include <QByteArray>
#include <QtGlobal>

// A cheap look at a copy on the server: its size, its first and its last bytes, read with range
// requests instead of the whole copy (TFileFTP::CreateForProbe). Every save of a document gives
// another beginning (its header holds the save date) and, being enciphered, another end, so two
// probes that are equal stand for the same copy. probeOf() gives the probe of bytes held here (a
// stored copy, the bytes just uploaded or downloaded), for comparing them with the server's copy.
struct RemoteProbe
{
    // How many bytes of each end are read.
    static constexpr int EdgeLength = 4096;

    bool missing = false; // no file at that path (then the fields below are empty)
    qint64 size = 0;
    QByteArray head; // the first min(size, EdgeLength) bytes
    QByteArray tail; // the last min(size, EdgeLength) bytes

    // Both missing, or both present with the same size, beginning and end.
    bool equals(const RemoteProbe& other) const;
};

RemoteProbe probeOf(const QByteArray& wholeCopy);

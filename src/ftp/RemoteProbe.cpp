#include "ftp/RemoteProbe.h"

bool RemoteProbe::equals(const RemoteProbe& other) const
{
    if (missing || other.missing)
        return missing == other.missing;
    return size == other.size && head == other.head && tail == other.tail;
}

RemoteProbe probeOf(const QByteArray& wholeCopy)
{
    RemoteProbe probe;
    probe.size = wholeCopy.size();
    probe.head = wholeCopy.left(RemoteProbe::EdgeLength);
    probe.tail = wholeCopy.right(RemoteProbe::EdgeLength);
    return probe;
}

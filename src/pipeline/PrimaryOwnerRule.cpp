#include "pipeline/PrimaryOwnerRule.h"

PrimaryOwnerMatch matchPrimaryOwner(quint32 ownerWindow, qint64 ownerPid, const SelectionSource& source,
                                    quint32 resourceIdMask) {
    if (ownerWindow != 0 && source.window != 0 && resourceIdMask != 0 &&
        (ownerWindow & ~resourceIdMask) == (source.window & ~resourceIdMask))
        return PrimaryOwnerMatch::sameClient;
    if (ownerPid > 0 && ownerPid == source.pid)
        return PrimaryOwnerMatch::sameProcess;
    return PrimaryOwnerMatch::otherProgram;
}

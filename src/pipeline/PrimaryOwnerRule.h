#pragma once

#include "pipeline/SelectionSource.h"

#include <QtGlobal>

// Whether the owner of the PRIMARY selection is the program the user pressed the
// hotkey in. PRIMARY keeps the last selection made anywhere, so a selection left
// in another program must never be taken for this one.
enum class PrimaryOwnerMatch {
    sameClient,  // the owner window and the source window come from one X connection
    sameProcess, // different connections of one process
    otherProgram,
};

// X11 hands each client a resource-id base; the bits outside `resourceIdMask` of any
// id it creates are that base. `ownerPid` is 0 when unknown.
PrimaryOwnerMatch matchPrimaryOwner(quint32 ownerWindow, qint64 ownerPid, const SelectionSource& source,
                                    quint32 resourceIdMask);

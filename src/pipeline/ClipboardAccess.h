#pragma once

#include "pipeline/ClipboardSnapshot.h"

#include <functional>
#include <optional>

// The clipboard, read and put back around a synthetic copy. Every answer comes once,
// on the main thread.
class ClipboardAccess {
public:
    using SnapshotDone = std::function<void(std::optional<ClipboardSnapshot>)>;
    using TextDone = std::function<void(std::optional<QString>)>;
    using RestoreDone = std::function<void(bool restored)>;
    virtual ~ClipboardAccess() = default;

    // Moves on every change of hands, also when the owner takes the clipboard again.
    virtual quint64 changeCount() const = 0;
    virtual void setChangeListener(std::function<void()> listener) = 0;
    // Nothing when the owner does not even say what it holds, or holds more than a
    // snapshot may keep: such contents could not be put back whole.
    virtual void capture(SnapshotDone done) = 0;
    virtual void readText(TextDone done) = 0;
    // Offers exactly the snapshot's contents again; an empty snapshot empties the clipboard.
    virtual void restore(const ClipboardSnapshot& snapshot, RestoreDone done) = 0;
};

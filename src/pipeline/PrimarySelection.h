#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

struct PrimarySelectionOwner {
    quint32 window = 0;
    qint64 pid = 0;             // of the owner's X client; 0 when unknown
    quint32 resourceIdMask = 0; // the server's client-id mask, for telling clients apart
};

// The X11 PRIMARY selection: what was last selected anywhere, no clipboard involved.
class PrimarySelection {
public:
    using TextDone = std::function<void(std::optional<QString>)>;
    virtual ~PrimarySelection() = default;
    // Nothing when no program holds a selection.
    virtual std::optional<PrimarySelectionOwner> owner() = 0;
    // Answers once on the main thread; nothing when the owner refuses or stops answering.
    virtual void readText(TextDone done) = 0;
};

#pragma once

#include "pipeline/SelectionServices.h"

#include <QString>

// Stand-ins where the desktop offers no way in: outside an X11 session (no source
// window, no PRIMARY, no synthetic keys), or without an accessibility bus. Each
// answers nothing, on the next turn of the event loop, and the log says why.

class NullSourceWindowProbe : public SourceWindowProbe {
public:
    std::optional<SelectionSource> capture() override { return std::nullopt; }
};

class NullAccessibilityReader : public AccessibilityReader {
public:
    explicit NullAccessibilityReader(QString reason) : m_reason(std::move(reason)) {}
    void read(qint64 pid, std::chrono::milliseconds budget, Done done) override;
    void cancel() override {}

private:
    QString m_reason;
};

class NullPrimarySelection : public PrimarySelection {
public:
    std::optional<PrimarySelectionOwner> owner() override { return std::nullopt; }
    void readText(TextDone done) override;
};

class NullClipboard : public ClipboardAccess {
public:
    quint64 changeCount() const override { return 0; }
    void setChangeListener(std::function<void()>) override {}
    void capture(SnapshotDone done) override;
    void readText(TextDone done) override;
    void restore(const ClipboardSnapshot& snapshot, RestoreDone done) override;
};

class NullSyntheticKeyboard : public SyntheticKeyboard {
public:
    void waitUntilNoKeyDown(std::chrono::milliseconds limit, Done done) override;
    void sendCopyShortcut(Done done) override;
};

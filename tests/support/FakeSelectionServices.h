#pragma once

#include "pipeline/SelectionServices.h"

#include <QTimer>

#include <deque>

// Scripted stand-ins for the desktop services the selected-text reader uses. Answers
// arrive on the next turn of the event loop, as the real ones do.

inline void answerLater(std::function<void()> answer) {
    QTimer::singleShot(0, std::move(answer));
}

inline SelectionSource fakeSource(qint64 pid = 4242, const QString& windowClass = QStringLiteral("Gedit")) {
    SelectionSource source;
    source.window = 0x01400003;
    source.pid = pid;
    source.windowInstance = windowClass.toLower();
    source.windowClass = windowClass;
    return source;
}

struct FakeSourceProbe : SourceWindowProbe {
    std::optional<SelectionSource> source = fakeSource();
    std::optional<SelectionSource> capture() override { return source; }
};

struct FakeAccessibility : AccessibilityReader {
    std::optional<QString> answer;
    int reads = 0;
    qint64 lastPid = -1;
    bool hang = false; // never answers, like a reader stuck on a frozen application
    void read(qint64 pid, std::chrono::milliseconds, Done done) override {
        ++reads;
        lastPid = pid;
        if (!hang)
            answerLater([done, a = answer] { done(a); });
    }
    void cancel() override {}
};

struct FakePrimary : PrimarySelection {
    std::optional<PrimarySelectionOwner> currentOwner;
    std::optional<QString> text;
    int reads = 0;
    std::optional<PrimarySelectionOwner> owner() override { return currentOwner; }
    void readText(TextDone done) override {
        ++reads;
        answerLater([done, t = text] { done(t); });
    }
};

// A clipboard whose owner changes when the copy shortcut arrives, after a given number
// of polls, like an application that is slow to answer Ctrl+C.
struct FakeClipboard : ClipboardAccess {
    quint64 count = 7;
    std::function<void()> listener;
    std::optional<ClipboardSnapshot> before = ClipboardSnapshot{};
    std::optional<QString> current; // what readText answers
    std::optional<ClipboardSnapshot> restored;
    bool restoreSucceeds = true;
    int emptyReads = 0; // reads that answer an empty text, like an owner not ready yet
    int restores = 0;

    void change(std::optional<QString> text) {
        ++count;
        current = std::move(text);
        if (listener)
            listener();
    }
    quint64 changeCount() const override { return count; }
    void setChangeListener(std::function<void()> l) override { listener = std::move(l); }
    void capture(SnapshotDone done) override {
        answerLater([done, b = before] { done(b); });
    }
    void readText(TextDone done) override {
        const std::optional<QString> text = emptyReads > 0 ? std::optional(QString()) : current;
        emptyReads = std::max(0, emptyReads - 1);
        answerLater([done, text] { done(text); });
    }
    void restore(const ClipboardSnapshot& snapshot, RestoreDone done) override {
        ++restores;
        restored = snapshot;
        if (restoreSucceeds)
            ++count; // taking the clipboard back is a change of hands too
        answerLater([done, ok = restoreSucceeds] { done(ok); });
    }
};

struct FakeKeyboard : SyntheticKeyboard {
    bool keysReleased = true;
    int copiesSent = 0;
    std::function<void()> onCopy; // what the focused application does with Ctrl+C
    void waitUntilNoKeyDown(std::chrono::milliseconds, Done done) override {
        answerLater([done, r = keysReleased] { done(r); });
    }
    void sendCopyShortcut(Done done) override {
        ++copiesSent;
        answerLater([this, done] {
            if (onCopy)
                onCopy();
            done(true);
        });
    }
};

// Raw pointers stay valid while the services live in the reader that owns them.
struct FakeSelectionServices {
    FakeSourceProbe* probe = new FakeSourceProbe;
    FakeAccessibility* accessibility = new FakeAccessibility;
    FakePrimary* primary = new FakePrimary;
    FakeClipboard* clipboard = new FakeClipboard;
    FakeKeyboard* keyboard = new FakeKeyboard;

    SelectionServices take() {
        SelectionServices services;
        services.sourceProbe.reset(probe);
        services.accessibility.reset(accessibility);
        services.primary.reset(primary);
        services.clipboard.reset(clipboard);
        services.keyboard.reset(keyboard);
        return services;
    }
};

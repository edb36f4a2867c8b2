#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// The selected text as the desktop's accessibility interface reports it.
class AccessibilityReader {
public:
    using Done = std::function<void(std::optional<QString>)>;
    virtual ~AccessibilityReader() = default;
    // Answers once on the main thread, within about `budget` even when the application
    // hangs. `pid` 0: whatever has the focus on the desktop.
    virtual void read(qint64 pid, std::chrono::milliseconds budget, Done done) = 0;
    // The read in flight answers no more.
    virtual void cancel() = 0;
};

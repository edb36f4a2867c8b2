#pragma once

#include <chrono>
#include <functional>

// Keystrokes sent to the focused window as if typed.
class SyntheticKeyboard {
public:
    using Done = std::function<void(bool)>;
    virtual ~SyntheticKeyboard() = default;
    // True once no key is held; false when some key is still down at `limit`.
    virtual void waitUntilNoKeyDown(std::chrono::milliseconds limit, Done done) = 0;
    // Ctrl+C, paced like a person; false when it could not be sent.
    virtual void sendCopyShortcut(Done done) = 0;
};

#pragma once

#include <QString>

#include <functional>
#include <optional>

// The desktop's accessibility support (AT-SPI). While it is off, browsers and office
// programs tell nobody what is selected in them; GTK programs and terminals still do.
class AccessibilitySupport {
public:
    enum class State { enabled, disabled, unavailable }; // unavailable: no accessibility bus

    virtual ~AccessibilitySupport() = default;
    // `done` runs later, on the main thread.
    virtual void query(std::function<void(State)> done) = 0;
    // Switches it on for this session and later ones. `done` runs later on the main thread,
    // with what went wrong (a Chinese sentence for an alert), or nothing.
    virtual void enable(std::function<void(std::optional<QString> failure)> done) = 0;
};

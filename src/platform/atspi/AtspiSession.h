#pragma once

#include "pipeline/AccessibleTextWalk.h"

#include <QElapsedTimer>
#include <QHash>

#include <atspi/atspi.h>

#include <chrono>
#include <memory>

// libatspi behind the accessibility walk's interfaces. Runs in the reader process,
// on the thread that runs GLib's default main context (libatspi's only safe place).

// A reference to a GObject, released when dropped.
struct GObjectRef {
    explicit GObjectRef(gpointer object = nullptr) : object(object) {}
    GObjectRef(const GObjectRef& other) : object(other.object ? g_object_ref(other.object) : nullptr) {}
    GObjectRef& operator=(GObjectRef other) {
        std::swap(object, other.object);
        return *this;
    }
    ~GObjectRef() {
        if (object)
            g_object_unref(object);
    }
    template <typename T> T* as() const { return static_cast<T*>(object); }
    gpointer object;
};

// Follows the focus from start-up: AT-SPI has no call for "the focused element", only
// events when it moves.
class AtspiFocusTracker {
public:
    AtspiFocusTracker() = default;
    ~AtspiFocusTracker();
    AtspiFocusTracker(const AtspiFocusTracker&) = delete;
    AtspiFocusTracker& operator=(const AtspiFocusTracker&) = delete;

    bool start(QString* error);
    // The element that last took the focus in the application `pid`, or null.
    AtspiAccessible* lastFocusedIn(qint64 pid) const;
    AtspiAccessible* lastFocused() const { return m_last.as<AtspiAccessible>(); }

private:
    static void onFocusChanged(AtspiEvent* event, void* self);

    AtspiEventListener* m_listener = nullptr;
    GObjectRef m_last;
    QHash<qint64, GObjectRef> m_lastByPid;
};

class AtspiSession : public AccessibleSession {
public:
    static constexpr std::chrono::milliseconds callTimeout{250};

    AtspiSession(const AtspiFocusTracker& tracker, std::chrono::milliseconds budget);

    std::unique_ptr<AccessibleNode> focusedElement(qint64 pid) override;
    std::unique_ptr<AccessibleNode> systemFocusedElement() override;
    std::optional<QString> interruption() const override { return m_interruption; }

    // One libatspi call: refused once the read must stop; a call that fails after
    // about the time-out stops the read, naming the call.
    template <typename Call> auto call(const char* name, Call&& call) -> decltype(call(nullptr)) {
        if (!mayCall())
            return {};
        GError* error = nullptr;
        QElapsedTimer elapsed;
        elapsed.start();
        auto result = call(&error);
        noteCall(name, error, elapsed.elapsed(), !result);
        if (error)
            g_error_free(error);
        return result;
    }

private:
    bool mayCall();
    void noteCall(const char* name, const GError* error, qint64 elapsedMs, bool empty);
    std::unique_ptr<AccessibleNode> searchFocused(qint64 pid);

    const AtspiFocusTracker& m_tracker;
    std::chrono::milliseconds m_budget;
    QElapsedTimer m_started;
    std::optional<QString> m_interruption;
};

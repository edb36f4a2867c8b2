#include "platform/atspi/AtspiSession.h"

namespace {

// Elements remembered per application; older ones are forgotten first.
constexpr int maxRememberedApplications = 64;

QString takeUtf8(gchar* text) {
    QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

class AtspiNode : public AccessibleNode {
public:
    AtspiNode(AtspiSession& session, GObjectRef element)
        : m_session(session), m_element(std::move(element)) {}

    std::optional<QString> selectedText() override {
        const std::optional<AtspiRange> range = firstSelection();
        if (!range || range->end_offset <= range->start_offset)
            return std::nullopt;
        gchar* text = m_session.call("GetText", [&](GError** error) {
            return atspi_text_get_text(textInterface(), range->start_offset, range->end_offset, error);
        });
        if (!text)
            return std::nullopt;
        return takeUtf8(text);
    }

    std::optional<QString> text() override {
        if (!textInterface())
            return std::nullopt;
        gchar* text = m_session.call(
            "GetText", [&](GError** error) { return atspi_text_get_text(textInterface(), 0, -1, error); });
        if (!text)
            return std::nullopt;
        return takeUtf8(text);
    }

    std::optional<TextSelectionRange> selectionRange() override {
        const std::optional<AtspiRange> range = firstSelection();
        if (!range)
            return std::nullopt;
        const std::optional<gint> count =
            m_session.call("CharacterCount", [&](GError** error) -> std::optional<gint> {
                const gint count = atspi_text_get_character_count(textInterface(), error);
                return error && *error ? std::nullopt : std::optional(count);
            });
        return TextSelectionRange{range->start_offset, range->end_offset, count.value_or(-1)};
    }

    QString role() override {
        gchar* name = m_session.call(
            "GetRoleName", [&](GError** error) { return atspi_accessible_get_role_name(element(), error); });
        return name ? takeUtf8(name) : QStringLiteral("?");
    }

    std::unique_ptr<AccessibleNode> parent() override {
        AtspiAccessible* parent = m_session.call(
            "Parent", [&](GError** error) { return atspi_accessible_get_parent(element(), error); });
        if (!parent)
            return nullptr;
        return std::make_unique<AtspiNode>(m_session, GObjectRef(parent));
    }

    bool isSameElement(const AccessibleNode& other) const override {
        // libatspi keeps one object per application and path.
        return static_cast<const AtspiNode&>(other).m_element.object == m_element.object;
    }

private:
    AtspiAccessible* element() const { return m_element.as<AtspiAccessible>(); }

    AtspiText* textInterface() {
        if (!m_textLooked) {
            m_textLooked = true;
            m_text = GObjectRef(m_session.call(
                "GetInterfaces", [&](GError**) { return atspi_accessible_get_text_iface(element()); }));
        }
        return m_text.as<AtspiText>();
    }

    std::optional<AtspiRange> firstSelection() {
        if (!textInterface())
            return std::nullopt;
        const gint selections = m_session.call("GetNSelections", [&](GError** error) {
            return atspi_text_get_n_selections(textInterface(), error);
        });
        if (selections < 1)
            return std::nullopt;
        AtspiRange* range = m_session.call("GetSelection", [&](GError** error) {
            return atspi_text_get_selection(textInterface(), 0, error);
        });
        if (!range)
            return std::nullopt;
        const AtspiRange result = *range;
        g_free(range);
        return result;
    }

    AtspiSession& m_session;
    GObjectRef m_element;
    GObjectRef m_text;
    bool m_textLooked = false;
};

bool isFocused(AtspiAccessible* element) {
    AtspiStateSet* states = atspi_accessible_get_state_set(element);
    const bool focused = states && atspi_state_set_contains(states, ATSPI_STATE_FOCUSED);
    if (states)
        g_object_unref(states);
    return focused;
}

} // namespace

AtspiFocusTracker::~AtspiFocusTracker() {
    if (m_listener) {
        atspi_event_listener_deregister(m_listener, "object:state-changed:focused", nullptr);
        g_object_unref(m_listener);
    }
}

bool AtspiFocusTracker::start(QString* error) {
    m_listener = atspi_event_listener_new(&AtspiFocusTracker::onFocusChanged, this, nullptr);
    GError* failure = nullptr;
    if (atspi_event_listener_register(m_listener, "object:state-changed:focused", &failure))
        return true;
    if (error)
        *error = failure ? QString::fromUtf8(failure->message) : QString();
    if (failure)
        g_error_free(failure);
    return false;
}

void AtspiFocusTracker::onFocusChanged(AtspiEvent* event, void* self) {
    auto* tracker = static_cast<AtspiFocusTracker*>(self);
    if (event->detail1 && event->source) {
        tracker->m_last = GObjectRef(g_object_ref(event->source));
        const qint64 pid = atspi_accessible_get_process_id(event->source, nullptr);
        if (pid > 0) {
            if (tracker->m_lastByPid.size() >= maxRememberedApplications &&
                !tracker->m_lastByPid.contains(pid))
                tracker->m_lastByPid.erase(tracker->m_lastByPid.begin());
            tracker->m_lastByPid.insert(pid, tracker->m_last);
        }
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

AtspiAccessible* AtspiFocusTracker::lastFocusedIn(qint64 pid) const {
    const auto found = m_lastByPid.constFind(pid);
    return found == m_lastByPid.constEnd() ? nullptr : found->as<AtspiAccessible>();
}

AtspiSession::AtspiSession(const AtspiFocusTracker& tracker, std::chrono::milliseconds budget)
    : m_tracker(tracker), m_budget(budget) {
    m_started.start();
}

bool AtspiSession::mayCall() {
    if (m_interruption)
        return false;
    if (m_started.elapsed() >= m_budget.count()) {
        m_interruption = QStringLiteral("用完 %1 ms 预算").arg(m_budget.count());
        return false;
    }
    return true;
}

void AtspiSession::noteCall(const char* name, const GError* error, qint64 elapsedMs, bool empty) {
    if ((error || empty) && elapsedMs >= callTimeout.count() * 4 / 5)
        m_interruption =
            QStringLiteral("%1 超时（%2 ms），应用无响应").arg(QLatin1String(name)).arg(callTimeout.count());
}

std::unique_ptr<AccessibleNode> AtspiSession::focusedElement(qint64 pid) {
    if (AtspiAccessible* known = m_tracker.lastFocusedIn(pid))
        return std::make_unique<AtspiNode>(*this, GObjectRef(g_object_ref(known)));
    return searchFocused(pid);
}

std::unique_ptr<AccessibleNode> AtspiSession::systemFocusedElement() {
    // Only while it still has the focus: an element of another program that once had
    // it may hold a stale selection.
    AtspiAccessible* last = m_tracker.lastFocused();
    if (!last || !mayCall() || !isFocused(last))
        return nullptr;
    return std::make_unique<AtspiNode>(*this, GObjectRef(g_object_ref(last)));
}

// The focus moved before this process was listening: ask the application itself,
// through its Collection interface, for the element in the focused state.
std::unique_ptr<AccessibleNode> AtspiSession::searchFocused(qint64 pid) {
    GObjectRef desktop(atspi_get_desktop(0));
    const gint count = call("ChildCount", [&](GError** error) {
        return atspi_accessible_get_child_count(desktop.as<AtspiAccessible>(), error);
    });
    GObjectRef application;
    for (gint i = 0; i < count && !application.object; ++i) {
        GObjectRef child(call("GetChildAtIndex", [&](GError** error) {
            return atspi_accessible_get_child_at_index(desktop.as<AtspiAccessible>(), i, error);
        }));
        if (child.object && call("GetConnectionUnixProcessID", [&](GError** error) {
                                return atspi_accessible_get_process_id(child.as<AtspiAccessible>(), error);
                            }) == pid)
            application = child;
    }
    if (!application.object)
        return nullptr;
    GObjectRef collection(call("GetInterfaces", [&](GError**) {
        return atspi_accessible_get_collection_iface(application.as<AtspiAccessible>());
    }));
    if (!collection.object)
        return nullptr;
    AtspiStateSet* states = atspi_state_set_new(nullptr);
    atspi_state_set_add(states, ATSPI_STATE_FOCUSED);
    GObjectRef rule(atspi_match_rule_new(states, ATSPI_Collection_MATCH_ALL, nullptr,
                                         ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE,
                                         nullptr, ATSPI_Collection_MATCH_NONE, false));
    g_object_unref(states);
    GArray* matches = call("GetMatches", [&](GError** error) {
        return atspi_collection_get_matches(collection.as<AtspiCollection>(), rule.as<AtspiMatchRule>(),
                                            ATSPI_Collection_SORT_ORDER_CANONICAL, 1, true, error);
    });
    if (!matches)
        return nullptr;
    GObjectRef found;
    for (guint i = 0; i < matches->len; ++i) {
        GObjectRef match(g_array_index(matches, AtspiAccessible*, i));
        if (!found.object)
            found = match;
    }
    g_array_free(matches, true);
    if (!found.object)
        return nullptr;
    return std::make_unique<AtspiNode>(*this, found);
}

#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Reading the selected text through an accessibility tree (AT-SPI on Linux): start at
// the focused element and walk up its ancestors until one answers with a selection.
// The tree is reached through the two interfaces below, so these rules run against
// fakes in tests and against libatspi in the reader process.

// Where an element's text offsets count from. AT-SPI defines offsets in characters
// (code points); Qt's bridge reports UTF-16 units instead.
enum class TextOffsetUnit { Characters, Utf16 };

struct TextSelectionRange {
    qint64 start = 0;
    qint64 end = 0;
    qint64 characterCount = -1; // the element's own text length, in its own unit; -1 unknown
};

class AccessibleNode {
public:
    virtual ~AccessibleNode() = default;
    // The application's own slice of its first selection.
    virtual std::optional<QString> selectedText() = 0;
    // The whole text of the element.
    virtual std::optional<QString> text() = 0;
    virtual std::optional<TextSelectionRange> selectionRange() = 0;
    // A name for the log; "?" when it cannot be read.
    virtual QString role() = 0;
    virtual std::unique_ptr<AccessibleNode> parent() = 0;
    virtual bool isSameElement(const AccessibleNode& other) const = 0;
};

// One read: the way to the focused element, and what stops the read early.
class AccessibleSession {
public:
    virtual ~AccessibleSession() = default;
    virtual std::unique_ptr<AccessibleNode> focusedElement(qint64 pid) = 0;
    virtual std::unique_ptr<AccessibleNode> systemFocusedElement() = 0;
    // Why the read must stop (a call that timed out, the budget spent), or nothing.
    virtual std::optional<QString> interruption() const = 0;
};

using AccessibleLog = std::function<void(const QString&)>;

namespace AccessibleTextWalk {

// The focused element and up to 9 ancestors.
inline constexpr int maxElements = 10;

// `pid` 0 or negative means no source application: the system-wide focus is used.
std::optional<QString> getSelectedTextViaAccessibility(AccessibleSession& session, qint64 pid,
                                                       const AccessibleLog& log);
std::optional<QString> extractSelectedText(AccessibleSession& session,
                                           std::unique_ptr<AccessibleNode> element, const AccessibleLog& log);

// The unit `characterCount` was counted in, judged against the whole text; characters
// unless only the UTF-16 length matches.
TextOffsetUnit offsetUnitFor(const QString& text, qint64 characterCount);

// The part of `text` from `location` for `length` offsets, or nothing unless
// location >= 0, length >= 1 and the range ends inside the text.
std::optional<QString> substringInRange(const QString& text, qint64 location, qint64 length,
                                        TextOffsetUnit unit = TextOffsetUnit::Characters);

} // namespace AccessibleTextWalk

#include "pipeline/AccessibleTextWalk.h"

#include "text/GraphemeCount.h"

namespace AccessibleTextWalk {

namespace {

qsizetype characterLength(const QString& text, qsizetype at) {
    return text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate() ? 2 : 1;
}

qint64 characterCount(const QString& text) {
    qint64 count = 0;
    for (qsizetype at = 0; at < text.size(); at += characterLength(text, at))
        ++count;
    return count;
}

// Steps 1 and 2 at one element: the application's selected text, else its whole text
// cut at the selection range.
std::optional<QString> selectionAt(AccessibleSession& session, AccessibleNode& element) {
    if (std::optional<QString> selected = element.selectedText(); selected && !selected->isEmpty())
        return selected;
    if (session.interruption())
        return std::nullopt;
    const std::optional<QString> whole = element.text();
    if (!whole || whole->isEmpty())
        return std::nullopt;
    const std::optional<TextSelectionRange> range = element.selectionRange();
    if (!range)
        return std::nullopt;
    return substringInRange(*whole, range->start, range->end - range->start,
                            offsetUnitFor(*whole, range->characterCount));
}

bool stopIfInterrupted(AccessibleSession& session, const AccessibleLog& log, const QString& where) {
    const std::optional<QString> reason = session.interruption();
    if (!reason)
        return false;
    log(QStringLiteral("Accessibility：") + *reason + where + QStringLiteral("，停止读取"));
    return true;
}

} // namespace

std::optional<QString> getSelectedTextViaAccessibility(AccessibleSession& session, qint64 pid,
                                                       const AccessibleLog& log) {
    if (pid > 0) {
        std::unique_ptr<AccessibleNode> element = session.focusedElement(pid);
        if (stopIfInterrupted(session, log, QString()))
            return std::nullopt;
        if (element)
            return extractSelectedText(session, std::move(element), log);
        log(QStringLiteral("Accessibility：无法获取 PID=%1 的聚焦元素，回退系统全局").arg(pid));
        element = session.systemFocusedElement();
        if (stopIfInterrupted(session, log, QString()))
            return std::nullopt;
        if (element)
            return extractSelectedText(session, std::move(element), log);
        log(QStringLiteral("Accessibility：系统全局也无法获取聚焦元素"));
        return std::nullopt;
    }
    std::unique_ptr<AccessibleNode> element = session.systemFocusedElement();
    if (stopIfInterrupted(session, log, QString()))
        return std::nullopt;
    if (!element) {
        log(QStringLiteral("Accessibility：无法获取聚焦元素"));
        return std::nullopt;
    }
    return extractSelectedText(session, std::move(element), log);
}

std::optional<QString> extractSelectedText(AccessibleSession& session,
                                           std::unique_ptr<AccessibleNode> element,
                                           const AccessibleLog& log) {
    for (int depth = 0; element && depth < maxElements; ++depth) {
        const QString where = QStringLiteral("（depth=%1）").arg(depth);
        const std::optional<QString> result = selectionAt(session, *element);
        if (stopIfInterrupted(session, log, where))
            return std::nullopt;
        if (result) {
            log(QStringLiteral("Accessibility：获取选中文本 %1 字符（role=%2, depth=%3）")
                    .arg(graphemeCount(*result))
                    .arg(element->role())
                    .arg(depth));
            return result;
        }
        std::unique_ptr<AccessibleNode> parent = element->parent();
        if (stopIfInterrupted(session, log, where))
            return std::nullopt;
        if (parent && parent->isSameElement(*element))
            break;
        element = std::move(parent);
    }
    log(QStringLiteral("Accessibility：未找到任何文本（含祖先遍历）"));
    return std::nullopt;
}

TextOffsetUnit offsetUnitFor(const QString& text, qint64 count) {
    if (count != characterCount(text) && count == text.size())
        return TextOffsetUnit::Utf16;
    return TextOffsetUnit::Characters;
}

std::optional<QString> substringInRange(const QString& text, qint64 location, qint64 length,
                                        TextOffsetUnit unit) {
    if (location < 0 || length < 1)
        return std::nullopt;
    if (unit == TextOffsetUnit::Utf16) {
        if (length > text.size() - location)
            return std::nullopt;
        return text.mid(location, length);
    }
    // Walk the text once, noting where the range starts and ends in UTF-16 units.
    qsizetype from = -1;
    qint64 offset = 0;
    for (qsizetype at = 0; at <= text.size(); ++offset) {
        if (offset == location)
            from = at;
        if (from >= 0 && offset - location == length)
            return text.mid(from, at - from);
        if (at == text.size())
            break;
        at += characterLength(text, at);
    }
    return std::nullopt;
}

} // namespace AccessibleTextWalk

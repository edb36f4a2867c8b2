#pragma once

#include <QString>

#include <optional>

// One "## " section of an answer: the heading is absent for the text before the
// first heading line; the body is trimmed and never empty.
struct MarkdownSection {
    std::optional<QString> heading;
    QString body;

    friend bool operator==(const MarkdownSection&, const MarkdownSection&) = default;
};

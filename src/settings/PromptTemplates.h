#pragma once

#include <QString>

namespace PromptTemplates {
// The built-in system prompt: 13 lines, no final line feed (233 characters, 595 UTF-8 bytes).
const QString& defaultPromptTemplate();
// Put before the user's text in the user message (32 UTF-8 bytes).
const QString& userMessagePrefix();
} // namespace PromptTemplates

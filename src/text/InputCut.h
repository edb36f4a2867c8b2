#pragma once

#include <QString>

// A text longer than one answer can cover, cut before it is sent: the model's answer (the
// translation, then the vocabulary and the phrases) has a budget of 4,096 tokens, and a
// longer input comes back silently truncated or refused.
struct InputCut {
    QString text;              // what is sent
    qsizetype sentLength = 0;  // user-perceived characters of `text`
    qsizetype totalLength = 0; // of the whole input
    bool wasCut() const { return sentLength < totalLength; }

    // About 1,300 English words: their Chinese and the lists after it fill most of the budget.
    static constexpr qsizetype defaultLimit = 6000;

    // `text` whole when it has at most `limit` characters; else its longest beginning within
    // the limit that ends at a sentence end or a line end, never inside a row of a Markdown
    // table. A first sentence longer than the limit is cut at a space, else at the limit.
    static InputCut of(const QString& text, qsizetype limit = defaultLimit);
};

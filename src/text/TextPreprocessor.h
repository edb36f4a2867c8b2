#pragma once

#include <QString>

// Clean-ups applied to text before it is sent for translation. Pure and safe on any thread.
namespace TextPreprocessor {

// Folds the citation footer that e-book readers append to copied excerpts (lead-in line,
// title, optional author, rights notice) into one line. Text without a footer is returned
// unchanged.
QString condenseCitation(const QString& text);

} // namespace TextPreprocessor

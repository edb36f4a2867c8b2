#pragma once

#include <QString>

// Number of user-perceived characters (extended grapheme clusters) in `text`.
qsizetype graphemeCount(const QString& text);

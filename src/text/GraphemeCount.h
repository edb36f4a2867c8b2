#pragma once

#include <QStringView>

// Number of user-perceived characters (extended grapheme clusters) in `text`.
qsizetype graphemeCount(QStringView text);

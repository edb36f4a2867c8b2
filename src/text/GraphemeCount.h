#pragma once

#include <QString>
#include <QStringView>

// Number of user-perceived characters (extended grapheme clusters) in `text`.
qsizetype graphemeCount(QStringView text);

// The first `count` user-perceived characters of `text` (all of it when shorter), so that
// no emoji or accented letter is cut in half.
QString graphemePrefix(QStringView text, qsizetype count);

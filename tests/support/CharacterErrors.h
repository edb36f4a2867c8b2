#pragma once

#include <QString>

#include <algorithm>
#include <vector>

// Levenshtein distance over code points.
inline int editDistance(const QString& a, const QString& b) {
    const QList<uint> s = a.toUcs4(), t = b.toUcs4();
    std::vector<int> previous(t.size() + 1), current(t.size() + 1);
    for (qsizetype j = 0; j <= t.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= s.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= t.size(); ++j)
            current[j] = std::min(
                {previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (s[i - 1] == t[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[t.size()];
}

// Character error rate of `recognised` against `reference`, whitespace runs collapsed.
inline double characterErrorRate(const QString& reference, const QString& recognised) {
    const QString ref = reference.simplified(), hyp = recognised.simplified();
    if (ref.isEmpty())
        return hyp.isEmpty() ? 0.0 : 1.0;
    return double(editDistance(ref, hyp)) / double(ref.toUcs4().size());
}

#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

inline void failIf(bool broken, const QString& what, const QString& html) {
    if (!broken)
        return;
    std::fprintf(stderr, "%s\n%s\n", qPrintable(what), qPrintable(html.left(2000)));
    std::abort();
}

#pragma once

#include "settings/SettingsManager.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// Keeps the fuzzers away from the user's settings and log.
inline void useScratchSettings() {
    static QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.path().toUtf8());
    qputenv("XDG_STATE_HOME", scratch.path().toUtf8());
    SettingsManager::resetSharedForTesting(scratch.path() + QStringLiteral("/preferences.json"));
}

inline void failIf(bool broken, const QString& what, const QString& html) {
    if (!broken)
        return;
    std::fprintf(stderr, "%s\n%s\n", qPrintable(what), qPrintable(html.left(2000)));
    std::abort();
}

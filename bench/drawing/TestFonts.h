#pragma once

#include <QTemporaryDir>

// The only fonts a process that draws pictures of text can use, each taken from a named
// file of a package scripts/deps.sh --test installs. A desktop machine has several fonts
// of one family name (Liberation Serif 1.07 and 2), and which one fontconfig picks must not
// decide what is drawn. The first Liberation Serif is reachable as "Liberation Serif
// 1.07". Made before the application object; lives as long as it.
class TestFonts {
public:
    TestFonts();
    TestFonts(const TestFonts&) = delete;
    TestFonts& operator=(const TestFonts&) = delete;

    // Every file it names was found.
    bool isComplete() const { return m_missing.isEmpty(); }
    QString missing() const { return m_missing; }

private:
    QTemporaryDir m_dir;
    QString m_missing;
};

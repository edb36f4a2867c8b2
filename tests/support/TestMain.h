#pragma once

#include <QTest>

// The main function of a test whose application `App` runs on the Qt platform `platform`:
// "xcb" (the test's X server) or "offscreen" (no display at all, and none reached by
// accident). Nothing a test shows draws with OpenGL, and Qt's GLX integration leaks a block
// from a library it unloads again, which no suppression can name.
#define VYRN_TEST_MAIN(App, Test, platform)                                                                  \
    int main(int argc, char** argv) {                                                                        \
        qputenv("QT_QPA_PLATFORM", platform);                                                                \
        qputenv("QT_XCB_GL_INTEGRATION", "none");                                                            \
        if (qstrcmp(platform, "offscreen") == 0)                                                             \
            qunsetenv("DISPLAY");                                                                            \
        App app(argc, argv);                                                                                 \
        Test test;                                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

// Another program holding a hotkey: registers the combination given as arguments
// (key code, Carbon mask) through VYRN's own service, says "held" or "failed" on
// standard output, and keeps the grab until it is killed.
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    X11Connection connection;
    X11HotkeyService service(connection);
    const KeyGrabResult<HotkeyRegistration> held =
        service.registerHotkey(std::atoi(argv[1]), std::atoi(argv[2]));
    std::puts(held ? "held" : "failed");
    std::fflush(stdout);
    return held ? app.exec() : 1;
}

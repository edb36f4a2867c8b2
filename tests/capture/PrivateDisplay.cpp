#include "PrivateDisplay.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// fork and exec, the child killed when this process ends however it ends.
pid_t spawn(std::vector<QByteArray> arguments, int keepFd = -1) {
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = 0;
}

// The window manager has taken over a window of ours. Announcing itself on the root window
// is not enough: map requests sent while it is still starting can be lost, and with them
// the test's first window.
bool windowManagerManages() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t probe = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    bool managed = false;
    QElapsedTimer clock;
    clock.start();
    for (int attempt = 0; !managed && clock.elapsed() < 10000; ++attempt) {
        if (attempt % 25 == 0) { // ask again every half second
            xcb_unmap_window(connection, probe);
            xcb_map_window(connection, probe);
        }
        QThread::msleep(20);
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, probe), nullptr);
        managed = tree && tree->parent != screen->root;
        std::free(tree);
    }
    xcb_disconnect(connection);
    return managed;
}

} // namespace

PrivateDisplay::~PrivateDisplay() {
    stop(m_windowManager);
    stop(m_server);
}

QString PrivateDisplay::start(QSize size, bool windowManager) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return QStringLiteral("pipe failed");
    const QByteArray screen =
        QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height()) + "x24";
    // Without -noreset the server resets whenever its last client leaves, and refuses
    // whoever connects meanwhile.
    m_server = spawn({"Xvfb", "-displayfd", QByteArray::number(pipeFds[1]), "-screen", "0", screen,
                      "-nolisten", "tcp", "-noreset"},
                     pipeFds[1]);
    close(pipeFds[1]);
    QByteArray number;
    pollfd readable{pipeFds[0], POLLIN, 0};
    char c = 0;
    while (poll(&readable, 1, 10000) > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(pipeFds[0]);
    if (number.isEmpty())
        return QStringLiteral("Xvfb did not start");
    qputenv("DISPLAY", ':' + number);
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_SESSION_TYPE", "x11");
    if (!windowManager)
        return {};
    m_windowManager = spawn({"openbox", "--sm-disable"});
    return windowManagerManages() ? QString() : QStringLiteral("openbox did not start");
}

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

bool windowManagerRunning() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool running = false;
    if (!xcb_connection_has_error(connection)) {
        const char name[] = "_NET_SUPPORTING_WM_CHECK";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        if (atom) {
            xcb_get_property_reply_t* property = xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
                nullptr);
            running = property && xcb_get_property_value_length(property) == 4;
            std::free(property);
            std::free(atom);
        }
    }
    xcb_disconnect(connection);
    return running;
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
    QElapsedTimer clock;
    clock.start();
    while (!windowManagerRunning()) {
        if (clock.elapsed() > 10000)
            return QStringLiteral("openbox did not start");
        QThread::msleep(20);
    }
    return {};
}

#pragma once

#include "support/LocalHttpServer.h"
#include "support/PrivateSessionBus.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

// The real program translating what is selected in a native Wayland program (zenity), read
// through the accessibility bus, with a local chat service answering. VYRN runs on a bus and
// in folders of its own, so that its key is in the private key file whatever key store the
// desktop brings.
class WaylandReading {
public:
    // zenity is up with its text; select it with the desktop's keys before translateSelection().
    bool start();
    // As a desktop shortcut bound to `vyrn --selection` does.
    bool translateSelection();

    // The rows of a panel test: the loading panel, while the service holds its answer, and
    // the result panel that replaces it.
    static void panelRows();
    // One row: the panel has the keyboard once open, and `escape` closes it. `selectAll` and
    // `escape` press keys through the compositor.
    void checkPanel(const std::function<bool()>& selectAll, const std::function<bool()>& escape);

    LocalHttpServer chat;
    std::unique_ptr<VyrnProcess> vyrn;

private:
    QTemporaryDir m_dir;
    PrivateSessionBus m_bus;
    QProcessEnvironment m_environment;
    std::unique_ptr<DesktopProgram> m_zenity;
};

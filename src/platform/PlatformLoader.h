#pragma once

#include "base/SessionType.h"

#include <QString>

#include <memory>

class KeyStoreBackend;
struct PlatformServices;

// The one place that decides which implementation of each desktop service VYRN uses: the
// X11 ones in an X11 session, the Null ones with their reasons elsewhere, and the
// freedesktop ones (D-Bus) wherever the session bus is.
namespace PlatformLoader {

struct Options {
    QString accessibilityHelper; // empty: the installed AT-SPI reader
};

// Empty when VYRN's windows can open in `session`, else what to tell the user. Before the
// application object exists.
QString displayProblem(SessionType session);
// Needs the application object. Logs one line: the desktop found, what was chosen for the
// hotkeys, the capture and the selection, and why; the owner reports the rest.
std::unique_ptr<PlatformServices> load(SessionType session, const Options& options = {});
// The KDE wallet in a Plasma session where it answers, else the Secret Service when the
// session bus offers one, else the private key file.
std::unique_ptr<KeyStoreBackend> loadKeyStore();
// That store, and the stores whose keys move into it.
void loadKeyStores(PlatformServices& platform);
std::unique_ptr<KeyStoreBackend> fileKeyStore();
bool secretServiceAvailable();

} // namespace PlatformLoader

#include "pipeline/TerminalWindows.h"

#include <QStringList>

namespace {

// WM_CLASS names of terminals whose names do not say "terminal", "xterm" or "rxvt".
const QStringList& terminalNames() {
    static const QStringList names = {
        QStringLiteral("konsole"),
        QStringLiteral("yakuake"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("terminator"),
        QStringLiteral("terminology"),
        QStringLiteral("tilix"),
        QStringLiteral("com.gexperts.tilix"),
        QStringLiteral("alacritty"),
        QStringLiteral("kitty"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("stterm"),
        QStringLiteral("eterm"),
        QStringLiteral("sakura"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("ptyxis"),
        QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("ghostty"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("blackbox"),
        QStringLiteral("com.raggesilver.blackbox"),
        QStringLiteral("contour"),
        QStringLiteral("hyper"),
        QStringLiteral("tabby"),
        QStringLiteral("cool-retro-term"),
    };
    return names;
}

bool namesTerminal(const QString& name) {
    const QString lower = name.toLower();
    if (lower.isEmpty())
        return false;
    // gnome-terminal-server, xfce4-terminal, mate-terminal, lxterminal, qterminal,
    // deepin-terminal, io.elementary.terminal; xterm, uxterm; rxvt, urxvt.
    for (const char* part : {"terminal", "xterm", "rxvt"})
        if (lower.contains(QLatin1String(part)))
            return true;
    return terminalNames().contains(lower);
}

} // namespace

bool isTerminalWindow(const QString& windowInstance, const QString& windowClass) {
    return namesTerminal(windowInstance) || namesTerminal(windowClass);
}

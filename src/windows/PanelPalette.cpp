#include "windows/PanelPalette.h"

#include "platform/DesktopColorScheme.h"

#include <QApplication>
#include <QStyle>

namespace PanelPalette {

bool prefersDark(const DesktopColorScheme& scheme) {
    return prefersDarkPages(scheme.preference(), QApplication::palette().color(QPalette::Window));
}

QPalette forScheme(bool dark) {
    const QPalette application = QApplication::palette();
    if (dark == (application.color(QPalette::Window).lightness() < 128))
        return application;
    if (!dark)
        return QApplication::style()->standardPalette();
    QPalette palette;
    const QColor window(0x1c, 0x1c, 0x1e), button(0x3a, 0x3a, 0x3c), text(0xe5, 0xe5, 0xe7);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, window);
    palette.setColor(QPalette::AlternateBase, button);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Light, button.lighter(140));
    palette.setColor(QPalette::Midlight, button.lighter(120));
    palette.setColor(QPalette::Mid, button.darker(120));
    palette.setColor(QPalette::Dark, window.darker(140));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    // A new palette starts from the application's light one: its grey for secondary lines
    // would vanish on the dark window.
    palette.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9d));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x7c, 0x7c, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::Button, window);
    return palette;
}

} // namespace PanelPalette

#pragma once

#include <QPalette>

// Colours of VYRN's floating panels, which follow the desktop's light or dark wish even
// where Qt's own palette does not.
class DesktopColorScheme;

namespace PanelPalette {

// The desktop asks for dark windows (or, asking nothing, its palette is dark).
bool prefersDark(const DesktopColorScheme& scheme);
// The application's palette when it is of the wanted kind, else a light or dark one.
QPalette forScheme(bool dark);

} // namespace PanelPalette

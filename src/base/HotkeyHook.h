#pragma once

#include <functional>

// Lets the settings window register the global hotkeys again after a save without
// knowing who holds them: the program's owner installs the handler at start.
namespace HotkeyHook {
void setReregisterHandler(std::function<void()> handler);
// Main thread only. Releases both translation hotkeys and registers them from the
// current settings; failures are explained in one alert.
void reregisterHotkey();
} // namespace HotkeyHook

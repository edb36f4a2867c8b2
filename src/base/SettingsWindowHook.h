#pragma once

#include <functional>

// Lets core code open the settings window without knowing about widgets: the UI
// installs the handler when the window exists.
namespace SettingsWindowHook {
void setShowHandler(std::function<void()> handler);
// Main thread only.
void show();
} // namespace SettingsWindowHook

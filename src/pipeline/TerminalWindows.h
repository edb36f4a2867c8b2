#pragma once

#include <QString>

// Whether a window belongs to a terminal emulator, judged by its WM_CLASS. In a
// terminal Ctrl+C interrupts the running program instead of copying, so the copy
// fallback must never send it there.
bool isTerminalWindow(const QString& windowInstance, const QString& windowClass);

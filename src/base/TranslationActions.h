#pragma once

#include <functional>

// Lets the tray and other entry points start a translation without knowing the
// pipeline: the flows install their handlers when they exist.
namespace TranslationActions {
void setScreenshotHandler(std::function<void()> handler);
void setSelectionHandler(std::function<void()> handler);
// Main thread only.
void startScreenshot();
void startSelection();
} // namespace TranslationActions

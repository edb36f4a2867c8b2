#pragma once

#include "platform/AccessibilityReader.h"
#include "platform/ClipboardAccess.h"
#include "platform/PrimarySelection.h"
#include "platform/SourceWindowProbe.h"
#include "platform/SyntheticKeyboard.h"

#include <memory>

// What reading the selected text needs from the desktop; none of them is null.
struct SelectionServices {
    std::unique_ptr<SourceWindowProbe> sourceProbe;
    std::unique_ptr<AccessibilityReader> accessibility;
    std::unique_ptr<PrimarySelection> primary;
    std::unique_ptr<ClipboardAccess> clipboard;
    std::unique_ptr<SyntheticKeyboard> keyboard;
};

#pragma once

#include "pipeline/AccessibilityReader.h"
#include "pipeline/ClipboardAccess.h"
#include "pipeline/PrimarySelection.h"
#include "pipeline/SourceWindowProbe.h"
#include "pipeline/SyntheticKeyboard.h"

#include <memory>

// What reading the selected text needs from the desktop; none of them is null.
struct SelectionServices {
    std::unique_ptr<SourceWindowProbe> sourceProbe;
    std::unique_ptr<AccessibilityReader> accessibility;
    std::unique_ptr<PrimarySelection> primary;
    std::unique_ptr<ClipboardAccess> clipboard;
    std::unique_ptr<SyntheticKeyboard> keyboard;
};

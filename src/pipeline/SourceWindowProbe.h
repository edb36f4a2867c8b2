#pragma once

#include "pipeline/SelectionSource.h"

#include <optional>

// Tells which window and program are in front.
class SourceWindowProbe {
public:
    virtual ~SourceWindowProbe() = default;
    // Nothing when no window has the focus, or when it is one of VYRN's own.
    virtual std::optional<SelectionSource> capture() = 0;
};

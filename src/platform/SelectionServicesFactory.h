#pragma once

#include "pipeline/SelectionServices.h"

#include <QString>

namespace SelectionServicesFactory {

struct Options {
    QString accessibilityHelper; // empty: AtspiAccessibilityReader::defaultHelperPath()
};

// The X11 services in an X11 session, the Null ones elsewhere; the AT-SPI reader
// wherever its helper can start. Cheap: nothing here waits for another program.
SelectionServices create(const Options& options = {});

} // namespace SelectionServicesFactory

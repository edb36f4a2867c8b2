#pragma once

#include "base/SessionType.h"

// Whether the desktop is GNOME on Wayland, where programs cannot take global keys and VYRN
// offers to bind its actions among GNOME's own keyboard shortcuts. Read from the session's
// environment.
bool isGnomeWaylandSession(SessionType session);

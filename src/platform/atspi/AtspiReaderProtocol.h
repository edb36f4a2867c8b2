#pragma once

// The version of the line protocol between VYRN and vyrn-atspi-reader (AtspiReaderMain.cpp).
// Raise it with every change of the messages: after an upgrade, a VYRN still running the old
// program starts the new helper when it restarts its reader, and the two must refuse each
// other rather than misread.
inline constexpr int kAtspiReaderProtocol = 1;

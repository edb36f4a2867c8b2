#pragma once

class QWidget;

// "关于 VYRN": the version, and where the log and the settings are kept (with a way to open
// their folders), which a user reporting a problem is asked for.
namespace AboutDialog {
// Returns at once; one dialog per parent.
void open(QWidget* parent);
} // namespace AboutDialog

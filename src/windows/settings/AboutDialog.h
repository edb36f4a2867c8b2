#pragma once

class QString;
class QWidget;

// "关于 VYRN": the version, and where the log and the settings are kept (with a way to open
// their folders), which a user reporting a problem is asked for.
namespace AboutDialog {
// Returns at once; one dialog per parent. `settingsFile` is the preference file.
void open(QWidget* parent, const QString& settingsFile);
} // namespace AboutDialog

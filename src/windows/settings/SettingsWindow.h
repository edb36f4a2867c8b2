#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTabWidget;
class ProviderCard;
class RecordButton;
class SegmentedControl;

// The preferences window's widgets, laid out top to bottom in three tabs; what they do is
// SettingsWindowController's business. Deletes itself when closed.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    struct HotkeySectionText {
        QString title;
        QString description;
    };
    struct HotkeySection {
        RecordButton* button;
        QLabel* statusLabel;
    };

    explicit SettingsWindow(const QList<HotkeySectionText>& hotkeySections);

    ProviderCard* providerCard() const;
    // Replaces the card shown (the old one is deleted).
    void setProviderCard(ProviderCard* card);

    QTabWidget* tabView = nullptr;
    QComboBox* providerPopup = nullptr;
    QCheckBox* launchAtLoginCheckbox = nullptr;
    QLabel* launchAtLoginStatus = nullptr;
    QCheckBox* telemetryCheckbox = nullptr;
    QLabel* telemetryNote = nullptr;
    // The desktop's consent to screen pictures (GNOME on Wayland); hidden elsewhere.
    QWidget* screenshotPermissionBox = nullptr;
    QLabel* screenshotPermissionNote = nullptr;
    QPushButton* screenshotPermissionButton = nullptr;
    QLabel* screenshotPermissionStatus = nullptr;
    QList<HotkeySection> hotkeySections;
    // How the two translation hotkeys reach VYRN, and the desktop's bindings to add or remove.
    QLabel* hotkeyRouteTitle = nullptr;
    QLabel* hotkeyRouteLabel = nullptr;
    QPushButton* desktopKeybindingsButton = nullptr;
    SegmentedControl* defaultSplitSeg = nullptr;
    SegmentedControl* templateModeSeg = nullptr;
    QLabel* templateModeStatusLabel = nullptr;
    QPlainTextEdit* templateTextView = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* resetButton = nullptr;
    QPushButton* aboutButton = nullptr;
    QLabel* versionLabel = nullptr;

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildGeneralTab();
    QWidget* buildHotkeysTab(const QList<HotkeySectionText>& sections);
    QWidget* buildTemplateTab();
    QWidget* buildBottomBar();

    QScrollArea* m_cardArea = nullptr;
    QPointer<ProviderCard> m_providerCard;
};

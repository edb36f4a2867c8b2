#pragma once

#include "platform/ScreenCapture.h"
#include "platform/ScreenshotPermission.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <optional>

class PortalRequest;
struct MutterLayout;

// A picture of the whole desktop from the Screenshot portal (org.freedesktop.portal.Screenshot),
// without its dialog. The portal writes the picture to a file; it is read off the main thread
// and deleted, also when the answer comes after the wait has been given up.
class PortalScreenCapture final : public QObject, public ScreenCapture, public ScreenshotPermission {
    Q_OBJECT
public:
    struct Options {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
        QString permissionStore = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
        // GNOME: its question can only be asked from a focused window of ours, and a call
        // while none has the focus may never be answered. So a capture looks the stored
        // answer up first and reports NeedsPermission rather than calling.
        bool askFirst = false;
        // GNOME: the monitors' layout from Mutter, to place each one in the picture.
        bool mutterLayout = false;
        std::chrono::milliseconds timeLimit{10000};
        // The first-use step waits for the user to answer the desktop's question.
        std::chrono::milliseconds questionTimeLimit{120000};
        // Under which application the portal files this process (portalAppId() when null).
        std::optional<QString> appId;
    };

    explicit PortalScreenCapture(Options options);
    ~PortalScreenCapture() override;

    QString unavailableReason() const override { return {}; }
    Overlay overlay() const override { return Overlay::FocusedWindows; }
    void capture(QScreen* screen, PictureReady ready) override;
    void cancelCapture() override;
    InputGrab grabInput(QWindow*) override { return InputGrab::Held; }
    void releaseInput() override {}

    void lookUpPermission(std::function<void(State)> done) override;
    void requestPermission(std::function<void(Outcome)> done) override;
    QString desktopQuestion() const override;

    QString appId() const { return m_appId; }

private:
    void callPortal(quint64 generation);
    void pictureArrived(quint64 generation, uint response, const QImage& image, const QString& error);
    void layoutArrived(quint64 generation, std::optional<MutterLayout> layout);
    void complete(Picture picture);
    void forgetRefusal(std::function<void()> then);

    Options m_options;
    QString m_appId;
    PictureReady m_ready;
    quint64 m_generation = 0;
    QPointer<PortalRequest> m_request;
    QPointer<PortalRequest> m_permissionRequest;
    QTimer m_timeLimit;
    // The picture waits here for the layout when Mutter is slower than the portal.
    std::optional<Picture> m_heldPicture;
    bool m_layoutPending = false;
    std::unique_ptr<MutterLayout> m_layout;
};

// The application id xdg-desktop-portal (1.16 and later) files a host program under, from its
// systemd unit as `/proc/self/cgroup` shows it: the desktop entry's name for a program the
// desktop launched from one ("app-gnome-app.vyrn.Vyrn-4242.scope"), else empty, which every
// unidentified host program shares.
QString portalAppId(const QString& cgroups);

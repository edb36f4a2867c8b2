#pragma once

#include "platform/ScreenCapture.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <memory>

// The whole desktop through KWin's screenshot interface (org.kde.KWin.ScreenShot2,
// CaptureWorkspace at native resolution): no dialog and no file, the raw pixels come through
// a pipe, read here as they arrive without holding up the main thread.
//
// KWin grants the interface only to a program whose installed desktop entry lists it in
// X-KDE-DBUS-Restricted-Interfaces and names the program's absolute path in Exec. When KWin
// refuses (a build folder's program, or no screenshot interface at all), this says why in the
// log and hands this and every later capture to `fallback`.
class KWinScreenCapture final : public QObject, public ScreenCapture {
    Q_OBJECT
public:
    KWinScreenCapture(const QDBusConnection& bus, std::unique_ptr<ScreenCapture> fallback,
                      std::chrono::milliseconds timeLimit = std::chrono::seconds(5));
    ~KWinScreenCapture() override;

    QString unavailableReason() const override;
    Overlay overlay() const override;
    void capture(QScreen* screen, PictureReady ready) override;
    void cancelCapture() override;
    InputGrab grabInput(QWindow* window) override;
    void releaseInput() override;

    // KWin refused once: the fallback takes every capture.
    bool usesFallback() const { return m_refused; }

    // The monitors of a workspace picture taken at `pictureScale` pixels per logical point,
    // from the "Screens" part of KWin's support information (org.kde.KWin
    // supportInformation). KWin renders the workspace at that one scale whatever each output's
    // own is, so each monitor's pixels are its logical rectangle, from the desktop's top-left
    // corner, times it. Empty when the text names no enabled output.
    static QList<MonitorArea> monitorsFrom(const QString& supportInformation, qreal pictureScale);
    // The picture in `pixels` as KWin's reply describes it (type, width, height, stride,
    // format); a null image when the description is unusable or the pixels are short.
    static QImage imageFrom(const QVariantMap& reply, QByteArray pixels);
    // Log lines: which desktop entry KWin would take as `program`'s, and whether it grants
    // the screenshot interface. `dataDirs` as QStandardPaths lists them.
    static QStringList entryReport(const QString& program, const QStringList& dataDirs);

private:
    struct Pending;
    void readPipe();
    void screenshotAnswered();
    void outputsAnswered();
    void finishIfComplete();
    void fail(const QString& call, const QString& userMessage = {});
    void answer(Picture picture);
    void refuse(const QString& error);

    QDBusConnection m_bus;
    std::unique_ptr<ScreenCapture> m_fallback;
    std::chrono::milliseconds m_timeLimit;
    std::unique_ptr<Pending> m_pending;
    bool m_refused = false;
};

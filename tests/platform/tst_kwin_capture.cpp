#include "platform/kde/KWinScreenCapture.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <optional>

#include <unistd.h>

Q_DECLARE_METATYPE(QList<ScreenCapture::MonitorArea>)

namespace {
using MonitorArea = ScreenCapture::MonitorArea;
using Picture = ScreenCapture::Picture;

// What a desktop other than KWin would answer, and whether it was asked.
struct StandIn : ScreenCapture {
    int& asked;
    explicit StandIn(int& counter) : asked(counter) {}
    QString unavailableReason() const override { return {}; }
    void capture(QScreen*, PictureReady ready) override {
        ++asked;
        Picture picture;
        picture.failedCall = QStringLiteral("stand-in");
        ready(picture);
    }
    InputGrab grabInput(QWindow*) override { return InputGrab::Held; }
    void releaseInput() override {}
};

// KWin's screenshot interface as a compositor that goes wrong would offer it.
class FakeKWin : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.ScreenShot2")
public:
    bool answers = true;
    QByteArray written;
public Q_SLOTS:
    QVariantMap CaptureWorkspace(const QVariantMap&, const QDBusUnixFileDescriptor& pipe) {
        if (!answers) {
            setDelayedReply(true);
            return {};
        }
        if (::write(pipe.fileDescriptor(), written.constData(), size_t(written.size())) != written.size())
            return {};
        return {{QStringLiteral("type"), QStringLiteral("raw")},
                {QStringLiteral("width"), 4u},
                {QStringLiteral("height"), 4u},
                {QStringLiteral("stride"), 16u},
                {QStringLiteral("format"), uint(QImage::Format_ARGB32)}};
    }
};

class ColourWindow : public QRasterWindow {
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), QColor(0x12c05a));
    }
};

QString screens(const QString& body) {
    return QStringLiteral(
               "Options\n=======\nGeometry: 9,9,9x9\n\nScreens\n=======\nNumber of Screens: 2\n\n") +
           body + QStringLiteral("\nCompositing\n===========\nGeometry: 7,7,7x7\n");
}
} // namespace

class TestKWinCapture : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString m_applications = qEnvironmentVariable("VYRN_KDE_APPLICATIONS");

    // Entries KWin reads, for this test program; KWin rereads its folders every 1.5 s at most.
    void installEntries(const QStringList& interfaceLines) {
        for (const QString& old : QDir(m_applications).entryList({QStringLiteral("vyrn-kwin-test-*")}))
            QFile::remove(m_applications + u'/' + old);
        for (qsizetype i = 0; i < interfaceLines.size(); ++i)
            writeFileBytes(m_applications + QStringLiteral("/vyrn-kwin-test-%1.desktop").arg(i),
                           QStringLiteral("[Desktop Entry]\nType=Application\nName=t\nExec=\"%1\"\n%2\n")
                               .arg(QCoreApplication::applicationFilePath(), interfaceLines[i])
                               .toUtf8());
        QTest::qWait(2000);
    }

    static std::optional<Picture> take(KWinScreenCapture& capture) {
        std::optional<Picture> answer;
        capture.capture(nullptr, [&answer](Picture picture) { answer = std::move(picture); });
        if (!QTest::qWaitFor([&] { return answer.has_value(); }, 10000))
            return std::nullopt;
        return answer;
    }

private Q_SLOTS:
    void monitorsFromKWinsOutputs_data() {
        QTest::addColumn<QString>("outputs");
        QTest::addColumn<qreal>("pictureScale");
        QTest::addColumn<QList<MonitorArea>>("expected");
        const QString left =
            QStringLiteral("Screen 0:\n---------\nName: A\nEnabled: 1\nGeometry: 0,0,1280x800\nScale: 1\n");
        QTest::newRow("one at scale 1")
            << screens(left) << 1.0 << QList<MonitorArea>{{{0, 0, 1280, 800}, {0, 0, 1280, 800}, 1}};
        // KWin paints the whole picture at the largest scale: the scale-1 output is upscaled.
        QTest::newRow("scales 1 and 2, picture at 2")
            << screens(left + QStringLiteral("\nScreen 1:\n---------\nName: B\nEnabled: 1\nGeometry: "
                                             "1280,0,1920x1080\nScale: 2\n"))
            << 2.0
            << QList<MonitorArea>{{{0, 0, 1280, 800}, {0, 0, 2560, 1600}, 1},
                                  {{1280, 0, 1920, 1080}, {2560, 0, 3840, 2160}, 2}};
        QTest::newRow("left of the origin, one switched off")
            << screens(QStringLiteral(
                   "Screen 0:\nName: A\nEnabled: 1\nGeometry: -1024,100,1024x768\nScale: 1.5\n\n"
                   "Screen 1:\nName: B\nEnabled: 0\nGeometry: 5000,0,800x600\nScale: 1\n\n"
                   "Screen 2:\nName: C\nEnabled: 1\nGeometry: 0,0,1280x800\nScale: 1\n"))
            << 1.5
            << QList<MonitorArea>{{{-1024, 100, 1024, 768}, {0, 150, 1536, 1152}, 1.5},
                                  {{0, 0, 1280, 800}, {1536, 0, 1920, 1200}, 1}};
        QTest::newRow("no outputs part")
            << QStringLiteral("Options\n=======\nGeometry: 0,0,10x10\n") << 1.0 << QList<MonitorArea>{};
    }
    void monitorsFromKWinsOutputs() {
        QFETCH(QString, outputs);
        QFETCH(qreal, pictureScale);
        QFETCH(QList<MonitorArea>, expected);
        const QList<MonitorArea> monitors = KWinScreenCapture::monitorsFrom(outputs, pictureScale);
        QCOMPARE(monitors.size(), expected.size());
        for (qsizetype i = 0; i < monitors.size(); ++i) {
            QCOMPARE(monitors[i].logical, expected[i].logical);
            QCOMPARE(monitors[i].pixels, expected[i].pixels);
            QCOMPARE(monitors[i].scale, expected[i].scale);
        }
    }

    void pictureFromRawPixels_data() {
        QTest::addColumn<QVariantMap>("reply");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("usable");
        const auto reply = [](uint width, uint stride, uint format,
                              const QString& type = QStringLiteral("raw")) {
            return QVariantMap{{QStringLiteral("type"), type},
                               {QStringLiteral("width"), width},
                               {QStringLiteral("height"), 2u},
                               {QStringLiteral("stride"), stride},
                               {QStringLiteral("format"), format}};
        };
        const uint argb = QImage::Format_ARGB32_Premultiplied;
        QTest::newRow("padded rows") << reply(3, 16, argb) << 32 << true;
        QTest::newRow("rows shorter than the width") << reply(3, 8, argb) << 16 << false;
        QTest::newRow("fewer bytes than described") << reply(3, 12, argb) << 23 << false;
        QTest::newRow("unknown format") << reply(3, 12, QImage::NImageFormats) << 24 << false;
        QTest::newRow("not raw") << reply(3, 12, argb, QStringLiteral("png")) << 24 << false;
    }
    void pictureFromRawPixels() {
        QFETCH(QVariantMap, reply);
        QFETCH(int, bytes);
        QFETCH(bool, usable);
        QByteArray pixels(bytes, '\0');
        // The second row's first pixel, after the row's padding.
        if (bytes >= 20)
            qToLittleEndian<quint32>(0xff123456u, pixels.data() + reply[QStringLiteral("stride")].toInt());
        const QImage image = KWinScreenCapture::imageFrom(reply, pixels);
        QCOMPARE(!image.isNull(), usable);
        if (usable)
            QCOMPARE(image.pixel(0, 1), 0xff123456u);
    }

    void entryKWinWouldTake_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("expected");
        const QString grant = QStringLiteral("X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2");
        QTest::newRow("none") << QStringList{} << QStringLiteral("没有桌面文件的 Exec 是");
        QTest::newRow("one that grants") << QStringList{grant} << QStringLiteral("e0.desktop 允许截图");
        QTest::newRow("one without the interface")
            << QStringList{QString()} << QStringLiteral("KWin 会拒绝截图");
        QTest::newRow("two: either may be taken")
            << QStringList{grant, QString()} << QStringLiteral("2 个桌面文件");
    }
    void entryKWinWouldTake() {
        QFETCH(QStringList, entries);
        QFETCH(QString, expected);
        QTemporaryDir user, system;
        const QString program = QCoreApplication::applicationFilePath();
        for (qsizetype i = 0; i < entries.size(); ++i)
            writeFileBytes(
                QStringLiteral("%1/applications/e%2.desktop").arg(i ? system.path() : user.path()).arg(i),
                QStringLiteral("[Desktop Entry]\nType=Application\nExec=%1 --x\n%2\n")
                    .arg(program, entries[i])
                    .toUtf8());
        // The same id in a later folder is hidden by the first; another program is not this one.
        writeFileBytes(system.path() + QStringLiteral("/applications/e0.desktop"),
                       "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
        writeFileBytes(system.path() + QStringLiteral("/applications/sub/other.desktop"),
                       "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
        const QStringList report = KWinScreenCapture::entryReport(program, {user.path(), system.path()});
        QCOMPARE(report.size(), 1);
        QVERIFY2(report.first().contains(expected), qPrintable(report.first()));
    }

    void kwinGoesWrong_data() {
        QTest::addColumn<bool>("serving");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("failedCall");
        QTest::newRow("silent") << true << false << QStringLiteral("CaptureWorkspace: 超时");
        QTest::newRow("picture cut short") << true << true << QStringLiteral("只收到 10 / 64 字节");
        QTest::newRow("no screenshot interface") << false << true << QStringLiteral("stand-in");
    }
    void kwinGoesWrong() {
        QFETCH(bool, serving);
        QFETCH(bool, answers);
        QFETCH(QString, failedCall);
        PrivateSessionBus bus;
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const auto disconnect = qScopeGuard([&tag] {
            QDBusConnection::disconnectFromBus(QStringLiteral("kwin ") + tag);
            QDBusConnection::disconnectFromBus(QStringLiteral("vyrn ") + tag);
        });
        QDBusConnection compositor =
            QDBusConnection::connectToBus(bus.address(), QStringLiteral("kwin ") + tag);
        FakeKWin kwin;
        kwin.answers = answers;
        kwin.written = QByteArray(10, 'x');
        if (serving) {
            QVERIFY(compositor.registerObject(QStringLiteral("/org/kde/KWin/ScreenShot2"), &kwin,
                                              QDBusConnection::ExportAllSlots));
            QVERIFY(compositor.registerService(QStringLiteral("org.kde.KWin.ScreenShot2")));
        }
        int fallbackAsked = 0;
        KWinScreenCapture capture(QDBusConnection::connectToBus(bus.address(), QStringLiteral("vyrn ") + tag),
                                  std::make_unique<StandIn>(fallbackAsked), std::chrono::milliseconds(1500));
        QElapsedTimer clock;
        clock.start();
        const std::optional<Picture> picture = take(capture);
        QVERIFY(picture);
        QVERIFY2(picture->failedCall.endsWith(failedCall), qPrintable(picture->failedCall));
        QCOMPARE(!picture->userMessage.isEmpty(), !answers);
        // Only silence waits for the time limit.
        QVERIFY(clock.elapsed() < (answers ? 1000 : 2500));
        QCOMPARE(fallbackAsked, serving ? 0 : 1);
    }

    // In the headless KDE session (scripts/wayland/kde-session.sh) from here on.
    void grantedByItsEntry_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("granted");
        const QString grant = QStringLiteral("X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2");
        QTest::newRow("entry grants") << QStringList{grant} << true;
        QTest::newRow("entry without the interface") << QStringList{QString()} << false;
        QTest::newRow("no entry") << QStringList{} << false;
    }
    void grantedByItsEntry() {
        if (m_applications.isEmpty())
            QSKIP("needs the KDE session of scripts/wayland/kde-session.sh");
        QFETCH(QStringList, entries);
        QFETCH(bool, granted);
        ColourWindow window;
        window.setFlag(Qt::FramelessWindowHint);
        window.setGeometry(300, 200, 240, 160);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        installEntries(entries);

        int fallbackAsked = 0;
        KWinScreenCapture capture(QDBusConnection::sessionBus(), std::make_unique<StandIn>(fallbackAsked));
        QCOMPARE(capture.overlay(), ScreenCapture::Overlay::FocusedWindows);
        const std::optional<Picture> picture = take(capture);
        QVERIFY(picture);
        QCOMPARE(capture.usesFallback(), !granted);
        QCOMPARE(fallbackAsked, granted ? 0 : 1);
        if (!granted) {
            QCOMPARE(picture->failedCall, QStringLiteral("stand-in"));
            QVERIFY(readLog().contains(QStringLiteral("org.kde.KWin.ScreenShot2.Error.NoAuthorized")));
            // Later captures go straight to the stand-in.
            QVERIFY(take(capture));
            QCOMPARE(fallbackAsked, 2);
            return;
        }
        QCOMPARE(picture->status, Picture::Status::Taken);
        QVERIFY(picture->wholeDesktop);
        QCOMPARE(picture->monitors.size(), 1);
        QCOMPARE(picture->monitors[0].logical, QRect(QPoint(), window.screen()->geometry().size()));
        QCOMPARE(picture->monitors[0].pixels, picture->image.rect());
        const QRect placed = window.geometry();
        QCOMPARE(picture->image.pixel(placed.center()), 0xff12c05au);
        QVERIFY(picture->image.pixel(placed.topLeft() - QPoint(3, 3)) != 0xff12c05au);
        QVERIFY(picture->image.pixel(placed.bottomRight() + QPoint(3, 3)) != 0xff12c05au);

        // A cancelled capture never answers, and the next one works.
        bool answered = false;
        capture.capture(nullptr, [&answered](Picture) { answered = true; });
        capture.cancelCapture();
        QTest::qWait(500);
        QVERIFY(!answered);
        const std::optional<Picture> next = take(capture);
        QVERIFY(next && next->status == Picture::Status::Taken);
    }

    void cleanupTestCase() {
        if (!m_applications.isEmpty())
            installEntries({});
    }
};

QTEST_MAIN(TestKWinCapture)
#include "tst_kwin_capture.moc"

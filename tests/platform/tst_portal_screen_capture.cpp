#include "platform/freedesktop/PortalScreenCapture.h"
#include "platform/gnome/MutterMonitors.h"
#include "support/PrivateSessionBus.h"
#include "support/TestMain.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using Entries = QMap<QString, QStringList>;
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(MutterLayout::Monitor)

// The desktop's side on a bus of the test's own: the Screenshot portal, which writes its
// picture to a file and names it in the Response `delay` later (never when negative), and
// the permission store, holding `stored` for the host programs' application id "".
class FakeDesktop : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    QString stored; // "yes", "no"; empty: no table; "down": no store at all
    uint response = 0;
    int delay = 0;
    int calls = 0;
    QTemporaryDir pictures;

public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options) {
        ++calls;
        QString sender = message().service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender +
                               QLatin1Char('/') + options.value(QStringLiteral("handle_token")).toString();
        if (delay >= 0)
            QTimer::singleShot(delay, this, [this, handle] {
                const QString file = pictures.filePath(QStringLiteral("Screenshot.png"));
                if (response == 0)
                    QImage(64, 48, QImage::Format_RGB32).save(file);
                QDBusMessage signal = QDBusMessage::createSignal(
                    handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
                signal << response
                       << QVariantMap{{QStringLiteral("uri"), QUrl::fromLocalFile(file).toString()}};
                QDBusConnection(QStringLiteral("desktop")).send(signal);
            });
        return QDBusObjectPath(handle);
    }
};

class FakePermissionStore : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.PermissionStore")
public:
    explicit FakePermissionStore(FakeDesktop& desktop) : m_desktop(desktop) {}

public Q_SLOTS:
    void Lookup(const QString&, const QString&) {
        if (m_desktop.stored.isEmpty()) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                           QStringLiteral("No entry"));
            return;
        }
        setDelayedReply(true);
        const Entries entries{{QString(), {m_desktop.stored}}};
        connection().send(
            message().createReply({QVariant::fromValue(entries), QVariant::fromValue(QDBusVariant(0))}));
    }

private:
    FakeDesktop& m_desktop;
};

class TestPortalScreenCapture : public QObject {
    Q_OBJECT
    PrivateSessionBus bus;
    FakeDesktop desktop;
    FakePermissionStore store{desktop};

    int filesLeft() { return int(QDir(desktop.pictures.path()).entryList(QDir::Files).size()); }

private Q_SLOTS:
    void initTestCase() {
        qDBusRegisterMetaType<Entries>();
        QVERIFY(bus.isRunning());
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), QStringLiteral("desktop"));
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &desktop,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                                          &store, QDBusConnection::ExportAllSlots));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.impl.portal.PermissionStore")));
    }

    void portalAppId_data() {
        QTest::addColumn<QString>("cgroup");
        QTest::addColumn<QString>("appId");
        const QString u = QStringLiteral("0::/user.slice/user-1000.slice/user@1000.service/app.slice/");
        QTest::newRow("launched") << u + "app-gnome-app.vyrn.Vyrn-42.scope"
                                  << "app.vyrn.Vyrn";
        QTest::newRow("autostart") << u + "app-gnome-app.vyrn.Vyrn-autostart.service"
                                   << "app.vyrn.Vyrn";
        QTest::newRow("terminal") << u + "app-org.gnome.Terminal.slice/vte-spawn-5f.scope"
                                  << "";
        QTest::newRow("no systemd") << "0::/\n"
                                    << "";
    }
    void portalAppId() {
        QFETCH(QString, cgroup);
        QTEST(::portalAppId(cgroup), "appId");
    }

    // Mutter's layout to each monitor's part of GNOME Shell's picture, drawn at one density.
    void monitorAreas_data() {
        QTest::addColumn<QList<MutterLayout::Monitor>>("monitors");
        QTest::addColumn<bool>("logicalLayout");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QList<QRect>>("logical");
        QTest::addColumn<QList<QRect>>("pixels");
        using M = MutterLayout::Monitor;
        const M one{{0, 0}, {1280, 800}, 1, 0};
        QTest::newRow("scale 1") << QList<M>{one} << true << QSize(1280, 800)
                                 << QList<QRect>{{0, 0, 1280, 800}} << QList<QRect>{{0, 0, 1280, 800}};
        QTest::newRow("scales 1 and 2")
            << QList<M>{one, {{1280, 0}, {3840, 2160}, 2, 0}} << true << QSize(6400, 2160)
            << QList<QRect>{{0, 0, 1280, 800}, {1280, 0, 1920, 1080}}
            << QList<QRect>{{0, 0, 2560, 1600}, {2560, 0, 3840, 2160}};
        QTest::newRow("physical layout, turned")
            << QList<M>{one, {{1280, 0}, {1920, 1080}, 2, 1}} << false << QSize(2360, 1920)
            << QList<QRect>{{0, 0, 1280, 800}, {1280, 0, 1080, 1920}}
            << QList<QRect>{{0, 0, 1280, 800}, {1280, 0, 1080, 1920}};
    }
    void monitorAreas() {
        QFETCH(QList<MutterLayout::Monitor>, monitors);
        QFETCH(bool, logicalLayout);
        QFETCH(QSize, picture);
        QList<QRect> logical, pixels;
        for (const ScreenCapture::MonitorArea& area : ::monitorAreas({monitors, logicalLayout}, picture)) {
            logical.append(area.logical);
            pixels.append(area.pixels);
        }
        QTEST(logical, "logical");
        QTEST(pixels, "pixels");
    }

    void capture_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<uint>("response");
        QTest::addColumn<int>("delay"); // of the portal's answer; negative: never
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("calls");
        using S = ScreenCapture::Picture::Status;
        QTest::newRow("granted") << "yes" << 0u << 50 << int(S::Taken) << 1;
        QTest::newRow("store does not answer") << "down" << 0u << 50 << int(S::Taken) << 1;
        QTest::newRow("never asked") << "" << 0u << 50 << int(S::NeedsPermission) << 0;
        QTest::newRow("refused before") << "no" << 0u << 50 << int(S::NeedsPermission) << 0;
        QTest::newRow("refused now") << "yes" << 2u << 50 << int(S::Failed) << 1;
        QTest::newRow("silent portal") << "yes" << 0u << -1 << int(S::Failed) << 1;
        QTest::newRow("answer after the limit") << "yes" << 0u << 900 << int(S::Failed) << 1;
    }
    void capture() {
        QFETCH(QString, stored);
        QFETCH(int, delay);
        desktop.stored = stored;
        desktop.delay = delay;
        QFETCH(uint, response);
        desktop.response = response;
        desktop.calls = 0;
        PortalScreenCapture::Options options;
        options.bus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("vyrn"));
        options.askFirst = true;
        options.timeLimit = std::chrono::milliseconds(500);
        options.appId = QString();
        if (stored == QLatin1String("down"))
            options.permissionStore = QStringLiteral("org.freedesktop.impl.portal.Nobody");
        PortalScreenCapture capture(options);
        QList<ScreenCapture::Picture> answers;
        capture.capture(nullptr, [&](ScreenCapture::Picture picture) { answers.append(picture); });
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 1500); // within its time limit
        const ScreenCapture::Picture& picture = answers.first();
        QTEST(int(picture.status), "status");
        QTEST(desktop.calls, "calls");
        if (picture.status == ScreenCapture::Picture::Status::Taken) {
            QVERIFY(picture.wholeDesktop);
            QCOMPARE(picture.image.size(), QSize(64, 48));
        } else {
            QVERIFY(!picture.userMessage.isEmpty());
        }
        // A picture written after the wait was given up is deleted too, and answers nobody.
        QTest::qWait(delay > 0 ? delay + 300 : 100);
        QCOMPARE(filesLeft(), 0);
        QCOMPARE(answers.size(), 1);
    }
};

VYRN_TEST_MAIN(QGuiApplication, TestPortalScreenCapture, "offscreen")
#include "tst_portal_screen_capture.moc"

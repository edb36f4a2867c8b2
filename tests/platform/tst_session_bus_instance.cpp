#include "platform/freedesktop/SessionBusInstance.h"
#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(AppRequest)

// Calls to the name from this process reach the object through the bus like anyone's.
class TestSessionBusInstance : public QObject {
    Q_OBJECT
    PrivateSessionBus bus;
    std::unique_ptr<SessionBusInstance> instance;

    static QDBusMessage call(const QString& method, const QVariantList& arguments) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(SessionBusInstance::serviceName, SessionBusInstance::objectPath,
                                           QStringLiteral("org.freedesktop.Application"), method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(bus.isRunning());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8()); // before the first connection
        qRegisterMetaType<AppRequest>();
        QCOMPARE(SessionBusInstance::deliver({}, std::chrono::seconds(1)).outcome,
                 SessionBusInstance::Delivery::Outcome::NoInstance);
        instance = std::make_unique<SessionBusInstance>();
        QCOMPARE(instance->claim(), SessionBusInstance::Claim::Owner);
    }

    void requestsArrive_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<QByteArray>("startupId");
        QTest::addColumn<QByteArray>("token");
        QTest::newRow("plain start") << int(AppAction::Activate) << QByteArray("launcher-1_TIME42")
                                     << QByteArray();
        QTest::newRow("screenshot") << int(AppAction::Screenshot) << QByteArray()
                                    << QByteArray("wayland-token");
        QTest::newRow("quit") << int(AppAction::Quit) << QByteArray() << QByteArray();
    }
    void requestsArrive() {
        QFETCH(int, action);
        QFETCH(QByteArray, startupId);
        QFETCH(QByteArray, token);
        QSignalSpy requested(instance.get(), &SessionBusInstance::requested);
        const AppRequest sent{AppAction(action), startupId, token};
        QCOMPARE(SessionBusInstance::deliver(sent, std::chrono::seconds(5)).outcome,
                 SessionBusInstance::Delivery::Outcome::Delivered);
        QVERIFY(requested.isEmpty()); // the caller is answered first
        QVERIFY(requested.wait(5000));
        QCOMPARE(requested.size(), 1);
        const auto received = requested.constFirst().constFirst().value<AppRequest>();
        QCOMPARE(int(received.action), action);
        QCOMPARE(received.startupId, startupId);
        QCOMPARE(received.activationToken, token);
    }

    void unknownActionIsRefused() {
        QSignalSpy requested(instance.get(), &SessionBusInstance::requested);
        const QDBusMessage reply = call(QStringLiteral("ActivateAction"),
                                        {QStringLiteral("format-disk"), QVariantList(), QVariantMap()});
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QCoreApplication::sendPostedEvents();
        QVERIFY(requested.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSessionBusInstance)
#include "tst_session_bus_instance.moc"

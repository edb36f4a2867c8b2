#include "platform/freedesktop/FreedesktopNotificationService.h"
#include "support/NotificationServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "windows/NotificationManager.h"

#include <QDBusArgument>
#include <QSignalSpy>
#include <QTest>

class TestNotificationManager : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<NotificationServer> server;

    static std::unique_ptr<NotificationManager> managerOnBus() {
        return std::make_unique<NotificationManager>(std::make_unique<FreedesktopNotificationService>());
    }

private Q_SLOTS:
    void init() {
        server = std::make_unique<NotificationServer>();
        QVERIFY(server->registerOnBus());
    }
    void cleanup() { server.reset(); }

    void postsTitleBodyIconAndDefaultAction() {
        auto manager = managerOnBus();
        manager->show(QStringLiteral("VYRN"), QStringLiteral("划词翻译完成，点击查看结果"));
        manager->show(QStringLiteral("VYRN"), QStringLiteral("翻译完成，点击查看结果"));
        QTRY_COMPARE(server->calls().size(), 2);

        const NotificationServer::Call call = server->calls().constFirst();
        QCOMPARE(call.appName, QStringLiteral("VYRN"));
        QCOMPARE(call.appIcon, QStringLiteral("vyrn"));
        QCOMPARE(call.summary, QStringLiteral("VYRN"));
        QCOMPARE(call.body, QStringLiteral("划词翻译完成，点击查看结果"));
        QCOMPARE(call.actions.mid(0, 1), QStringList{QStringLiteral("default")});
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("app.vyrn.Vyrn"));
        // Not installed here, so the picture travels along, in the structure servers expect.
        const QDBusArgument image = call.hints.value(QStringLiteral("image-data")).value<QDBusArgument>();
        QCOMPARE(image.currentSignature(), QStringLiteral("(iiibiiay)"));
        QCOMPARE(server->calls().at(1).body, QStringLiteral("翻译完成，点击查看结果"));
    }

    // Servers send their signals to every client: only a click on our own notification's
    // body counts, and it counts once.
    void clickingOurNotificationActivatesOnce() {
        auto manager = managerOnBus();
        QSignalSpy activated(manager.get(), &NotificationManager::activated);
        const uint foreignId =
            server->Notify(QStringLiteral("other"), 0, {}, QStringLiteral("x"), {}, {}, {}, -1);
        manager->show(QStringLiteral("VYRN"), QStringLiteral("翻译完成，点击查看结果"));
        QTRY_COMPARE(server->calls().size(), 2);
        const uint ours = foreignId + 1;

        server->invokeAction(foreignId, QStringLiteral("default"));
        server->invokeAction(ours, QStringLiteral("other-action"));
        server->invokeAction(ours, QStringLiteral("default"), QStringLiteral("token-7"));
        // Signals arrive in order: once the last one is in, the first two were seen and ignored.
        QTRY_VERIFY(!activated.isEmpty() && activated.constLast().constFirst() == QStringLiteral("token-7"));
        QCOMPARE(activated.size(), 1);
    }

    // A refusal is no reason to stop: the next notification is sent.
    void refusedNotificationDoesNotStopTheNext() {
        server->refuseWith(QStringLiteral("quota exceeded"));
        auto manager = managerOnBus();
        manager->show(QStringLiteral("VYRN"), QStringLiteral("one"));
        QTRY_COMPARE(server->calls().size(), 1);
        server->refuseWith(QString());
        manager->show(QStringLiteral("VYRN"), QStringLiteral("two"));
        QTRY_COMPARE(server->calls().size(), 2);
        QCOMPARE(server->calls().at(1).body, QStringLiteral("two"));
    }

    // The desktop may start its server after the program: a later notification reaches it.
    void serverThatStartsLaterGetsTheNext() {
        server.reset();
        const qsizetype mark = readLog().size();
        auto manager = managerOnBus();
        manager->show(QStringLiteral("VYRN"), QStringLiteral("one"));
        // The only sign that the manager has given up on the first one.
        QTRY_VERIFY(readLog().mid(mark).contains(QStringLiteral("通知服务不可用")));
        server = std::make_unique<NotificationServer>();
        QVERIFY(server->registerOnBus());
        QTRY_VERIFY(QTest::qWaitFor([&] {
            manager->show(QStringLiteral("VYRN"), QStringLiteral("two"));
            return !server->calls().isEmpty();
        }));
        QCOMPARE(server->calls().constFirst().body, QStringLiteral("two")); // "one" was dropped
    }
};

int main(int argc, char** argv) {
    PrivateSessionBus bus;
    if (!bus.isRunning())
        qFatal("no private session bus");
    bus.becomeThisProcessBus();
    QCoreApplication app(argc, argv);
    TestNotificationManager test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_notification_manager.moc"

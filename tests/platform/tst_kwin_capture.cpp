#include "platform/kde/KWinScreenCapture.h"
#include "platform/null/NullScreenCapture.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QDebug>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <optional>

#include <unistd.h>

namespace {
using Picture = ScreenCapture::Picture;

// KWin's screenshot interface as a compositor that goes wrong would offer it.
class FakeKWin : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.ScreenShot2")
public:
    QVariantMap reply; // none: never answers
    QByteArray written;
public Q_SLOTS:
    QVariantMap CaptureWorkspace(const QVariantMap&, const QDBusUnixFileDescriptor& pipe) {
        setDelayedReply(reply.isEmpty());
        return ::write(pipe.fileDescriptor(), written.constData(), size_t(written.size())) < 0 ? QVariantMap()
                                                                                               : reply;
    }
};

std::optional<Picture> take(KWinScreenCapture& capture) {
    std::optional<Picture> answer;
    capture.capture(nullptr, [&answer](Picture picture) { answer = std::move(picture); });
    (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
    return answer;
}
} // namespace

class TestKWinCapture : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // The fake writes into pipes whose reader has gone, as KWin may.
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }

    void monitorsFromKWinsOutputs_data() {
        QTest::addColumn<QString>("outputs"); // name, enabled, geometry, scale
        QTest::addColumn<qreal>("pictureScale");
        QTest::addColumn<QString>("expected"); // logical → pixels @ scale
        QTest::newRow("one at scale 1")
            << "A 1 0,0,1280x800 1" << 1.0 << "QRect(0,0 1280x800)→QRect(0,0 1280x800)@1;";
        // KWin paints the whole picture at the largest scale: the scale-1 output is upscaled.
        QTest::newRow("scales 1 and 2, picture at 2")
            << "A 1 0,0,1280x800 1|B 1 1280,0,1920x1080 2" << 2.0
            << "QRect(0,0 1280x800)→QRect(0,0 2560x1600)@1;QRect(1280,0 1920x1080)→QRect(2560,0 "
               "3840x2160)@2;";
        QTest::newRow("left of the origin, one switched off")
            << "A 1 -1024,100,1024x768 1.5|B 0 5000,0,800x600 1|C 1 0,0,1280x800 1" << 1.5
            << "QRect(-1024,100 1024x768)→QRect(0,150 1536x1152)@1.5;QRect(0,0 1280x800)→QRect(1536,0 "
               "1920x1200)@1;";
    }
    void monitorsFromKWinsOutputs() {
        QFETCH(QString, outputs);
        QFETCH(qreal, pictureScale);
        QFETCH(QString, expected);
        // As KWin's support information lists them, between parts with geometries of their own.
        QString information = QStringLiteral("Options\n=======\nGeometry: 9,9,9x9\n\nScreens\n=======\n");
        for (const QString& output : outputs.split(u'|')) {
            const QStringList v = output.split(u' ');
            information +=
                QStringLiteral("\nScreen 0:\n---------\nName: %1\nEnabled: %2\nGeometry: %3\nScale: %4\n")
                    .arg(v[0], v[1], v[2], v[3]);
        }
        information += QStringLiteral("\nCompositing\n===========\nGeometry: 7,7,7x7\n");
        QString actual;
        for (const ScreenCapture::MonitorArea& m : KWinScreenCapture::monitorsFrom(information, pictureScale))
            QDebug(&actual).nospace() << m.logical << "→" << m.pixels << "@" << m.scale << ";";
        QCOMPARE(actual, expected);
    }

    void kwinAnswers_data() {
        QTest::addColumn<bool>("serving");
        QTest::addColumn<QVariantMap>("reply");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("failedCall"); // empty: a picture
        const auto raw = [](uint stride, const char* type = "raw") {
            return QVariantMap{{QStringLiteral("type"), QString::fromLatin1(type)},
                               {QStringLiteral("width"), 4u},
                               {QStringLiteral("height"), 4u},
                               {QStringLiteral("stride"), stride},
                               {QStringLiteral("format"), uint(QImage::Format_ARGB32)}};
        };
        QTest::newRow("padded rows") << true << raw(20) << 80 << QString();
        QTest::newRow("silent") << true << QVariantMap() << 0 << QStringLiteral("CaptureWorkspace: 超时");
        QTest::newRow("picture cut short") << true << raw(16) << 10 << QStringLiteral("只收到 10 / 64 字节");
        QTest::newRow("rows shorter than the width")
            << true << raw(12) << 48 << QStringLiteral("无法识别的图像描述");
        QTest::newRow("not raw") << true << raw(16, "png") << 64 << QStringLiteral("无法识别的图像描述");
        QTest::newRow("no screenshot interface") << false << raw(16) << 64 << QStringLiteral("stand-in");
    }
    void kwinAnswers() {
        QFETCH(bool, serving);
        QFETCH(QVariantMap, reply);
        QFETCH(int, written);
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
        kwin.reply = reply;
        for (int i = 0; i < written; ++i)
            kwin.written.append(char(i));
        if (serving)
            QVERIFY(compositor.registerObject(QStringLiteral("/org/kde/KWin/ScreenShot2"), &kwin,
                                              QDBusConnection::ExportAllSlots) &&
                    compositor.registerService(QStringLiteral("org.kde.KWin.ScreenShot2")));
        KWinScreenCapture capture(QDBusConnection::connectToBus(bus.address(), QStringLiteral("vyrn ") + tag),
                                  std::make_unique<NullScreenCapture>(QStringLiteral("stand-in")),
                                  std::chrono::milliseconds(1500));
        // A cancelled capture never answers; the next one is as good as the first.
        bool lateAnswer = false;
        capture.capture(nullptr, [&lateAnswer](Picture) { lateAnswer = true; });
        capture.cancelCapture();
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        const std::optional<Picture> picture = take(capture);
        QVERIFY(picture && !lateAnswer);
        QVERIFY2(picture->failedCall.endsWith(failedCall), qPrintable(picture->failedCall));
        QCOMPARE(capture.usesFallback(), !serving);
        // Only silence waits for the time limit, and says so.
        QCOMPARE(!picture->userMessage.isEmpty(), reply.isEmpty());
        QVERIFY(clock.elapsed() < (reply.isEmpty() ? 2500 : 1000));
        if (failedCall.isEmpty()) // the second row starts after the first one's padding
            QCOMPARE(picture->image.pixel(0, 1), qFromLittleEndian<quint32>(kwin.written.constData() + 20));
    }
};

QTEST_GUILESS_MAIN(TestKWinCapture)
#include "tst_kwin_capture.moc"

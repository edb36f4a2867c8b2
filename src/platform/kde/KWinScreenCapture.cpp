#include "platform/kde/KWinScreenCapture.h"

#include "base/Logger.h"
#include "platform/freedesktop/DesktopEntry.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("org.kde.KWin.ScreenShot2");
const QString kCall = QStringLiteral("org.kde.KWin.ScreenShot2.CaptureWorkspace");
const QString kEntryKey = QStringLiteral("X-KDE-DBUS-Restricted-Interfaces");
// Far beyond any desktop; keeps a wrong description from asking for absurd memory.
constexpr qint64 kMaxPictureBytes = qint64(1) << 31;

// Objects whose own signal may be the one being handled when the capture ends.
struct DeleteLater {
    void operator()(QObject* object) const {
        object->disconnect();
        object->deleteLater();
    }
};
template <typename T> using Later = std::unique_ptr<T, DeleteLater>;

QString systemError(const char* call) {
    return QString::fromLatin1(call) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

qint64 expectedBytes(const QVariantMap& reply) {
    const qint64 bytes = reply.value(QStringLiteral("stride")).toLongLong() *
                         reply.value(QStringLiteral("height")).toLongLong();
    return bytes > 0 && bytes <= kMaxPictureBytes ? bytes : -1;
}

} // namespace

struct KWinScreenCapture::Pending {
    PictureReady ready;
    QPointer<QScreen> screen;
    int fd = -1;
    Later<QSocketNotifier> notifier;
    Later<QDBusPendingCallWatcher> shot;
    Later<QDBusPendingCallWatcher> outputs;
    Later<QTimer> timer;
    QByteArray pixels;
    qint64 received = 0;
    qint64 expected = -1; // known once KWin has answered
    bool pipeEnded = false;
    std::optional<QVariantMap> reply;
    std::optional<QString> supportInformation;
    QElapsedTimer clock;

    ~Pending() {
        // Its deletion waits for the event loop; the descriptor goes now.
        if (notifier)
            notifier->setEnabled(false);
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

KWinScreenCapture::KWinScreenCapture(const QDBusConnection& bus, std::unique_ptr<ScreenCapture> fallback,
                                     std::chrono::milliseconds timeLimit)
    : m_bus(bus), m_fallback(std::move(fallback)), m_timeLimit(timeLimit) {}

KWinScreenCapture::~KWinScreenCapture() = default;

QString KWinScreenCapture::unavailableReason() const {
    return m_refused ? m_fallback->unavailableReason() : QString();
}

ScreenCapture::Overlay KWinScreenCapture::overlay() const {
    return m_refused ? m_fallback->overlay() : Overlay::FocusedWindows;
}

ScreenCapture::InputGrab KWinScreenCapture::grabInput(QWindow* window) {
    return m_refused ? m_fallback->grabInput(window) : InputGrab::Held;
}

void KWinScreenCapture::releaseInput() {
    if (m_refused)
        m_fallback->releaseInput();
}

void KWinScreenCapture::cancelCapture() {
    if (m_refused)
        m_fallback->cancelCapture();
    m_pending.reset();
}

void KWinScreenCapture::capture(QScreen* screen, PictureReady ready) {
    if (m_refused) {
        m_fallback->capture(screen, std::move(ready));
        return;
    }
    m_pending.reset();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        Picture picture;
        picture.failedCall = systemError("pipe2");
        ready(std::move(picture));
        return;
    }
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    // Fewer wake-ups for a picture of many megabytes; the system's limit may refuse it.
    ::fcntl(ends[0], F_SETPIPE_SZ, 1 << 20);

    m_pending = std::make_unique<Pending>();
    Pending& pending = *m_pending;
    pending.ready = std::move(ready);
    pending.screen = screen;
    pending.fd = ends[0];
    pending.clock.start();
    pending.notifier.reset(new QSocketNotifier(ends[0], QSocketNotifier::Read));
    connect(pending.notifier.get(), &QSocketNotifier::activated, this, &KWinScreenCapture::readPipe);

    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/kde/KWin/ScreenShot2"),
                                                       kService, QStringLiteral("CaptureWorkspace"));
    // The message holds its own copy of the write end until KWin has answered; ours goes now.
    call << QVariantMap{{QStringLiteral("native-resolution"), true}}
         << QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
    ::close(ends[1]);
    // The time limit below decides, with its message; the bus's own would come at the same moment.
    const int callTimeout = int(m_timeLimit.count()) + 1000;
    pending.shot.reset(new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeout)));
    connect(pending.shot.get(), &QDBusPendingCallWatcher::finished, this,
            &KWinScreenCapture::screenshotAnswered);

    // The outputs' layout, asked at the same time so it costs no wait.
    const QDBusMessage outputs =
        QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/KWin"),
                                       QStringLiteral("org.kde.KWin"), QStringLiteral("supportInformation"));
    pending.outputs.reset(new QDBusPendingCallWatcher(m_bus.asyncCall(outputs, callTimeout)));
    connect(pending.outputs.get(), &QDBusPendingCallWatcher::finished, this,
            &KWinScreenCapture::outputsAnswered);

    pending.timer.reset(new QTimer);
    pending.timer->setSingleShot(true);
    connect(pending.timer.get(), &QTimer::timeout, this, [this] {
        fail(
            kCall + QStringLiteral(": 超时"),
            QStringLiteral("KDE 的截图服务（KWin）在 %1 秒内没有送来截图，请再试一次。")
                .arg(qMax<qint64>(1, std::chrono::duration_cast<std::chrono::seconds>(m_timeLimit).count())));
    });
    pending.timer->start(m_timeLimit);
}

void KWinScreenCapture::screenshotAnswered() {
    const QDBusPendingReply<QVariantMap> reply = *m_pending->shot;
    if (reply.isError()) {
        const QDBusError error = reply.error();
        const QString described = error.name() + QStringLiteral(" ") + error.message();
        switch (error.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            refuse(QStringLiteral("KWin 没有截图接口（") + described + QStringLiteral("）"));
            return;
        default:
            break;
        }
        if (error.name() == QLatin1String("org.kde.KWin.ScreenShot2.Error.NoAuthorized"))
            refuse(QStringLiteral("KWin 拒绝截图（") + described +
                   QStringLiteral("）：它只为桌面文件声明了 ") + kEntryKey + QStringLiteral("=") + kService +
                   QStringLiteral(" 且 Exec 是程序绝对路径的程序截图"));
        else
            fail(kCall + QStringLiteral(": ") + described);
        return;
    }
    m_pending->reply = reply.value();
    // The sent message keeps a copy of the pipe's write end: without it, a picture KWin cuts
    // short ends the reading at once instead of at the time limit.
    m_pending->shot.reset();
    m_pending->expected = expectedBytes(*m_pending->reply);
    if (m_pending->expected < 0) {
        fail(kCall + QStringLiteral(": 无法识别的图像描述"));
        return;
    }
    finishIfComplete();
}

void KWinScreenCapture::outputsAnswered() {
    const QDBusPendingReply<QString> reply = *m_pending->outputs;
    if (reply.isError())
        logi(QStringLiteral("截图: 读不到 KWin 的屏幕布局（") + reply.error().message() +
             QStringLiteral("），按整张截图覆盖全部屏幕处理"));
    m_pending->supportInformation = reply.isError() ? QString() : reply.value();
    finishIfComplete();
}

void KWinScreenCapture::readPipe() {
    Pending& pending = *m_pending;
    while (pending.expected < 0 || pending.received < pending.expected) {
        const qint64 capacity =
            pending.expected >= 0 ? pending.expected : qMax<qint64>(pending.pixels.size() * 2, 1 << 22);
        if (pending.pixels.size() < capacity && pending.pixels.size() == pending.received)
            pending.pixels.resize(qMin(capacity, kMaxPictureBytes));
        const qint64 room = qMin<qint64>(pending.pixels.size(), capacity) - pending.received;
        if (room <= 0) {
            fail(kCall + QStringLiteral(": 管道中的数据超出了图像大小"));
            return;
        }
        const ssize_t count = ::read(pending.fd, pending.pixels.data() + pending.received, size_t(room));
        if (count > 0) {
            pending.received += count;
        } else if (count == 0) {
            pending.pipeEnded = true;
            pending.notifier->setEnabled(false);
            break;
        } else if (errno == EAGAIN) {
            break;
        } else if (errno != EINTR) {
            fail(systemError("read"));
            return;
        }
    }
    finishIfComplete();
}

void KWinScreenCapture::finishIfComplete() {
    Pending& pending = *m_pending;
    if (!pending.reply)
        return;
    if (pending.received < pending.expected) {
        if (pending.pipeEnded)
            fail(kCall + QStringLiteral(": 只收到 %1 / %2 字节").arg(pending.received).arg(pending.expected));
        return;
    }
    if (!pending.supportInformation)
        return;
    const qreal scale = pending.reply->value(QStringLiteral("scale"), 1.0).toDouble();
    QImage image = imageFrom(*pending.reply, std::move(pending.pixels));
    if (image.isNull()) {
        fail(kCall + QStringLiteral(": 无法识别的图像描述"));
        return;
    }
    Picture picture;
    picture.monitors = monitorsFrom(*pending.supportInformation, scale > 0 ? scale : 1.0);
    QRect covered;
    for (const MonitorArea& monitor : std::as_const(picture.monitors))
        covered |= monitor.pixels;
    // Outputs that changed between the picture and the question: their layout is not the
    // picture's.
    if (!picture.monitors.isEmpty() && covered != image.rect()) {
        logi(QStringLiteral("截图: KWin 的屏幕布局与截图大小不符，按整张截图覆盖全部屏幕处理"));
        picture.monitors.clear();
    }
    logi(QStringLiteral("截图: KWin %1×%2，%3 ms")
             .arg(image.width())
             .arg(image.height())
             .arg(pending.clock.elapsed()));
    picture.image = std::move(image);
    picture.status = Picture::Status::Taken;
    picture.wholeDesktop = true;
    answer(std::move(picture));
}

void KWinScreenCapture::fail(const QString& call, const QString& userMessage) {
    Picture picture;
    picture.failedCall = call;
    picture.userMessage = userMessage;
    answer(std::move(picture));
}

void KWinScreenCapture::answer(Picture picture) {
    PictureReady ready = std::move(m_pending->ready);
    m_pending.reset();
    ready(std::move(picture));
}

void KWinScreenCapture::refuse(const QString& why) {
    m_refused = true;
    logi(why + QStringLiteral("；从现在起改用桌面门户截图"));
    const QStringList entries =
        entryReport(QCoreApplication::applicationFilePath(),
                    QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
    for (const QString& line : entries)
        logi(line);
    PictureReady ready = std::move(m_pending->ready);
    const QPointer<QScreen> screen = m_pending->screen;
    m_pending.reset();
    m_fallback->capture(screen, std::move(ready));
}

QImage KWinScreenCapture::imageFrom(const QVariantMap& reply, QByteArray pixels) {
    const qint64 width = reply.value(QStringLiteral("width")).toLongLong();
    const qint64 height = reply.value(QStringLiteral("height")).toLongLong();
    const qint64 stride = reply.value(QStringLiteral("stride")).toLongLong();
    const uint format = reply.value(QStringLiteral("format")).toUInt();
    if (reply.value(QStringLiteral("type")).toString() != QLatin1String("raw") || width <= 0 || height <= 0 ||
        format == QImage::Format_Invalid || format >= QImage::NImageFormats)
        return {};
    const int bits = QImage::toPixelFormat(QImage::Format(format)).bitsPerPixel();
    if (bits <= 0 || stride < (width * bits + 7) / 8 || stride * height > kMaxPictureBytes ||
        pixels.size() < stride * height)
        return {};
    // The image keeps the buffer it reads from, without a copy.
    auto* owner = new QByteArray(std::move(pixels));
    return QImage(
        reinterpret_cast<uchar*>(owner->data()), int(width), int(height), qsizetype(stride),
        QImage::Format(format), [](void* buffer) { delete static_cast<QByteArray*>(buffer); }, owner);
}

QList<ScreenCapture::MonitorArea> KWinScreenCapture::monitorsFrom(const QString& supportInformation,
                                                                  qreal pictureScale) {
    struct Output {
        QRectF geometry;
        qreal scale = 1;
        bool enabled = true;
    };
    static const QRegularExpression screenLine(QStringLiteral("^Screen \\d+:$"));
    static const QRegularExpression geometryValue(
        QStringLiteral("^(-?[\\d.]+),(-?[\\d.]+),([\\d.]+)x([\\d.]+)$"));
    const QStringList lines = supportInformation.split(u'\n');
    const qsizetype start = lines.indexOf(QStringLiteral("Screens"));
    QList<Output> outputs;
    for (qsizetype i = start < 0 ? lines.size() : start + 2; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        // The next part's title, underlined.
        if (i + 1 < lines.size() && lines[i + 1].startsWith(QStringLiteral("===")))
            break;
        if (screenLine.match(line).hasMatch()) {
            outputs.append(Output());
            continue;
        }
        if (outputs.isEmpty())
            continue;
        Output& output = outputs.last();
        const QString value = line.section(u':', 1).trimmed();
        if (line.startsWith(QStringLiteral("Enabled:"))) {
            output.enabled = value != QLatin1String("0");
        } else if (line.startsWith(QStringLiteral("Scale:"))) {
            output.scale = value.toDouble();
        } else if (line.startsWith(QStringLiteral("Geometry:"))) {
            const QRegularExpressionMatch match = geometryValue.match(value);
            if (match.hasMatch())
                output.geometry = QRectF(match.captured(1).toDouble(), match.captured(2).toDouble(),
                                         match.captured(3).toDouble(), match.captured(4).toDouble());
        }
    }
    QRectF desktop;
    for (const Output& output : std::as_const(outputs))
        if (output.enabled && !output.geometry.isEmpty())
            desktop |= output.geometry;
    QList<MonitorArea> monitors;
    for (const Output& output : std::as_const(outputs)) {
        if (!output.enabled || output.geometry.isEmpty() || output.scale <= 0)
            continue;
        const QRectF pixels((output.geometry.topLeft() - desktop.topLeft()) * pictureScale,
                            output.geometry.size() * pictureScale);
        monitors.append(MonitorArea{output.geometry.toRect(), pixels.toRect(), output.scale});
    }
    return monitors;
}

QStringList KWinScreenCapture::entryReport(const QString& program, const QStringList& dataDirs) {
    const QList<DesktopEntry::Found> entries = DesktopEntry::startingProgram(program, dataDirs);
    const auto grants = [](const DesktopEntry::Found& entry) {
        static const QRegularExpression separators(QStringLiteral("[,;]"));
        return DesktopEntry::value(entry.text, kEntryKey.toLatin1()).split(separators).contains(kService);
    };
    const QString head = QStringLiteral("KWin 截图授权: ");
    if (entries.isEmpty())
        return {head + QStringLiteral("没有桌面文件的 Exec 是 ") + program +
                QStringLiteral("（未安装，或从构建目录运行），KWin 会拒绝截图，届时改用桌面门户")};
    if (entries.size() == 1)
        return {head + QStringLiteral("KWin 会按 ") + entries.first().path +
                (grants(entries.first())
                     ? QStringLiteral(" 允许截图")
                     : QStringLiteral(" 判断，它没有声明 ") + kEntryKey + QStringLiteral("=") + kService +
                           QStringLiteral("，KWin 会拒绝截图，届时改用桌面门户"))};
    QStringList paths;
    for (const DesktopEntry::Found& entry : entries)
        paths.append(entry.path +
                     (grants(entry) ? QStringLiteral("（允许截图）") : QStringLiteral("（不允许截图）")));
    return {head + QString::number(entries.size()) + QStringLiteral(" 个桌面文件的 Exec 都是 ") + program +
            QStringLiteral("：") + paths.join(QStringLiteral("、")) +
            QStringLiteral("。KWin 只看它先找到的一个，顺序不定：请删除多余的（较早的源码安装留下的可用 "
                           "scripts/install.sh --uninstall 删除）")};
}

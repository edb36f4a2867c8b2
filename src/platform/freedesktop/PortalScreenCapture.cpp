#include "platform/freedesktop/PortalScreenCapture.h"

#include "base/AppConstants.h"
#include "base/Logger.h"
#include "platform/gnome/MutterMonitors.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
const QString kStoreInterface = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString kTable = QStringLiteral("screenshot");
constexpr int kStoreTimeoutMs = 3000;
// A picture the portal still writes after the wait was given up is deleted until then.
constexpr std::chrono::minutes kLateAnswers{2};

const QString kGrantStep =
    QStringLiteral("请打开 VYRN 的偏好设置，在「通用」中点击「允许截图」，并在 GNOME 的询问中选择允许。");

// With the consent step (GNOME), the way out is that step; elsewhere (the portal standing in
// for KWin) there is nothing of ours to point at.
QString timeoutMessage(std::chrono::milliseconds limit, bool consentStep) {
    const QString seconds = QString::number((limit.count() + 500) / 1000);
    if (!consentStep)
        return QStringLiteral("截图失败：桌面的截图服务 %1 秒内没有回应，请再试一次。").arg(seconds);
    return QStringLiteral("截图失败：GNOME 的截图服务 %1 秒内没有回应。请再试一次；如果一直如此，")
               .arg(seconds) +
           kGrantStep;
}

// The window the desktop's question belongs to, when one of ours has the focus.
QString parentWindow() {
    const QWindow* window = QGuiApplication::focusWindow();
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    return QStringLiteral("x11:") + QString::number(window->winId(), 16);
}

} // namespace

// One Screenshot call and its Response. Deletes itself once the answer is in, or, abandoned,
// when the answer comes late or never.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    // response: the portal's (0 taken, 1 cancelled, 2 refused), or 2 with `error` when the call
    // itself failed. The image is null unless `wantImage`.
    using Done = std::function<void(uint response, const QImage& image, const QString& error)>;

    PortalRequest(const QDBusConnection& bus, const QString& portal, bool wantImage, Done done,
                  QObject* parent)
        : QObject(parent), m_bus(bus), m_portal(portal), m_wantImage(wantImage), m_done(std::move(done)) {}

    void start(const QString& parent, std::chrono::milliseconds timeout) {
        const QString token = QStringLiteral("vyrn%1").arg(QRandomGenerator::global()->generate());
        QString sender = m_bus.baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        // Listening before the call: the Response may come before the call's reply.
        listen(kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token);
        QDBusMessage call = QDBusMessage::createMethodCall(
            m_portal, kPortalPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
            QStringLiteral("Screenshot"));
        call << parent
             << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), false}};
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, int(timeout.count())), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> reply = *finished;
            if (reply.isError()) {
                answer(2, {}, reply.error().name() + QStringLiteral(": ") + reply.error().message());
                deleteLater();
            } else if (reply.value().path() != m_handle) {
                listen(reply.value().path()); // a portal older than handle_token
            }
        });
    }

    // No answer from now on; a picture that still comes is deleted.
    void abandon() {
        m_done = nullptr;
        QTimer::singleShot(kLateAnswers, this, &QObject::deleteLater);
    }

public Q_SLOTS:
    void response(uint code, const QVariantMap& results) {
        stopListening();
        const QString file = QUrl(results.value(QStringLiteral("uri")).toString()).toLocalFile();
        if (code != 0 || file.isEmpty()) {
            answer(code == 0 ? 2 : code, {},
                   code == 0 ? QStringLiteral("no uri in the response") : QString());
            deleteLater();
            return;
        }
        // Decoding a whole desktop's PNG takes longer than a frame: off the main thread.
        auto* watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, file] {
            const QImage image = watcher->result();
            if (m_wantImage && image.isNull())
                answer(2, {}, QStringLiteral("cannot read ") + file);
            else
                answer(0, image, {});
            deleteLater();
        });
        watcher->setFuture(QtConcurrent::run([file, wantImage = m_wantImage && m_done] {
            QImage image;
            if (wantImage)
                image.load(file);
            if (QFileInfo(file).isFile())
                QFile::remove(file);
            return image;
        }));
    }

private:
    void listen(const QString& handle) {
        stopListening();
        m_handle = handle;
        m_bus.connect(m_portal, m_handle, kRequestInterface, QStringLiteral("Response"), this,
                      SLOT(response(uint, QVariantMap)));
    }
    void stopListening() {
        if (!m_handle.isEmpty())
            m_bus.disconnect(m_portal, m_handle, kRequestInterface, QStringLiteral("Response"), this,
                             SLOT(response(uint, QVariantMap)));
        m_handle.clear();
    }
    void answer(uint code, const QImage& image, const QString& error) {
        if (Done done = std::exchange(m_done, nullptr))
            done(code, image, error);
    }

    QDBusConnection m_bus;
    QString m_portal;
    QString m_handle;
    bool m_wantImage;
    Done m_done;
};

QString portalAppId(const QString& cgroups) {
    // The unified hierarchy's line, "0::<path>": below the user's manager, the first unit
    // that is not a slice, as systemd's sd_pid_get_user_unit finds it.
    for (const QString& line : cgroups.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("0::")))
            continue;
        const QStringList parts = line.mid(3).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        static const QRegularExpression manager(QStringLiteral("^user@\\d+\\.service$"));
        qsizetype index = 0;
        while (index < parts.size() && !manager.match(parts[index]).hasMatch())
            ++index;
        for (++index; index < parts.size() && parts[index].endsWith(QLatin1String(".slice"));)
            ++index;
        if (index >= parts.size())
            return {};
        // The portal's own pattern: app[-<launcher>]-<id>[-<random>|@<random>][-autostart].<type>
        static const QRegularExpression unit(
            QStringLiteral("^app-(?:[[:alnum:]]+\\-)?(.+?\\..+?\\..+?)(?:[@\\-][[:alnum:]]*)?(?:-autostart)?("
                           "?:\\.scope|\\.service)$"));
        return unit.match(parts[index]).captured(1);
    }
    return {};
}

PortalScreenCapture::PortalScreenCapture(Options options) : m_options(std::move(options)) {
    if (m_options.appId) {
        m_appId = *m_options.appId;
    } else {
        QFile cgroups(QStringLiteral("/proc/self/cgroup"));
        if (cgroups.open(QIODevice::ReadOnly))
            m_appId = portalAppId(QString::fromUtf8(cgroups.readAll()));
    }
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        Picture picture;
        picture.failedCall = QStringLiteral("Screenshot: no answer within the time limit");
        picture.userMessage = timeoutMessage(m_options.timeLimit, m_options.askFirst);
        complete(std::move(picture));
    });
}

PortalScreenCapture::~PortalScreenCapture() = default;

void PortalScreenCapture::capture(QScreen*, PictureReady ready) {
    cancelCapture();
    m_ready = std::move(ready);
    const quint64 generation = m_generation;
    m_timeLimit.start(m_options.timeLimit);
    if (m_options.mutterLayout) {
        m_layoutPending = true;
        const QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.Mutter.DisplayConfig"),
            QStringLiteral("/org/gnome/Mutter/DisplayConfig"),
            QStringLiteral("org.gnome.Mutter.DisplayConfig"), QStringLiteral("GetCurrentState"));
        auto* watcher = new QDBusPendingCallWatcher(m_options.bus.asyncCall(call, 2000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, generation](QDBusPendingCallWatcher* finished) {
                    finished->deleteLater();
                    layoutArrived(generation, MutterLayout::fromReply(finished->reply()));
                });
    }
    if (!m_options.askFirst) {
        callPortal(generation);
        return;
    }
    lookUpPermission([this, generation](State state) {
        if (generation != m_generation)
            return;
        if (state == State::Granted || state == State::Unknown) {
            callPortal(generation);
            return;
        }
        Picture picture;
        picture.status = Picture::Status::NeedsPermission;
        picture.failedCall = QStringLiteral("Screenshot: not granted for \"%1\"").arg(m_appId);
        picture.userMessage = QStringLiteral("截图翻译需要 GNOME 的截图许可。") + kGrantStep;
        complete(std::move(picture));
    });
}

void PortalScreenCapture::callPortal(quint64 generation) {
    m_request = new PortalRequest(
        m_options.bus, m_options.portal, true,
        [this, generation](uint response, const QImage& image, const QString& error) {
            pictureArrived(generation, response, image, error);
        },
        this);
    m_request->start(parentWindow(), m_options.timeLimit);
}

void PortalScreenCapture::pictureArrived(quint64 generation, uint response, const QImage& image,
                                         const QString& error) {
    if (generation != m_generation)
        return;
    m_request = nullptr;
    Picture picture;
    if (response == 0) {
        picture.image = image;
        picture.status = Picture::Status::Taken;
        picture.wholeDesktop = true;
    } else if (!error.isEmpty()) {
        picture.failedCall = QStringLiteral("Screenshot: ") + error;
        if (error.startsWith(QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")))
            picture.userMessage = QStringLiteral("截图失败：桌面的截图服务（xdg-desktop-portal）没有运行。");
    } else {
        picture.failedCall = QStringLiteral("Screenshot: response %1").arg(response);
        picture.userMessage = m_options.askFirst
                                  ? QStringLiteral("截图失败：GNOME 拒绝了截图请求。") + kGrantStep
                                  : QStringLiteral("截图失败：桌面拒绝了截图请求。");
    }
    if (picture.status == Picture::Status::Taken && m_layoutPending) {
        m_heldPicture = std::move(picture);
        return;
    }
    complete(std::move(picture));
}

void PortalScreenCapture::layoutArrived(quint64 generation, std::optional<MutterLayout> layout) {
    if (generation != m_generation)
        return;
    m_layoutPending = false;
    if (layout)
        m_layout = std::make_unique<MutterLayout>(std::move(*layout));
    else
        logi(QStringLiteral("截图：GNOME 没有给出显示器布局，按整张桌面处理"));
    if (std::optional<Picture> held = std::exchange(m_heldPicture, std::nullopt))
        complete(std::move(*held));
}

void PortalScreenCapture::complete(Picture picture) {
    if (picture.status == Picture::Status::Taken && m_layout && !m_layoutPending)
        picture.monitors = monitorAreas(*m_layout, picture.image.size());
    PictureReady ready = std::exchange(m_ready, nullptr);
    cancelCapture();
    if (ready)
        ready(std::move(picture));
}

void PortalScreenCapture::cancelCapture() {
    ++m_generation;
    m_ready = nullptr;
    m_timeLimit.stop();
    m_heldPicture.reset();
    m_layoutPending = false;
    m_layout.reset();
    if (PortalRequest* request = std::exchange(m_request, nullptr))
        request->abandon();
}

void PortalScreenCapture::lookUpPermission(std::function<void(State)> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(m_options.permissionStore, kStorePath, kStoreInterface,
                                                       QStringLiteral("Lookup"));
    call << kTable << kTable;
    auto* watcher = new QDBusPendingCallWatcher(m_options.bus.asyncCall(call, kStoreTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    // The table is made with its first entry.
                    const bool none =
                        reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound");
                    if (!none)
                        logi(QStringLiteral("截图许可：无法查询 GNOME 的许可存储（") + reply.errorMessage() +
                             QStringLiteral("），直接请求截图"));
                    done(none ? State::NotAsked : State::Unknown);
                    return;
                }
                const auto entries = qdbus_cast<QMap<QString, QStringList>>(reply.arguments().value(0));
                const QString answer = entries.value(m_appId).value(0);
                done(answer == QLatin1String("yes")  ? State::Granted
                     : answer == QLatin1String("no") ? State::Refused
                                                     : State::NotAsked);
            });
}

void PortalScreenCapture::forgetRefusal(std::function<void()> then) {
    QDBusMessage call = QDBusMessage::createMethodCall(m_options.permissionStore, kStorePath, kStoreInterface,
                                                       QStringLiteral("DeletePermission"));
    call << kTable << kTable << m_appId;
    auto* watcher = new QDBusPendingCallWatcher(m_options.bus.asyncCall(call, kStoreTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [then = std::move(then)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError())
                    logi(QStringLiteral("截图许可：无法清除先前的拒绝：") + finished->error().message());
                then();
            });
}

void PortalScreenCapture::requestPermission(std::function<void(Outcome)> done) {
    if (PortalRequest* earlier = std::exchange(m_permissionRequest, nullptr))
        earlier->abandon();
    // The window that has the focus now, before any answer moves it.
    const QString parent = parentWindow();
    // Answers once, whichever of the portal and the time limit comes first.
    auto deliver = std::make_shared<std::function<void(Outcome)>>(std::move(done));
    auto answer = [deliver](Outcome outcome) {
        if (auto once = std::exchange(*deliver, nullptr))
            once(std::move(outcome));
    };
    auto ask = [this, parent, answer] {
        const auto limit = m_options.questionTimeLimit;
        auto* request = new PortalRequest(
            m_options.bus, m_options.portal, false,
            [this, answer](uint response, const QImage&, const QString& error) {
                if (response == 0) {
                    logi(QStringLiteral("截图许可：GNOME 已允许"));
                    answer({State::Granted, {}});
                    return;
                }
                logi(QStringLiteral("截图许可：未获允许（") +
                     (error.isEmpty() ? QString::number(response) : error) + QStringLiteral("）"));
                lookUpPermission([answer, error](State state) {
                    QString message =
                        state == State::Refused
                            ? QStringLiteral("GNOME 记下了“拒绝”。需要时可再次点击「允许截图」，重新询问。")
                            : QStringLiteral("没有得到 GNOME 的许可，请再试一次。");
                    if (!error.isEmpty())
                        message = QStringLiteral("无法向 GNOME 请求截图许可：") + error;
                    answer({state, message});
                });
            },
            this);
        m_permissionRequest = request;
        QTimer::singleShot(limit, request, [request, answer, limit] {
            request->abandon();
            answer(
                {State::Unknown, QStringLiteral("GNOME 在 %1 秒内没有回应，请再试一次。")
                                     .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count())});
        });
        request->start(parent, limit);
    };
    lookUpPermission([this, ask = std::move(ask)](State state) {
        // A refusal once given is kept, and the portal would refuse without asking: the user
        // asks again here, so the desktop's question comes again.
        if (state == State::Refused)
            forgetRefusal(ask);
        else
            ask();
    });
}

QString PortalScreenCapture::desktopQuestion() const {
    if (m_appId.isEmpty())
        return QStringLiteral("Allow Applications to Take Screenshots?");
    const QString name = m_appId == QLatin1String("app.vyrn.Vyrn") ? APP_DISPLAY_NAME : m_appId;
    return QStringLiteral("Allow %1 to Take Screenshots?").arg(name);
}

#include "PortalScreenCapture.moc"

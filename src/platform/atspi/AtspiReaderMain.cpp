// vyrn-atspi-reader: reads the selected text through AT-SPI for VYRN, which starts it.
// Started as `vyrn-atspi-reader --protocol N`; it serves only VYRN's protocol N
// (AtspiReaderProtocol.h). One request per line on standard input, one answer per line on
// standard output, both JSON:
//   in:  {"id": 3, "pid": 4242, "budgetMs": 1000}
//   out: {"ready": true, "protocol": N}                   (once, at start)
//        {"ready": false, "reason": "...", "protocol": N} (then it exits)
//        {"id": 3, "text": "..." or null, "log": ["...", ...]}
// The log lines are VYRN's to write. Ends when standard input closes.

#include "pipeline/AccessibleTextWalk.h"
#include "platform/atspi/AtspiReaderProtocol.h"
#include "platform/atspi/AtspiSession.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atspi/atspi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void send(QJsonObject message) {
    if (message.contains(QStringLiteral("ready")))
        message.insert(QStringLiteral("protocol"), kAtspiReaderProtocol);
    const QByteArray line = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void answer(const AtspiFocusTracker& tracker, const QByteArray& line) {
    const QJsonObject request = QJsonDocument::fromJson(line).object();
    if (request.isEmpty())
        return;
    const qint64 pid = request.value(QStringLiteral("pid")).toInteger();
    const std::chrono::milliseconds budget(request.value(QStringLiteral("budgetMs")).toInteger(1000));
    AtspiSession session(tracker, budget);
    QJsonArray log;
    const std::optional<QString> text = AccessibleTextWalk::getSelectedTextViaAccessibility(
        session, pid, [&](const QString& message) { log.append(message); });
    send({{QStringLiteral("id"), request.value(QStringLiteral("id"))},
          {QStringLiteral("text"), text ? QJsonValue(*text) : QJsonValue()},
          {QStringLiteral("log"), log}});
}

gboolean onInput(GIOChannel* channel, GIOCondition, gpointer tracker) {
    gchar* line = nullptr;
    gsize length = 0;
    const GIOStatus status = g_io_channel_read_line(channel, &line, &length, nullptr, nullptr);
    if (status == G_IO_STATUS_NORMAL)
        answer(*static_cast<AtspiFocusTracker*>(tracker), QByteArray(line, qsizetype(length)));
    g_free(line);
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
        atspi_event_quit();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int protocol = argc == 3 && std::strcmp(argv[1], "--protocol") == 0 ? std::atoi(argv[2]) : 0;
    if (protocol != kAtspiReaderProtocol) {
        send({{QStringLiteral("ready"), false},
              {QStringLiteral("reason"),
               QStringLiteral("读取进程（协议 %1）与 VYRN（协议 %2）版本不符，请重新启动 VYRN")
                   .arg(kAtspiReaderProtocol)
                   .arg(protocol)}});
        return 2;
    }
    atspi_set_timeout(int(AtspiSession::callTimeout.count()), 0);
    if (atspi_init() > 1) {
        send({{QStringLiteral("ready"), false},
              {QStringLiteral("reason"), QStringLiteral("辅助功能总线不可用")}});
        return 2;
    }
    AtspiFocusTracker tracker;
    QString error;
    if (!tracker.start(&error)) {
        send({{QStringLiteral("ready"), false},
              {QStringLiteral("reason"), QStringLiteral("无法关注焦点变化（%1）").arg(error)}});
        return 2;
    }
    GIOChannel* input = g_io_channel_unix_new(STDIN_FILENO);
    g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), &onInput, &tracker);
    send({{QStringLiteral("ready"), true}});
    // atspi_event_main rather than a loop of our own: with it, libatspi marks an
    // application that timed out as hung, and later calls to it fail at once.
    atspi_event_main();
    // Leave without tearing libatspi down: nothing is left to save.
    std::fflush(stdout);
    _exit(0);
}

#include "platform/atspi/AtspiAccessibilityReader.h"

#include "base/Logger.h"
#include "platform/atspi/AtspiReaderProtocol.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A helper that was unavailable (no accessibility bus) is tried again after this long.
constexpr qint64 retryUnavailableMs = 5000;
// More exits than this within a minute and the helper is left alone until then.
constexpr int maxQuickExits = 3;

} // namespace

AtspiAccessibilityReader::AtspiAccessibilityReader(QString helperPath, QObject* parent)
    : QObject(parent), m_helperPath(std::move(helperPath)) {
    m_guard.setSingleShot(true);
    connect(&m_guard, &QTimer::timeout, this, [this] {
        giveUp(m_state == State::ready ? QStringLiteral("读取进程未按时答复，已重新启动")
                                       : QStringLiteral("读取进程尚未就绪"),
               m_state == State::ready);
    });
    start();
}

AtspiAccessibilityReader::~AtspiAccessibilityReader() {
    if (!m_process)
        return;
    m_process->disconnect(this);
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(300)) {
        m_process->kill();
        m_process->waitForFinished(300);
    }
}

QString AtspiAccessibilityReader::defaultHelperPath() {
    // Beside the program in a build folder; under its prefix's libexec when installed, wherever
    // the prefix is (scripts/install.sh picks it after configuring).
    const QString bin = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {bin + QStringLiteral("/vyrn-atspi-reader"),
                                     bin + QStringLiteral("/../libexec/vyrn/vyrn-atspi-reader")}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStringLiteral(VYRN_LIBEXEC_DIR "/vyrn-atspi-reader");
}

void AtspiAccessibilityReader::start() {
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(300);
        m_process->deleteLater();
    }
    m_state = State::starting;
    m_sent = false;
    m_lastStart.start();
    m_process = new QProcess(this);
    m_process->setProgram(m_helperPath);
    m_process->setArguments({QStringLiteral("--protocol"), QString::number(kAtspiReaderProtocol)});
    // libatspi's own warnings go to the terminal, never into the answers.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &AtspiAccessibilityReader::onOutput);
    connect(m_process, &QProcess::finished, this, &AtspiAccessibilityReader::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_state = State::unavailable;
            m_unavailableReason = QStringLiteral("无法启动读取进程 %1").arg(m_helperPath);
            logi(QStringLiteral("Accessibility：") + m_unavailableReason);
            if (m_request)
                giveUp(m_unavailableReason, false);
        }
    });
    m_process->start(QIODevice::ReadWrite);
}

void AtspiAccessibilityReader::read(qint64 pid, std::chrono::milliseconds budget, Done done) {
    if (m_request) // a cancelled read the helper still works on; its answer is dropped
        m_request.reset();
    m_request = Request{pid, budget, std::move(done)};
    ++m_requestId;
    m_sent = false;
    if (m_state == State::unavailable) {
        if (m_incompatible || m_lastStart.elapsed() < retryUnavailableMs || m_quickExits >= maxQuickExits) {
            QTimer::singleShot(0, this, [this, id = m_requestId] {
                if (m_request && m_requestId == id)
                    giveUp(m_unavailableReason, false);
            });
            return;
        }
        start();
    }
    m_guard.start(budget + answerMargin);
    if (m_state == State::ready)
        send();
}

void AtspiAccessibilityReader::send() {
    const QJsonObject request{{QStringLiteral("id"), qint64(m_requestId)},
                              {QStringLiteral("pid"), m_request->pid},
                              {QStringLiteral("budgetMs"), qint64(m_request->budget.count())}};
    m_process->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    m_sent = true;
}

void AtspiAccessibilityReader::cancel() {
    m_guard.stop();
    m_request.reset();
}

void AtspiAccessibilityReader::onOutput() {
    while (m_process->canReadLine()) {
        const QJsonObject message = QJsonDocument::fromJson(m_process->readLine()).object();
        if (message.contains(QStringLiteral("ready"))) {
            const int protocol = message.value(QStringLiteral("protocol")).toInt();
            if (message.value(QStringLiteral("ready")).toBool() && protocol == kAtspiReaderProtocol) {
                m_state = State::ready;
                m_quickExits = 0;
                if (m_request && !m_sent)
                    send();
                continue;
            }
            // A helper of another version, installed since VYRN started, is not tried again.
            m_incompatible = protocol != kAtspiReaderProtocol;
            m_state = State::unavailable;
            m_unavailableReason =
                m_incompatible
                    ? QStringLiteral("读取进程（协议 %1）与 VYRN（协议 %2）版本不符，请重新启动 VYRN")
                          .arg(protocol)
                          .arg(kAtspiReaderProtocol)
                    : message.value(QStringLiteral("reason")).toString();
            logi(QStringLiteral("Accessibility：") + m_unavailableReason);
            if (m_incompatible)
                m_process->closeWriteChannel();
            if (m_request)
                giveUp(m_unavailableReason, false);
            continue;
        }
        if (!m_request || quint64(message.value(QStringLiteral("id")).toInteger()) != m_requestId)
            continue; // the answer to a cancelled read
        for (const QJsonValue& line : message.value(QStringLiteral("log")).toArray())
            logi(line.toString());
        const QJsonValue text = message.value(QStringLiteral("text"));
        answer(text.isString() ? std::optional(text.toString()) : std::nullopt);
    }
}

void AtspiAccessibilityReader::onFinished() {
    if (m_state == State::unavailable)
        return; // it said why before it left
    m_quickExits = m_lastStart.elapsed() < 60000 ? m_quickExits + 1 : 1;
    if (m_quickExits >= maxQuickExits) {
        m_state = State::unavailable;
        m_unavailableReason = QStringLiteral("读取进程反复意外退出");
        logi(QStringLiteral("Accessibility：") + m_unavailableReason);
        if (m_request)
            giveUp(m_unavailableReason, false);
        return;
    }
    logi(QStringLiteral("Accessibility：读取进程意外退出（%1），重新启动").arg(m_process->exitCode()));
    start();
    if (m_request)
        giveUp(QStringLiteral("读取进程意外退出"), false);
}

void AtspiAccessibilityReader::giveUp(const QString& reason, bool restart) {
    logi(QStringLiteral("Accessibility：") + reason + QStringLiteral("，跳过"));
    if (restart)
        start();
    answer(std::nullopt);
}

void AtspiAccessibilityReader::answer(std::optional<QString> text) {
    m_guard.stop();
    if (!m_request)
        return;
    Done done = std::move(m_request->done);
    m_request.reset();
    done(std::move(text));
}

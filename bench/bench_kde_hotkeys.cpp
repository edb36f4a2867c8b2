// Run inside scripts/wayland/kde-session.sh (a headless KWin); elsewhere it says so and ends.
// The real program with its hotkeys in KDE's shortcut service: from the selection hotkey's
// keys down in the compositor (kinput's stamp) to the program's log line starting the flow.
#include "BenchTiming.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

constexpr int kPresses = 20;
const QString kFlowStart = QStringLiteral("===== 划词翻译流水线开始 =====");

// The wall-clock times of the program's lines that contain `text`, from its echoed log.
QList<qint64> lineTimes(const QString& output, const QString& text) {
    QList<qint64> times;
    static const QRegularExpression stamp(
        QStringLiteral("(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3})"));
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (!line.contains(text))
            continue;
        const QDateTime at =
            QDateTime::fromString(stamp.match(line).captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        times.append(at.toMSecsSinceEpoch());
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString kinput = qEnvironmentVariable("VYRN_KINPUT");
    if (kinput.isEmpty()) {
        std::fprintf(stderr,
                     "bench_kde_hotkeys: not in a KDE session (scripts/wayland/kde-session.sh); skipped\n");
        return 0;
    }
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
    QProcess vyrn;
    vyrn.setProcessEnvironment(environment);
    vyrn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    vyrn.start(QStringLiteral(VYRN_BINARY), {QStringLiteral("--background")});
    QString output;
    const auto waitFor = [&](const QString& text, int times) {
        QElapsedTimer clock;
        clock.start();
        while (output.count(text) < times && clock.elapsed() < 20000) {
            vyrn.waitForReadyRead(100);
            output += QString::fromUtf8(vyrn.readAllStandardOutput());
        }
        return output.count(text) >= times;
    };
    if (!waitFor(QStringLiteral(" 就绪 — "), 1)) {
        std::fprintf(stderr, "bench_kde_hotkeys: the program did not start\n");
        return 1;
    }
    std::vector<double> samples;
    for (int i = 1; i <= kPresses; ++i) {
        QProcess press;
        press.start(kinput, {QStringLiteral("key:125+42+20")}); // Super+Shift+T
        press.waitForFinished();
        const qint64 pressed =
            QString::fromUtf8(press.readAllStandardOutput()).section(QLatin1Char(' '), 1).toLongLong();
        if (!waitFor(kFlowStart, i)) {
            std::fprintf(stderr, "bench_kde_hotkeys: press %d did not arrive\n", i);
            return 1;
        }
        samples.push_back(double(lineTimes(output, kFlowStart).value(i - 1) - pressed));
        QThread::msleep(200);
    }
    reportSamples("KDE hotkey: keys down → flow start", samples, "ms");
    vyrn.terminate();
    vyrn.waitForFinished(10000);
    return 0;
}

#include "platform/DesktopColorScheme.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "result/PanelGeometry.h"
#include "settings/SettingsManager.h"
#include "support/KeyWindow.h"
#include "support/LocalHttpServer.h"
#include "support/PageScript.h"
#include "support/PixelCount.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"
#include "windows/result/ResultPanel.h"
#include "windows/result/ResultToolbar.h"
#include "windows/result/ResultWebEngine.h"
#include "windows/result/ResultWebView.h"
#include "windows/result/ResultWindowController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMap>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <thread>

namespace {

constexpr int kJ = 38, kF2 = 120, kEscape = 53;

// The panel's outer frame as the X server has it, in Qt's coordinates.
QRect x11Frame(qulonglong window) {
    const QString extents =
        X11Desktop::run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                                  QStringLiteral("_NET_FRAME_EXTENTS")});
    const QStringList values = extents.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (values.size() != 4)
        return {};
    const QMargins margins(values[0].toInt(), values[2].toInt(), values[1].toInt(), values[3].toInt());
    // xwininfo, not xdotool: xdotool counts a framed window's offset twice.
    QMap<QString, int> numbers;
    const QString info =
        X11Desktop::run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    for (const QString& line : info.split(QLatin1Char('\n')))
        numbers.insert(line.section(QLatin1Char(':'), 0, 0).trimmed(),
                       line.section(QLatin1Char(':'), 1).trimmed().toInt());
    return QRect(numbers.value(QStringLiteral("Absolute upper-left X")),
                 numbers.value(QStringLiteral("Absolute upper-left Y")),
                 numbers.value(QStringLiteral("Width")), numbers.value(QStringLiteral("Height")))
        .marginsAdded(margins);
}

QString xprop(qulonglong window, const QString& name) {
    return X11Desktop::run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), name});
}
QRect expectedFrame(const QRectF& source, const std::optional<QString>& saved) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal bottom = screen->geometry().bottom() + 1;
    const ScreenFrames frames{PanelGeometry::flipped(QRectF(screen->geometry()), bottom),
                              PanelGeometry::flipped(QRectF(screen->availableGeometry()), bottom)};
    const std::optional<QRectF> savedFrame =
        saved ? std::optional<QRectF>(PanelGeometry::parseFrameText(*saved)) : std::nullopt;
    const QRectF frame =
        PanelGeometry::placement({frames}, 0, PanelGeometry::flipped(source, bottom), savedFrame);
    return PanelGeometry::flipped(frame, bottom).toRect();
}

// The desktop's settings portal on the test's private bus. Like the real one, Read wraps the
// value in a second variant.
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit FakeSettingsPortal(uint scheme)
        : m_scheme(scheme),
          m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"))) {
        m_bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                             QDBusConnection::ExportAllSlots);
        m_registered = m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    ~FakeSettingsPortal() override { QDBusConnection::disconnectFromBus(QStringLiteral("portal")); }
    bool isRegistered() const { return m_registered; }
    void change(uint scheme) {
        m_scheme = scheme;
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(scheme));
        m_bus.send(signal);
    }

public Q_SLOTS:
    QDBusVariant Read(const QString&, const QString&) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(m_scheme)));
    }

private:
    uint m_scheme;
    QDBusConnection m_bus;
    bool m_registered = false;
};

} // namespace

class TestResultWindow : public QObject {
    Q_OBJECT
    TestEnvironment env;
    X11Desktop desktop;
    KeyWindow window;
    QString answer, original;
    std::unique_ptr<PlatformServices> platform;
    std::unique_ptr<SettingsManager> m_settings;
    std::unique_ptr<ResultWindowController> m_results;
    ResultWindowController* results = nullptr;

    SettingsManager& settings() { return *m_settings; }

    KeyWindow::Keys pressAndMark(const QStringList& keys) { return window.pressAndMark(keys); }
    static bool contains(const KeyWindow::Keys& keys, int key) { return KeyWindow::contains(keys, key); }

    // Beside `source` (Qt coordinates), framed and painted.
    qulonglong open(const QString& markdown, const QString& originalText, const QRectF& source) {
        QSignalSpy loaded(results, &ResultWindowController::pageLoaded);
        results->show(markdown, originalText, ResultWindowController::toBottomLeft(source));
        qulonglong id = 0;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(results->isPanelOpen(), 10000);
            id = results->panel()->winId();
            QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::isManaged(id), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 20000);
            QVERIFY(loaded.first().first().toBool());
        }();
        return id;
    }
    // As the user's click would: through the window manager.
    void activateReader() {
        if (window.isActive() && X11Desktop::activeWindow() == window.winId())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(
            (X11Desktop::xdotool({QStringLiteral("windowactivate"), QString::number(window.winId())}),
             QTest::qWaitForWindowActive(&window, 1000) && X11Desktop::activeWindow() == window.winId()),
            30000);
    }
    // The page on the screen, painted on `background`, with text on it.
    void waitForPage(QRgb background) {
        const QWidget* view = results->webView();
        const auto screen = [view] {
            const QPoint at = view->mapToGlobal(QPoint(0, 0));
            return QGuiApplication::primaryScreen()
                ->grabWindow(0, at.x(), at.y(), view->width(), view->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        QString problem;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (problem = pageProblem(screen(), background, view->rect().adjusted(0, 0, -20, 0), 300)).isEmpty(),
            qPrintable(problem), 30000);
    }
    QPoint centreOf(const QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }
    void closeAndWait() {
        if (!results->isPanelOpen())
            return;
        QSignalSpy closed(results, &ResultWindowController::panelClosed);
        results->closePanel();
        QCOMPARE(closed.count(), 1);
    }

private Q_SLOTS:
    void initTestCase() {
        platform = PlatformLoader::load(SessionType::X11);
        m_settings = std::make_unique<SettingsManager>(env.newPreferencesPath());
        answer = QString::fromUtf8(readFileBytes(QStringLiteral(VYRN_RESULT_TEST_DATA "/answer.md")));
        original = QString::fromUtf8(readFileBytes(QStringLiteral(VYRN_RESULT_TEST_DATA "/original.txt")));
        QVERIFY(!answer.isEmpty() && !original.isEmpty());
        QVERIFY(desktop.startWindowManager());
        window.setTitle(QStringLiteral("reader"));
        window.setGeometry(700, 400, 400, 300);
        // Openbox may drop a map request that arrives while it is still starting: map again.
        for (int attempt = 0; attempt < 5 && !window.isExposed(); ++attempt) {
            window.hide();
            window.show();
            (void)QTest::qWaitForWindowExposed(&window, 3000);
        }
        QVERIFY(window.isExposed());
        activateReader();
        m_results =
            std::make_unique<ResultWindowController>(*m_settings, *platform->hotkeys, *platform->colorScheme);
        results = m_results.get();
        results->prepareWebEngine();
    }

    void cleanupTestCase() {
        if (results)
            results->shutdown();
    }

    void init() {
        // Openbox keeps Super+D, the default split key, for showing the desktop.
        settings().setSplitHotkeyKeyCode(kJ);
        settings().setClosePanelHotkeyKeyCode(kEscape);
        settings().setDefaultSplitMode(true);
        settings().setPopupFontSize(14);
        settings().setWindowFrame(std::nullopt);
    }

    void cleanup() {
        closeAndWait();
        activateReader();
    }

    // Above other windows and out of the taskbar on every workspace, and the keyboard stays
    // with the application being read.
    void opensBesideTheSourceWithoutTakingTheFocus() {
        const QRectF source(15, 500, 10, 10); // the pointer's square near the left edge
        const qulonglong panel = open(answer, original, source);
        QCOMPARE(X11Desktop::windowsNamed(QStringLiteral("^翻译结果 — VYRN$")), QList<qulonglong>{panel});
        QTRY_COMPARE(x11Frame(panel), expectedFrame(source, std::nullopt));
        const QString state = xprop(panel, QStringLiteral("_NET_WM_STATE"));
        for (const char* expected :
             {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
            QVERIFY2(state.contains(QLatin1String(expected)), qPrintable(state));
        QVERIFY(xprop(panel, QStringLiteral("_NET_WM_WINDOW_TYPE"))
                    .contains(QLatin1String("_NET_WM_WINDOW_TYPE_NORMAL")));
        QVERIFY(xprop(panel, QStringLiteral("_NET_WM_DESKTOP")).endsWith(QLatin1String("= 4294967295")));
        QCOMPARE(X11Desktop::activeWindow(), qulonglong(window.winId()));
        QVERIFY(window.isActive());
        // Nothing saved: the window manager's own placement is no move of the user's.
        QCOMPARE(settings().windowFrame(), std::nullopt);
    }

    // The application being read never sees the panel's keys; once it is closed they are its own.
    void panelKeysFromTheReader() {
        const QRectF source(1500, 300, 200, 80);
        const qulonglong panel = open(answer, original, source);
        const QRect left = expectedFrame(source, std::nullopt);
        QTRY_COMPARE(x11Frame(panel), left);
        QVERIFY(results->isSplitMode());

        QVERIFY(!contains(pressAndMark({QStringLiteral("grave")}), Qt::Key_QuoteLeft));
        const QRect right = left.translated(left.width(), 0);
        QTRY_COMPARE(x11Frame(panel), right);
        const qreal bottom = QGuiApplication::primaryScreen()->geometry().bottom() + 1;
        QCOMPARE(settings().windowFrame(),
                 PanelGeometry::frameText(PanelGeometry::flipped(QRectF(right), bottom)));
        QVERIFY(!contains(pressAndMark({QStringLiteral("grave")}), Qt::Key_QuoteLeft));
        QTRY_COMPARE(x11Frame(panel), left);

        QVERIFY(!contains(pressAndMark({QStringLiteral("super+j")}), Qt::Key_J));
        QTRY_VERIFY(!results->isSplitMode());
        QVERIFY(results->panel()->toolbar()->wholeButton()->isChecked());
        QVERIFY(!contains(pressAndMark({QStringLiteral("super+j")}), Qt::Key_J));
        QTRY_VERIFY(results->isSplitMode());

        QVERIFY(contains(pressAndMark({QStringLiteral("shift+Escape")}), Qt::Key_Escape));
        QVERIFY(results->isPanelOpen());
        QSignalSpy closed(results, &ResultWindowController::panelClosed);
        QVERIFY(!contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!results->isSplitMode());
        const auto afterClose =
            pressAndMark({QStringLiteral("Escape"), QStringLiteral("grave"), QStringLiteral("super+j")});
        for (int key : {int(Qt::Key_Escape), int(Qt::Key_QuoteLeft), int(Qt::Key_J)})
            QVERIFY2(contains(afterClose, key), qPrintable(QString::number(key, 16)));
        QCOMPARE(X11Desktop::activeWindow(), qulonglong(window.winId()));
    }

    // One sentence cannot be split, but the split key is still taken from the reader.
    void splitKeyIsConsumedWhenThereIsNothingToSplit() {
        open(QStringLiteral("## 中文翻译\n只有一句。"), QStringLiteral("Only one sentence."),
             QRectF(1500, 300, 200, 80));
        const ResultToolbar* toolbar = results->panel()->toolbar();
        QVERIFY(!results->isSplitMode());
        QVERIFY(!toolbar->splitButton()->isEnabled());
        QVERIFY(toolbar->wholeButton()->isChecked());
        const QRect before = x11Frame(results->panel()->winId());
        QVERIFY(!contains(pressAndMark({QStringLiteral("super+j"), QStringLiteral("grave")}), Qt::Key_J));
        // The move comes after the split key's turn: once it is done, so is the split key's.
        QTRY_VERIFY(x11Frame(results->panel()->winId()) != before);
        QVERIFY(!results->isSplitMode());
        QVERIFY(toolbar->wholeButton()->isChecked());
    }

    // Super+D is the window manager's: the panel works with the other keys, also ones
    // changed while it is open.
    void keyHeldElsewhereOrChanged() {
        settings().setSplitHotkeyKeyCode(SettingsManager::hotkeyDefaults().split.keyCode);
        open(answer, original, QRectF(1500, 300, 200, 80));
        settings().setClosePanelHotkeyKeyCode(kF2);
        results->reloadHotkeys();
        QVERIFY(contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
        QVERIFY(results->isPanelOpen());
        QVERIFY(!contains(pressAndMark({QStringLiteral("F2")}), Qt::Key_F2));
        QTRY_VERIFY(!results->isPanelOpen());
    }

    // What is saved is the frame placed again, without the window manager's: no creeping.
    void tenOpeningsKeepTheFrame_data() {
        QTest::addColumn<bool>("moveFirst");
        QTest::newRow("as placed") << false;
        QTest::newRow("after the user moved it") << true;
    }
    void tenOpeningsKeepTheFrame() {
        QFETCH(bool, moveFirst);
        const QRectF source(1500, 300, 200, 80);
        qulonglong panel = open(answer, original, source);
        QTRY_COMPARE(x11Frame(panel), expectedFrame(source, std::nullopt));
        if (moveFirst) {
            // Dragged by the title bar, then made shorter.
            const QPoint grip = x11Frame(panel).topLeft() + QPoint(300, 10);
            const int x = grip.x(), y = grip.y();
            X11Desktop::xdotool(
                QString::asprintf("mousemove %d %d mousedown 1 sleep 0.2 mousemove %d %d sleep "
                                  "0.2 mousemove %d %d sleep 0.2 mouseup 1",
                                  x, y, x + 20, y + 20, x + 100, y + 150)
                    .split(QLatin1Char(' ')));
            QTRY_VERIFY(settings().windowFrame().has_value());
            X11Desktop::xdotool({QStringLiteral("windowsize"), QString::number(panel), QStringLiteral("900"),
                                 QStringLiteral("600")});
            QTRY_COMPARE(results->panel()->height(), 600);
        }
        const int titleBar = x11Frame(panel).height() - results->panel()->height();
        closeAndWait();
        const std::optional<QString> saved = settings().windowFrame();
        const QRect expected = expectedFrame(source, saved);
        if (moveFirst) // the frame's height: the content's and the title bar's
            QCOMPARE(expected.height(), 600 + titleBar);
        for (int i = 0; i < 10; ++i) {
            panel = open(answer, original, source);
            QTRY_COMPARE(x11Frame(panel), expected);
            closeAndWait();
            QCOMPARE(settings().windowFrame(), saved);
        }
    }

    // A drag moves the panel dozens of times a second; the preference file is replaced at
    // most twice a second.
    void dragRewritesThePreferencesSeldom() {
        const QRectF source(1500, 300, 200, 80);
        const qulonglong panel = open(answer, original, source);
        QTRY_COMPARE(x11Frame(panel), expectedFrame(source, std::nullopt));
        QFileSystemWatcher watcher({QFileInfo(settings().store().filePath()).absolutePath()});
        QSignalSpy replaced(&watcher, &QFileSystemWatcher::directoryChanged);
        // As a desktop resizes a window dragged by its edge: a step every few milliseconds.
        QStringList drag;
        for (int step = 1; step <= 20; ++step)
            drag << QStringLiteral("windowsize") << QString::number(panel) << QString::number(900 - step * 10)
                 << QString::number(700) << QStringLiteral("sleep") << QStringLiteral("0.05");
        QElapsedTimer dragging;
        dragging.start();
        QProcess xdotool; // the event loop runs meanwhile, as it does for a user's drag
        xdotool.start(QStringLiteral("xdotool"), drag);
        QVERIFY(QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 20000));
        QTRY_COMPARE(results->panel()->width(), 900 - 200); // the last step is in
        QTest::qWait(100);
        QVERIFY2(
            replaced.count() <= dragging.elapsed() / 500 + 2,
            qPrintable(QStringLiteral("%1 writes in %2 ms").arg(replaced.count()).arg(dragging.elapsed())));
        const QRect left = x11Frame(panel);
        closeAndWait();
        QVERIFY(settings().windowFrame().has_value());
        const qreal bottom = QGuiApplication::primaryScreen()->geometry().bottom() + 1;
        QCOMPARE(
            PanelGeometry::flipped(PanelGeometry::parseFrameText(*settings().windowFrame()), bottom).toRect(),
            left);
    }

    // The flows may hand a new answer over from any thread.
    void newAnswerReplacesTheOpenPanel() {
        open(answer, original, QRectF(1500, 300, 200, 80));
        QSignalSpy closed(results, &ResultWindowController::panelClosed);
        std::thread worker([&] {
            results->show(QStringLiteral("## 中文翻译\n只有一句。"), QStringLiteral("Only one."),
                          QRectF(10, 10, 10, 10));
        });
        worker.join();
        QTRY_COMPARE(closed.count(), 1);
        QTRY_VERIFY(results->isPanelOpen());
        QCOMPARE(results->panel()->thread(), QThread::currentThread());
        QVERIFY(!results->isSplitMode());
        // The old panel's Esc, released after the new one's was taken, would leave it ungrabbed.
        QVERIFY(!contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
        QTRY_VERIFY(!results->isPanelOpen());
    }

    void fontButtons_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("larger");
        QTest::addColumn<int>("expected");
        QTest::newRow("21 up") << 21 << true << 22;
        QTest::newRow("12 down stays") << 12 << false << 12;
    }
    void fontButtons() {
        QFETCH(int, start);
        QFETCH(bool, larger);
        QFETCH(int, expected);
        settings().setPopupFontSize(start);
        open(answer, original, QRectF(1500, 300, 200, 80));
        const ResultToolbar* toolbar = results->panel()->toolbar();
        QCOMPARE(toolbar->largerButton()->isEnabled(), start < 22);
        QCOMPARE(toolbar->smallerButton()->isEnabled(), start > 12);
        QSignalSpy loaded(results, &ResultWindowController::pageLoaded);
        larger ? results->increaseFontSize() : results->decreaseFontSize();
        QCOMPARE(settings().popupFontSize(), expected);
        QCOMPARE(toolbar->largerButton()->isEnabled(), expected < 22);
        QCOMPARE(toolbar->smallerButton()->isEnabled(), expected > 12);
        QTRY_COMPARE(loaded.count(), 1);
    }

    void clickedPageCanBeCopied() {
        settings().setDefaultSplitMode(false);
        const qulonglong panel = open(answer, original, QRectF(1500, 300, 200, 80));
        waitForPage(qRgb(255, 255, 255));
        QGuiApplication::clipboard()->clear();
        X11Desktop::click(centreOf(results->webView()));
        QTRY_COMPARE(X11Desktop::activeWindow(), panel);
        QTRY_VERIFY(results->webView()->hasFocus());
        X11Desktop::key(QStringLiteral("ctrl+a"));
        X11Desktop::key(QStringLiteral("ctrl+c"));
        QTRY_VERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("后台线程")));
    }

    // A new page process per answer would cost 0.1-0.3 s each.
    void answersShareOnePageProcess() {
        open(answer, original, QRectF(1500, 300, 200, 80));
        const qint64 process = results->webView()->page()->renderProcessPid();
        QVERIFY(process > 0);
        closeAndWait();
        open(QStringLiteral("## 中文翻译\n只有一句。"), QStringLiteral("Only one."),
             QRectF(1500, 300, 200, 80));
        QCOMPARE(results->webView()->page()->renderProcessPid(), process);
    }

    // The desktop's portal decides, whatever Qt's own palette says.
    void darkWhenTheDesktopAsks() {
        FakeSettingsPortal portal(1);
        QVERIFY(portal.isRegistered());
        DesktopColorScheme& scheme = *platform->colorScheme;
        scheme.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(scheme.preference(), ColorSchemePreference::Dark, 15000);
        open(answer, original, QRectF(1500, 300, 200, 80));
        waitForPage(qRgb(0x1c, 0x1c, 0x1e));
        QVERIFY(results->panel()->palette().color(QPalette::Window).lightness() < 128);

        portal.change(2);
        QTRY_COMPARE_WITH_TIMEOUT(scheme.preference(), ColorSchemePreference::Light, 15000);
        results->reloadWebView();
        waitForPage(qRgb(255, 255, 255));
        QVERIFY(results->panel()->palette().color(QPalette::Window).lightness() >= 128);
    }

    void pagesCannotLoadAnythingElse() {
        LocalHttpServer server;
        open(answer, original, QRectF(1500, 300, 200, 80));
        QSignalSpy loaded(results->webView(), &QWebEngineView::loadFinished);
        results->webView()->showPage(
            QStringLiteral("<img src=\"%1/img\"><link rel=stylesheet href=\"%1/css\">"
                           "<div style=\"background:url(%1/bg)\">x</div>")
                .arg(server.baseUrl().toString()),
            Qt::white);
        QTRY_COMPARE(loaded.count(), 1); // every image and style sheet arrived or failed
        QVERIFY(server.requests().isEmpty());
    }

    // An answer arriving in pieces, in the panel a previous answer filled: no frame of that
    // one on the screen, the switch waits for the end, the font changes and the reader's
    // place hold, the end adds its lines; closing mid-answer abandons it.
    void streamedAnswer_data() {
        QTest::addColumn<bool>("split");
        QTest::newRow("整段") << false;
        QTest::newRow("拆分") << true;
    }
    void streamedAnswer() {
        QFETCH(bool, split);
        settings().setDefaultSplitMode(split);
        const QString longAnswer =
            answer + QStringLiteral("\n\n") + answer.repeated(4).remove(QStringLiteral("## "));
        open(longAnswer, original, QRectF(1500, 300, 200, 80));
        waitForPage(qRgb(255, 255, 255));
        closeAndWait();
        QSignalSpy loaded(results, &ResultWindowController::pageLoaded);
        results->beginStreaming(original, QRectF(1500, 300, 200, 80), longAnswer.first(40));
        QElapsedTimer clock;
        for (clock.start(); loaded.isEmpty() || clock.elapsed() < 1500; QTest::qWait(5)) {
            const QWidget* view = results->webView();
            if (!results->panel()->windowHandle()->isExposed())
                continue;
            const QPoint at = view->mapToGlobal(QPoint(0, view->height() / 2));
            const QImage lower =
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, at.x(), at.y(), view->width() - 20, view->height() / 2 - 5)
                    .toImage();
            QVERIFY2(countPixels(lower, qRgb(255, 255, 255), lower.rect(), -150) < 20,
                     qPrintable(QStringLiteral("old ink after %1 ms").arg(clock.elapsed())));
        }
        const ResultToolbar* toolbar = results->panel()->toolbar();
        QVERIFY(!toolbar->wholeButton()->isEnabled() && !toolbar->splitButton()->isEnabled());
        QWebEnginePage* page = results->webView()->page();
        const auto text = [page] {
            return runInOwnWorld(page, QStringLiteral("document.body.innerText")).toString();
        };
        for (qsizetype n = 80; n < longAnswer.size() * 2 / 3; n += 60) {
            results->updateStreaming(longAnswer.first(n));
            QTest::qWait(20);
        }
        QTRY_VERIFY(text().contains(QStringLiteral("in the background")));
        QCOMPARE(runInOwnWorld(page, QStringLiteral("window.scrollTo(0,150);window.scrollY")).toInt(), 150);
        // A larger font moves the text above; the view follows it, the reader's place holds.
        results->increaseFontSize();
        QTRY_COMPARE(
            runInOwnWorld(page, QStringLiteral("getComputedStyle(document.body).fontSize")).toString(),
            QStringLiteral("15px"));
        const int place = runInOwnWorld(page, QStringLiteral("window.scrollY")).toInt();
        QVERIFY(place >= 150);
        results->finishStreaming(longAnswer, {QStringLiteral("回答已达长度上限，内容不完整")});
        QTRY_VERIFY(text().contains(QStringLiteral("回答已达长度上限，内容不完整")));
        QVERIFY(text().contains(QStringLiteral("这个函数会在后台线程里运行")));
        QCOMPARE(runInOwnWorld(page, QStringLiteral("window.scrollY")).toInt(), place);
        QCOMPARE(loaded.count(), 1);
        QVERIFY(toolbar->wholeButton()->isEnabled() && toolbar->splitButton()->isEnabled());
        QCOMPARE(results->isSplitMode(), split);

        results->beginStreaming(original, QRectF(1500, 300, 200, 80), QStringLiteral("部分"));
        QStringList heard;
        QObject listener;
        connect(results, &ResultWindowController::streamAbandoned, &listener, [&] { heard << "abandoned"; });
        connect(results, &ResultWindowController::panelClosed, &listener, [&] { heard << "closed"; });
        results->closePanel();
        results->updateStreaming(QStringLiteral("部分之后"));
        results->finishStreaming(QStringLiteral("部分之后。"));
        QCOMPARE(heard, QStringList({QStringLiteral("abandoned"), QStringLiteral("closed")}));
        QVERIFY(!results->isPanelOpen() && !results->isStreaming());
    }

    // Last: the page process stays busy with it for a while.
    void megabyteAnswerRenders() {
        QString big = QStringLiteral("## 中文翻译\n");
        while (big.toUtf8().size() < 1024 * 1024)
            big += QStringLiteral("这个函数会在**后台线程**里运行，调用 `start()` 之后界面不会卡住。\n");
        QElapsedTimer timer;
        timer.start();
        open(big, original, QRectF(1500, 300, 200, 80));
        waitForPage(qRgb(255, 255, 255));
        qInfo("1 MB answer on the screen after %lld ms", timer.elapsed());
    }
};

int main(int argc, char** argv) {
    PrivateSessionBus bus;
    if (!bus.isRunning())
        qFatal("no private session bus");
    bus.becomeThisProcessBus();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ResultWebEngine::registerUrlScheme();
    QApplication app(argc, argv);
    qInfo("%s", qPrintable(ResultWebEngine::chooseRendering()));
    TestResultWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_result_window.moc"

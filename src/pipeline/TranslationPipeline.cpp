#include "pipeline/TranslationPipeline.h"

#include "base/Alerts.h"
#include "base/AppConstants.h"
#include "base/Logger.h"
#include "ocr/OCREngine.h"
#include "ocr/TableExtractor.h"
#include "pipeline/AccessibilitySupport.h"
#include "pipeline/SelectedTextReader.h"
#include "text/GraphemeCount.h"
#include "text/InputCut.h"
#include "text/TextPreprocessor.h"

#include <QPointer>

using Outcome = TranslationEngine::Outcome;

namespace {

const QString kPanelStillOpenTitle = QStringLiteral("请先关闭上一个翻译弹窗");
const QString kPanelStillOpenBody =
    QStringLiteral("关闭后即可开始新翻译。\n按 ESC 或点击弹窗的关闭按钮即可。");
const QString kCaptureBusy = QStringLiteral("截图引擎已在运行中，忽略重复请求");
const QString kNoSelectedText =
    QStringLiteral("未能获取选中文本。\n可能原因：\n1. 未选中文本\n"
                   "2. 该程序未开放选中文本（可开启桌面的辅助功能支持后重启该程序）");
const QString kNothingRecognised =
    QStringLiteral("OCR 未能识别到文字。\n请确认框选区域包含清晰文字，且文字不过小/模糊。");

// The failure alert's body: the headline, the cause when the engine named one, then what
// the flow adds (the length of the selection, or what OCR read).
QString translationFailure(const QString& reason, const QString& detail) {
    QString message = QStringLiteral("AI 翻译失败。\n");
    if (!reason.isEmpty())
        message += QStringLiteral("原因：") + reason + QLatin1Char('\n');
    return message + detail;
}

const QString kWaitingForKeyring = QStringLiteral("正在等待解锁密钥环，请在弹出的窗口中输入密码");
const QString kModelThinking = QStringLiteral("模型正在思考，稍后开始输出译文");
const QString kCutOffLine =
    QStringLiteral("⚠️ 回答达到长度上限，以上内容不完整。可缩短原文后重试。");

// Cuts a text too long for one answer, and says on the page how much was sent.
InputCut cutForAnswer(const QString& text, QString* notice) {
    const InputCut cut = InputCut::of(text);
    if (cut.wasCut()) {
        logi(QStringLiteral("原文过长（%1 字），只发送前 %2 字").arg(cut.totalLength).arg(cut.sentLength));
        *notice = QStringLiteral("原文较长（共 %1 字），本次只翻译了前 %2 字。其余部分请另行选择后翻译。")
                      .arg(cut.totalLength)
                      .arg(cut.sentLength);
    }
    return cut;
}

} // namespace

TranslationPipeline::TranslationPipeline(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {}

TranslationPipeline::~TranslationPipeline() {
    // A translation waiting for a keyring to be unlocked gives up now rather than hold up the exit.
    ++*m_generation;
    if (m_recognitionCancel)
        m_recognitionCancel->store(true);
    waitForWorkers();
    hideLoading();
}

void TranslationPipeline::captureSelectionSource() {
    m_selectionSource = m_services.selection->captureSource();
}

bool TranslationPipeline::refused(const QString& busyLine) {
    if (m_services.desktop->isResultPanelOpen()) {
        m_services.alerts->showAlert(kPanelStillOpenTitle, kPanelStillOpenBody);
        return true;
    }
    if (m_loading || m_readingSelection) {
        logi(busyLine);
        return true;
    }
    // Checked before a generation is taken: a second capture would be refused by the overlay
    // anyway, and the generation it took would silence the first one's answer.
    if (m_services.desktop->isCapturing()) {
        logi(kCaptureBusy);
        return true;
    }
    return false;
}

void TranslationPipeline::startTextTranslation() {
    logi(QStringLiteral("===== 划词翻译流水线开始 ====="));
    if (refused(QStringLiteral("翻译任务加载中，忽略本次划词翻译请求")))
        return;
    const qint64 generation = ++*m_generation;
    const QPointF pointer = m_services.desktop->pointerPosition();
    m_readingSelection = true;
    // The reader answers later on the main thread, never once it is gone with the pipeline.
    m_services.selection->read(m_selectionSource, [this, generation, pointer](std::optional<QString> text) {
        selectionRead(generation, pointer, text);
    });
}

void TranslationPipeline::selectionRead(qint64 generation, const QPointF& pointer,
                                        const std::optional<QString>& text) {
    m_readingSelection = false;
    if (!isCurrent(generation))
        return;
    const SelectedTextReader::Origin origin = m_services.selection->lastOrigin();
    const bool offer =
        origin == SelectedTextReader::Origin::copy || origin == SelectedTextReader::Origin::nothing;
    if (!text || text->isEmpty()) {
        // After the alert, which the prompt would otherwise cover.
        m_services.alerts->showError(kNoSelectedText, [self = QPointer(this), offer](int) {
            if (self && offer)
                self->offerAccessibilitySupport();
        });
        return;
    }
    if (offer)
        offerAccessibilitySupport();
    const QString cleaned = TextPreprocessor::condenseCitation(*text);
    const qsizetype length = graphemeCount(cleaned);
    logi(QStringLiteral("划词获取文本: len=") + QString::number(length));
    showLoadingPanel(QStringLiteral("正在翻译..."), QStringLiteral("划词翻译 → AI 翻译分析"));
    const QString converted = TableExtractor::detectAndConvertTabSeparated(cleaned);
    if (converted != cleaned)
        logi(QStringLiteral("划词翻译: 检测到 Tab 分隔，已转为 Markdown 表格"));
    AnswerContext context;
    const InputCut request = cutForAnswer(converted, &context.source.notice);
    // The panel pairs what was sent; a table made of the selection shows as it was selected.
    context.source.originalText = converted == cleaned || request.wasCut() ? request.text : cleaned;
    // The panel keeps clear of a small square around the pointer.
    context.source.sourceRect = QRectF(pointer - QPointF(5, 5), QSizeF(10, 10));
    context.failureDetail = QStringLiteral("选中文本长度：") + QString::number(length);
    context.notification = QStringLiteral("划词翻译完成，点击查看结果");
    context.doneLine = QStringLiteral("划词翻译流水线完成");
    m_workers.start(
        [this, generation, text = request.text, context] { translateFromWorker(generation, text, context); });
}

void TranslationPipeline::start() {
    logi(QStringLiteral("===== 翻译流水线开始 ====="));
    if (refused(QStringLiteral("翻译任务加载中，忽略本次截图翻译请求")))
        return;
    if (const QString reason = m_services.desktop->captureUnavailableReason(); !reason.isEmpty()) {
        m_services.alerts->showAlert(QStringLiteral("无法截图翻译"), reason);
        return;
    }
    const qint64 generation = ++*m_generation;
    m_services.desktop->startCapture([self = QPointer(this), generation](const CapturedRegion& region) {
        if (self)
            self->regionDelivered(generation, region);
    });
}

void TranslationPipeline::regionDelivered(qint64 generation, const CapturedRegion& region) {
    if (region.crop.isNull() || region.selection.isNull()) {
        logi(QStringLiteral("截图取消或失败"));
        if (!region.failure.isEmpty())
            m_services.alerts->showAlert(QStringLiteral("无法截图翻译"), region.failure);
        return;
    }
    logi(QStringLiteral("截图成功: %1x%2 px, 选区@(%3,%4)")
             .arg(region.crop.width())
             .arg(region.crop.height())
             .arg(qint64(region.selection.x()))
             .arg(qint64(region.selection.y())));
    if (!isCurrent(generation))
        return;
    showLoadingPanel(QStringLiteral("正在识别与翻译..."), QStringLiteral("OCR 识别 → AI 翻译分析"));
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_recognitionCancel = cancel;
    m_workers.start([this, generation, crop = region.crop, sourceRect = region.onDesktop, cancel] {
        recognizeAndTranslate(generation, crop, sourceRect, cancel);
    });
}

void TranslationPipeline::recognizeAndTranslate(qint64 generation, const QImage& crop,
                                                const QRectF& sourceRect,
                                                const std::shared_ptr<std::atomic<bool>>& cancel) {
    logi(QStringLiteral("[Step 2] OCR 识别（含坐标）..."));
    const std::optional<QList<OCRBlock>> blocks = m_services.ocr->recognizeWithPositions(crop, cancel.get());
    const auto nothingRecognised = [this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (!isCurrent(generation))
                    return;
                hideLoading();
                m_services.alerts->showError(kNothingRecognised);
            },
            Qt::QueuedConnection);
    };
    if (!blocks || blocks->isEmpty())
        return nothingRecognised();
    const std::optional<QString> table = TableExtractor::tableMarkdown(*blocks);
    const QString text =
        TextPreprocessor::condenseCitation(table ? *table : TableExtractor::flatText(*blocks));
    logi(QStringLiteral("表格检测: ") + (table ? QStringLiteral("是表格") : QStringLiteral("纯文本")) +
         QStringLiteral(", ") + QString::number(blocks->size()) + QStringLiteral(" 块文本"));
    if (!isCurrent(generation))
        return;
    // Blocks of nothing but spaces are nothing to translate either.
    if (text.trimmed().isEmpty())
        return nothingRecognised();
    logi(QStringLiteral("[Step 3] AI 翻译..."));
    AnswerContext context;
    const InputCut request = cutForAnswer(text, &context.source.notice);
    context.source.originalText = request.text;
    context.source.sourceRect = sourceRect;
    context.failureDetail = QStringLiteral("OCR 已识别文本：\n") + graphemePrefix(text, failureExcerptLength);
    context.notification = QStringLiteral("翻译完成，点击查看结果");
    context.doneLine = QStringLiteral("流水线完成");
    translateFromWorker(generation, request.text, context);
}

void TranslationPipeline::translateFromWorker(qint64 generation, const QString& text,
                                              const AnswerContext& context) {
    // The completion comes on this worker for a failure found before sending, else on the
    // main thread, possibly after the pipeline is gone; so do the pieces of the answer.
    QPointer<TranslationPipeline> self(this);
    KeyWait wait;
    // While the user types the keyring's password into the desktop's prompt.
    wait.waiting = [self, generation](bool waiting) {
        if (self)
            QMetaObject::invokeMethod(
                self.data(), [self, generation, waiting] { self->showKeyStoreWait(generation, waiting); },
                Qt::QueuedConnection);
    };
    // Queued like the completion, so that no piece overtakes the end.
    TranslationEngine::Progress progress =
        [self, generation, source = context.source](const TranslationEngine::AnswerProgress& piece) {
            if (self)
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, generation, piece, source] { self->answerArrived(generation, piece, source); },
                    Qt::QueuedConnection);
        };
    m_services.translator->translate(
        text,
        [self, generation, context](Outcome outcome) {
            if (self)
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, generation, outcome, context] {
                        self->finishTranslation(generation, outcome, context);
                    },
                    Qt::QueuedConnection);
        },
        [counter = m_generation, generation] { return counter->load() == generation; }, std::move(wait),
        std::move(progress));
}

void TranslationPipeline::showKeyStoreWait(qint64 generation, bool waiting) {
    if (!isCurrent(generation) || !m_loading)
        return;
    if (waiting)
        logi(QStringLiteral("密钥存储未响应，等待用户解锁密钥环"));
    m_services.desktop->setLoadingSubtitle(waiting ? kWaitingForKeyring : m_loadingSubtitle);
}

void TranslationPipeline::answerArrived(qint64 generation, const TranslationEngine::AnswerProgress& progress,
                                        const ResultSource& source) {
    if (!isCurrent(generation))
        return;
    if (progress.answer.isEmpty()) {
        if (progress.reasoningOnly && m_loading)
            m_services.desktop->setLoadingSubtitle(kModelThinking);
        return;
    }
    m_streamedSoFar = progress.answer;
    if (m_streaming == generation) {
        m_services.desktop->updateResult(progress.answer);
        return;
    }
    // The result panel opens before the loading panel goes, so no press in between finds the
    // pipeline free.
    m_streaming = generation;
    m_services.desktop->beginResult(source, progress.answer, [self = QPointer(this), generation] {
        if (self)
            self->answerAbandoned(generation);
    });
    hideLoading();
}

void TranslationPipeline::answerAbandoned(qint64 generation) {
    if (m_streaming != generation || !isCurrent(generation))
        return;
    m_streaming = 0;
    ++*m_generation;
    m_services.translator->cancel();
    logi(QStringLiteral("用户在回答完成前关闭了结果面板，已停止接收"));
}

void TranslationPipeline::finishTranslation(qint64 generation, const Outcome& outcome,
                                            const AnswerContext& context) {
    if (!isCurrent(generation))
        return;
    const bool shown = std::exchange(m_streaming, 0) == generation;
    // A failure's text is its reason; what arrived before it is what the panel shows.
    const QString answer = outcome.kind() == Outcome::Kind::failure ? m_streamedSoFar : outcome.text();
    m_streamedSoFar.clear();
    QStringList endLines;
    switch (outcome.kind()) {
    case Outcome::Kind::failure:
        if (!shown) {
            hideLoading();
            m_services.alerts->showError(translationFailure(outcome.reason(), context.failureDetail));
            return;
        }
        [[fallthrough]]; // what arrived stays, with why the rest did not
    case Outcome::Kind::interrupted:
        loge(QStringLiteral("回答中途中断: ") + outcome.reason());
        endLines.append(QStringLiteral("⚠️ 连接中断，回答不完整：") + outcome.reason());
        break;
    case Outcome::Kind::missingKey:
    case Outcome::Kind::keyStoreUnavailable:
    case Outcome::Kind::keyRefused:
        hideLoading(); // the engine has told the user
        return;
    case Outcome::Kind::success:
        if (outcome.truncated()) {
            logi(QStringLiteral("回答达到长度上限，已在结果末尾注明"));
            endLines.append(kCutOffLine);
        }
        break;
    }
    if (!shown)
        m_services.desktop->beginResult(context.source, answer, {});
    m_services.desktop->finishResult(answer, endLines);
    hideLoading();
    if (!endLines.isEmpty())
        return;
    m_services.desktop->notify(APP_DISPLAY_NAME, context.notification);
    logi(context.doneLine);
}

void TranslationPipeline::cancelByUser(const QString& line) {
    if (!m_loading)
        return;
    ++*m_generation;
    if (m_recognitionCancel)
        m_recognitionCancel->store(true);
    m_services.translator->cancel();
    hideLoading();
    logi(line);
}

void TranslationPipeline::warmUpRecognizer() {
    m_workers.start([ocr = m_services.ocr] { ocr->warmUp(); });
}

void TranslationPipeline::showLoadingPanel(const QString& title, const QString& subtitle) {
    if (m_loading)
        return;
    m_services.desktop->showLoadingPanel(title, subtitle, [self = QPointer(this)] {
        if (self)
            self->cancelByUser(QStringLiteral("用户关闭加载面板，取消了翻译任务"));
    });
    m_loading = true;
    m_loadingSubtitle = subtitle;
    if (m_cancelKeyHeld)
        return;
    const std::optional<QString> failure = m_services.desktop->grabCancelKey([self = QPointer(this)] {
        if (self)
            self->cancelByUser();
    });
    if (failure) {
        logi(QStringLiteral("Loading ESC tap: 创建失败（") + *failure + QStringLiteral("）"));
        return;
    }
    m_cancelKeyHeld = true;
    logi(QStringLiteral("Loading ESC tap: 已安装"));
}

void TranslationPipeline::hideLoading() {
    if (m_cancelKeyHeld) {
        m_services.desktop->releaseCancelKey();
        m_cancelKeyHeld = false;
        logi(QStringLiteral("Loading ESC tap: 已移除"));
    }
    if (m_loading) {
        m_services.desktop->hideLoadingPanel();
        m_loading = false;
    }
}

// Once per run, after a selection that neither the accessibility interface nor PRIMARY
// could give: with the desktop's accessibility support off, browsers and office programs
// keep their selections to themselves.
void TranslationPipeline::offerAccessibilitySupport() {
    if (m_accessibilityOffered || !m_services.accessibility)
        return;
    m_services.accessibility->query([self = QPointer(this)](AccessibilitySupport::State state) {
        if (!self || state == AccessibilitySupport::State::enabled || self->m_accessibilityOffered)
            return;
        self->m_accessibilityOffered = true;
        logi(QStringLiteral("桌面辅助功能支持未开启，提示用户开启"));
        self->m_services.desktop->promptForAccessibility([self](bool enable) {
            if (!self || !enable)
                return;
            self->m_services.accessibility->enable([self](std::optional<QString> failure) {
                if (!failure) {
                    logi(QStringLiteral("已开启桌面辅助功能支持"));
                    return;
                }
                loge(QStringLiteral("开启辅助功能支持失败: ") + *failure);
                if (self)
                    self->m_services.alerts->open({QStringLiteral("无法开启辅助功能支持"),
                                                   *failure,
                                                   AlertRequest::Style::Warning,
                                                   {QStringLiteral("确定")}},
                                                  {});
            });
        });
    });
}

#include "pipeline/SelectedTextReader.h"

#include "base/Logger.h"
#include "pipeline/CopySelectionFallback.h"
#include "pipeline/PrimaryOwnerRule.h"
#include "text/GraphemeCount.h"

#include <QPointer>
#include <QTimer>

SelectedTextReader::SelectedTextReader(SelectionServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)),
      m_copy(new CopySelectionFallback(*m_services.clipboard, *m_services.keyboard, *m_services.sourceProbe,
                                       this)) {}

SelectedTextReader::~SelectedTextReader() {
    // The copy fallback refers to the services: it goes first.
    delete m_copy;
}

std::optional<SelectionSource> SelectedTextReader::captureSource() {
    return m_services.sourceProbe->capture();
}

void SelectedTextReader::read(const std::optional<SelectionSource>& source, Done done) {
    if (m_reading) {
        logi(QStringLiteral("上一次选中文本读取尚未结束，忽略本次请求"));
        QTimer::singleShot(0, this, [done = std::move(done)] { done(std::nullopt); });
        return;
    }
    ++m_read;
    m_reading = true;
    m_source = source;
    m_origin = Origin::nothing;
    m_done = std::move(done);
    readAccessibility();
}

void SelectedTextReader::cancel() {
    if (!m_reading)
        return;
    m_services.accessibility->cancel();
    m_copy->cancel();
    m_reading = false;
    m_done = nullptr;
    ++m_read;
}

std::function<void(std::optional<QString>)>
SelectedTextReader::continuation(void (SelectedTextReader::*next)(), Origin origin) {
    return [self = QPointer<SelectedTextReader>(this), read = m_read, next,
            origin](std::optional<QString> text) {
        if (!self || self->m_read != read || !self->m_reading)
            return;
        if (text && !text->isEmpty()) {
            self->m_origin = origin;
            self->deliver(std::move(text));
        } else if (next)
            (self.data()->*next)();
        else
            self->deliver(std::nullopt);
    };
}

void SelectedTextReader::readAccessibility() {
    const qint64 pid = m_source ? m_source->pid : 0;
    m_services.accessibility->read(pid, accessibilityBudget,
                                   continuation(&SelectedTextReader::readPrimary, Origin::accessibility));
}

void SelectedTextReader::readPrimary() {
    logi(QStringLiteral("Accessibility 未获取到文本，尝试 PRIMARY / Ctrl+C 兜底"));
    if (!m_source || m_source->window == 0) {
        logi(QStringLiteral("PRIMARY：来源窗口未知，跳过"));
        readByCopy();
        return;
    }
    const std::optional<PrimarySelectionOwner> owner = m_services.primary->owner();
    if (!owner) {
        logi(QStringLiteral("PRIMARY：没有程序持有选中文本"));
        readByCopy();
        return;
    }
    if (matchPrimaryOwner(owner->window, owner->pid, *m_source, owner->resourceIdMask) ==
        PrimaryOwnerMatch::otherProgram) {
        logi(QStringLiteral("PRIMARY：所有者不是来源应用，忽略"));
        readByCopy();
        return;
    }
    m_services.primary->readText(
        [then = continuation(&SelectedTextReader::readByCopy, Origin::primary)](std::optional<QString> text) {
            if (text && !text->isEmpty())
                logi(QStringLiteral("PRIMARY：获取选中文本 %1 字符").arg(graphemeCount(*text)));
            else
                logi(QStringLiteral("PRIMARY：选中文本为空或无法读取"));
            then(std::move(text));
        });
}

void SelectedTextReader::readByCopy() {
    if (m_copy->isRunning()) {
        // A cancelled copy is still putting the clipboard back; a second one now would
        // save the wrong contents.
        logi(QStringLiteral("上一次 Ctrl+C 仍在恢复剪贴板，跳过"));
        deliver(std::nullopt);
        return;
    }
    m_copy->run(m_source, continuation(nullptr, Origin::copy));
}

void SelectedTextReader::deliver(std::optional<QString> text) {
    m_reading = false;
    Done done = std::exchange(m_done, nullptr);
    if (!done)
        return;
    // Never inside read(): the caller's state is settled before the answer arrives.
    QTimer::singleShot(0, this, [done = std::move(done), text = std::move(text)] { done(text); });
}

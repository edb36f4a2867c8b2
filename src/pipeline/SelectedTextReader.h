#pragma once

#include "pipeline/SelectionServices.h"
#include "pipeline/SelectionSource.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

class CopySelectionFallback;

// Reads the text the user has selected in another program, trying in turn the
// accessibility interface, the X11 PRIMARY selection (when the source program owns
// it) and a synthetic Ctrl+C that puts the clipboard back afterwards. Main thread;
// every step is asynchronous and bounded, so the interface never freezes.
//
// Create it at start-up: the accessibility reader follows the focus from then on.
class SelectedTextReader : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(std::optional<QString>)>;
    // Which reader gave the last answer.
    enum class Origin { nothing, accessibility, primary, copy };
    Q_ENUM(Origin)

    static constexpr std::chrono::milliseconds accessibilityBudget{1000};

    explicit SelectedTextReader(SelectionServices services, QObject* parent = nullptr);
    ~SelectedTextReader() override;

    // The window and program in front now: call it when the hotkey fires. Nothing
    // when that is one of VYRN's own windows or cannot be told.
    std::optional<SelectionSource> captureSource();

    // `done` runs once on the main thread, never inside this call, with the first
    // non-empty text found, or nothing. A read while another runs answers nothing.
    void read(const std::optional<SelectionSource>& source, Done done);
    // The read in flight answers no more; a clipboard it changed is still put back.
    void cancel();
    bool isReading() const { return m_reading; }
    // Valid from the answer's arrival until the next read.
    Origin lastOrigin() const { return m_origin; }

private:
    void readAccessibility();
    void readPrimary();
    void readByCopy();
    void deliver(std::optional<QString> text);
    // A step's answer, dropped when the read it belongs to was cancelled or replaced.
    std::function<void(std::optional<QString>)> continuation(void (SelectedTextReader::*next)(),
                                                             Origin origin);

    SelectionServices m_services;
    CopySelectionFallback* m_copy = nullptr;
    std::optional<SelectionSource> m_source;
    Done m_done;
    bool m_reading = false;
    Origin m_origin = Origin::nothing;
    quint64 m_read = 0;
};

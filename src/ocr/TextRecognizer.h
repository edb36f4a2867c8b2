#pragma once

#include <QList>
#include <QRectF>
#include <QString>

#include <atomic>

class QImage;

// One line as a recogniser reports it: its best text and its box in the unit
// square with the origin at the bottom-left, so that any recogniser can be
// plugged in without knowing how the engine scales to pixels.
struct TextObservation {
    QString text;
    QRectF normalizedBox;
};

struct RecognitionOutcome {
    enum class Status {
        Recognized,
        PerformFailed, // the request could not run at all (no data, bad image)
        ServiceError,  // the recogniser ran and reported a failure
        Cancelled,
    };
    Status status = Status::Recognized;
    QList<TextObservation> observations; // in the recogniser's order
    QString errorDescription;

    static RecognitionOutcome recognized(QList<TextObservation> lines) {
        return {Status::Recognized, std::move(lines), {}};
    }
    static RecognitionOutcome failed(Status status, const QString& description) {
        return {status, {}, description};
    }
};

class TextRecognizer {
public:
    virtual ~TextRecognizer() = default;
    // Blocking; safe to call from several threads at once. `cancel` may be null.
    virtual RecognitionOutcome recognize(const QImage& image, const std::atomic<bool>* cancel) = 0;
    // Loads whatever the recogniser needs so the first real call is fast.
    virtual bool warmUp() { return true; }
};

#pragma once

#include <QTest>

#include <functional>

// Catches the answer of an asynchronous call and counts how often it came.
template <typename T> struct AsyncAnswer {
    int calls = 0;
    T value{};

    std::function<void(T)> callback() {
        return [this](T answer) {
            ++calls;
            value = std::move(answer);
        };
    }
    bool arrived() const { return calls > 0; }
    // Spins the event loop until the answer is in; false when it never came.
    bool wait(int timeoutMs = 10000) {
        return QTest::qWaitFor([this] { return calls > 0; }, timeoutMs);
    }
};

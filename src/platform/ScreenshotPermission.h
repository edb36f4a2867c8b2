#pragma once

#include <QString>

#include <functional>

// The desktop's own consent to screen pictures (GNOME's Screenshot portal asks once and keeps
// the answer). Only a focused window of ours can have the question asked, so it is a step
// the user takes in the settings window. Answers come later, on the main thread.
class ScreenshotPermission {
public:
    enum class State {
        Granted,
        NotAsked,
        Refused, // kept: the desktop refuses every call without asking again
        Unknown, // the desktop's store did not answer
    };
    struct Outcome {
        State state = State::Unknown;
        QString message; // what to tell the user when not Granted
    };

    virtual ~ScreenshotPermission() = default;

    virtual void lookUpPermission(std::function<void(State)> done) = 0;
    // Has the desktop ask its question (again, after an earlier refusal) from the focused
    // window of ours.
    virtual void requestPermission(std::function<void(Outcome)> done) = 0;
    // The question as the desktop words it, for the explanation beside the button.
    virtual QString desktopQuestion() const = 0;
};

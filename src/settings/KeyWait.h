#pragma once

#include <chrono>
#include <functional>

// How long a translation waits for its API key. A keyring being unlocked answers only once the
// user has typed the password into the desktop's prompt, which takes longer than any time-out
// meant for a store that is gone.
struct KeyWait {
    std::chrono::milliseconds slowAfter{3000};
    std::chrono::milliseconds bound{120000};
    // On the waiting thread: true once the store has not answered for `slowAfter`, then false
    // if it answers after all.
    std::function<void(bool waiting)> waiting;
    // Asked while waiting; false gives up at once and drops the answer.
    std::function<bool()> stillWanted;
};

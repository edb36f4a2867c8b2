#pragma once

#include <QCoreApplication>

// The one instance of a service, created on first use and destroyed while the
// application object still exists (D-Bus connections and widgets need it).
template <typename T> T& sharedInstance() {
    static T* instance = nullptr;
    if (!instance) {
        instance = new T;
        qAddPostRoutine([] {
            delete instance;
            instance = nullptr;
        });
    }
    return *instance;
}

#pragma once

#include "settings/KeyStoreBackend.h"

#include <memory>

namespace KeyStoreFactory {
// The Secret Service when the session bus offers one, else the private key file;
// logs which store is in use.
std::unique_ptr<KeyStoreBackend> create();
bool secretServiceAvailable();
} // namespace KeyStoreFactory

#pragma once

#include "pipeline/PrimarySelection.h"
#include "platform/x11/X11SelectionReader.h"

#include <memory>

class X11PrimarySelection : public PrimarySelection {
public:
    static constexpr std::chrono::milliseconds silenceLimit{300};

    explicit X11PrimarySelection(std::shared_ptr<X11SelectionConnection> connection);
    std::optional<PrimarySelectionOwner> owner() override;
    void readText(TextDone done) override;

private:
    std::shared_ptr<X11SelectionConnection> m_connection;
    X11SelectionReader m_reader;
};

#pragma once

#include "platform/ui/WorkspaceOpener.hpp"

#include <string>
#include <vector>

namespace corvantis::testing {

// Keeps every URL the application asks to open, in order, instead of starting a browser.
class RecordingWorkspaceOpener final : public platform::ui::WorkspaceOpener {
public:
    std::vector<std::string> opened;

    platform::foundation::Expected<void> open(const platform::foundation::Url& url, LateFailure) override {
        opened.push_back(url.absoluteString());
        return {};
    }
};

}  // namespace corvantis::testing

#include "platform/ui/UiServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/TextMeasurer.hpp"
#include "platform/ui/XdgOpenWorkspaceOpener.hpp"

namespace platform::ui {

void provideServices(ServiceProviders& providers) {
    providers.textMeasurer = [] { return TextMeasurer::processDefault(); };
    providers.pasteboard = [] {
        static const auto processPasteboard = std::make_shared<Pasteboard>();
        return processPasteboard;
    };
    providers.workspaceOpener = [] { return XdgOpenWorkspaceOpener::shared(); };
}

}  // namespace platform::ui

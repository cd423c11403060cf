#pragma once

#include "platform/ui/TextField.hpp"

namespace corvantis {

// A text label of the settings screen that acts like a button, by its tag: 0 logs out, 1 quits,
// 2 writes to support, 3 opens the support site, 4 exports the logs; other tags do nothing.
// Every press acts once and never selects or edits the text. Main queue only.
class SettingsViewButton : public platform::ui::TextField {
public:
    static constexpr int logOutTag = 0;
    static constexpr int quitTag = 1;
    static constexpr int supportMailTag = 2;
    static constexpr int supportSiteTag = 3;
    static constexpr int exportLogsTag = 4;

    using TextField::TextField;

    void mouseDown(const platform::ui::Event& event) override;
};

}  // namespace corvantis

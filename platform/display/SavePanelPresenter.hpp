#pragma once

#include "platform/ui/SavePanel.hpp"

#include <filesystem>
#include <memory>

namespace platform::display {

// The save panel drawn by the layer where the desktop offers no file chooser: the name, the
// folder, Cancel and Save. Saving over an existing file asks first; a folder that does not exist
// is refused with an alert. The panel's own drivers (`ok`, `cancel`) end it.
class SavePanelPresenter {
public:
    static constexpr double fieldHeight = 24;

    // Gives a save panel about to be shown its controls, once.
    static void furnish(const std::shared_ptr<ui::SavePanel>& panel);
    // Where a save panel starts: the desktop folder when there is one, else the home folder.
    static std::filesystem::path startingFolder();
    // What the person's Save means for `folder` and `name`: the path to save to, after asking to
    // replace an existing file; none when the person declined or the folder does not exist.
    static std::optional<std::filesystem::path> confirmedPath(const ui::SavePanel& panel, const std::filesystem::path& folder,
                                                              const std::string& name);
};

}  // namespace platform::display

#pragma once

#include "platform/foundation/Url.hpp"
#include "platform/ui/Panel.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::ui {

// Asks the person where to save a file. Shown as a sheet on a window; the completion runs on
// the main queue with OK (`url` then names the place chosen) or Cancel. When file types are
// allowed, a chosen name that does not end in one of them gets the first one appended.
//
// A person answers with `ok(path)` or `cancel()`, the drivers that tests use.
class SavePanel : public Panel {
public:
    SavePanel();

    const std::string& nameFieldStringValue() const { return name_; }
    void setNameFieldStringValue(std::string name) { name_ = std::move(name); }
    // Extensions without the dot ("zip").
    const std::vector<std::string>& allowedFileTypes() const { return allowedFileTypes_; }
    void setAllowedFileTypes(std::vector<std::string> types) { allowedFileTypes_ = std::move(types); }
    bool showsHiddenFiles() const { return showsHiddenFiles_; }
    void setShowsHiddenFiles(bool shows) { showsHiddenFiles_ = shows; }
    bool canCreateDirectories() const { return canCreateDirectories_; }
    void setCanCreateDirectories(bool can) { canCreateDirectories_ = can; }

    // The place chosen; none until the person answered OK.
    const std::optional<foundation::Url>& url() const { return url_; }

    void beginSheetModal(Window& window, std::function<void(ModalResponse)> completion);

    // `name` with the extension rule applied.
    std::string nameWithAllowedType(const std::string& name) const;

    // ---- Drivers
    // The person picks the folder and types the name that `path` gives, then clicks Save.
    // False, changing nothing, when the panel is not the sheet shown or the name is empty.
    bool ok(const std::string& path);
    bool cancel();

private:
    bool isShownSheet() const;

    std::string name_;
    std::vector<std::string> allowedFileTypes_;
    bool showsHiddenFiles_ = false;
    bool canCreateDirectories_ = false;
    std::optional<foundation::Url> url_;
};

}  // namespace platform::ui

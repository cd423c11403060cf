#include "platform/ui/SavePanel.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace platform::ui {

namespace {
bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

constexpr double panelWidth = 480;
constexpr double panelHeight = 320;
}  // namespace

SavePanel::SavePanel() : Panel(Rect(0, 0, panelWidth, panelHeight)) {}

void SavePanel::beginSheetModal(Window& window, std::function<void(ModalResponse)> completion) {
    window.beginSheet(sharedWindow(), std::move(completion));
}

std::string SavePanel::nameWithAllowedType(const std::string& name) const {
    if (allowedFileTypes_.empty()) return name;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        const std::string_view extension = std::string_view(name).substr(dot + 1);
        const bool allowed = std::any_of(allowedFileTypes_.begin(), allowedFileTypes_.end(),
                                         [&](const std::string& type) { return equalIgnoringCase(type, extension); });
        if (allowed) return name;
    }
    return name + "." + allowedFileTypes_.front();
}

bool SavePanel::isShownSheet() const {
    const Window* parent = sheetParent();
    return parent != nullptr && parent->attachedSheet().get() == this;
}

bool SavePanel::ok(const std::string& path) {
    const std::filesystem::path chosen(path);
    const std::string name = chosen.filename().string();
    if (!isShownSheet() || name.empty()) return false;
    name_ = nameWithAllowedType(name);
    url_ = foundation::Url::fileUrl((chosen.parent_path() / name_).string());
    sheetParent()->endSheet(*this, ModalResponse::ok);
    return true;
}

bool SavePanel::cancel() {
    if (!isShownSheet()) return false;
    url_.reset();
    sheetParent()->endSheet(*this, ModalResponse::cancel);
    return true;
}

}  // namespace platform::ui

#include "platform/ui/FontRegistry.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/ResourceDirectory.hpp"

#include <algorithm>
#include <vector>

namespace platform::ui {

FontRegistry& FontRegistry::shared() {
    static FontRegistry registry;
    return registry;
}

FontRegistry::FontRegistry() {
    loadDefaults();
}

void FontRegistry::loadDefaults() {
    {
        std::lock_guard lock(mutex_);
        faces_.clear();
        faces_.emplace(systemFaceName, Face{systemFaceName, nullptr});
    }
    const auto folder = foundation::resourceDirectory() / "fonts";
    registerFontsIn(folder);
    std::lock_guard lock(mutex_);
    if (faces_.count(screenFaceName) == 0) {
        foundation::consoleLog("Font \"" + std::string(screenFaceName) + "\" is not in " + folder.string() +
                               "; the system font stands in for it");
        faces_.emplace(screenFaceName, Face{systemFaceName, nullptr});
    }
}

foundation::Expected<std::string> FontRegistry::registerFontFile(const std::filesystem::path& file) {
    auto loaded = FontFile::load(file);
    if (!loaded) return loaded.error();
    std::string name = loaded.value()->postScriptName();
    std::lock_guard lock(mutex_);
    faces_.insert_or_assign(name, Face{name, std::move(loaded.value())});
    return name;
}

int FontRegistry::registerFontsIn(const std::filesystem::path& folder) {
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const auto extension = entry->path().extension();
        if (extension == ".ttf" || extension == ".otf") files.push_back(entry->path());
    }
    std::sort(files.begin(), files.end());  // the same winner every run when two files share a name
    int registered = 0;
    for (const auto& file : files) {
        auto name = registerFontFile(file);
        if (name) {
            ++registered;
        } else {
            foundation::consoleLog(name.error().message);
        }
    }
    return registered;
}

std::optional<FontRegistry::Face> FontRegistry::face(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const auto found = faces_.find(name);
    if (found == faces_.end()) return std::nullopt;
    return found->second;
}

void FontRegistry::reset() {
    loadDefaults();
}

}  // namespace platform::ui

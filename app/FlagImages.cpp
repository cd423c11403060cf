#include "app/FlagImages.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <algorithm>
#include <cctype>

namespace corvantis {

namespace ui = platform::ui;

namespace {

// Until images are drawn from their SVG files, a flag is a transparent image of its size under its name.
void registerImage(const std::string& name) {
    if (!ui::Image::named(name)) ui::Image::make(FlagImages::size)->setName(name);
}

}  // namespace

void FlagImages::registerAll() {
    const auto folder = platform::foundation::Bundle::main()->resourcePath() / "flags";
    if (const auto files = platform::foundation::FileSystem::contentsOfDirectory(folder)) {
        for (const auto& file : files.value()) {
            if (file.extension() != ".svg") continue;
            std::string code = file.stem().string();
            std::ranges::transform(code, code.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            registerImage(code);
        }
    }
    registerImage(placeholderName);
}

std::shared_ptr<ui::Image> FlagImages::flag(const std::optional<std::string>& countryCode) {
    auto image = countryCode ? ui::Image::named(*countryCode) : nullptr;
    return image ? image : ui::Image::named(placeholderName);
}

}  // namespace corvantis

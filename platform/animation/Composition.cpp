#include "platform/animation/Composition.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ResourceDirectory.hpp"

#include <nlohmann/json.hpp>

#include <map>

namespace platform::animation {

using foundation::Error;
using foundation::Expected;

namespace {
std::map<std::string, std::shared_ptr<const Composition>>& loaded() {
    static std::map<std::string, std::shared_ptr<const Composition>> scenes;
    return scenes;
}
}  // namespace

std::shared_ptr<const Composition> Composition::named(const std::string& name) {
    if (const auto found = loaded().find(name); found != loaded().end()) return found->second;
    const auto file = foundation::resourceDirectory() / "animations" / (name + ".json");
    if (!foundation::FileSystem::fileExists(file)) return nullptr;
    auto scene = load(file);
    if (!scene) {
        foundation::consoleLog(scene.error().message);
        return nullptr;
    }
    loaded().emplace(name, scene.value());
    return scene.value();
}

Expected<std::shared_ptr<const Composition>> Composition::load(const std::filesystem::path& file) {
    auto text = foundation::FileSystem::readFile(file);
    if (!text) return text.error();
    return parse(text.value(), file.stem().string());
}

Expected<std::shared_ptr<const Composition>> Composition::parse(const std::string& text, const std::string& name) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    auto number = [&](const char* key) -> std::optional<double> {
        if (!json.is_object() || !json.contains(key) || !json[key].is_number()) return std::nullopt;
        return json[key].get<double>();
    };
    const auto rate = number("fr");
    const auto first = number("ip");
    const auto end = number("op");
    if (!rate || !first || !end || *rate <= 0 || *end < *first) {
        return Error{0, "Animation \"" + name +
                            "\" is not a usable animation file: it needs a positive \"fr\" and \"op\" "
                            "not before \"ip\""};
    }
    return std::shared_ptr<const Composition>(new Composition(name, (*end - *first) / *rate, text));
}

void Composition::forgetLoaded() {
    loaded().clear();
}

}  // namespace platform::animation

#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <memory>
#include <string>

namespace platform::animation {

// One animation scene, as an animation file describes it: its name, the frames it runs through
// and their rate. Compositions are shared and immutable.
class Composition {
public:
    // The scene in "<name>.json" of the resources' "animations" folder. Loaded once: later
    // requests give the same object. None when the file is missing or unusable.
    static std::shared_ptr<const Composition> named(const std::string& name);
    // Reads an animation file's "fr" (frames per second), "ip" and "op" (first and end frame).
    static foundation::Expected<std::shared_ptr<const Composition>> load(const std::filesystem::path& file);
    // The same from the file's text; `name` names the scene.
    static foundation::Expected<std::shared_ptr<const Composition>> parse(const std::string& text, const std::string& name);
    // Forgets the scenes loaded by name (used between tests).
    static void forgetLoaded();

    const std::string& name() const { return name_; }
    // Seconds from the first frame to the end frame.
    double duration() const { return duration_; }
    // The animation file's text, for a player that draws its frames.
    const std::string& text() const { return text_; }

private:
    Composition(std::string name, double duration, std::string text)
        : name_(std::move(name)), duration_(duration), text_(std::move(text)) {}

    std::string name_;
    double duration_;
    std::string text_;
};

}  // namespace platform::animation

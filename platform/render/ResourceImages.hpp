#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/ui/Image.hpp"

#include <filesystem>
#include <memory>
#include <string>

namespace platform::render {

// Named images from the resources' files, drawn at the device scale: "images/<name>.svg" or
// ".png", then "flags/<name in lower case>.svg" (flags are named by their upper-case country
// code). An SVG is as many points as its own width and height say; one with only a view box is
// fitted into `boxOnlySize` points at its longer side. A PNG is one point per pixel.
class ResourceImages {
public:
    static constexpr double boxOnlySize = 32;

    // Makes `ui::Image::named` draw unregistered names from these files at `scale`.
    static void install(double scale);

    // The image of `name`; none when no file holds it or the file cannot be drawn (said on the
    // standard error stream).
    static std::shared_ptr<ui::Image> load(const std::string& name, double scale);

private:
    static foundation::Expected<std::shared_ptr<ui::Image>> loadFile(const std::filesystem::path& file, double scale);
};

}  // namespace platform::render

#pragma once

#include "platform/ui/FontFile.hpp"

#include <memory>
#include <optional>
#include <string>

namespace platform::ui {

// A face at a size. Fonts are values; two fonts are equal when face, size and weight are.
class Font {
public:
    static constexpr double defaultSize = 12.0;
    static constexpr double weightThin = -0.6;
    static constexpr double weightRegular = 0.0;

    // The registered face `name` at `size` (12 when `size` is not positive), or none when no
    // such face is registered.
    static std::optional<Font> named(const std::string& name, double size);
    static Font system(double size, double weight = weightRegular);

    // The face's PostScript name.
    const std::string& fontName() const { return name_; }
    double pointSize() const { return size_; }
    double weight() const { return weight_; }
    // The face's metrics; none for the system face.
    const FontFile* file() const { return file_.get(); }

    friend bool operator==(const Font& a, const Font& b) {
        return a.name_ == b.name_ && a.size_ == b.size_ && a.weight_ == b.weight_;
    }

private:
    Font(std::string name, double size, double weight, std::shared_ptr<const FontFile> file);

    std::string name_;
    double size_;
    double weight_;
    std::shared_ptr<const FontFile> file_;
};

}  // namespace platform::ui

#pragma once

#include "PRQLogger/LogFormatters/LevelColorLogFormatter.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::ui {
class Color;
}

namespace prq {

// Colours whole log lines for a console that follows the XcodeColors convention: ESC "[fg" or
// ESC "[bg" with "r,g,b;" sets the text or background colour, ESC "[fg;" and ESC "[bg;" reset one,
// ESC "[;" resets both and ends every line. Made with `create<XcodeColorsLogFormatter>()`.
class XcodeColorsLogFormatter : public LevelColorLogFormatter {
public:
    static constexpr std::string_view escape = "\x1b[";
    static constexpr std::string_view resetForeground = "\x1b[fg;";
    static constexpr std::string_view resetBackground = "\x1b[bg;";
    static constexpr std::string_view reset = "\x1b[;";

    // A colour by its red, green and blue components (0–255). The constructors keep what they
    // are given; a component set later outside 0–255 becomes 0. The named colours are in
    // `XcodeColors` (their names would clash with the components').
    class XcodeColor {
    public:
        constexpr XcodeColor() = default;
        constexpr XcodeColor(std::int64_t red, std::int64_t green, std::int64_t blue) : red_(red), green_(green), blue_(blue) {}
        // The colour in calibrated RGB, each fraction times 255 truncated; a component that is
        // not a finite number gives 0.
        explicit XcodeColor(const platform::ui::Color& color);

        std::int64_t red() const { return red_; }
        void setRed(std::int64_t red);
        std::int64_t green() const { return green_; }
        void setGreen(std::int64_t green);
        std::int64_t blue() const { return blue_; }
        void setBlue(std::int64_t blue);

        // "fg" or "bg", then "r,g,b" in decimal.
        std::string foregroundCode() const;
        std::string backgroundCode() const;
        // "(r: 255, g: 165, b: 0) #FFA500".
        std::string description() const;

    private:
        std::string components() const;

        std::int64_t red_ = 0;
        std::int64_t green_ = 0;
        std::int64_t blue_ = 0;
    };

    explicit XcodeColorsLogFormatter(CreationKey key);

    // Sets the level's text and background colours; a colour not given resets that side, and
    // with neither the level gets the reset sequence alone, described as "None".
    virtual void colorize(Level level, const std::optional<XcodeColor>& with = std::nullopt,
                          const std::optional<XcodeColor>& on = std::nullopt);

    void resetFormatting() override;
    void clearFormatting() override;
};

// The named colours of the XcodeColors formatter.
namespace XcodeColors {
using XcodeColor = XcodeColorsLogFormatter::XcodeColor;
inline constexpr XcodeColor red{255, 0, 0};
inline constexpr XcodeColor green{0, 255, 0};
inline constexpr XcodeColor blue{0, 0, 255};
inline constexpr XcodeColor black{0, 0, 0};
inline constexpr XcodeColor white{255, 255, 255};
inline constexpr XcodeColor lightGrey{211, 211, 211};
inline constexpr XcodeColor darkGrey{169, 169, 169};
inline constexpr XcodeColor orange{255, 165, 0};
inline constexpr XcodeColor purple{170, 0, 170};
inline constexpr XcodeColor darkGreen{0, 128, 0};
inline constexpr XcodeColor cyan{0, 170, 170};
}  // namespace XcodeColors

}  // namespace prq

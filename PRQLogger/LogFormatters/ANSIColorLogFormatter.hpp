#pragma once

#include "PRQLogger/LogFormatters/LevelColorLogFormatter.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace prq {

// Colours whole log lines for terminals that understand ECMA-48 (ANSI) Select Graphic Rendition
// sequences: each level's sequence in front, the reset sequence ESC[m behind. The default
// scheme leaves notice, alert and emergency without colours. Made with
// `create<ANSIColorLogFormatter>()`.
class ANSIColorLogFormatter : public LevelColorLogFormatter {
public:
    // The control sequence introducer, ESC "[".
    static constexpr std::string_view escape = "\x1b[";
    static constexpr std::string_view reset = "\x1b[m";

    // A colour for text or background: one of the named ones, an RGB value or an index into the
    // terminal's 256-colour table.
    class ANSIColor {
    public:
        static const ANSIColor black, red, green, yellow, blue, magenta, cyan, lightGrey, lightGray, darkGrey, darkGray, lightRed,
            lightGreen, lightYellow, lightBlue, lightMagenta, lightCyan, white;
        // The terminal's own colour (`default`).
        static const ANSIColor default_;

        // Components outside 0…255 are clamped in the sequence, shown as given in the description.
        static constexpr ANSIColor rgb(std::int64_t red, std::int64_t green, std::int64_t blue) {
            return ANSIColor(Kind::rgb, red, green, blue);
        }
        static constexpr ANSIColor colorIndex(std::int64_t number) { return ANSIColor(Kind::colorIndex, number); }

        std::string foregroundCode() const;
        std::string backgroundCode() const;
        std::string description() const;

    private:
        enum class Kind { named, rgb, colorIndex };

        constexpr ANSIColor(int code, std::string_view name) : kind_(Kind::named), values_{code, 0, 0}, name_(name) {}
        constexpr ANSIColor(Kind kind, std::int64_t first, std::int64_t second = 0, std::int64_t third = 0)
            : kind_(kind), values_{first, second, third} {}

        std::string code(std::string_view layer, int namedOffset) const;

        Kind kind_;
        std::int64_t values_[3];  // the foreground code of a named colour; the RGB components; the index
        std::string_view name_;
    };

    // A text attribute.
    enum class ANSIOption { bold, faint, italic, underline, blink, blinkFast, strikethrough };

    explicit ANSIColorLogFormatter(CreationKey key);

    // Builds the level's sequence from the colours and the options (in the order given, repeats
    // kept), e.g. ESC[31;49;1m for red text with bold, described as "Red on Default/Bold".
    virtual void colorize(Level level, const ANSIColor& with = ANSIColor::default_, const ANSIColor& on = ANSIColor::default_,
                          const std::vector<ANSIOption>& options = {});
    // Takes the caller's own SGR parameters (the closing "m" included), with or without the
    // leading `escape`, unchecked.
    virtual void colorize(Level level, const std::string& custom);

    void resetFormatting() override;
    void clearFormatting() override;
};

// "1" for bold, … "9" for strikethrough.
std::string_view code(ANSIColorLogFormatter::ANSIOption option);
// "Bold", … "Strikethrough".
std::string_view description(ANSIColorLogFormatter::ANSIOption option);

inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::black{30, "Black"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::red{31, "Red"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::green{32, "Green"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::yellow{33, "Yellow"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::blue{34, "Blue"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::magenta{35, "Magenta"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::cyan{36, "Cyan"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightGrey{37, "Light Grey"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightGray{37, "Light Grey"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::darkGrey{90, "Dark Grey"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::darkGray{90, "Dark Grey"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightRed{91, "Light Red"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightGreen{92, "Light Green"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightYellow{93, "Light Yellow"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightBlue{94, "Light Blue"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightMagenta{95, "Light Magenta"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::lightCyan{96, "Light Cyan"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::white{97, "White"};
inline constexpr ANSIColorLogFormatter::ANSIColor ANSIColorLogFormatter::ANSIColor::default_{39, "Default"};

}  // namespace prq

#pragma once

#include <iosfwd>
#include <string>

namespace platform::ui {

// The colour spaces colours are made in. Headless there is no colour management: converting
// between the RGB spaces keeps the components, white spaces spread their level over red, green
// and blue, and a catalogue colour resolves to the value it has in the light appearance.
enum class ColorSpace { sRGB, calibratedRGB, deviceRGB, genericRGB, calibratedWhite, catalog };

// An immutable colour: components from 0 to 1 and the space they belong to.
class Color {
public:
    // `colorWithRed:green:blue:alpha:`.
    static Color sRGB(double red, double green, double blue, double alpha);
    // `colorWithCalibratedRed:green:blue:alpha:`.
    static Color calibrated(double red, double green, double blue, double alpha);
    static Color device(double red, double green, double blue, double alpha);
    // The generic RGB space of layer colours.
    static Color generic(double red, double green, double blue, double alpha);
    static Color calibratedWhite(double white, double alpha);

    static Color white();
    static Color clear();
    // Catalogue colours.
    static Color windowBackground();
    static Color systemGray();
    // The colour of default buttons and selected marks.
    static Color controlAccent();
    // The ring around the control that has the keyboard focus.
    static Color keyboardFocusIndicator();

    ColorSpace colorSpace() const { return space_; }
    double redComponent() const { return red_; }
    double greenComponent() const { return green_; }
    double blueComponent() const { return blue_; }
    double alphaComponent() const { return alpha_; }
    // The catalogue name of a catalogue colour, else empty.
    const std::string& catalogName() const { return catalogName_; }

    // The same colour in another space (see `ColorSpace`).
    Color usingColorSpace(ColorSpace space) const;

    // Equal colours have the same space, components and catalogue name.
    friend bool operator==(const Color&, const Color&) = default;

private:
    Color(ColorSpace space, double red, double green, double blue, double alpha, std::string catalogName = {});

    ColorSpace space_;
    double red_;
    double green_;
    double blue_;
    double alpha_;
    std::string catalogName_;
};

std::ostream& operator<<(std::ostream& stream, const Color& color);

}  // namespace platform::ui

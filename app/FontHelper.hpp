#pragma once

#include "platform/ui/Font.hpp"

namespace corvantis {

// The one face every screen sets its text in, shipped among the application's resources.
// A missing face stops a debug build with "Can't load font: Montserrat-Medium" and gives the
// system font of that size otherwise.
platform::ui::Font montserratMediumFont(double size);

}  // namespace corvantis

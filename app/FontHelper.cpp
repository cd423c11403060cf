#include "app/FontHelper.hpp"

#include "platform/foundation/Console.hpp"

#include <cstdlib>
#include <string>

namespace corvantis {

namespace {

platform::ui::Font customFont(const std::string& name, double size) {
    if (auto font = platform::ui::Font::named(name, size)) return *font;
#ifndef NDEBUG
    platform::foundation::consoleLog("Can't load font: " + name);
    std::abort();
#endif
    return platform::ui::Font::system(size);
}

}  // namespace

platform::ui::Font montserratMediumFont(double size) {
    return customFont("Montserrat-Medium", size);
}

}  // namespace corvantis

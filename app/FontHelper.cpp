#include "app/FontHelper.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace corvantis {

namespace {

platform::ui::Font customFont(const std::string& name, double size) {
    if (auto font = platform::ui::Font::named(name, size)) return *font;
#ifndef NDEBUG
    std::fprintf(stderr, "Can't load font: %s\n", name.c_str());
    std::abort();
#endif
    return platform::ui::Font::system(size);
}

}  // namespace

platform::ui::Font montserratMediumFont(double size) {
    return customFont("Montserrat-Medium", size);
}

}  // namespace corvantis

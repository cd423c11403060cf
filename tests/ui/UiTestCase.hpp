#pragma once

#include "platform/Services.hpp"
#include "platform/animation/testing/Reset.hpp"
#include "platform/ui/TextMeasurer.hpp"
#include "platform/ui/testing/Reset.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace corvantis::testing {

// Widths a test chooses: a text listed here measures as given, any other text as 10 points
// per byte; the font's size scales both (12 points is the base) and the height is the size.
class ChosenWidthMeasurer final : public platform::ui::TextMeasurer {
public:
    std::map<std::string, double> widths;

    platform::ui::Size size(std::string_view text, const platform::ui::TextAttributes& attributes) const override {
        const double points = attributes.font ? attributes.font->pointSize() : 12.0;
        const auto found = widths.find(std::string(text));
        const double width = found != widths.end() ? found->second : 10.0 * static_cast<double>(text.size());
        return {width * points / 12.0, points};
    }
};

// Every UI case runs on virtual time with chosen text widths and starts from a clean layer.
class UiTestCase : public ::testing::Test {
protected:
    UiTestCase() : measurer(std::make_shared<ChosenWidthMeasurer>()), time(withMeasurer(measurer)) { resetLayers(); }
    ~UiTestCase() override { resetLayers(); }

    static void resetLayers() {
        platform::ui::testing::reset();
        platform::animation::testing::reset();
    }

    std::shared_ptr<ChosenWidthMeasurer> measurer;
    VirtualTime time;

private:
    static platform::Services withMeasurer(std::shared_ptr<ChosenWidthMeasurer> chosen) {
        platform::Services services;
        services.textMeasurerOverride = std::move(chosen);
        return services;
    }
};

// Sets an environment variable for as long as it lives, then puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
        ::setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (previous_) {
            ::setenv(name_.c_str(), previous_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace corvantis::testing

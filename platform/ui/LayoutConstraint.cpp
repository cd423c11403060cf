#include "platform/ui/LayoutConstraint.hpp"

#include "platform/ui/View.hpp"

#include <regex>
#include <stdexcept>

namespace platform::ui {

LayoutConstraint::LayoutConstraint(const std::shared_ptr<View>& first, LayoutAttribute firstAttribute,
                                   const std::shared_ptr<View>& second, LayoutAttribute secondAttribute, double constant)
    : firstItem_(first),
      firstAttribute_(firstAttribute),
      secondItem_(second),
      secondAttribute_(secondAttribute),
      constant_(constant) {}

bool LayoutConstraint::involves(const View* view) const {
    return firstItem().get() == view || secondItem().get() == view;
}

std::vector<std::shared_ptr<LayoutConstraint>> LayoutConstraint::constraintsWithVisualFormat(const std::string& format,
                                                                                             const Views& views) {
    static const std::regex supported(
        R"(^([HV]):\|-\(([-+]?[0-9]+(?:\.[0-9]+)?)\)-\[([A-Za-z_][A-Za-z0-9_]*)\]-\(([-+]?[0-9]+(?:\.[0-9]+)?)\)-\|$)");
    std::smatch match;
    if (!std::regex_match(format, match, supported)) {
        throw std::invalid_argument("Unsupported visual format \"" + format +
                                    "\": only \"H:|-(a)-[name]-(b)-|\" and \"V:|-(a)-[name]-(b)-|\" with numbers a and b "
                                    "are understood");
    }
    const bool horizontal = match[1] == "H";
    const double before = std::stod(match[2]);
    const std::string name = match[3];
    const double after = std::stod(match[4]);

    const auto found = views.find(name);
    if (found == views.end() || !found->second) {
        throw std::invalid_argument("Visual format \"" + format + "\" names the view \"" + name +
                                    "\", which is not in the views dictionary");
    }
    const std::shared_ptr<View>& view = found->second;
    View* parent = view->superview();
    if (parent == nullptr) {
        throw std::invalid_argument("Visual format \"" + format + "\" pins \"" + name +
                                    "\" to its superview's edges, but it has no superview");
    }
    const std::shared_ptr<View> superview = parent->sharedView();
    const LayoutAttribute low = horizontal ? LayoutAttribute::leading : LayoutAttribute::top;
    const LayoutAttribute high = horizontal ? LayoutAttribute::trailing : LayoutAttribute::bottom;
    return {
        std::shared_ptr<LayoutConstraint>(new LayoutConstraint(view, low, superview, low, before)),
        std::shared_ptr<LayoutConstraint>(new LayoutConstraint(superview, high, view, high, after)),
    };
}

}  // namespace platform::ui

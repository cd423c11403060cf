#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

class View;

// Layout attributes with AppKit's raw values. Vertical attributes count downwards from the top
// edge, whichever way the views' own coordinates run.
enum class LayoutAttribute : int {
    left = 1,
    right = 2,
    top = 3,
    bottom = 4,
    leading = 5,
    trailing = 6,
    width = 7,
    height = 8,
    centerX = 9,
    centerY = 10,
};

// One equation of the form `first.attribute = second.attribute × multiplier + constant`.
// Only what the screens use is built: a view's edges pinned to its superview's edges, made from
// the two visual-format strings below. A superview keeps its constraints and lays its subviews
// out by them at once whenever they or its size change.
class LayoutConstraint {
public:
    using Views = std::map<std::string, std::shared_ptr<View>>;

    // The constraints of "H:|-(a)-[name]-(b)-|" (leading and trailing edges) or
    // "V:|-(a)-[name]-(b)-|" (top and bottom edges), with numbers such as "0.0" or "8" and the
    // view's name looked up in `views`. Any other format, an unknown name or a view without a
    // superview throws std::invalid_argument that says which.
    static std::vector<std::shared_ptr<LayoutConstraint>> constraintsWithVisualFormat(const std::string& format,
                                                                                      const Views& views);

    std::shared_ptr<View> firstItem() const { return firstItem_.lock(); }
    LayoutAttribute firstAttribute() const { return firstAttribute_; }
    std::shared_ptr<View> secondItem() const { return secondItem_.lock(); }
    LayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return 1.0; }
    double constant() const { return constant_; }

    // Whether `view` is one of the two items.
    bool involves(const View* view) const;

private:
    LayoutConstraint(const std::shared_ptr<View>& first, LayoutAttribute firstAttribute, const std::shared_ptr<View>& second,
                     LayoutAttribute secondAttribute, double constant);

    std::weak_ptr<View> firstItem_;
    LayoutAttribute firstAttribute_;
    std::weak_ptr<View> secondItem_;
    LayoutAttribute secondAttribute_;
    double constant_;
};

}  // namespace platform::ui

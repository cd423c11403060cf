#include "platform/ui/LayoutConstraint.hpp"

#include "platform/ui/View.hpp"

#include <cctype>
#include <optional>
#include <stdexcept>
#include <string_view>

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

namespace {

// Reads "H:|-(a)-[name]-(b)-|" or "V:|-(a)-[name]-(b)-|"; any other text is not understood.
class VisualFormatReader {
public:
    struct Parts {
        bool horizontal;
        double before;
        std::string name;
        double after;
    };

    static std::optional<Parts> read(std::string_view format) {
        VisualFormatReader reader(format);
        Parts parts{};
        if (reader.take("H:")) {
            parts.horizontal = true;
        } else if (!reader.take("V:")) {
            return std::nullopt;
        }
        const auto before = reader.take("|-(") ? reader.number() : std::nullopt;
        const auto name = before && reader.take(")-[") ? reader.identifier() : std::nullopt;
        const auto after = name && reader.take("]-(") ? reader.number() : std::nullopt;
        if (!after || !reader.take(")-|") || !reader.atEnd()) return std::nullopt;
        parts.before = *before;
        parts.name = *name;
        parts.after = *after;
        return parts;
    }

private:
    explicit VisualFormatReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ == text_.size(); }
    bool take(std::string_view literal) {
        if (text_.substr(at_, literal.size()) != literal) return false;
        at_ += literal.size();
        return true;
    }
    bool digits() {
        const std::size_t start = at_;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
        return at_ > start;
    }
    // An optional sign, digits, and optionally a point with more digits.
    std::optional<double> number() {
        const std::size_t start = at_;
        if (!take("-")) take("+");
        if (!digits()) return std::nullopt;
        if (take(".") && !digits()) return std::nullopt;
        return std::stod(std::string(text_.substr(start, at_ - start)));
    }
    std::optional<std::string> identifier() {
        const std::size_t start = at_;
        auto allowed = [&](bool first) {
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            return std::isalpha(c) || c == '_' || (!first && std::isdigit(c));
        };
        while (at_ < text_.size() && allowed(at_ == start)) ++at_;
        if (at_ == start) return std::nullopt;
        return std::string(text_.substr(start, at_ - start));
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::vector<std::shared_ptr<LayoutConstraint>> LayoutConstraint::constraintsWithVisualFormat(const std::string& format,
                                                                                             const Views& views) {
    const auto parts = VisualFormatReader::read(format);
    if (!parts) {
        throw std::invalid_argument("Unsupported visual format \"" + format +
                                    "\": only \"H:|-(a)-[name]-(b)-|\" and \"V:|-(a)-[name]-(b)-|\" with numbers a and b "
                                    "are understood");
    }
    const std::string& name = parts->name;
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
    const LayoutAttribute low = parts->horizontal ? LayoutAttribute::leading : LayoutAttribute::top;
    const LayoutAttribute high = parts->horizontal ? LayoutAttribute::trailing : LayoutAttribute::bottom;
    return {
        std::shared_ptr<LayoutConstraint>(new LayoutConstraint(view, low, superview, low, parts->before)),
        std::shared_ptr<LayoutConstraint>(new LayoutConstraint(superview, high, view, high, parts->after)),
    };
}

}  // namespace platform::ui

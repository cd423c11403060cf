#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"

#include "HelperService/CorvantisHelperInterface/KeyArmour.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnDirectives.hpp"

#include <algorithm>
#include <optional>

namespace corvantis::helper::OpenVpnProfileParser {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isPlain(char c) {
    return (c >= 0x20 && c < 0x7f) || c == '\t';
}

// The line's words up to a word that begins a comment.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> found;
    for (std::size_t at = 0; at < line.size();) {
        if (isBlank(line[at])) {
            ++at;
            continue;
        }
        if (line[at] == '#' || line[at] == ';') break;
        const auto end = std::find_if(line.begin() + static_cast<std::ptrdiff_t>(at), line.end(), isBlank) - line.begin();
        found.push_back(line.substr(at, static_cast<std::size_t>(end) - at));
        at = static_cast<std::size_t>(end);
    }
    return found;
}

Error refusal(std::size_t line, const std::string& why) {
    return Error{EPERM, "The profile's line " + std::to_string(line) + " " + why};
}

// The inline block being read.
struct OpenBlock {
    std::string tag;
    KeyBlockContent content;
    std::size_t firstLine;
    std::vector<std::string_view> lines;
};

class Reader {
public:
    Expected<OpenVpnProfile> read(std::string_view text) {
        std::size_t number = 0;
        for (std::string_view rest = text; !rest.empty();) {
            const auto end = std::min(rest.find('\n'), rest.size());
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(std::min(end + 1, rest.size()));
            ++number;
            if (line.ends_with('\r')) line.remove_suffix(1);
            if (line.size() > longestLine) return refusal(number, "is longer than " + std::to_string(longestLine) + " bytes");
            if (!std::all_of(line.begin(), line.end(), isPlain)) {
                return refusal(number, "holds a control character or a byte outside ASCII");
            }
            auto taken = block_ ? takeBlockLine(number, line) : takeLine(number, line);
            if (!taken) return taken.error();
        }
        if (block_) {
            return Error{EPERM, "The profile's <" + block_->tag + "> block from line " + std::to_string(block_->firstLine) +
                                    " is never closed"};
        }
        const auto count = [&](std::string_view name) {
            return std::count_if(profile_.directives.begin(), profile_.directives.end(),
                                 [&](const auto& directive) { return directive.name == name; });
        };
        if (count("client") == 0) return Error{EPERM, "The profile is no client profile: it lacks the client directive"};
        if (count("remote") == 0) return Error{EPERM, "The profile names no remote server"};
        return std::move(profile_);
    }

private:
    Expected<void> takeBlockLine(std::size_t number, std::string_view line) {
        if (!line.starts_with('<')) {
            block_->lines.push_back(line);
            return {};
        }
        if (line != "</" + block_->tag + ">") {
            return refusal(number, "begins with \"<\" inside the <" + block_->tag + "> block, which it does not close");
        }
        auto objects = KeyArmour::read(block_->lines, block_->content);
        if (!objects) {
            return Error{EPERM, "The profile's <" + block_->tag + "> block from line " + std::to_string(block_->firstLine) + " " +
                                    objects.error().message};
        }
        profile_.blocks.push_back({block_->tag, std::move(objects.value())});
        block_.reset();
        return {};
    }

    Expected<void> takeLine(std::size_t number, std::string_view line) {
        const auto found = words(line);
        if (found.empty()) return {};
        const auto name = found.front();
        if (name.starts_with('<')) return openBlock(number, found);
        const auto* rule = OpenVpnDirectives::rule(name);
        if (rule == nullptr) return refusal(number, "is not a directive the helper accepts");
        const std::string quoted = "\"" + rule->name + "\"";
        const auto seen = std::count_if(profile_.directives.begin(), profile_.directives.end(),
                                        [&](const auto& directive) { return directive.name == rule->name; });
        if (seen > 0 && !rule->repeatable) return refusal(number, "repeats " + quoted + ", which may appear once");
        if (rule->name == "remote" && static_cast<std::size_t>(seen) == mostRemotes) {
            return refusal(number, "names more than " + std::to_string(mostRemotes) + " remote servers");
        }
        const std::size_t given = found.size() - 1;
        if (given < rule->required) return refusal(number, "gives " + quoted + " too few arguments");
        if (given > rule->arguments.size()) return refusal(number, "gives " + quoted + " too many arguments");
        OpenVpnDirective directive{rule->name, {}};
        for (std::size_t index = 0; index < given; ++index) {
            const auto& kind = rule->arguments[index];
            auto canonical = kind.canonical(found[index + 1]);
            if (!canonical) {
                return refusal(number,
                               "gives " + quoted + " an argument " + std::to_string(index + 1) + " that is not " + kind.what());
            }
            directive.arguments.push_back(std::move(*canonical));
        }
        profile_.directives.push_back(std::move(directive));
        return {};
    }

    Expected<void> openBlock(std::size_t number, const std::vector<std::string_view>& found) {
        const auto name = found.front();
        const auto tag = name.size() > 2 && name.back() == '>' ? name.substr(1, name.size() - 2) : std::string_view{};
        const auto content = OpenVpnDirectives::blockContent(tag);
        if (found.size() != 1 || !content) return refusal(number, "opens a block the helper does not accept");
        const bool seen =
            std::any_of(profile_.blocks.begin(), profile_.blocks.end(), [&](const auto& block) { return block.tag == tag; });
        if (seen) return refusal(number, "repeats the <" + std::string(tag) + "> block, which may appear once");
        block_ = OpenBlock{std::string(tag), *content, number, {}};
        return {};
    }

    OpenVpnProfile profile_;
    std::optional<OpenBlock> block_;
};

}  // namespace

Expected<OpenVpnProfile> parse(std::string_view text) {
    if (text.size() > largestProfile) return Error{EFBIG, "The profile is larger than 1 MiB"};
    return Reader().read(text);
}

}  // namespace corvantis::helper::OpenVpnProfileParser

#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"

#include "HelperService/CorvantisHelperInterface/ShellText.hpp"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace corvantis::helper {

namespace {

enum class HoleKind { address, doubleQuotedFile, wordFile };

struct Hole {
    HoleKind kind;
    // For a bundle file: its path inside the resources folder, "/name".
    std::string_view file;
};

// A form cut at its holes: literal, hole, literal, ..., hole, literal.
struct SplitForm {
    std::vector<std::string_view> literals;
    std::vector<Hole> holes;
};

SplitForm split(std::string_view form) {
    static constexpr std::pair<std::string_view, HoleKind> marks[] = {
        {"<address>", HoleKind::address}, {"<dq:", HoleKind::doubleQuotedFile}, {"<word:", HoleKind::wordFile}};
    SplitForm made;
    for (;;) {
        auto start = std::string_view::npos;
        std::pair<std::string_view, HoleKind> found{};
        for (const auto& mark : marks) {
            if (const auto at = form.find(mark.first); at < start) {
                start = at;
                found = mark;
            }
        }
        made.literals.push_back(form.substr(0, start));
        if (start == std::string_view::npos) return made;
        const auto end = found.second == HoleKind::address ? start + found.first.size() : form.find('>', start) + 1;
        const auto inner = form.substr(start + found.first.size(), end - 1 - start - found.first.size());
        made.holes.push_back({found.second, found.second == HoleKind::address ? std::string_view() : inner});
        form.remove_prefix(end);
    }
}

template <typename Record>
const SplitForm& splitFormOf() {
    static const SplitForm form = split(Record::form);
    return form;
}

std::string fileText(const std::string& path, HoleKind kind) {
    return kind == HoleKind::doubleQuotedFile ? ShellText::doubleQuoted(path) : ShellText::word(path);
}

template <typename Record>
std::string render(const Record& record) {
    const SplitForm& form = splitFormOf<Record>();
    std::string line(form.literals[0]);
    std::size_t hole = 0;
    const auto append = [&](const auto& field) {
        if constexpr (std::is_same_v<std::decay_t<decltype(field)>, Ipv4Address>) {
            line += field.text();
        } else {
            line += fileText(field.string(), form.holes[hole].kind);
        }
        line += form.literals[++hole];
    };
    std::apply([&](const auto&... fields) { (append(fields), ...); }, Record::fields(record));
    return line;
}

using HoleValue = std::variant<Ipv4Address, std::filesystem::path>;

// What one form made of a line: the record, or why not.
template <typename Record>
using Attempt = std::variant<Record, RootCommandMismatch>;

// The holes' values in order, read from the line. Everything between them must be the form's
// literal text, and nothing may follow the last literal.
template <typename Record>
std::variant<std::vector<HoleValue>, RootCommandMismatch> readHoles(std::string_view line,
                                                                    const std::filesystem::path& resources) {
    const SplitForm& form = splitFormOf<Record>();
    const RootCommandMismatch unknown{};
    std::vector<HoleValue> values;
    for (std::size_t index = 0;; ++index) {
        if (!line.starts_with(form.literals[index])) return unknown;
        line.remove_prefix(form.literals[index].size());
        if (index == form.holes.size()) {
            if (!line.empty()) return unknown;
            return values;
        }
        const Hole& hole = form.holes[index];
        if (hole.kind == HoleKind::address) {
            // The address runs up to where the next literal text begins.
            const std::string_view next = form.literals[index + 1];
            const auto end = next.empty() ? line.size() : line.find(next);
            if (end == std::string_view::npos) return unknown;
            const auto address = Ipv4Address::parse(line.substr(0, end));
            if (!address) return RootCommandMismatch{RootCommandMismatch::Reason::notAnAddress, std::string(line.substr(0, end))};
            values.emplace_back(*address);
            line.remove_prefix(end);
            continue;
        }
        if (resources.empty()) return unknown;
        const std::string path = resources.string() + std::string(hole.file);
        const std::string text = fileText(path, hole.kind);
        if (!line.starts_with(text)) return unknown;
        values.emplace_back(std::filesystem::path(path));
        line.remove_prefix(text.size());
    }
}

template <typename Record>
Attempt<Record> parseAs(std::string_view line, const std::filesystem::path& resources) {
    auto read = readHoles<Record>(line, resources);
    if (auto* mismatch = std::get_if<RootCommandMismatch>(&read)) return std::move(*mismatch);
    const auto& values = std::get<std::vector<HoleValue>>(read);
    Record record{};
    std::size_t next = 0;
    std::vector<const void*> filled;
    bool consistent = true;
    const auto take = [&](auto& field) {
        using Field = std::decay_t<decltype(field)>;
        const Field& value = std::get<Field>(values[next++]);
        if (std::find(filled.begin(), filled.end(), &field) != filled.end()) {
            consistent = consistent && field == value;
            return;
        }
        filled.push_back(&field);
        field = value;
    };
    std::apply([&](auto&... fields) { (take(fields), ...); }, Record::fields(record));
    if (!consistent) return RootCommandMismatch{RootCommandMismatch::Reason::twoValuesForOneField, {}};
    return record;
}

template <std::size_t... Index>
std::variant<RootCommand, RootCommandMismatch> parseAny(std::string_view line, const std::filesystem::path& resources,
                                                        std::index_sequence<Index...>) {
    std::optional<RootCommand> command;
    std::optional<RootCommandMismatch> nearest;
    std::optional<RootCommandMismatch> conflict;
    // The first form that takes the line wins; a line that fits a form but for its values is
    // answered by the first such form.
    const auto tryForm = [&](auto record) {
        using Record = decltype(record);
        auto attempt = parseAs<Record>(line, resources);
        if (auto* parsed = std::get_if<Record>(&attempt)) {
            command = std::move(*parsed);
            return true;
        }
        auto& mismatch = std::get<RootCommandMismatch>(attempt);
        if (mismatch.reason == RootCommandMismatch::Reason::twoValuesForOneField) {
            conflict = std::move(mismatch);
            return true;
        }
        if (mismatch.reason == RootCommandMismatch::Reason::notAnAddress && !nearest) nearest = std::move(mismatch);
        return false;
    };
    (tryForm(std::variant_alternative_t<Index, RootCommand>{}) || ...);
    if (command) return std::move(*command);
    if (conflict) return std::move(*conflict);
    if (nearest) return std::move(*nearest);
    return RootCommandMismatch{};
}

}  // namespace

std::string commandLine(const RootCommand& command) {
    return std::visit([](const auto& record) { return render(record); }, command);
}

std::variant<RootCommand, RootCommandMismatch> parseCommandLine(std::string_view line,
                                                                const std::filesystem::path& bundleResources) {
    return parseAny(line, bundleResources, std::make_index_sequence<std::variant_size_v<RootCommand>>());
}

}  // namespace corvantis::helper

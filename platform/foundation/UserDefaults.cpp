#include "platform/foundation/UserDefaults.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ReplacementFile.hpp"
#include "platform/foundation/UserDirectories.hpp"

#include <cctype>
#include <charconv>

namespace platform::foundation {

namespace {
std::string lowercased(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<double> numberOf(const nlohmann::json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1.0 : 0.0;
    if (value.is_number()) return value.get<double>();
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        double number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error == std::errc() && end == text.data() + text.size()) return number;
    }
    return std::nullopt;
}
}  // namespace

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    return Services::current().userDefaults();
}

std::shared_ptr<UserDefaults> UserDefaults::standardForCurrentUser() {
    static auto* defaults =
        new std::shared_ptr<UserDefaults>(open(configurationHome() / "corvantis" / (std::string(defaultDomain) + ".json")));
    return *defaults;
}

std::shared_ptr<UserDefaults> UserDefaults::open(std::filesystem::path file) {
    std::shared_ptr<UserDefaults> defaults(new UserDefaults(std::move(file)));
    defaults->load();
    return defaults;
}

void UserDefaults::load() {
    ReplacementFile::removeStaleTemporaries(file_);
    if (!FileSystem::fileExists(file_)) return;
    auto content = FileSystem::readFile(file_);
    if (!content) {
        loadProblem_ = content.error();
        return;
    }
    auto parsed = nlohmann::json::parse(content.value(), nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object()) {
        values_ = std::move(parsed);
        return;
    }
    const auto aside = FileSystem::moveAsideDamagedFile(file_);
    if (!aside) {
        loadProblem_ = Error{aside.error().code, "The settings file " + file_.string() +
                                                     " is damaged and could not be moved aside: " + aside.error().message};
        return;
    }
    loadProblem_ = Error{EINVAL, "The settings file " + file_.string() + " was damaged; it was kept as " +
                                     aside.value().string() + " and the settings start empty"};
}

std::optional<Error> UserDefaults::loadProblem() const {
    std::lock_guard lock(mutex_);
    return loadProblem_;
}

std::optional<nlohmann::json> UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return *found;
}

std::optional<std::string> UserDefaults::string(const std::string& key) const {
    const auto value = object(key);
    if (!value) return std::nullopt;
    if (value->is_string()) return value->get<std::string>();
    if (value->is_number()) return value->dump();
    return std::nullopt;
}

bool UserDefaults::boolValue(const std::string& key) const {
    const auto value = object(key);
    if (!value) return false;
    if (value->is_string()) {
        const auto text = lowercased(value->get<std::string>());
        return text == "true" || text == "yes" || text == "1";
    }
    const auto number = numberOf(*value);
    return number && *number != 0.0;
}

long long UserDefaults::integer(const std::string& key) const {
    const auto value = object(key);
    if (!value) return 0;
    if (value->is_number_integer()) return value->get<long long>();
    const auto number = numberOf(*value);
    return number ? static_cast<long long>(*number) : 0;
}

double UserDefaults::doubleValue(const std::string& key) const {
    const auto value = object(key);
    if (!value) return 0.0;
    return numberOf(*value).value_or(0.0);
}

nlohmann::json UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

Expected<void> UserDefaults::set(const nlohmann::json& value, const std::string& key) {
    std::lock_guard lock(mutex_);
    values_[key] = value;
    return persist();
}

Expected<void> UserDefaults::removeObject(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key) == 0) return {};
    return persist();
}

Expected<void> UserDefaults::persist() const {
    if (auto folder = FileSystem::createDirectories(file_.parent_path(), 0700); !folder) return folder;
    // Texts that are not valid UTF-8 are written with replacement characters rather than lost.
    const std::string text = values_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    return FileSystem::writeFileAtomically(file_, text + "\n", 0600);
}

}  // namespace platform::foundation

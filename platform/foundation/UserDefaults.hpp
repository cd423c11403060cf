#pragma once

#include "platform/foundation/Expected.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::foundation {

// Settings of one domain, kept as a JSON object in a file of the user's own (mode 0600).
// Reads come from memory; every change is written through at once, atomically, so a crash
// leaves the old or the new file, never a broken one.
class UserDefaults {
public:
    static constexpr const char* defaultDomain = "com.corvantis.Corvantis";

    // The defaults in force: the installed platform services' store, else the user's own.
    static std::shared_ptr<UserDefaults> standard();
    // The user's own store: "$XDG_CONFIG_HOME/corvantis/com.corvantis.Corvantis.json"
    // (XDG_CONFIG_HOME defaults to "~/.config").
    static std::shared_ptr<UserDefaults> standardForCurrentUser();
    // Opens the store kept in `file`. A file that is not a JSON object is moved aside to
    // "<file>.corrupt-<seconds since 1970>" and reported through `loadProblem`; the store starts empty.
    static std::shared_ptr<UserDefaults> open(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }
    // What went wrong while loading, if anything did.
    std::optional<Error> loadProblem() const;

    // Typed reads. `object` and `string` tell an absent key (none) from an empty value.
    std::optional<nlohmann::json> object(const std::string& key) const;
    // A text value, or the text of a number; none for anything else.
    std::optional<std::string> string(const std::string& key) const;
    // true for true, non-zero numbers and the texts "true", "yes" and "1" (any case); else false.
    bool boolValue(const std::string& key) const;
    // Whole numbers of numbers and numeric texts; 0 when absent or not numeric.
    long long integer(const std::string& key) const;
    double doubleValue(const std::string& key) const;
    nlohmann::json dictionaryRepresentation() const;

    // Stores a value and writes the file. The value is kept in memory even when the write fails,
    // so the running program goes on seeing what it set; the error tells that it is not on disk.
    Expected<void> set(const nlohmann::json& value, const std::string& key);
    Expected<void> removeObject(const std::string& key);

private:
    explicit UserDefaults(std::filesystem::path file) : file_(std::move(file)) {}
    void load();
    Expected<void> persist() const;

    const std::filesystem::path file_;
    mutable std::mutex mutex_;
    nlohmann::json values_ = nlohmann::json::object();
    std::optional<Error> loadProblem_;
};

}  // namespace platform::foundation

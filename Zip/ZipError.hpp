#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <string>

namespace corvantis::zip {

// The one failure type of the archive operations; they throw it and nothing else.
class ZipError : public std::exception {
public:
    enum Case { fileNotFound, unzipFail, zipFail };

    ZipError(Case value) : case_(value) {}

    Case value() const { return case_; }
    bool operator==(const ZipError& other) const { return case_ == other.case_; }

    // The user-facing text: "File not found.", "Failed to unzip file." or "Failed to zip file.".
    std::string description() const;
    // The generic text the platform gives an error of this type, naming the type and the case's
    // position: "The operation couldn’t be completed. (Zip.ZipError error 2.)".
    const char* what() const noexcept override;

private:
    Case case_;
};

}  // namespace corvantis::zip

template <>
struct std::hash<corvantis::zip::ZipError> {
    std::size_t operator()(const corvantis::zip::ZipError& error) const noexcept { return std::hash<int>()(error.value()); }
};

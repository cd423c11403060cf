#include "Zip/ZipError.hpp"

namespace corvantis::zip {

std::string ZipError::description() const {
    switch (case_) {
        case fileNotFound: return "File not found.";
        case unzipFail: return "Failed to unzip file.";
        case zipFail: return "Failed to zip file.";
    }
    return {};
}

const char* ZipError::what() const noexcept {
    switch (case_) {
        case fileNotFound: return "The operation couldn’t be completed. (Zip.ZipError error 0.)";
        case unzipFail: return "The operation couldn’t be completed. (Zip.ZipError error 1.)";
        case zipFail: return "The operation couldn’t be completed. (Zip.ZipError error 2.)";
    }
    return "";
}

}  // namespace corvantis::zip

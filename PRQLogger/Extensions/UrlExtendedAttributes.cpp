#include "PRQLogger/Extensions/UrlExtendedAttributes.hpp"

#include "platform/foundation/ExtendedAttributes.hpp"

#include <cerrno>
#include <cstring>

namespace prq {

namespace ExtendedAttributes = platform::foundation::ExtendedAttributes;
using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::Url;

namespace {
// A web URL has no file-system representation: the system would be handed no path at all.
Error noFilePath() {
    return Error{EFAULT, std::strerror(EFAULT)};
}
}  // namespace

Expected<std::optional<std::string>> extendedAttribute(const Url& url, std::string_view name) {
    if (!url.isFileUrl()) return std::optional<std::string>();
    return ExtendedAttributes::get(url.path(), name);
}

Expected<void> setExtendedAttribute(const Url& url, std::string_view data, std::string_view name) {
    if (!url.isFileUrl()) return noFilePath();
    return ExtendedAttributes::set(url.path(), name, data);
}

Expected<void> removeExtendedAttribute(const Url& url, std::string_view name) {
    if (!url.isFileUrl()) return noFilePath();
    return ExtendedAttributes::remove(url.path(), name);
}

Expected<std::vector<std::string>> listExtendedAttributes(const Url& url) {
    if (!url.isFileUrl()) return noFilePath();
    return ExtendedAttributes::list(url.path());
}

}  // namespace prq

#include "testbed/helper/ReachableCopy.hpp"

#include "platform/foundation/ResourceDirectory.hpp"

#include <sys/stat.h>

namespace corvantis::testbed {

using platform::foundation::Error;
using platform::foundation::Expected;
namespace fs = std::filesystem;

namespace {

constexpr auto readableByAll =
    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

Error failure(const std::string& what, const std::error_code& error) {
    return Error{error.value(), what + ": " + error.message()};
}

}  // namespace

Expected<ReachableCopy> ReachableCopy::in(const fs::path& folder) {
    std::error_code error;
    const auto absolute = fs::absolute(folder, error);
    fs::create_directories(absolute, error);
    if (error) return failure("cannot make " + absolute.string(), error);
    fs::permissions(absolute, readableByAll, error);
    if (error) return failure("cannot open " + absolute.string() + " to every user", error);
    for (auto above = absolute; above != above.parent_path(); above = above.parent_path()) {
        struct stat status {};
        if (::stat(above.c_str(), &status) != 0) return Error::fromErrno("cannot read " + above.string());
        if ((status.st_mode & S_IXOTH) == 0) {
            return Error{EACCES, above.string() + " keeps other users out of " + absolute.string() +
                                     ": give a folder that every user can reach"};
        }
    }
    return ReachableCopy(absolute);
}

Expected<fs::path> ReachableCopy::program(const fs::path& program, const fs::path& name) const {
    std::error_code error;
    const auto target = folder_ / name;
    fs::create_directories(target.parent_path(), error);
    fs::copy_file(fs::canonical(program, error), target, fs::copy_options::overwrite_existing, error);
    if (!error) fs::permissions(target, readableByAll, error);
    if (error) return failure("cannot copy " + program.string() + " to " + target.string(), error);
    return target;
}

Expected<fs::path> ReachableCopy::bundle(const fs::path& application, const fs::path& helper) const {
    auto copied = program(application, application.filename());
    if (!copied) return copied;
    for (const auto& [from, to] : {std::pair{helper, "Contents/Library/LaunchServices" / helper.filename()},
                                   std::pair{application.parent_path() / "Info.json", fs::path("Info.json")}}) {
        if (auto made = program(from, to); !made) return made.error();
    }
    std::error_code error;
    const auto resources = folder_ / "Resources";
    fs::copy(platform::foundation::resourceDirectory(), resources, fs::copy_options::recursive, error);
    if (!error) fs::permissions(resources, readableByAll, error);
    for (auto entry = fs::recursive_directory_iterator(resources, error); !error && entry != fs::end(entry);
         entry.increment(error)) {
        fs::permissions(entry->path(),
                        entry->is_directory()
                            ? readableByAll
                            : fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
                        error);
    }
    if (error) return failure("cannot copy the resources to " + resources.string(), error);
    return copied;
}

}  // namespace corvantis::testbed

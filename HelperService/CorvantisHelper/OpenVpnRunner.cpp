#include "HelperService/CorvantisHelper/OpenVpnRunner.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

constexpr std::string_view profileName = "config.ovpn";
constexpr std::string_view credentialsName = "credentials";

std::filesystem::path normal(const std::string& path) {
    auto made = std::filesystem::path(path).lexically_normal();
    if (!made.has_filename() && made != made.root_path()) made = made.parent_path();
    return made;
}

// The caller chose where the profile lies: a reason names the file and its folder in words.
// Each pass moves past what it replaced, so it ends; an empty path or "/" would match
// everywhere and names no place worth hiding, so it is left as it stands.
std::string withoutPathsOf(const std::filesystem::path& profile, std::string reason) {
    const std::pair<std::string, std::string> names[] = {{profile.string(), "the profile"},
                                                         {profile.parent_path().string(), "the profile's folder"}};
    for (const auto& [path, name] : names) {
        if (path.empty() || path == profile.root_path()) continue;
        for (auto at = reason.find(path); at != std::string::npos; at = reason.find(path, at + name.size())) {
            reason.replace(at, path.size(), name);
        }
    }
    return reason;
}

bool breaksLines(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

}  // namespace

OpenVpnRunner::OpenVpnRunner(const HelperConfiguration& configuration,
                             std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log,
                             Shared shared)
    : configuration_(configuration), launcher_(std::move(launcher)), log_(std::move(log)), shared_(std::move(shared)) {}

void OpenVpnRunner::runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                               const std::optional<std::string>& password, const std::string& workingDirectory,
                               const platform::xpc::PeerCredentials& caller, TextArrayReply reply) {
    auto refuse = [&](const Error& error) {
        log_->notice("OpenVPN not started: " + error.message);
        if (reply) reply(std::vector<std::string>{"ended", "OpenVPN ended with output:" + error.message + "\n"});
    };
    // Before anything else: every check below and every reason it gives names absolute paths.
    if (!std::filesystem::path(config).is_absolute()) return refuse(Error{EINVAL, "the profile's path is not absolute"});
    auto prepared = prepare(config, userName, password, workingDirectory, caller);
    if (!prepared) return refuse(prepared.error());
    auto input = platform::foundation::InputPipe::make();
    if (!input) return refuse(input.error());

    std::unique_lock lock(registry_->mutex);
    if (registry_->runs.size() >= maximumRuns) {
        lock.unlock();
        return refuse(Error{EBUSY, std::to_string(maximumRuns) +
                                       " OpenVPN runs are going already; disconnect ends them before another can start"});
    }
    // Before openvpn sends its first packet: the guard lets out this server and no other. A
    // refused run changes nothing there.
    if (shared_.endpoints) shared_.endpoints->use(prepared.value().endpoints);
    log_->notice("Starting OpenVPN");
    const auto& program = configuration_.tools.openvpn;
    if (normal(path) != program) {
        log_->notice("Running " + program.string() + " in place of the requested program");
    }
    std::string commandLine = program.string();
    for (const auto& argument : prepared.value().arguments) commandLine += " " + argument;
    log_->notice(commandLine);
    const platform::foundation::ProcessRequest request{program, prepared.value().arguments, prepared.value().folder->path(),
                                                       input.value()};
    std::weak_ptr<Registry> registry = registry_;
    auto run = std::make_shared<OpenVpnRun>(OpenVpnRun::Parts{userName, password, std::move(prepared.value().folder),
                                                              input.value(), std::move(reply), shared_.network},
                                            launcher_, log_, [registry](const OpenVpnRun* ended) {
                                                if (auto live = registry.lock()) live->forget(ended);
                                            });
    // Listed before it starts, so that a kill arriving meanwhile finds it; the run itself
    // answers when it cannot start.
    registry_->runs.push_back(run);
    if (!run->launch(request)) registry_->runs.pop_back();
}

void OpenVpnRunner::killOpenVPN() {
    log_->notice("terminating openvpn process");
    std::lock_guard lock(registry_->mutex);
    for (const auto& run : registry_->runs) run->stop();
}

bool OpenVpnRunner::waitUntilAllEnded(std::chrono::milliseconds limit) const {
    std::unique_lock lock(registry_->mutex);
    return registry_->changed.wait_for(lock, limit, [&] { return registry_->runs.empty(); });
}

void OpenVpnRunner::Registry::forget(const OpenVpnRun* run) {
    std::lock_guard lock(mutex);
    std::erase_if(runs, [run](const auto& listed) { return listed.get() == run; });
    changed.notify_all();
}

Expected<OpenVpnRunner::Prepared> OpenVpnRunner::prepare(const std::string& config, const std::optional<std::string>& userName,
                                                         const std::optional<std::string>& password,
                                                         const std::string& workingDirectory,
                                                         const platform::xpc::PeerCredentials& caller) const {
    const auto& resources = configuration_.bundleResources;
    if (resources.empty()) return Error{EPERM, "the helper has no bundle-resources folder configured"};
    if (normal(workingDirectory) != resources) {
        return Error{EPERM, "the working directory is not the bundle's resources folder " + resources.string()};
    }
    const auto profilePath = normal(config);
    if (profilePath.filename() != profileName) {
        return Error{EPERM, "the profile is not a " + std::string(profileName)};
    }
    // The application writes the profile into a private folder of the user's own; root reads it
    // only with that user's rights, so it can never be led to a file the user could not read.
    auto profile = RootFiles::readPrivateFileOf(profilePath, caller.uid, caller.gid, OpenVpnProfileParser::largestProfile);
    if (!profile && profile.error().code == EFBIG) return Error{EFBIG, "the profile is larger than 1 MiB"};
    if (!profile) {
        return Error{profile.error().code, "the profile is not a private file of uid " + std::to_string(caller.uid) + ": " +
                                               withoutPathsOf(profilePath, profile.error().message)};
    }
    // openvpn reads only what the helper understood and wrote itself, never the user's text.
    auto parsed = OpenVpnProfileParser::parse(profile.value());
    if (!parsed) return parsed.error();

    const bool withCredentials = userName && password;
    if (withCredentials && (breaksLines(*userName) || breaksLines(*password))) {
        return Error{EINVAL, "the user name or the password holds a line break"};
    }
    auto folder = RunFolder::make(configuration_.runtimeFolder, "openvpn");
    if (!folder) return folder.error();
    const auto& made = *folder.value();
    auto writtenProfile = made.write(profileName, parsed.value().render(), 0600);
    if (!writtenProfile) return writtenProfile.error();
    for (const auto& script : parsed.value().scripts()) {
        // A script runs as root: only one that nobody but root could have written is copied,
        // and the copy is what runs, so it cannot be swapped after the check.
        auto content = RootFiles::readTrustedFile(resources / script);
        if (!content) return Error{content.error().code, "refusing the bundle's " + script + ": " + content.error().message};
        if (auto copied = made.write(script, content.value(), 0700); !copied) return copied.error();
    }
    std::vector<std::string> arguments{"--ignore-unknown-option",       "keysize",           "--config",
                                       writtenProfile.value().string(), "--script-security", "2"};
    if (withCredentials) {
        auto credentials = made.write(credentialsName, *userName + "\n" + *password + "\n", 0600);
        if (!credentials) return credentials.error();
        arguments.insert(arguments.end(), {"--auth-user-pass", credentials.value().string()});
    }
    return Prepared{std::move(folder.value()), std::move(arguments), ServerEndpoints::ofProfile(parsed.value())};
}

}  // namespace corvantis::helper

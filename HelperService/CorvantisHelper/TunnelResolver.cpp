#include "HelperService/CorvantisHelper/TunnelResolver.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ProcessRun.hpp"

#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::helper {

namespace FileSystem = platform::foundation::FileSystem;

namespace {
// What the kept copy says when there was no resolver file: no resolver file reads the same.
constexpr std::string_view noFileBefore = "# There was no resolver file before the tunnel.\n";
}  // namespace

TunnelResolver::TunnelResolver(const HelperConfiguration& configuration,
                               std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log)
    : paths_(configuration.resolver),
      resolvectl_(configuration.tools.resolvectl),
      launcher_(std::move(launcher)),
      log_(std::move(log)) {}

std::string TunnelResolver::fileText(const TunnelPush& push) {
    std::string text = std::string(marker) + "\n";
    for (const auto& server : push.nameServers) text += "nameserver " + server.text() + "\n";
    if (!push.domains.empty()) {
        text += "search";
        for (const auto& domain : push.domains) text += " " + domain;
        text += "\n";
    }
    return text;
}

void TunnelResolver::use(const TunnelPush& push) {
    std::lock_guard lock(mutex_);
    if (push.nameServers.empty()) {
        log_->notice("The VPN server pushed no name server: the resolver configuration stays as it is");
        return;
    }
    if (push.link.empty()) {
        log_->notice("The up script did not name the tunnel's device: the resolver configuration stays as it is");
        return;
    }
    nameServers_.clear();
    for (const auto& server : push.nameServers) nameServers_.push_back(server.text());
    if (resolvedRuns()) {
        useResolved(push);
    } else {
        useFile(push);
    }
}

void TunnelResolver::useResolved(const TunnelPush& push) {
    std::vector<std::string> servers{"dns", push.link};
    servers.insert(servers.end(), nameServers_.begin(), nameServers_.end());
    std::vector<std::string> domains{"domain", push.link, "~."};
    domains.insert(domains.end(), push.domains.begin(), push.domains.end());
    if (resolvectl(servers) && resolvectl(domains) && resolvectl({"default-route", push.link, "yes"})) {
        resolvedLink_ = push.link;
        log_->notice("The tunnel's " + std::to_string(nameServers_.size()) +
                     " name servers answer every name (systemd-resolved)");
    }
}

void TunnelResolver::useFile(const TunnelPush& push) {
    // A file already the tunnel's (an earlier run that did not end cleanly) is no file to keep.
    if (!fileIsTheTunnels()) {
        auto current = RootFiles::readRegularFile(paths_.etc);
        // No file at all is kept as a copy that says so: the end of the tunnel removes its file.
        if (!current && current.error().code == ENOENT) current = std::string(noFileBefore);
        if (!current) {
            log_->notice("The resolver file cannot be kept, so it stays as it is: " + current.error().message);
            return;
        }
        if (auto folder = FileSystem::createDirectories(paths_.beforeTunnel.parent_path(), 0755); !folder) {
            log_->notice("The resolver file cannot be kept, so it stays as it is: " + folder.error().message);
            return;
        }
        if (auto kept = FileSystem::writeFileAtomically(paths_.beforeTunnel, current.value(), 0644); !kept) {
            log_->notice("The resolver file cannot be kept, so it stays as it is: " + kept.error().message);
            return;
        }
    }
    if (auto written = FileSystem::writeFileAtomically(paths_.etc, fileText(push), 0644); !written) {
        log_->notice("The tunnel's name servers were not written: " + written.error().message);
        return;
    }
    log_->notice("The tunnel's " + std::to_string(nameServers_.size()) + " name servers are in " + paths_.etc.string());
}

void TunnelResolver::putBack() {
    std::lock_guard lock(mutex_);
    nameServers_.clear();
    if (resolvedLink_) {
        // The link may be gone already, and systemd-resolved with it forgot it.
        resolvectl({"revert", *std::exchange(resolvedLink_, std::nullopt)});
    }
    putBackFile();
}

void TunnelResolver::putBackFile() {
    struct stat kept {};
    if (::lstat(paths_.beforeTunnel.c_str(), &kept) != 0) return;
    const auto previous = RootFiles::readTrustedFile(paths_.beforeTunnel);
    if (!previous) {
        log_->notice("The resolver file from before the tunnel cannot be read: " + previous.error().message);
        return;
    }
    // Another program that wrote the file meanwhile (a new lease) has the last word.
    if (fileIsTheTunnels() && previous.value() == noFileBefore) {
        ::unlink(paths_.etc.c_str());
        log_->notice("The tunnel's resolver file is gone again: there was none before it");
    } else if (fileIsTheTunnels()) {
        if (auto written = FileSystem::writeFileAtomically(paths_.etc, previous.value(), 0644); !written) {
            log_->notice("The resolver file from before the tunnel was not put back: " + written.error().message);
            return;
        }
        log_->notice("The resolver file from before the tunnel is back in " + paths_.etc.string());
    }
    ::unlink(paths_.beforeTunnel.c_str());
}

bool TunnelResolver::fileIsTheTunnels() const {
    const auto current = RootFiles::readRegularFile(paths_.etc);
    return current && current.value().starts_with(std::string(marker) + "\n");
}

platform::foundation::Expected<std::string> TunnelResolver::fileOutsideTunnel() const {
    std::lock_guard lock(mutex_);
    if (fileIsTheTunnels()) return RootFiles::readTrustedFile(paths_.beforeTunnel);
    return FileSystem::readFile(paths_.etc);
}

std::vector<std::string> TunnelResolver::tunnelNameServers() const {
    std::lock_guard lock(mutex_);
    return nameServers_;
}

bool TunnelResolver::resolvedRuns() const {
    struct stat socket {};
    return ::stat(paths_.resolvedSocket.c_str(), &socket) == 0 && ::access(resolvectl_.c_str(), X_OK) == 0;
}

bool TunnelResolver::resolvectl(std::vector<std::string> arguments) const {
    const std::string verb = arguments.front();
    const auto ran = platform::foundation::runToEnd(*launcher_, {resolvectl_, std::move(arguments), {}});
    if (ran && ran.value().exit.succeeded()) return true;
    log_->notice("resolvectl " + verb + " failed: " + (ran ? ran.value().standardError : ran.error().message));
    return false;
}

}  // namespace corvantis::helper

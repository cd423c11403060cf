#include "app/LogExport.hpp"

#include "Zip/Zip.hpp"
#include "app/AppDelegate.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/NumberText.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/ui/SavePanel.hpp"
#include "platform/ui/WindowLevel.hpp"

#include <cerrno>
#include <fcntl.h>
#include <source_location>

namespace corvantis::LogExport {

namespace {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Url;

constexpr const char* logFolderName = "CorvantisLogs";
constexpr const char* errorPrefix = "Saving logs error: ";
constexpr const char* skippedPrefix = "Saving logs skipped ";

// Held by each stage of a running export: the packing, its outcome, the panel's completion. The
// export is over once none holds it, whether its panel was answered or dropped with its window.
// A second export meanwhile would pack over the archive that the first one's panel copies and
// removes.
struct Running {};
std::weak_ptr<Running> running;  // main queue only

std::shared_ptr<prq::PRQLogger> logger() {
    const auto delegate = AppDelegate::shared();
    return delegate ? delegate->logger : prq::PRQLogger::defaultLogger();
}

// The export is the label's mouse-down, so its lines carry that handler's name.
void log(prq::Level level, const std::string& message, std::source_location where = std::source_location::current()) {
    logger()->logln(level, prq::CallSite("mouseDown(with:)", where.file_name(), where.line()), {},
                    [&]() -> std::optional<std::string> { return message; });
}

Url fileUrl(const std::filesystem::path& path) {
    return Url::fileUrl(path.string(), FileSystem::isDirectory(path));
}

// Whether both paths lead to one file, links followed and any spelling of the path.
bool isSameFile(const std::filesystem::path& one, const std::filesystem::path& other) {
    std::error_code error;
    return std::filesystem::equivalent(one, other, error);
}

// Copies the archive over the chosen file; a failure is logged and put to the user, since they
// asked for the file and would otherwise believe it saved.
void save(const std::filesystem::path& archive, const std::filesystem::path& chosen) {
    const auto copied = FileSystem::copyFileReplacing(archive, chosen);
    if (copied) return;
    log(prq::Level::error, errorPrefix + copied.error().message);
    if (const auto delegate = AppDelegate::shared()) {
        delegate->alert("The logs could not be saved", copied.error().message, "OK", std::nullopt, {});
    }
}

// A new, empty file for the archive, which the packing then replaces. An earlier export of the
// same minute may have left its archive there as the user's saved copy: that file is never
// packed over, nor removed afterwards.
platform::foundation::Expected<std::filesystem::path> newArchive(const std::filesystem::path& folder,
                                                                 const std::string& baseName) {
    for (int attempt = 1; attempt <= 100; ++attempt) {
        auto path = folder / (baseName + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".zip");
        platform::foundation::FileDescriptor reserved(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (reserved.isOpen()) return path;
        if (errno != EEXIST) return platform::foundation::Error::fromErrno("Cannot create " + path.string());
    }
    return platform::foundation::Error{EEXIST, "Every name for the archive of " + baseName + " is taken"};
}

// Offers the packed archive in a save panel on `window`; the export ends when the panel closes.
void offer(const std::shared_ptr<platform::ui::Window>& window, const std::filesystem::path& archive, const std::string& baseName,
           std::shared_ptr<Running> inProgress) {
    auto panel = std::make_shared<platform::ui::SavePanel>();
    panel->setLevel(platform::ui::WindowLevel::modalPanel);
    panel->setTitle("Choose a destination");
    panel->setNameFieldStringValue(baseName);
    panel->setShowsHiddenFiles(false);
    panel->setCanCreateDirectories(true);
    panel->setAllowedFileTypes({"zip"});
    if (!window) {
        // No window to ask in: nobody can take the archive, so it goes.
        (void)FileSystem::removeItem(archive);
        return;
    }
    panel->beginSheetModal(*window, [panel, archive, inProgress = std::move(inProgress)](platform::ui::ModalResponse response) {
        const bool chosen = response == platform::ui::ModalResponse::ok && panel->url();
        // Chosen under the offered name in the temporary folder (however the path is spelt), the
        // archive is the user's file: a copy onto itself and removing it would lose it.
        if (chosen && isSameFile(archive, panel->url()->path())) return;
        if (chosen) save(archive, panel->url()->path());
        // The copy is the user's; the archive would otherwise pile up, one per export.
        (void)FileSystem::removeItem(archive);
    });
}

// Packs on a worker thread, so that a large folder does not stop the interface; the reports
// and the outcome come back to `main` in order. Only regular files inside the log folder are
// taken, no link followed: a link there would put other files (the settings, the keychain)
// into an archive the user hands on, and a FIFO would wait for a writer forever.
void pack(std::vector<Url> paths, std::filesystem::path archive, std::string baseName, std::weak_ptr<platform::ui::Window> window,
          std::shared_ptr<Running> inProgress) {
    const auto main = platform::dispatch::DispatchQueue::main();
    platform::dispatch::DispatchQueue::global()->async([main, paths = std::move(paths), archive = std::move(archive),
                                                        baseName = std::move(baseName), window = std::move(window),
                                                        inProgress = std::move(inProgress)] {
        std::optional<std::string> failure;
        try {
            zip::Zip::zipRegularFiles(
                paths, Url::fileUrl(archive.string()), std::nullopt, zip::ZipCompression::DefaultCompression,
                [&main](double fraction) {
                    main->async([fraction] { log(prq::Level::info, platform::foundation::doubleDescription(fraction)); });
                },
                [&main](const Url& item, const std::string& reason) {
                    main->async([path = item.path(), reason] { log(prq::Level::warning, skippedPrefix + path + ": " + reason); });
                });
        } catch (const zip::ZipError& error) {
            failure = error.what();
        }
        main->async([failure = std::move(failure), archive, baseName, window, inProgress] {
            if (!failure) return offer(window.lock(), archive, baseName, inProgress);
            log(prq::Level::error, errorPrefix + *failure);
        });
    });
}

}  // namespace

void start(platform::ui::Window* window) {
    if (!running.expired()) return;
    log(prq::Level::info, "Saving logs...");
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) {
        log(prq::Level::error, errorPrefix + temporary.error().message);
        return;
    }
    const auto folder = temporary.value() / logFolderName;
    log(prq::Level::info, "Logs path: " + fileUrl(folder).absoluteString());
    const auto entries = FileSystem::contentsOfDirectory(folder, FileSystem::HiddenEntries::include);
    if (!entries) {
        log(prq::Level::error, errorPrefix + entries.error().message);
        return;
    }
    std::vector<Url> paths;
    for (const auto& entry : entries.value()) paths.push_back(fileUrl(entry));

    std::string baseName =
        "CorvantisVPN_" + platform::foundation::DateFormatter("ddMMyyyyHHmm").string(platform::Services::current().wallNow());
    auto archive = newArchive(temporary.value(), baseName);
    if (!archive) {
        log(prq::Level::error, errorPrefix + archive.error().message);
        return;
    }
    auto inProgress = std::make_shared<Running>();
    running = inProgress;
    pack(std::move(paths), std::move(archive).value(), std::move(baseName),
         window ? window->sharedWindow() : std::shared_ptr<platform::ui::Window>(), std::move(inProgress));
}

}  // namespace corvantis::LogExport

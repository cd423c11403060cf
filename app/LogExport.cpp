#include "app/LogExport.hpp"

#include "Zip/Zip.hpp"
#include "app/AppDelegate.hpp"
#include "platform/Services.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/NumberText.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/ui/SavePanel.hpp"
#include "platform/ui/WindowLevel.hpp"

#include <source_location>

namespace corvantis::LogExport {

namespace {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Url;

constexpr const char* logFolderName = "CorvantisLogs";
constexpr const char* errorPrefix = "Saving logs error: ";

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

}  // namespace

void start(platform::ui::Window* window) {
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

    const std::string baseName =
        "CorvantisVPN_" + platform::foundation::DateFormatter("ddMMyyyyHHmm").string(platform::Services::current().wallNow());
    const auto archive = temporary.value() / (baseName + ".zip");
    try {
        zip::Zip::zipFiles(paths, Url::fileUrl(archive.string()), std::nullopt, zip::ZipCompression::DefaultCompression,
                           [](double fraction) { log(prq::Level::info, platform::foundation::doubleDescription(fraction)); });
    } catch (const zip::ZipError& error) {
        log(prq::Level::error, errorPrefix + std::string(error.what()));
        return;
    }

    auto panel = std::make_shared<platform::ui::SavePanel>();
    panel->setLevel(platform::ui::WindowLevel::modalPanel);
    panel->setTitle("Choose a destination");
    panel->setNameFieldStringValue(baseName);
    panel->setShowsHiddenFiles(false);
    panel->setCanCreateDirectories(true);
    panel->setAllowedFileTypes({"zip"});
    if (window == nullptr) {
        // No window to ask in: nobody can take the archive, so it goes.
        (void)FileSystem::removeItem(archive);
        return;
    }
    panel->beginSheetModal(*window, [panel, archive](platform::ui::ModalResponse response) {
        const bool chosen = response == platform::ui::ModalResponse::ok && panel->url();
        // Chosen under the offered name in the temporary folder (however the path is spelt), the
        // archive is the user's file: a copy onto itself and removing it would lose it.
        if (chosen && isSameFile(archive, panel->url()->path())) return;
        if (chosen) save(archive, panel->url()->path());
        // The copy is the user's; the archive would otherwise pile up, one per export.
        (void)FileSystem::removeItem(archive);
    });
}

}  // namespace corvantis::LogExport

#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/ui/FontFile.hpp"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::ui {

// The font faces the process knows by name. It starts with the system face and every font file
// in the resources' "fonts" folder. "Montserrat-Medium", the face every screen uses, resolves in
// every configuration: when its file is missing it stands for the system face, with a note on
// the standard error stream. Safe from any thread.
class FontRegistry {
public:
    static constexpr const char* systemFaceName = ".AppleSystemUIFont";
    static constexpr const char* screenFaceName = "Montserrat-Medium";

    struct Face {
        std::string name;
        std::shared_ptr<const FontFile> file;  // none for the system face
    };

    static FontRegistry& shared();

    // Registers a font file under its PostScript name, which it returns.
    foundation::Expected<std::string> registerFontFile(const std::filesystem::path& file);
    // Registers every ".ttf" and ".otf" file of `folder`; files that cannot be used are reported
    // on the standard error stream and skipped. Returns how many were registered.
    int registerFontsIn(const std::filesystem::path& folder);

    std::optional<Face> face(const std::string& name) const;

    // Back to the start state: the system face and the resources' fonts (used between tests).
    void reset();

private:
    FontRegistry();
    void loadDefaults();

    mutable std::mutex mutex_;
    std::map<std::string, Face> faces_;
};

}  // namespace platform::ui

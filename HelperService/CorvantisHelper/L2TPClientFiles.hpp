#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <string>

namespace corvantis::helper {

// The files that xl2tpd and pppd read for one L2TP connection. Every value is checked before it
// goes in: a server or account name must not be able to add a line or an option of its own.
class L2TPClientFiles {
public:
    // The name of our LAC in xl2tpd's configuration and commands.
    static constexpr const char* lacName = "corvantis";

    // xl2tpd's configuration: one LAC dialling `server`, with pppd reading `pppOptionsFile`.
    static platform::foundation::Expected<std::string> xl2tpdConfiguration(const std::string& server,
                                                                           const std::filesystem::path& pppOptionsFile);
    // pppd's options, with the account's credentials: the file holding them must stay root's alone.
    static platform::foundation::Expected<std::string> pppOptions(const std::string& username, const std::string& password,
                                                                  const std::string& linkName);
};

}  // namespace corvantis::helper

#include "HelperService/CorvantisHelper/OpenVpnProfileCheck.hpp"
#include "HelperService/CorvantisHelper/OutputRecord.hpp"
#include "platform/xpc/MessageFrame.hpp"

#include <gtest/gtest.h>

namespace {

using corvantis::helper::OutputRecord;
namespace OpenVpnProfileCheck = corvantis::helper::OpenVpnProfileCheck;

// The application's own profile: the fallback's lines with CRLF ends, the placeholders filled
// in, and the two script lines appended with LF.
const std::string applicationProfile =
    "client\r\ndev tun\r\nproto udp\r\nfast-io\r\npersist-key\r\npersist-tun\r\nnobind\r\n"
    "remote 198.51.100.1 1194\r\nremote-random\r\npull\r\ncomp-lzo\r\ntls-client\r\n"
    "#verify-x509-name Server name-prefix\r\n#ns-cert-type server\r\nkey-direction 1\r\nroute-method exe\r\n"
    "route-delay 2\r\n#tun-mtu 1500\r\n#fragment 1300\r\n#mssfix 1450\r\nverb 3\r\ncipher AES-256-CBC\r\n"
    "keysize 256\r\nauth SHA512\r\nsndbuf 524288\r\nrcvbuf 524288\r\nauth-user-pass\r\n"
    "<cert>\r\n-----BEGIN CERTIFICATE-----\r\nplugin inside a block is only data\r\n-----END CERTIFICATE-----\r\n</cert>\r\n"
    "<key>\r\nk\r\n</key>\r\n<tls-auth>\r\nt\r\n</tls-auth>\r\n<ca>\r\nc\r\n</ca>\nup up.sh\ndown down.sh";

TEST(OpenVpnProfileCheck, TheApplicationsProfileIsAcceptedWithItsTwoScripts) {
    const auto checked = OpenVpnProfileCheck::check(applicationProfile);
    ASSERT_TRUE(checked) << checked.error().message;
    EXPECT_EQ(checked.value().scripts, (std::vector<std::string>{"up.sh", "down.sh"}));

    const auto withoutScripts = OpenVpnProfileCheck::check("client\n; a comment\n\n   \nverb 4\n");
    ASSERT_TRUE(withoutScripts);
    EXPECT_TRUE(withoutScripts.value().scripts.empty());
}

TEST(OpenVpnProfileCheck, DirectivesThatRunProgramsOrNameFilesAreRefused) {
    const std::pair<std::string, std::string> refused[] = {
        {"client\nplugin /tmp/x.so\n", "line 2 (\"plugin /tmp/x.so\") is not a client directive"},
        {"route-up /bin/sh\n", "is not a client directive"},
        {"log /etc/passwd\n", "is not a client directive"},
        {"setenv opt plugin /tmp/x.so\n", "is not a client directive"},
        {"ca /etc/ssl/private/key.pem\n", "is not a client directive"},
        {"tls-auth /root/ta.key 1\n", "is not a client directive"},
        {"management 127.0.0.1 7505\n", "is not a client directive"},
        {"up up.sh extra\n", "runs a script other than the bundle's up.sh"},
        {"down /tmp/down.sh\n", "runs a script other than the bundle's down.sh"},
        {"up \"up.sh\"\n", "runs a script other than the bundle's up.sh"},
        {"auth-user-pass /etc/shadow\n", "names a file"},
        {"<connection>\nremote a\n</connection>\n", "opens a block the helper does not accept"},
        {"<ca>\nnever closed\n", "<ca> block is never closed"},
        {std::string("client\n\0plugin", 14), "NUL byte"},
        {std::string(OpenVpnProfileCheck::largestProfile + 1, '#'), "larger than 1 MiB"},
    };
    for (const auto& [profile, reason] : refused) {
        const auto checked = OpenVpnProfileCheck::check(profile);
        ASSERT_FALSE(checked) << profile.substr(0, 40);
        EXPECT_NE(checked.error().message.find(reason), std::string::npos) << checked.error().message;
    }
}

TEST(OutputRecord, KeepsEverythingWithinTheLimitAndTheStartAndNewestBeyondIt) {
    OutputRecord small(16);
    small.append("caf\xC3");
    small.append("\xA9!");
    EXPECT_EQ(small.text(), "caf\xC3\xA9!");

    OutputRecord bounded(16);
    bounded.append("01234567");
    bounded.append("abcdefgh");
    bounded.append("ABCDEFGH");
    bounded.append("xy");
    EXPECT_EQ(bounded.text(), "01234567\n[... 10 bytes left out ...]\nCDEFGHxy");

    // Output that is no UTF-8 at all triples when decoded, and must still fit one reply frame.
    OutputRecord garbage;
    garbage.append(std::string(8 << 20, '\xff'));
    EXPECT_LT(garbage.text().size(), platform::xpc::maximumFrameLength);
}

}  // namespace

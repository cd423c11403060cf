// The profile reader shared by the application and the helper: what it refuses, and the one
// text it renders for openvpn from what it accepted.

#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"
#include "support/ProfileShapes.hpp"

#include <gtest/gtest.h>

namespace {

using corvantis::helper::OpenVpnDirective;
namespace OpenVpnProfileParser = corvantis::helper::OpenVpnProfileParser;
namespace testing = corvantis::testing;

bool holdsHiddenText(const std::string& text) {
    return text.find("plugin") != std::string::npos || text.find("evil") != std::string::npos;
}

TEST(OpenVpnProfileParser, EverySmugglingShapeIsRefusedOrRenderedWithoutWhatItHid) {
    for (const auto& shape : testing::smugglingShapes()) {
        const auto parsed = OpenVpnProfileParser::parse(shape.text);
        if (!shape.accepted) {
            ASSERT_FALSE(parsed) << shape.what << " was accepted:\n" << parsed.value().render();
            EXPECT_NE(parsed.error().message.find(shape.reason), std::string::npos)
                << shape.what << ": " << parsed.error().message;
            // The reason reaches logs: it names the line, never its text.
            EXPECT_FALSE(holdsHiddenText(parsed.error().message)) << shape.what << ": " << parsed.error().message;
            continue;
        }
        ASSERT_TRUE(parsed) << shape.what << ": " << parsed.error().message;
        const auto rendered = parsed.value().render();
        EXPECT_FALSE(holdsHiddenText(rendered)) << shape.what << ":\n" << rendered;
        const auto again = OpenVpnProfileParser::parse(rendered);
        ASSERT_TRUE(again) << shape.what << ": " << again.error().message;
        EXPECT_EQ(again.value(), parsed.value()) << shape.what;
        EXPECT_EQ(again.value().render(), rendered) << shape.what;
    }
}

TEST(OpenVpnProfileParser, TheRenderingIsCanonicalWhateverTheSpelling) {
    std::string wideCertificate = "-----BEGIN CERTIFICATE-----\r\n";
    // A 102-byte DER sequence written 76 columns wide comes out 64 wide.
    const std::string body = "MGQA" + std::string(132, 'A');
    wideCertificate += body.substr(0, 76) + "\r\n" + body.substr(76) + "\r\n-----END CERTIFICATE-----\r\n";
    const auto parsed = OpenVpnProfileParser::parse(
        "# the service's profile\r\nclient\r\n  dev tun\r\nproto   udp\r\nremote nl-ams.corvantis.test 1195 # first\r\n"
        "remote 198.51.100.7 443 tcp\r\ncipher aes-256-cbc\r\nauth sha512\r\nkeysize 256\r\ncomp-lzo\r\nverb 3\r\n"
        "<ca>\r\n" +
        wideCertificate + "</ca>\r\n<tls-auth>\r\n" + testing::staticKey() + "</tls-auth>\nup up.sh\ndown down.sh");
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(parsed.value().directives[3], (OpenVpnDirective{"remote", {"nl-ams.corvantis.test", "1195"}}));
    EXPECT_EQ(parsed.value().scripts(), (std::vector<std::string>{"up.sh", "down.sh"}));
    std::string key;
    for (int line = 0; line < 16; ++line) key += "0123456789abcdef0123456789abcdef\n";
    EXPECT_EQ(parsed.value().render(),
              "client\ndev tun\nproto udp\nremote nl-ams.corvantis.test 1195\nremote 198.51.100.7 443 tcp\n"
              "cipher AES-256-CBC\nauth SHA512\nkeysize 256\ncomp-lzo\nverb 3\nup up.sh\ndown down.sh\n"
              "<ca>\n-----BEGIN CERTIFICATE-----\n" +
                  body.substr(0, 64) + "\n" + body.substr(64, 64) + "\n" + body.substr(128) +
                  "\n-----END CERTIFICATE-----\n</ca>\n<tls-auth>\n-----BEGIN OpenVPN Static key V1-----\n" + key +
                  "-----END OpenVPN Static key V1-----\n</tls-auth>\n");
}

}  // namespace

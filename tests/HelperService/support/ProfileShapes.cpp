#include "support/ProfileShapes.hpp"

namespace corvantis::testing {

namespace {

const std::string hidden(hiddenDirective);

std::string withHead(const std::string& rest) {
    return std::string(clientHead) + rest;
}

// A comment line of exactly `length` bytes that ends in the hidden directive: openvpn cuts long
// lines, and what follows the cut would be read as a line of its own.
std::string commentEndingInHidden(std::size_t length) {
    return "#" + std::string(length - 1 - hidden.size(), 'x') + hidden;
}

ProfileShape refused(std::string what, std::string text, std::string reason) {
    return {std::move(what), std::move(text), false, std::move(reason)};
}

ProfileShape accepted(std::string what, std::string text) {
    return {std::move(what), std::move(text), true, {}};
}

}  // namespace

std::string pemObject(std::string_view label) {
    return "-----BEGIN " + std::string(label) + "-----\nMAMCAQU=\n-----END " + std::string(label) + "-----\n";
}

std::string staticKey() {
    std::string key = "#\n# 2048 bit OpenVPN static key\n#\n-----BEGIN OpenVPN Static key V1-----\n";
    for (int line = 0; line < 16; ++line) key += "0123456789abcdef0123456789ABCDEF\n";
    return key + "-----END OpenVPN Static key V1-----\n";
}

std::string block(std::string_view tag, const std::string& content) {
    return "<" + std::string(tag) + ">\n" + content + "</" + std::string(tag) + ">\n";
}

std::vector<ProfileShape> smugglingShapes() {
    const auto certificate = pemObject("CERTIFICATE");
    const auto notDirective = "is not a directive the helper accepts";
    return {
        // Block ends.
        refused("a closing tag followed by text", withHead("<ca>\n" + certificate + "</ca>" + hidden + "\n"),
                "begins with \"<\" inside the <ca> block"),
        refused("a closing tag after blanks", withHead("<ca>\n" + certificate + " </ca>\n" + hidden + "\n</ca>\n"),
                "text outside the armour"),
        refused("a closing tag at the end of a body line",
                withHead("<ca>\n-----BEGIN CERTIFICATE-----\nMAMCAQU=</ca>\n" + hidden + "\n-----END CERTIFICATE-----\n</ca>\n"),
                "a line that is not of its body"),
        refused("a closing tag of another block", withHead("<ca>\n" + certificate + "</cert>\n" + hidden + "\n</ca>\n"),
                "begins with \"<\" inside the <ca> block"),
        refused("nested blocks", withHead("<ca>\n" + block("cert", certificate) + "</ca>\n"),
                "begins with \"<\" inside the <ca> block"),
        refused("a block that is never closed", withHead("<ca>\n" + certificate + hidden + "\n"), "never closed"),
        refused("a block the helper does not accept", withHead("<connection>\nremote 203.0.113.9 1194\n</connection>\n"),
                "opens a block the helper does not accept"),
        refused("an opening tag with words after it", withHead("<ca> " + hidden + "\n" + certificate + "</ca>\n"),
                "opens a block the helper does not accept"),
        refused("a repeated block", withHead(block("ca", certificate) + block("ca", certificate)), "repeats the <ca> block"),
        refused("text beside the armour", withHead(block("ca", certificate + hidden + "\n")), "text outside the armour"),
        refused("a private key in the certificate block", withHead(block("ca", pemObject("PRIVATE KEY"))),
                "text outside the armour"),
        refused("an encrypted private key", withHead(block("key", pemObject("ENCRYPTED PRIVATE KEY"))),
                "text outside the armour"),
        refused("two private keys", withHead(block("key", pemObject("PRIVATE KEY") + pemObject("EC PRIVATE KEY"))),
                "more objects than it may"),
        refused("a body that is not DER", withHead(block("ca", "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n")),
                "does not decode"),
        refused("a short static key",
                withHead(block("tls-auth", "-----BEGIN OpenVPN Static key V1-----\n00\n-----END OpenVPN Static key V1-----\n")),
                "does not decode"),
        refused("an empty block", withHead(block("ca", "")), "it is empty"),
        // Long lines, which openvpn cuts or refuses.
        refused("a 255-byte line outside a block", withHead(commentEndingInHidden(255) + "\n"), "longer than 254 bytes"),
        refused("a 256-byte line outside a block", withHead(commentEndingInHidden(256) + "\n"), "longer than 254 bytes"),
        refused("a 255-byte line inside a block",
                withHead("<ca>\n" + std::string(255 - 5, 'A') + "</ca>" + "\n" + hidden + "\n</ca>\n"), "longer than 254 bytes"),
        refused("a 256-byte line inside a block", withHead(block("ca", std::string(256, 'A') + "\n" + certificate)),
                "longer than 254 bytes"),
        // openvpn's quoting, escapes and comments.
        refused("a quoted directive", withHead("\"plugin\" /tmp/evil.so\n"), notDirective),
        refused("a quoted argument", withHead("verb \"3\"\n"), "\"verb\" an argument 1 that is not a number"),
        refused("a single-quoted argument with a blank", withHead("remote '203.0.113.9 1194' udp\n"), "not a host name"),
        refused("a backslash in a directive", withHead("plu\\gin /tmp/evil.so\n"), notDirective),
        refused("an escaped blank in an argument", withHead("up up.sh\\ /tmp/evil.sh\n"), "gives \"up\" too many arguments"),
        refused("an escape at the end of an argument", withHead("up up.sh\\\n"), "\"up\" an argument 1 that is not one of up.sh"),
        refused("a ; comment inside a word", withHead("verb 3;" + hidden + "\n"), "gives \"verb\" too many arguments"),
        refused("a ; comment inside the only word", withHead("verb 3;plugin\n"), "an argument 1 that is not a number"),
        refused("a # comment inside a word", withHead("remote 203.0.113.9 1194#" + hidden + "\n"),
                "an argument 2 that is not a number"),
        refused("a leading --", withHead("--" + hidden + "\n"), notDirective),
        refused("a leading -- before an allowed directive", withHead("--verb 4\n"), notDirective),
        // Line ends and stray bytes.
        refused("a carriage return inside a line", withHead("verb 3\r" + hidden + "\n"), "control character"),
        refused("a carriage return as the only line end", "client\rdev tun\rremote 198.51.100.1 1194\r" + hidden + "\r",
                "control character"),
        refused("a NUL byte", withHead(std::string("verb 3\0", 7) + hidden + "\n"), "control character"),
        refused("invalid UTF-8", withHead("# caf\xC3\n"), "outside ASCII"),
        refused("UTF-8 outside comments", withHead("remote caf\xC3\xA9.example 1194\n"), "outside ASCII"),
        refused("a vertical tab before a directive", withHead("\v" + hidden + "\n"), "control character"),
        refused("a tab before a hidden directive", withHead("\t" + hidden + "\n"), notDirective),
        // Repeats, includes, the environment and relaxed checks.
        refused("a repeated directive", withHead("verb 3\nverb 4\n"), "repeats \"verb\""),
        refused("a repeated script", withHead("up up.sh\nup up.sh\n"), "repeats \"up\""),
        refused("setenv opt", withHead("setenv opt " + hidden + "\n"), notDirective),
        refused("setenv FORWARD_COMPATIBLE", withHead("setenv FORWARD_COMPATIBLE 1\n"), notDirective),
        refused("a config include", withHead("config /tmp/other.ovpn\n"), notDirective),
        refused("ignore-unknown-option naming a directive", withHead("ignore-unknown-option plugin\n"), notDirective),
        refused("ignore-unknown-option naming keysize", withHead("ignore-unknown-option keysize\n"), notDirective),
        // Directives that run programs, name files, log or manage.
        refused("a plugin", withHead(hidden + "\n"), notDirective),
        refused("a log file", withHead("log /tmp/owned\n"), notDirective),
        refused("a management interface", withHead("management 127.0.0.1 7505\n"), notDirective),
        refused("a route-up command", withHead("route-up /bin/sh\n"), notDirective),
        refused("a script security level", withHead("script-security 3\n"), notDirective),
        refused("an up script of its own", withHead("up /tmp/evil.sh\n"), "\"up\" an argument 1 that is not one of up.sh"),
        refused("a down script with arguments", withHead("down down.sh evil\n"), "gives \"down\" too many arguments"),
        refused("a credentials file", withHead("auth-user-pass /etc/shadow\n"), "gives \"auth-user-pass\" too many arguments"),
        refused("a key file", withHead("tls-auth /root/ta.key 1\n"), notDirective),
        refused("a status file", withHead("status /tmp/status\n"), notDirective),
        // Values of the wrong kind.
        refused("a host the resolver reads as a number", withHead("remote 10.1 1194\n"), "not a host name"),
        refused("a host in hexadecimal", withHead("remote 0x7f.1 1194\n"), "not a host name"),
        refused("a port out of range", withHead("remote 203.0.113.9 65536\n"), "an argument 2 that is not a number"),
        refused("a server transport", withHead("remote 203.0.113.9 1194 tcp-server\n"),
                "an argument 3 that is not a client transport"),
        refused("a cipher outside the set", withHead("cipher BF-CBC\n"), "not a data-channel cipher"),
        refused("a verbosity that logs every packet", withHead("verb 11\n"), "not a number from 0 to 4"),
        refused("a device of its own", "client\ndev tap0\nremote 198.51.100.1 1194\n",
                "\"dev\" an argument 1 that is not one of tun"),
        refused("no client directive", "dev tun\nremote 198.51.100.1 1194\n", "lacks the client directive"),
        refused("no remote", "client\ndev tun\n", "names no remote server"),
        refused("a profile over 1 MiB", withHead(std::string((1 << 20) + 1, '\n')), "larger than 1 MiB"),
        // Shapes that are read, and rendered without what they hid.
        accepted("the application's profile with CRLF line ends and its scripts",
                 "client\r\ndev tun\r\nproto udp\r\nremote 198.51.100.1 1194\r\nauth-user-pass\r\n<ca>\r\n-----BEGIN "
                 "CERTIFICATE-----\r\nMAMCAQU=\r\n-----END CERTIFICATE-----\r\n</ca>\nup up.sh\ndown down.sh"),
        accepted("a # comment after the arguments", withHead("verb 3 # " + hidden + "\n")),
        accepted("a ; comment after the arguments", withHead("verb 3 ;" + hidden + "\n")),
        accepted("a comment line", withHead("# " + hidden + "\n;" + hidden + "\n")),
        accepted("a 254-byte comment line", withHead(commentEndingInHidden(254) + "\n")),
        accepted("a tab before a directive", withHead("\tverb 3\n")),
        accepted("blanks and tabs between words", withHead("remote \t 203.0.113.9\t\t443   tcp\n")),
        accepted("ciphers in lower case", withHead("cipher aes-256-cbc\ndata-ciphers aes-256-gcm:chacha20-poly1305\n")),
        accepted("a static key with its comment lines", withHead(block("tls-auth", staticKey()) + "key-direction 1\n")),
        accepted("every block, blank lines around the objects",
                 withHead(block("ca", "\n" + certificate + "\n" + certificate) + block("cert", certificate) +
                          block("key", pemObject("EC PRIVATE KEY")) + block("tls-crypt", staticKey()))),
    };
}

}  // namespace corvantis::testing

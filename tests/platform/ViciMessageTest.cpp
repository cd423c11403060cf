#include "platform/network/ViciMessage.hpp"
#include "platform/network/ViciPacket.hpp"

#include <gtest/gtest.h>

using platform::network::ViciMessage;
using platform::network::ViciPacket;
using platform::network::ViciPacketType;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out.push_back(static_cast<char>(value));
    return out;
}

// The protocol's documented example: a value, then a section holding a section and a list.
ViciMessage documentedExample() {
    return ViciMessage()
        .add("key1", "value1")
        .addSection(
            "section1",
            ViciMessage().addSection("sub-section", ViciMessage().add("key2", "value2")).addList("list1", {"item1", "item2"}));
}

// The same, element by element: type, name length and name, value length (two bytes) and value.
const std::string documentedExampleBytes = bytes({3, 4}) + "key1" + bytes({0, 6}) + "value1" +  //
                                           bytes({1, 8}) + "section1" +                         //
                                           bytes({1, 11}) + "sub-section" +                     //
                                           bytes({3, 4}) + "key2" + bytes({0, 6}) + "value2" +  //
                                           bytes({2}) +                                         //
                                           bytes({4, 5}) + "list1" +                            //
                                           bytes({5, 0, 5}) + "item1" + bytes({5, 0, 5}) + "item2" + bytes({6}) + bytes({2});

TEST(ViciMessage, EncodesAndDecodesTheDocumentedExample) {
    const auto encoded = documentedExample().encode();
    ASSERT_TRUE(encoded) << encoded.error().message;
    EXPECT_EQ(encoded.value(), documentedExampleBytes);

    const auto decoded = ViciMessage::decode(documentedExampleBytes);
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value(), documentedExample());
    ASSERT_NE(decoded.value().section("section1"), nullptr);
    EXPECT_EQ(*decoded.value().section("section1")->list("list1"), (std::vector<std::string>{"item1", "item2"}));
    EXPECT_EQ(*decoded.value().section("section1")->section("sub-section")->value("key2"), "value2");
    EXPECT_EQ(decoded.value().value("missing"), nullptr);
    EXPECT_EQ(decoded.value().section("key1"), nullptr);
}

TEST(ViciMessage, ValuesAreRawBytesUpToTwoLengthBytes) {
    const std::string binary("\0\xff\x01 secret", 10);
    const std::string longest(65535, 'x');
    const auto encoded = ViciMessage().add("data", binary).add("long", longest).encode();
    ASSERT_TRUE(encoded);
    const auto decoded = ViciMessage::decode(encoded.value());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded.value().value("data"), binary);
    EXPECT_EQ(decoded.value().value("long")->size(), 65535u);

    EXPECT_FALSE(ViciMessage().add("long", longest + "x").encode());
    EXPECT_FALSE(ViciMessage().add(std::string(256, 'n'), "v").encode());
    EXPECT_FALSE(ViciMessage().add("", "v").encode());
}

TEST(ViciMessage, MalformedBodiesAreRefusedWithoutQuotingThem) {
    std::string deep;
    for (int level = 0; level <= ViciMessage::maximumDepth; ++level) deep += bytes({1, 1}) + "s";
    const std::vector<std::pair<const char*, std::string>> cases{
        {"unknown element", bytes({9})},
        {"name cut off", bytes({3, 10}) + "key"},
        {"empty name", bytes({3, 0, 0, 0})},
        {"value cut off", bytes({3, 1}) + "k" + bytes({0, 9}) + "secret"},
        {"value length cut off", bytes({3, 1}) + "k" + bytes({0})},
        {"section never ends", bytes({1, 1}) + "s"},
        {"end without start", bytes({2})},
        {"list never ends", bytes({4, 1}) + "l" + bytes({5, 0, 1}) + "x"},
        {"list holds a value", bytes({4, 1}) + "l" + bytes({3, 1}) + "k" + bytes({0, 0, 6})},
        {"item outside a list", bytes({5, 0, 1}) + "x"},
        {"list end outside a list", bytes({6})},
        {"too deep", deep},
    };
    for (const auto& [what, body] : cases) {
        const auto decoded = ViciMessage::decode(body);
        ASSERT_FALSE(decoded) << what;
        EXPECT_EQ(decoded.error().message.find("secret"), std::string::npos) << what;
    }
}

TEST(ViciPacket, CarriesLengthTypeNameAndMessage) {
    const auto request = ViciPacket{ViciPacketType::commandRequest, "version", {}}.encode();
    ASSERT_TRUE(request);
    EXPECT_EQ(request.value(), bytes({0, 0, 0, 9, 0, 7}) + "version");

    const auto registration = ViciPacket{ViciPacketType::eventRegister, "ike-updown", {}}.encode();
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration.value(), bytes({0, 0, 0, 12, 3, 10}) + "ike-updown");

    const auto event = ViciPacket::decode(bytes({7, 10}) + "ike-updown" + bytes({3, 2}) + "up" + bytes({0, 3}) + "yes");
    ASSERT_TRUE(event) << event.error().message;
    EXPECT_EQ(event.value().type, ViciPacketType::event);
    EXPECT_EQ(event.value().name, "ike-updown");
    EXPECT_EQ(*event.value().message.value("up"), "yes");

    const auto response = ViciPacket::decode(bytes({1, 3, 7}) + "success" + bytes({0, 2}) + "no");
    ASSERT_TRUE(response);
    EXPECT_EQ(*response.value().message.value("success"), "no");

    EXPECT_TRUE(ViciPacket::decode(bytes({5})));              // EVENT_CONFIRM
    EXPECT_FALSE(ViciPacket::decode(""));                     // nothing
    EXPECT_FALSE(ViciPacket::decode(bytes({8})));             // unknown type
    EXPECT_FALSE(ViciPacket::decode(bytes({5, 1})));          // a confirmation with a body
    EXPECT_FALSE(ViciPacket::decode(bytes({7, 9}) + "ike"));  // name cut off
    EXPECT_FALSE(ViciPacket::decode(bytes({0, 0})));          // empty command name
    EXPECT_FALSE((ViciPacket{ViciPacketType::commandRequest, "", {}}.encode()));
}

}  // namespace

#include "testbed/backend/FormBody.hpp"

#include <gtest/gtest.h>

namespace FormBody = corvantis::testbed::FormBody;
using corvantis::testbed::FormFields;

namespace {

const std::string type = "multipart/form-data; boundary=XYZ";

TEST(FormBody, ReadsMultipartFieldsInOrder) {
    const std::string body =
        "--XYZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx@y\r\n"
        "--XYZ\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\nline one\r\nline two\r\n"
        "--XYZ--\r\n";
    EXPECT_EQ(FormBody::parseMultipart(type, body), (FormFields{{"a", "x@y"}, {"b", "line one\r\nline two"}}));
    EXPECT_EQ(FormBody::parseMultipart(type, "--XYZ--\r\n"), FormFields{});
}

TEST(FormBody, RefusesMultipartBodiesThatBreakTheFormat) {
    const std::vector<std::pair<std::string, std::string>> broken{
        {"multipart/form-data", "--XYZ--\r\n"},
        {type, ""},
        {type, "--XYZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n"},
        {type, "--XYZ\r\nContent-Disposition: form-data; name=a\r\n\r\nx\r\n--XYZ--\r\n"},
        {type, "--XYZ\r\nContent-Type: text/plain\r\n\r\nx\r\n--XYZ--\r\n"},
        {type, "--XYZ--\r\ntrailing"},
        {type, "--OTHER\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--OTHER--\r\n"},
    };
    for (const auto& [contentType, body] : broken) EXPECT_FALSE(FormBody::parseMultipart(contentType, body)) << body;
}

TEST(FormBody, ReadsUrlEncodedPairs) {
    EXPECT_EQ(FormBody::parseUrlEncoded("a=x%40y&b=1%2B1%3D2&undefined="),
              (FormFields{{"a", "x@y"}, {"b", "1+1=2"}, {"undefined", ""}}));
    EXPECT_EQ(FormBody::parseUrlEncoded("p=a+b%20c"), (FormFields{{"p", "a b c"}}));
    EXPECT_EQ(FormBody::parseUrlEncoded(""), FormFields{});
    EXPECT_FALSE(FormBody::parseUrlEncoded("novalue"));
    EXPECT_FALSE(FormBody::parseUrlEncoded("a=%4"));
    EXPECT_FALSE(FormBody::parseUrlEncoded("a=%zz"));
    EXPECT_EQ(FormBody::value({{"a", "1"}, {"a", "2"}}, "a"), "1");
    EXPECT_FALSE(FormBody::value({}, "a"));
}

}  // namespace

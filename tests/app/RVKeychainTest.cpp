#include "app/Base64.hpp"
#include "app/RVKeychain.hpp"
#include "fixtures/AppTestEnvironment.hpp"

#include <gtest/gtest.h>

using corvantis::Base64;
using corvantis::RVKeychain;
using platform::foundation::DomainError;

namespace {

TEST(Base64Encoder, PadsTheLastGroupAndNeverBreaksLines) {
    EXPECT_EQ(Base64::encode(""), "");
    EXPECT_EQ(Base64::encode("a"), "YQ==");
    EXPECT_EQ(Base64::encode("ab"), "YWI=");
    EXPECT_EQ(Base64::encode("abc"), "YWJj");
    const auto long_ = Base64::encode(std::string(1000, '\x7f'));
    EXPECT_EQ(long_.size(), 4 * ((1000 + 2) / 3));
    EXPECT_EQ(long_.find_first_of("\r\n"), std::string::npos);
}

class RVKeychainTest : public ::testing::Test {
protected:
    corvantis::testing::AppTestEnvironment environment;
};

TEST_F(RVKeychainTest, StoresReadsAndReplacesByServiceAndAccount) {
    DomainError error;
    EXPECT_TRUE(RVKeychain::setPassword("first", "svc", "me", &error));
    EXPECT_TRUE(RVKeychain::setPassword("second", "svc", "me"));
    EXPECT_EQ(RVKeychain::passwordForService("svc", "me"), "second");
    const auto accounts = RVKeychain::accountsForService("svc");
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 1u);
    EXPECT_EQ((*accounts)[0].account, "me");
    EXPECT_TRUE((*accounts)[0].valueData.empty());  // attributes only
    EXPECT_FALSE((*accounts)[0].accessible);
}

TEST_F(RVKeychainTest, AMissingArgumentIsErrorMinus1001) {
    DomainError error;
    EXPECT_FALSE(RVKeychain::passwordForService("svc", std::nullopt, &error));
    EXPECT_EQ(error.domain, "com.tarnwisle.rvkeychain");
    EXPECT_EQ(error.code, -1001);
    error = {};
    EXPECT_FALSE(RVKeychain::setPassword(std::nullopt, "svc", "me", &error));
    EXPECT_EQ(error.code, -1001);
    error = {};
    EXPECT_FALSE(RVKeychain::deletePasswordForService(std::nullopt, "me", &error));
    EXPECT_EQ(error.code, -1001);
}

TEST_F(RVKeychainTest, AMissingItemIsTheKeychainsNotFoundStatus) {
    DomainError error;
    EXPECT_FALSE(RVKeychain::passwordForService("svc", "nobody", &error));
    EXPECT_EQ(error.code, platform::security::errSecItemNotFound);
    EXPECT_FALSE(RVKeychain::deletePasswordForService("svc", "nobody"));
    EXPECT_FALSE(RVKeychain::accountsForService("svc", &error));
    EXPECT_EQ(error.code, platform::security::errSecItemNotFound);
}

TEST_F(RVKeychainTest, AnEmptyPasswordReadsAsNothing) {
    EXPECT_TRUE(RVKeychain::setPasswordData("", "svc", "me"));
    EXPECT_EQ(RVKeychain::passwordDataForService("svc", "me"), std::optional<std::string>(""));
    EXPECT_FALSE(RVKeychain::passwordForService("svc", "me"));
}

TEST_F(RVKeychainTest, AllAccountsListsEveryService) {
    RVKeychain::setPassword("1", "a", "x");
    RVKeychain::setPassword("2", "b", "y");
    const auto all = RVKeychain::allAccounts();
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 2u);
}

}  // namespace

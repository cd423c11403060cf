#include "platform/foundation/FileSystem.hpp"
#include "platform/security/KeychainStore.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

using corvantis::testing::TemporaryFolder;
using platform::security::KeychainItem;
using platform::security::KeychainQuery;
using platform::security::KeychainStore;
namespace security = platform::security;

namespace {

KeychainItem item(std::string service, std::string account, std::string value) {
    KeychainItem made;
    made.service = std::move(service);
    made.account = std::move(account);
    made.valueData = std::move(value);
    return made;
}

class KeychainStoreTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::filesystem::path file = folder / "keychains" / "login.json";
    std::shared_ptr<KeychainStore> store = KeychainStore::open(file);
};

TEST_F(KeychainStoreTest, AnswersWithTheKeychainStatusCodes) {
    const KeychainQuery query{.service = "Corvantis", .account = "acct"};
    EXPECT_EQ(store->copyMatching(query, KeychainStore::MatchLimit::one).status, security::errSecItemNotFound);
    EXPECT_EQ(store->update(query, "x"), security::errSecItemNotFound);
    EXPECT_EQ(store->remove(query), security::errSecItemNotFound);

    EXPECT_EQ(store->add(item("Corvantis", "acct", "one")), security::errSecSuccess);
    EXPECT_EQ(store->add(item("Corvantis", "acct", "two")), security::errSecDuplicateItem);
    EXPECT_EQ(store->update(query, "three"), security::errSecSuccess);
    EXPECT_EQ(store->copyMatching(query, KeychainStore::MatchLimit::one).items.at(0).valueData, "three");
    EXPECT_EQ(store->remove(query), security::errSecSuccess);
    EXPECT_EQ(store->copyMatching(query, KeychainStore::MatchLimit::one).status, security::errSecItemNotFound);
}

TEST_F(KeychainStoreTest, TheAccessGroupBelongsToTheItemsIdentity) {
    auto grouped = item("Corvantis", "acct", "one");
    grouped.accessGroup = "team.group";
    EXPECT_EQ(store->add(item("Corvantis", "acct", "plain")), security::errSecSuccess);
    EXPECT_EQ(store->add(grouped), security::errSecSuccess);
    const auto all = store->copyMatching(KeychainQuery{.service = "Corvantis"}, KeychainStore::MatchLimit::all);
    EXPECT_EQ(all.items.size(), 2u);
}

TEST_F(KeychainStoreTest, MatchesOneOrAllInTheOrderAdded) {
    ASSERT_EQ(store->add(item("A", "first", "1")), security::errSecSuccess);
    ASSERT_EQ(store->add(item("B", "second", "2")), security::errSecSuccess);
    ASSERT_EQ(store->add(item("A", "third", "3")), security::errSecSuccess);
    const auto one = store->copyMatching(KeychainQuery{.service = "A"}, KeychainStore::MatchLimit::one);
    ASSERT_EQ(one.items.size(), 1u);
    EXPECT_EQ(one.items[0].account, "first");
    const auto all = store->copyMatching(KeychainQuery{}, KeychainStore::MatchLimit::all);
    ASSERT_EQ(all.items.size(), 3u);
    EXPECT_EQ(all.items[2].account, "third");
}

TEST_F(KeychainStoreTest, PersistentReferencesFindTheirItemAgainAcrossOpenings) {
    ASSERT_EQ(store->add(item("A", "first", "1")), security::errSecSuccess);
    ASSERT_EQ(store->add(item("A", "second", "2")), security::errSecSuccess);
    const auto reference =
        store->copyMatching(KeychainQuery{.account = "second"}, KeychainStore::MatchLimit::one).items.at(0).persistentRef;
    const auto first =
        store->copyMatching(KeychainQuery{.account = "first"}, KeychainStore::MatchLimit::one).items.at(0).persistentRef;
    EXPECT_FALSE(reference.empty());
    EXPECT_NE(reference, first);

    const auto reopened = KeychainStore::open(file);
    const auto found = reopened->copyMatching(KeychainQuery{.persistentRef = reference}, KeychainStore::MatchLimit::one);
    ASSERT_EQ(found.status, security::errSecSuccess);
    EXPECT_EQ(found.items.at(0).valueData, "2");
}

TEST_F(KeychainStoreTest, KeepsAnyBytesInAPrivateFile) {
    const std::string binary("\x00\xff\xfe secret\n", 10);
    ASSERT_EQ(store->add(item("Corvantis", std::string("\x01\x02", 2), binary)), security::errSecSuccess);
    EXPECT_EQ(KeychainStore::open(file)->copyMatching(KeychainQuery{}, KeychainStore::MatchLimit::one).items.at(0).valueData,
              binary);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(KeychainStoreTest, ADamagedFileIsKeptAsideAndANewKeychainStarts) {
    ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(file.parent_path(), 0700));
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(file, "{not json", 0600));
    EXPECT_EQ(store->add(item("A", "b", "c")), security::errSecSuccess);
    ASSERT_TRUE(store->lastProblem());
    EXPECT_NE(store->lastProblem()->message.find("was damaged"), std::string::npos);
    std::size_t aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with("login.json.corrupt-")) {
            ++aside;
            EXPECT_EQ(platform::foundation::FileSystem::readFile(entry.path()).value(), "{not json");
        }
    }
    EXPECT_EQ(aside, 1u);
}

TEST_F(KeychainStoreTest, AFileThatCannotBeWrittenIsAnIoError) {
    ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(folder / "blocked", 0700));
    const auto blocked = KeychainStore::open(folder / "blocked" / "file-as-folder" / "login.json");
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "blocked" / "file-as-folder", "", 0600));
    EXPECT_EQ(blocked->add(item("A", "b", "c")), security::errSecIO);
    EXPECT_TRUE(blocked->lastProblem());
}

}  // namespace

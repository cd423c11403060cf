#include "platform/security/SecretService.hpp"

#include "platform/foundation/Utf8.hpp"
#include "platform/security/SecStatus.hpp"
#include "platform/security/SecretSessionCipher.hpp"

#include <cstdint>
#include <cstring>

namespace platform::security {

using foundation::Error;
using foundation::Expected;

namespace {
constexpr const char* destination = "org.freedesktop.secrets";
constexpr const char* servicePath = "/org/freedesktop/secrets";
constexpr const char* serviceInterface = "org.freedesktop.Secret.Service";
constexpr const char* collectionInterface = "org.freedesktop.Secret.Collection";
constexpr const char* itemInterface = "org.freedesktop.Secret.Item";
constexpr const char* promptInterface = "org.freedesktop.Secret.Prompt";
constexpr const char* sessionInterface = "org.freedesktop.Secret.Session";
constexpr const char* encryptedAlgorithm = "dh-ietf1024-sha256-aes128-cbc-pkcs7";
// A keyring answers at once when it answers at all: a hung one must not hold the caller (the
// interface, as a rule) for D-Bus's default of 25 s on every call.
constexpr std::uint64_t callTimeoutMicroseconds = 5'000'000;
// The object path that stands for "none": no prompt needed, no such collection.
constexpr const char* none = "/";

struct MessageRelease {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageRelease>;

// Builds a message, remembering the first failure so that a build reads as one sequence.
class Writer {
public:
    explicit Writer(sd_bus_message* message) : message_(message) {}

    template <typename... Values>
    Writer& append(const char* types, Values... values) {
        if (result_ >= 0) result_ = sd_bus_message_append(message_, types, values...);
        return *this;
    }
    Writer& open(char type, const char* contents) {
        if (result_ >= 0) result_ = sd_bus_message_open_container(message_, type, contents);
        return *this;
    }
    Writer& close() {
        if (result_ >= 0) result_ = sd_bus_message_close_container(message_);
        return *this;
    }
    Writer& bytes(const std::string& value) {
        if (result_ >= 0) result_ = sd_bus_message_append_array(message_, 'y', value.data(), value.size());
        return *this;
    }
    Writer& paths(const std::vector<std::string>& objects) {
        open('a', "o");
        for (const auto& object : objects) append("o", object.c_str());
        return close();
    }
    Writer& attributes(const SecretService::Attributes& attributes) {
        open('a', "{ss}");
        for (const auto& [name, value] : attributes) append("{ss}", name.c_str(), value.c_str());
        return close();
    }
    // A secret as the session sends it: the value sealed with the parameters it needs (none,
    // the value as it is, in a "plain" session).
    Writer& secret(const std::string& session, const SecretSessionCipher* cipher, const std::string& value) {
        const char* type = foundation::isValidUtf8(value) ? "text/plain" : "application/octet-stream";
        auto sealed = cipher ? cipher->seal(value) : SecretSessionCipher::Sealed{{}, value};
        if (!sealed) {
            result_ = -EIO;
            return *this;
        }
        open('r', "oayays").append("o", session.c_str()).bytes(sealed->parameters).bytes(sealed->value).append("s", type);
        return close();
    }
    int result() const { return result_; }

private:
    sd_bus_message* message_;
    int result_ = 0;
};

Error failure(const std::string& what, const sd_bus_error& error, int result) {
    const bool locked = sd_bus_error_has_name(&error, "org.freedesktop.Secret.Error.IsLocked");
    const std::string why = error.message ? error.message : std::strerror(-result);
    return Error{locked ? errSecInteractionNotAllowed : errSecIO, "The Secret Service could not " + what + ": " + why};
}

Error refusal(const std::string& what, int result) {
    return Error{result == -EINVAL ? errSecParam : errSecIO,
                 "The Secret Service could not " + what + ": " + std::strerror(-result)};
}

Expected<Message> newCall(sd_bus* bus, const std::string& path, const char* interface, const char* member) {
    sd_bus_message* call = nullptr;
    if (const int result = sd_bus_message_new_method_call(bus, &call, destination, path.c_str(), interface, member); result < 0) {
        return refusal(std::string("prepare ") + member, result);
    }
    return Message(call);
}

// Sends a built call and waits for its reply.
Expected<Message> send(sd_bus* bus, const Message& call, const Writer& built, const std::string& what) {
    if (built.result() < 0) return refusal(what, built.result());
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call(bus, call.get(), 0, &error, &reply);
    if (result < 0) {
        auto failed = failure(what, error, result);
        sd_bus_error_free(&error);
        return failed;
    }
    return Message(reply);
}

Expected<std::string> readPath(const Message& reply, const std::string& what) {
    const char* path = nullptr;
    if (const int result = sd_bus_message_read(reply.get(), "o", &path); result <= 0)
        return refusal("read " + what, result ? result : -EBADMSG);
    return std::string(path);
}

Expected<std::vector<std::string>> readPaths(const Message& reply, const std::string& what) {
    char** list = nullptr;
    if (const int result = sd_bus_message_read_strv(reply.get(), &list); result < 0) return refusal("read " + what, result);
    std::vector<std::string> paths;
    for (char** entry = list; entry && *entry; ++entry) {
        paths.emplace_back(*entry);
        std::free(*entry);
    }
    std::free(list);
    return paths;
}

// A prompt would ask the user for the keyring's password in a dialog of the service's; a call
// from the keychain never waits for one, and the prompt is dismissed.
Expected<void> withoutPrompt(sd_bus* bus, const std::string& prompt, const std::string& what) {
    if (prompt == none) return {};
    if (auto dismiss = newCall(bus, prompt, promptInterface, "Dismiss")) (void)sd_bus_send(bus, dismiss.value().get(), nullptr);
    return Error{errSecInteractionNotAllowed, "The Secret Service could not " + what + ": the keyring is locked"};
}

// The session of libsecret's choice: our public value in, the service's out, and the key both
// derive from them.
Expected<std::string> openEncryptedSession(sd_bus* bus, SecretSessionCipher& cipher) {
    auto open = newCall(bus, servicePath, serviceInterface, "OpenSession");
    if (!open) return open.error();
    Writer writer(open.value().get());
    writer.append("s", encryptedAlgorithm).open('v', "ay").bytes(cipher.publicKey()).close();
    auto opened = send(bus, open.value(), writer, "open an encrypted session");
    if (!opened) return opened.error();
    const void* value = nullptr;
    std::size_t size = 0;
    int result = sd_bus_message_enter_container(opened.value().get(), 'v', "ay");
    if (result > 0) result = sd_bus_message_read_array(opened.value().get(), 'y', &value, &size);
    if (result >= 0) result = sd_bus_message_exit_container(opened.value().get());
    if (result < 0) return refusal("read the service's public key", result);
    auto session = readPath(opened.value(), "the session");
    if (!session) return session;
    if (!cipher.agree(std::string_view(static_cast<const char*>(value), size))) {
        if (auto closing = newCall(bus, session.value(), sessionInterface, "Close")) {
            (void)sd_bus_send(bus, closing.value().get(), nullptr);
        }
        return Error{errSecIO, "The Secret Service sent a public key outside the group"};
    }
    return session;
}

Expected<std::string> openPlainSession(sd_bus* bus) {
    auto open = newCall(bus, servicePath, serviceInterface, "OpenSession");
    if (!open) return open.error();
    auto opened = send(bus, open.value(), Writer(open.value().get()).append("sv", "plain", "s", ""), "open a session");
    if (!opened) return opened.error();
    if (sd_bus_message_skip(opened.value().get(), "v") < 0) return Error{errSecIO, "bad reply"};
    return readPath(opened.value(), "the session");
}
}  // namespace

std::unique_ptr<SecretService> SecretService::connect() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return nullptr;
    const auto close = [bus] { sd_bus_flush_close_unref(bus); };
    sd_bus_set_method_call_timeout(bus, callTimeoutMicroseconds);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner", &error,
                           &reply, "s", destination) >= 0) {
        sd_bus_message_read(reply, "b", &owned);
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (!owned) {
        close();
        return nullptr;
    }
    auto alias = newCall(bus, servicePath, serviceInterface, "ReadAlias");
    if (!alias) {
        close();
        return nullptr;
    }
    auto cipher = SecretSessionCipher::create();
    auto session = cipher ? openEncryptedSession(bus, *cipher) : Expected<std::string>(Error{errSecIO, "no key pair"});
    if (!session) {
        // A service that offers no encrypted session (or a failed exchange): the plain one.
        cipher.reset();
        session = openPlainSession(bus);
    }
    auto found = send(bus, alias.value(), Writer(alias.value().get()).append("s", "default"), "find the default collection");
    auto collection = found ? readPath(found.value(), "the default collection") : Expected<std::string>(found.error());
    if (!session || !collection || collection.value() == none) {
        close();
        return nullptr;
    }
    return std::unique_ptr<SecretService>(
        new SecretService(bus, std::move(session.value()), std::move(collection.value()), std::move(cipher)));
}

SecretService::SecretService(sd_bus* bus, std::string session, std::string collection,
                             std::unique_ptr<SecretSessionCipher> cipher)
    : bus_(bus), session_(std::move(session)), collection_(std::move(collection)), cipher_(std::move(cipher)) {}

SecretService::~SecretService() {
    if (auto closing = newCall(bus_, session_, sessionInterface, "Close")) {
        (void)sd_bus_send(bus_, closing.value().get(), nullptr);
    }
    sd_bus_flush_close_unref(bus_);
}

Expected<void> SecretService::unlock(const std::vector<std::string>& objects) {
    auto call = newCall(bus_, servicePath, serviceInterface, "Unlock");
    if (!call) return call.error();
    auto reply = send(bus_, call.value(), Writer(call.value().get()).paths(objects), "unlock the keyring");
    if (!reply) return reply.error();
    if (auto unlocked = readPaths(reply.value(), "the unlocked items"); !unlocked) return unlocked.error();
    auto prompt = readPath(reply.value(), "the prompt");
    if (!prompt) return prompt.error();
    return withoutPrompt(bus_, prompt.value(), "unlock the keyring");
}

Expected<void> SecretService::unlockCollection() {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int locked = 0;
    const int result =
        sd_bus_get_property_trivial(bus_, destination, collection_.c_str(), collectionInterface, "Locked", &error, 'b', &locked);
    if (result < 0) {
        auto failed = failure("look at the keyring", error, result);
        sd_bus_error_free(&error);
        return failed;
    }
    return locked ? unlock({collection_}) : Expected<void>();
}

Expected<std::vector<std::string>> SecretService::searchItems(const Attributes& attributes) {
    auto call = newCall(bus_, servicePath, serviceInterface, "SearchItems");
    if (!call) return call.error();
    auto reply = send(bus_, call.value(), Writer(call.value().get()).attributes(attributes), "search the keyring");
    if (!reply) return reply.error();
    auto unlocked = readPaths(reply.value(), "the items found");
    auto locked = readPaths(reply.value(), "the locked items found");
    if (!unlocked) return unlocked.error();
    if (!locked) return locked.error();
    if (locked.value().empty()) return unlocked;
    if (auto opened = unlock(locked.value()); !opened) return opened.error();
    unlocked.value().insert(unlocked.value().end(), locked.value().begin(), locked.value().end());
    return unlocked;
}

Expected<SecretService::Attributes> SecretService::attributes(const std::string& item) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_get_property(bus_, destination, item.c_str(), itemInterface, "Attributes", &error, &reply, "a{ss}");
    if (result < 0) {
        auto failed = failure("read an item's attributes", error, result);
        sd_bus_error_free(&error);
        return failed;
    }
    const Message held(reply);
    Attributes attributes;
    if (const int entered = sd_bus_message_enter_container(reply, 'a', "{ss}"); entered < 0)
        return refusal("read an item's attributes", entered);
    const char* name = nullptr;
    const char* value = nullptr;
    int read = 0;
    while ((read = sd_bus_message_read(reply, "{ss}", &name, &value)) > 0) attributes[name] = value;
    if (read < 0) return refusal("read an item's attributes", read);
    return attributes;
}

Expected<std::uint64_t> SecretService::created(const std::string& item) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    std::uint64_t seconds = 0;
    const int result =
        sd_bus_get_property_trivial(bus_, destination, item.c_str(), itemInterface, "Created", &error, 't', &seconds);
    if (result < 0) {
        auto failed = failure("read when an item was made", error, result);
        sd_bus_error_free(&error);
        return failed;
    }
    return seconds;
}

Expected<std::string> SecretService::secret(const std::string& item) {
    auto call = newCall(bus_, item, itemInterface, "GetSecret");
    if (!call) return call.error();
    auto reply = send(bus_, call.value(), Writer(call.value().get()).append("o", session_.c_str()), "read a secret");
    if (!reply) return reply.error();
    sd_bus_message* message = reply.value().get();
    const char* session = nullptr;
    const void* parameters = nullptr;
    const void* value = nullptr;
    std::size_t parametersSize = 0;
    std::size_t valueSize = 0;
    int result = sd_bus_message_enter_container(message, 'r', "oayays");
    if (result >= 0) result = sd_bus_message_read(message, "o", &session);
    if (result >= 0) result = sd_bus_message_read_array(message, 'y', &parameters, &parametersSize);
    if (result >= 0) result = sd_bus_message_read_array(message, 'y', &value, &valueSize);
    if (result < 0) return refusal("read a secret", result);
    const std::string sealed = valueSize ? std::string(static_cast<const char*>(value), valueSize) : std::string();
    if (!cipher_) return sealed;
    auto opened = cipher_->open(std::string_view(static_cast<const char*>(parameters), parametersSize), sealed);
    if (!opened) return Error{errSecIO, "The Secret Service could not read a secret: it does not decrypt"};
    return std::move(*opened);
}

Expected<void> SecretService::setSecret(const std::string& item, const std::string& value) {
    auto call = newCall(bus_, item, itemInterface, "SetSecret");
    if (!call) return call.error();
    auto reply = send(bus_, call.value(), Writer(call.value().get()).secret(session_, cipher_.get(), value), "change a secret");
    if (!reply) return reply.error();
    return {};
}

Expected<std::string> SecretService::createItem(const std::string& label, const Attributes& attributes,
                                                const std::string& value) {
    if (auto opened = unlockCollection(); !opened) return opened.error();
    auto call = newCall(bus_, collection_, collectionInterface, "CreateItem");
    if (!call) return call.error();
    Writer writer(call.value().get());
    writer.open('a', "{sv}");
    writer.open('e', "sv").append("s", "org.freedesktop.Secret.Item.Label").append("v", "s", label.c_str()).close();
    writer.open('e', "sv")
        .append("s", "org.freedesktop.Secret.Item.Attributes")
        .open('v', "a{ss}")
        .attributes(attributes)
        .close()
        .close();
    writer.close().secret(session_, cipher_.get(), value).append("b", 0);
    auto reply = send(bus_, call.value(), writer, "add an item");
    if (!reply) return reply.error();
    auto path = readPath(reply.value(), "the new item");
    auto prompt = readPath(reply.value(), "the prompt");
    if (!path) return path.error();
    if (!prompt) return prompt.error();
    if (auto done = withoutPrompt(bus_, prompt.value(), "add an item"); !done) return done.error();
    return path;
}

Expected<void> SecretService::deleteItem(const std::string& item) {
    auto call = newCall(bus_, item, itemInterface, "Delete");
    if (!call) return call.error();
    auto reply = send(bus_, call.value(), Writer(call.value().get()), "remove an item");
    if (!reply) return reply.error();
    auto prompt = readPath(reply.value(), "the prompt");
    if (!prompt) return prompt.error();
    return withoutPrompt(bus_, prompt.value(), "remove an item");
}

}  // namespace platform::security

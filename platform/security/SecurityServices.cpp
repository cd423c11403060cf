#include "platform/security/SecurityServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/security/KeychainStore.hpp"

namespace platform::security {

void provideServices(ServiceProviders& providers) {
    providers.keychain = [] { return KeychainStore::standardForCurrentUser(); };
}

}  // namespace platform::security

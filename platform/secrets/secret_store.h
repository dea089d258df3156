// The desktop's secret store (the Secret Service on the session message bus, through
// libsecret): one text secret per account, kept in the store's default collection.
// The store is only asked when the session bus is known (DBUS_SESSION_BUS_ADDRESS
// set): without it nothing would answer, and no bus is started for the asking.
#pragma once

#include <string>

namespace platform {

enum class TSecretLookup { Found, NotFound, Unavailable };

// Found with Secret set; NotFound when the store answered without one; Unavailable
// when no store answered (no session bus, no secret service, a locked store that
// could not be opened).
TSecretLookup LookupSecret(const std::string& account, std::string& secret);

// Stores Secret for the account under Label, replacing an older one. False when no
// store took it.
bool StoreSecret(const std::string& account, const std::string& label, const std::string& secret);

}  // namespace platform

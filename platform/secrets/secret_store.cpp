#include "platform/secrets/secret_store.h"

#include <libsecret/secret.h>

#include <cstdlib>

namespace platform {
namespace {

const SecretSchema* Schema() {
  static const SecretSchema schema = {
      "org.pellix.UserKeys", SECRET_SCHEMA_NONE, {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}}, 0, nullptr,
      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &schema;
}

bool BusKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  return address != nullptr && *address != '\0';
}

}  // namespace

TSecretLookup LookupSecret(const std::string& account, std::string& secret) {
  secret.clear();
  if (!BusKnown()) return TSecretLookup::Unavailable;
  GError* error = nullptr;
  gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "account", account.c_str(), nullptr);
  if (error != nullptr) {
    g_error_free(error);
    return TSecretLookup::Unavailable;
  }
  if (found == nullptr) return TSecretLookup::NotFound;
  secret = found;
  secret_password_free(found);
  return TSecretLookup::Found;
}

bool StoreSecret(const std::string& account, const std::string& label, const std::string& secret) {
  if (!BusKnown()) return false;
  GError* error = nullptr;
  const gboolean stored = secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                     secret.c_str(), nullptr, &error, "account", account.c_str(),
                                                     nullptr);
  if (error != nullptr) g_error_free(error);
  return stored != FALSE && error == nullptr;
}

}  // namespace platform

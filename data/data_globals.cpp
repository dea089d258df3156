#include "data/data_globals.h"

#include "data/user_keys.h"

std::string DataFolder;
std::unique_ptr<TWideCrypt> FixedCrypt;

void CreateFixedCrypt() {
  if (FixedCrypt) return;
  FixedCrypt = std::make_unique<TWideCrypt>(false);
  if (auto keys = UserKeys()) FixedCrypt->SetKey(keys->FixedKeyText.Get());
}

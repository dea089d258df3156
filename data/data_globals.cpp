#include "data/data_globals.h"

#include "data/secrets.h"

std::string DataFolder;
std::unique_ptr<TWideCrypt> FixedCrypt;

void CreateFixedCrypt() {
  if (FixedCrypt) return;
  FixedCrypt = std::make_unique<TWideCrypt>(false);
  FixedCrypt->SetKey(secrets::FixedKeyText());
}

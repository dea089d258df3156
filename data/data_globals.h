// Program-wide objects of the data layer that the lists depend on. The data start-up
// sets them; until then the lists neither load nor save, and field lists and saved
// passwords cannot be enciphered.
#pragma once

#include <memory>
#include <string>

#include "data/crypt_wide.h"

// Full path of the data folder, ending in "/"; empty until the data start-up.
extern std::string DataFolder;

// Enciphers form field lists and saved passwords: keyed with the user's fixed key text.
extern std::unique_ptr<TWideCrypt> FixedCrypt;

// Creates FixedCrypt keyed with the user's fixed key text (once).
void CreateFixedCrypt();

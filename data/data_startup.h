// The data start-up and the security values: where the data folder lies, which
// settings store is used, which program-wide objects exist and in which order they
// are made and loaded; the security record that proves the master password without
// storing it.
//
// Security record: a cipher bag with the built-in key holding "MASTER_CRYPT" (the
// verification phrase enciphered under the master password's key), "SECURITY_LEVEL"
// and "SECURITY_EXPIRES", kept as the setting "SECURITY".
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/config.h"
#include "data/crypt_wide.h"
#include "data/field_dictionary.h"
#include "support/locks.h"

inline constexpr char kDataFolderName[] = "PXData/";

// Security levels: no protection, asked once, asked after SecurityExpires minutes,
// asked for every protected action; 99 marks a security record that could not be read.
inline constexpr std::int32_t kSecurityNone = 0;
inline constexpr std::int32_t kSecurityOnce = 1;
inline constexpr std::int32_t kSecurityExpiring = 2;
inline constexpr std::int32_t kSecurityAlways = 3;
inline constexpr std::int32_t kSecurityCorrupted = 99;

// Program-wide objects of the start-up, freed at program end (FinalizeData).
extern std::unique_ptr<TConfig> Config;
extern std::u16string ActiveIdentityNo;
extern std::atomic<std::int32_t> SecurityLevel;
extern std::atomic<std::int32_t> SecurityExpires;
// When the master password was last given (local date-time, 0 = never), for the
// security gate; read from any thread.
extern std::atomic<double> UnlockTime;
// The MASTER_CRYPT of the security record; empty when none was read.
extern std::string MasterCrypt;
// Read by the plug-in object on other threads.
extern std::atomic<bool> HasIdentities;
extern bool StandAloneData;
// The program's data lock: taken around every change and read of the item lists, the
// identity index, the experience list and the active identity. It comes before any
// list's own lock.
extern support::TCriticalSection DataLock;
extern std::unique_ptr<TWideCrypt> DefaultCrypt;
// Where the start-up reads its data resources: ReadDataResource unless a test sets
// another reader.
extern TResourceReader DataResourceReader;
// An RCDATA resource compiled into the program (resources/, pellix_data_resources).
std::optional<std::string> ReadDataResource(const char* name);

// The data folder and the settings object: stand-alone, the program folder's
// "PXData/" and the ini file beside the program; otherwise the application-data
// folder's "PXData/" and the host's settings store.
void SetDataFolder(bool standAlone);
// The start-up, on the main thread before any other thread starts: data folder,
// settings, security values, cipher objects, the resource lists, the identity index
// and the experience list, then the active identity and the lists when there is one.
void InitData(bool standAlone);
// Opens identity FileNo under the data lock and makes it active; creates and loads
// the lists that do not exist yet (history, bookmarks, passwords, vaults, the user's
// ignore list) and the built-in host list. False, with the previous identity and the
// lists as they were, when the file is missing, damaged or the password is wrong.
bool LoadAllData(std::u16string_view fileNo, std::u16string_view password);
// Frees every object of the data layer and clears ActiveIdentityNo and DataFolder.
void FinalizeData();

// The security record of a master password; empty for an empty password (an empty
// master password is never a key) or when it cannot be made.
std::string MakeSecurityRecord(std::u16string_view masterPassword, std::int32_t level, std::int32_t expires);
// Takes the record's values into SecurityLevel, SecurityExpires and MasterCrypt. An
// empty text is no record and changes nothing; a record that does not decode, or
// whose level or expiry is not a number, sets the level 99. False in those cases.
bool ApplySecurityRecord(std::string_view record);
// Reads the setting "SECURITY" (the registry value under the host plug-in key, or
// stand-alone pxcfg.ini through a short-lived settings object) and applies it.
bool LoadSecuritySettings(bool standAlone);

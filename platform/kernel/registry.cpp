#include "platform/kernel/registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/state_root.h"
#include "platform/base/text.h"

namespace {

// The layout of the database; a file whose tables differ is treated as damaged.
constexpr const char* kTables[][2] = {
    {"meta", "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT NOT NULL)"},
    {"keys",
     "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL, "
     "folded TEXT NOT NULL, security BLOB NOT NULL, UNIQUE(parent, folded))"},
    {"reg_values",
     "CREATE TABLE reg_values(key INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL, "
     "type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, folded))"},
};
constexpr const char* kFormat = "1";

struct Hive {
  HKEY handle;
  sqlite3_int64 id;
  const char* name;
};
constexpr Hive kHives[] = {
    {HKEY_CLASSES_ROOT, 1, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, 2, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, 3, "HKEY_LOCAL_MACHINE"},
};

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A failed database step, carried to the public call that turns it into its code.
struct RegistryError {
  LSTATUS code;
};

[[noreturn]] void Throw(LSTATUS code) { throw RegistryError{code}; }

LSTATUS CodeFromSqlite(int result) {
  switch (result & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA: return ERROR_REGISTRY_CORRUPT;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_LOCK_VIOLATION;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

std::string Fold(std::string_view ansi) {
  // Plain ASCII, as the program's own key and value names are, folds in place; every
  // name of every call is folded.
  if (std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string folded(ansi);
    for (char& c : folded) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
  }
  return platform::WideToUtf8(platform::UpperCase(platform::AnsiToWide(ansi)));
}

class Database;

// A prepared statement taken from the database's cache; reset when it goes away.
class Query {
 public:
  Query(Database& database, const char* sql);
  ~Query() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& Bind(int index, sqlite3_int64 value) {
    Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
  }
  Query& Bind(int index, std::string_view text) {
    Check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Query& BindBlob(int index, const void* data, size_t size) {
    // A zero-length blob still binds as a blob, never as NULL.
    Check(sqlite3_bind_blob(statement_, index, size ? data : "", static_cast<int>(size), SQLITE_TRANSIENT));
    return *this;
  }
  // True while there is a row.
  bool Step();
  void Run() {
    while (Step()) {
    }
  }
  sqlite3_int64 Int(int column) { return sqlite3_column_int64(statement_, column); }
  // Names are kept as UTF-8 and handed out in the 8-bit code page.
  std::string Name(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text ? platform::Utf8ToAnsi(std::string_view(text, sqlite3_column_bytes(statement_, column)))
                : std::string();
  }
  std::vector<BYTE> Blob(int column) {
    const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(statement_, column));
    int size = sqlite3_column_bytes(statement_, column);
    return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
  }

 private:
  void Check(int result);
  Database& database_;
  sqlite3_stmt* statement_;
};

class Database {
 public:
  ~Database() { Close(); }

  // Opens the file under the state root, creating and seeding it when it is new.
  LSTATUS Open() {
    if (damaged_) {
      // Damage seen in the middle of the work closes the file for good.
      Close();
      return ERROR_REGISTRY_CORRUPT;
    }
    if (db_) return ERROR_SUCCESS;
    std::filesystem::path path = platform::registry::DatabasePath();
    if (path.empty()) return ERROR_CANTOPEN;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return ERROR_CANTOPEN;
    ::close(fd);
    int result = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result != SQLITE_OK) {
      Close();
      return CodeFromSqlite(result);
    }
    sqlite3_busy_timeout(db_, 10000);
    try {
      Exec("PRAGMA journal_mode=WAL");
      Exec("PRAGMA synchronous=NORMAL");
      CheckIntegrity();
      PrepareSchema();
    } catch (const RegistryError& error) {
      if (error.code == ERROR_REGISTRY_CORRUPT) damaged_ = true;
      Close();
      return error.code;
    }
    return ERROR_SUCCESS;
  }

  void Close() {
    for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
    statements_.clear();
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
  }

  // Forgets a damaged file, so that the next Open looks again.
  void Reset() {
    Close();
    damaged_ = false;
  }

  void Exec(const char* sql) {
    char* message = nullptr;
    int result = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    Check(result);
  }

  // A statement that returns no rows, kept prepared: transactions begin and end on
  // every call.
  void Run(const char* sql) {
    sqlite3_stmt* statement = Statement(sql);
    const int result = sqlite3_step(statement);
    sqlite3_reset(statement);
    Check(result);
  }

  void Check(int result) {
    if (result == SQLITE_OK || result == SQLITE_ROW || result == SQLITE_DONE) return;
    LSTATUS code = CodeFromSqlite(result);
    if (code == ERROR_REGISTRY_CORRUPT) damaged_ = true;
    Throw(code);
  }

  bool damaged() const { return damaged_; }

  sqlite3_stmt* Statement(const char* sql) {
    auto found = statements_.find(std::string_view(sql));
    if (found != statements_.end()) return found->second;
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr));
    statements_.emplace(sql, statement);
    return statement;
  }

 private:
  void CheckIntegrity() {
    Query check(*this, "PRAGMA quick_check");
    if (!check.Step() || check.Name(0) != "ok") Throw(ERROR_REGISTRY_CORRUPT);
  }

  void PrepareSchema();

  sqlite3* db_ = nullptr;
  bool damaged_ = false;
  std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

Query::Query(Database& database, const char* sql) : database_(database), statement_(database.Statement(sql)) {}

bool Query::Step() {
  int result = sqlite3_step(statement_);
  database_.Check(result);
  return result == SQLITE_ROW;
}

void Query::Check(int result) { database_.Check(result); }

// One transaction; rolled back unless committed.
class Transaction {
 public:
  Transaction(Database& database, bool write) : database_(database) {
    database_.Run(write ? "BEGIN IMMEDIATE" : "BEGIN");
  }
  ~Transaction() {
    if (!done_) Rollback();
  }
  void Commit() {
    database_.Run("COMMIT");
    done_ = true;
  }

 private:
  void Rollback() {
    try {
      database_.Run("ROLLBACK");
    } catch (const RegistryError&) {
      // A failed step may already have ended the transaction.
    }
  }
  Database& database_;
  bool done_ = false;
};

// Key operations inside a transaction.
std::optional<sqlite3_int64> FindChild(Database& db, sqlite3_int64 parent, std::string_view name) {
  Query query(db, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
  query.Bind(1, parent).Bind(2, Fold(name));
  if (!query.Step()) return std::nullopt;
  return query.Int(0);
}

bool KeyExists(Database& db, sqlite3_int64 id) {
  Query query(db, "SELECT 1 FROM keys WHERE id = ?1");
  query.Bind(1, id);
  return query.Step();
}

sqlite3_int64 AddChild(Database& db, sqlite3_int64 parent, std::string_view name, const std::vector<BYTE>& security) {
  Query insert(db, "INSERT INTO keys(parent, name, folded, security) VALUES(?1, ?2, ?3, ?4) RETURNING id");
  insert.Bind(1, parent).Bind(2, platform::AnsiToUtf8(name)).Bind(3, Fold(name));
  insert.BindBlob(4, security.data(), security.size());
  if (!insert.Step()) Throw(ERROR_REGISTRY_IO_FAILED);
  sqlite3_int64 id = insert.Int(0);
  insert.Run();
  return id;
}

void PutValue(Database& db, sqlite3_int64 key, std::string_view name, DWORD type, const BYTE* data, DWORD size) {
  Query put(db,
            "INSERT INTO reg_values(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
            "ON CONFLICT(key, folded) DO UPDATE SET name = excluded.name, type = excluded.type, data = excluded.data");
  put.Bind(1, key).Bind(2, platform::AnsiToUtf8(name)).Bind(3, Fold(name)).Bind(4, sqlite3_int64(type));
  put.BindBlob(5, data, size);
  put.Run();
}

// Splits a key path into its names. A single trailing backslash is allowed; an empty
// name inside the path is not.
std::optional<std::vector<std::string>> SplitPath(const char* path, bool allowLeadingBackslash) {
  std::vector<std::string> names;
  if (!path) return names;
  std::string_view rest(path);
  if (!rest.empty() && rest.front() == '\\') {
    if (!allowLeadingBackslash) return std::nullopt;
    rest.remove_prefix(1);
  }
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (rest.empty()) return names;
  for (;;) {
    size_t slash = rest.find('\\');
    std::string_view name = rest.substr(0, slash);
    if (name.empty()) return std::nullopt;
    names.emplace_back(name);
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return names;
}

std::string SeedFolder(const char* name, const char* xdgVariable, const char* homeFallback) {
  std::filesystem::path folder;
  const char* pellixHome = std::getenv("PELLIX_HOME");
  if (pellixHome && *pellixHome) {
    // A private state root keeps every folder of the program inside it.
    folder = platform::StateFolder(name);
  } else if (const char* xdg = std::getenv(xdgVariable); xdg && *xdg) {
    folder = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::filesystem::path(home) / homeFallback;
  }
  std::string ansi;
  return platform::NativeToAnsiName(folder.string(), ansi) ? ansi : std::string();
}

void Database::PrepareSchema() {
  Transaction transaction(*this, true);
  Query count(*this, "SELECT count(*) FROM sqlite_master");
  count.Step();
  bool fresh = count.Int(0) == 0;
  count.Run();
  if (fresh) {
    for (const auto& table : kTables) Exec(table[1]);
    Query format(*this, "INSERT INTO meta(name, value) VALUES('format', ?1)");
    format.Bind(1, std::string_view(kFormat)).Run();
    for (const Hive& hive : kHives) {
      Query add(*this, "INSERT INTO keys(id, parent, name, folded, security) VALUES(?1, 0, ?2, ?3, ?4)");
      std::vector<BYTE> security = platform::DefaultSecurity(KEY_ALL_ACCESS);
      add.Bind(1, hive.id).Bind(2, std::string_view(hive.name)).Bind(3, Fold(hive.name));
      add.BindBlob(4, security.data(), security.size()).Run();
    }
    sqlite3_int64 key = 2;
    const std::vector<std::string> path = *SplitPath(kShellFolders, false);
    for (const std::string& name : path) {
      key = AddChild(*this, key, name, platform::DefaultSecurity(KEY_ALL_ACCESS));
    }
    for (auto [valueName, folder] : {std::pair{"AppData", SeedFolder("AppData", "XDG_DATA_HOME", ".local/share")},
                                     std::pair{"Desktop", SeedFolder("Desktop", "XDG_DESKTOP_DIR", "Desktop")}}) {
      PutValue(*this, key, valueName, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
               static_cast<DWORD>(folder.size() + 1));
    }
  } else {
    for (const auto& table : kTables) {
      Query schema(*this, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1");
      schema.Bind(1, std::string_view(table[0]));
      if (!schema.Step() || schema.Name(0) != table[1]) Throw(ERROR_REGISTRY_CORRUPT);
    }
    Query format(*this, "SELECT value FROM meta WHERE name = 'format'");
    if (!format.Step() || format.Name(0) != kFormat) Throw(ERROR_REGISTRY_CORRUPT);
    for (const Hive& hive : kHives) {
      if (!KeyExists(*this, hive.id)) Throw(ERROR_REGISTRY_CORRUPT);
    }
  }
  transaction.Commit();
}

struct OpenKey {
  sqlite3_int64 id;
  REGSAM access;
};

struct Registry {
  std::mutex lock;
  Database database;
  std::map<HKEY, OpenKey> keys;
  HKEY next = 0x10;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

REGSAM MapAccess(REGSAM access) {
  REGSAM mapped = access & KEY_ALL_ACCESS;
  if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) mapped |= KEY_ALL_ACCESS;
  if (access & GENERIC_READ) mapped |= KEY_READ;
  if (access & GENERIC_WRITE) mapped |= KEY_WRITE;
  return mapped;
}

// Runs one registry call: the database open, a handle looked up and the transaction
// around it; every failure becomes the call's code.
class Call {
 public:
  explicit Call(std::string_view operation) : registry_(TheRegistry()), guard_(registry_.lock) {
    DWORD saved = GetLastError();
    if (platform::faults::ShouldFail(operation)) status_ = static_cast<LSTATUS>(GetLastError());
    SetLastError(saved);
    if (status_ == ERROR_SUCCESS) status_ = registry_.database.Open();
  }

  bool ok() const { return status_ == ERROR_SUCCESS; }
  LSTATUS status() const { return status_; }
  Database& db() { return registry_.database; }

  // The open key behind a handle, checked for the access the call needs.
  OpenKey Key(HKEY key, REGSAM needed) {
    for (const Hive& hive : kHives) {
      if (hive.handle == key) return OpenKey{hive.id, KEY_ALL_ACCESS};
    }
    auto found = registry_.keys.find(key);
    if (found == registry_.keys.end()) Throw(ERROR_INVALID_HANDLE);
    if ((found->second.access & needed) != needed) Throw(ERROR_ACCESS_DENIED);
    if (!KeyExists(db(), found->second.id)) Throw(ERROR_KEY_DELETED);
    return found->second;
  }

  HKEY NewHandle(sqlite3_int64 id, REGSAM access) {
    while (registry_.keys.count(registry_.next) != 0 || registry_.next >= 0x80000000u) {
      registry_.next = registry_.next >= 0x80000000u ? 0x10 : registry_.next + 4;
    }
    HKEY handle = registry_.next;
    registry_.next += 4;
    registry_.keys[handle] = OpenKey{id, MapAccess(access)};
    return handle;
  }

  // Runs Body in a transaction and answers its code.
  template <typename Body>
  LSTATUS Run(bool write, Body body) {
    if (!ok()) return status_;
    try {
      Transaction transaction(db(), write);
      LSTATUS result = body();
      if (result == ERROR_SUCCESS) transaction.Commit();
      return result;
    } catch (const RegistryError& error) {
      return error.code;
    }
  }

 private:
  Registry& registry_;
  std::lock_guard<std::mutex> guard_;
  LSTATUS status_ = ERROR_SUCCESS;
};

// Walks a path from a key; nullopt when a name is missing.
std::optional<sqlite3_int64> Walk(Database& db, sqlite3_int64 from, const std::vector<std::string>& names) {
  sqlite3_int64 id = from;
  for (const std::string& name : names) {
    auto child = FindChild(db, id, name);
    if (!child) return std::nullopt;
    id = *child;
  }
  return id;
}

struct ValueRow {
  DWORD type;
  std::vector<BYTE> data;
};

std::optional<ValueRow> ReadValue(Database& db, sqlite3_int64 key, const char* name) {
  Query query(db, "SELECT type, data FROM reg_values WHERE key = ?1 AND folded = ?2");
  query.Bind(1, key).Bind(2, Fold(name ? name : ""));
  if (!query.Step()) return std::nullopt;
  return ValueRow{static_cast<DWORD>(query.Int(0)), query.Blob(1)};
}

// Puts data into a caller's buffer with the size probe and ERROR_MORE_DATA rules.
LSTATUS PutData(const std::vector<BYTE>& data, BYTE* buffer, DWORD* size) {
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(data.size());
  if (!buffer) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed) std::memcpy(buffer, data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

// Puts a name into a caller's buffer whose size counts characters; out: without the zero.
LSTATUS PutName(const std::string& text, char* buffer, DWORD* size) {
  if (!buffer || !size) return ERROR_INVALID_PARAMETER;
  if (*size <= text.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

std::vector<sqlite3_int64> Subtree(Database& db, sqlite3_int64 root) {
  // UNION (not UNION ALL) ends even on a damaged file whose parents form a loop.
  Query query(db,
              "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) "
              "SELECT id FROM sub");
  query.Bind(1, root);
  std::vector<sqlite3_int64> ids;
  while (query.Step()) ids.push_back(query.Int(0));
  return ids;
}

void RemoveKeys(Database& db, const std::vector<sqlite3_int64>& ids, bool keepFirst) {
  for (size_t i = 0; i < ids.size(); ++i) {
    Query values(db, "DELETE FROM reg_values WHERE key = ?1");
    values.Bind(1, ids[i]).Run();
    if (i == 0 && keepFirst) continue;
    Query key(db, "DELETE FROM keys WHERE id = ?1");
    key.Bind(1, ids[i]).Run();
  }
}

bool IsHive(sqlite3_int64 id) { return id >= kHives[0].id && id <= kHives[2].id; }

std::vector<BYTE> StoredSecurity(Database& db, sqlite3_int64 key) {
  Query query(db, "SELECT security FROM keys WHERE id = ?1");
  query.Bind(1, key);
  if (!query.Step()) Throw(ERROR_KEY_DELETED);
  std::vector<BYTE> security = query.Blob(0);
  if (!platform::IsValidSelfRelative(security.data(), security.size())) Throw(ERROR_REGISTRY_CORRUPT);
  return security;
}

// The parts of a self-relative descriptor, as buffers an absolute descriptor can point at.
struct AbsoluteParts {
  SECURITY_DESCRIPTOR header{};
  std::vector<BYTE> dacl, sacl, owner, group;
};

AbsoluteParts Unpack(std::vector<BYTE>& relative) {
  AbsoluteParts parts;
  DWORD headerSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
  MakeAbsoluteSD(relative.data(), nullptr, &headerSize, nullptr, &daclSize, nullptr, &saclSize, nullptr, &ownerSize,
                 nullptr, &groupSize);
  parts.dacl.resize(daclSize);
  parts.sacl.resize(saclSize);
  parts.owner.resize(ownerSize);
  parts.group.resize(groupSize);
  headerSize = sizeof parts.header;
  if (!MakeAbsoluteSD(relative.data(), &parts.header, &headerSize, reinterpret_cast<PACL>(parts.dacl.data()),
                      &daclSize, reinterpret_cast<PACL>(parts.sacl.data()), &saclSize, parts.owner.data(),
                      &ownerSize, parts.group.data(), &groupSize)) {
    Throw(ERROR_REGISTRY_CORRUPT);
  }
  return parts;
}

// The stored descriptor cut down to the parts that Info asks for.
std::vector<BYTE> SelectParts(std::vector<BYTE> stored, SECURITY_INFORMATION info) {
  AbsoluteParts parts = Unpack(stored);
  if (!(info & OWNER_SECURITY_INFORMATION)) parts.header.Owner = nullptr;
  if (!(info & GROUP_SECURITY_INFORMATION)) parts.header.Group = nullptr;
  if (!(info & (SACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION))) {
    parts.header.Sacl = nullptr;
    parts.header.Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~SE_SACL_PRESENT);
  }
  if (!(info & DACL_SECURITY_INFORMATION)) {
    parts.header.Dacl = nullptr;
    parts.header.Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~SE_DACL_PRESENT);
  }
  return platform::SelfRelativeCopy(&parts.header);
}

// The stored descriptor with the parts that Info names taken from Update.
std::vector<BYTE> MergeParts(std::vector<BYTE> stored, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR update) {
  std::vector<BYTE> incoming = platform::SelfRelativeCopy(update);
  if (incoming.empty()) Throw(ERROR_INVALID_PARAMETER);
  AbsoluteParts base = Unpack(stored);
  AbsoluteParts from = Unpack(incoming);
  auto take = [&](SECURITY_DESCRIPTOR_CONTROL flags) {
    base.header.Control = static_cast<SECURITY_DESCRIPTOR_CONTROL>((base.header.Control & ~flags) |
                                                                   (from.header.Control & flags));
  };
  if (info & OWNER_SECURITY_INFORMATION) {
    base.header.Owner = from.header.Owner;
    take(SE_OWNER_DEFAULTED);
  }
  if (info & GROUP_SECURITY_INFORMATION) {
    base.header.Group = from.header.Group;
    take(SE_GROUP_DEFAULTED);
  }
  if (info & (SACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION)) {
    base.header.Sacl = from.header.Sacl;
    take(SE_SACL_PRESENT | SE_SACL_DEFAULTED);
  }
  if (info & DACL_SECURITY_INFORMATION) {
    base.header.Dacl = from.header.Dacl;
    take(SE_DACL_PRESENT | SE_DACL_DEFAULTED);
  }
  return platform::SelfRelativeCopy(&base.header);
}

void StoreSecurity(Database& db, sqlite3_int64 key, const std::vector<BYTE>& security) {
  Query update(db, "UPDATE keys SET security = ?2 WHERE id = ?1");
  update.Bind(1, key).BindBlob(2, security.data(), security.size()).Run();
}

}  // namespace

LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* /*className*/, DWORD /*options*/,
                        REGSAM access, const SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition) {
  if (!result || reserved != 0) return ERROR_INVALID_PARAMETER;
  auto names = SplitPath(subKey, false);
  if (!names) return ERROR_BAD_PATHNAME;
  std::vector<BYTE> descriptor = security && security->lpSecurityDescriptor
                                     ? platform::SelfRelativeCopy(security->lpSecurityDescriptor)
                                     : platform::DefaultSecurity(KEY_ALL_ACCESS);
  if (descriptor.empty()) return ERROR_INVALID_PARAMETER;
  Call call("RegCreateKeyExA");
  sqlite3_int64 id = 0;
  bool created = false;
  LSTATUS status = call.Run(true, [&] {
    OpenKey parent = call.Key(key, 0);
    id = parent.id;
    for (const std::string& name : *names) {
      if (auto child = FindChild(call.db(), id, name)) {
        id = *child;
        continue;
      }
      if ((parent.access & KEY_CREATE_SUB_KEY) == 0) return LSTATUS(ERROR_ACCESS_DENIED);
      id = AddChild(call.db(), id, name, descriptor);
      created = true;
    }
    return LSTATUS(ERROR_SUCCESS);
  });
  if (status != ERROR_SUCCESS) return status;
  *result = call.NewHandle(id, access);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyA(HKEY key, const char* subKey, HKEY* result) {
  return RegCreateKeyExA(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr, result,
                         nullptr);
}

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  auto names = SplitPath(subKey, true);
  if (!names) return ERROR_FILE_NOT_FOUND;
  Call call("RegOpenKeyExA");
  sqlite3_int64 id = 0;
  LSTATUS status = call.Run(false, [&] {
    auto found = Walk(call.db(), call.Key(key, 0).id, *names);
    if (!found) return LSTATUS(ERROR_FILE_NOT_FOUND);
    id = *found;
    return LSTATUS(ERROR_SUCCESS);
  });
  if (status != ERROR_SUCCESS) return status;
  *result = call.NewHandle(id, access);
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyA(HKEY key, const char* subKey, HKEY* result) {
  return RegOpenKeyExA(key, subKey, 0, MAXIMUM_ALLOWED, result);
}

LSTATUS RegCloseKey(HKEY key) {
  for (const Hive& hive : kHives) {
    if (hive.handle == key) return ERROR_SUCCESS;
  }
  std::lock_guard guard(TheRegistry().lock);
  return TheRegistry().keys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (reserved != 0) return ERROR_INVALID_PARAMETER;
  if (!data && size != 0) return ERROR_NOACCESS;
  Call call("RegSetValueExA");
  return call.Run(true, [&] {
    PutValue(call.db(), call.Key(key, KEY_SET_VALUE).id, valueName ? valueName : "", type, data, size);
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  Call call("RegQueryValueExA");
  return call.Run(false, [&] {
    auto value = ReadValue(call.db(), call.Key(key, KEY_QUERY_VALUE).id, valueName);
    if (!value) return LSTATUS(ERROR_FILE_NOT_FOUND);
    if (type) *type = value->type;
    return PutData(value->data, data, size);
  });
}

LSTATUS RegDeleteValueA(HKEY key, const char* valueName) {
  Call call("RegDeleteValueA");
  return call.Run(true, [&] {
    sqlite3_int64 id = call.Key(key, KEY_SET_VALUE).id;
    if (!ReadValue(call.db(), id, valueName)) return LSTATUS(ERROR_FILE_NOT_FOUND);
    Query remove(call.db(), "DELETE FROM reg_values WHERE key = ?1 AND folded = ?2");
    remove.Bind(1, id).Bind(2, Fold(valueName ? valueName : "")).Run();
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegDeleteKeyA(HKEY key, const char* subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  auto names = SplitPath(subKey, true);
  if (!names) return ERROR_FILE_NOT_FOUND;
  Call call("RegDeleteKeyA");
  return call.Run(true, [&] {
    auto target = Walk(call.db(), call.Key(key, 0).id, *names);
    if (!target) return LSTATUS(ERROR_FILE_NOT_FOUND);
    if (IsHive(*target)) return LSTATUS(ERROR_ACCESS_DENIED);
    Query children(call.db(), "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    children.Bind(1, *target);
    if (children.Step()) return LSTATUS(ERROR_ACCESS_DENIED);
    RemoveKeys(call.db(), {*target}, false);
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegDeleteTreeA(HKEY key, const char* subKey) {
  auto names = SplitPath(subKey, true);
  if (!names) return ERROR_FILE_NOT_FOUND;
  Call call("RegDeleteTreeA");
  return call.Run(true, [&] {
    auto target = Walk(call.db(), call.Key(key, 0).id, *names);
    if (!target) return LSTATUS(ERROR_FILE_NOT_FOUND);
    // Without a subkey the key itself stays and only its contents go, as for a hive.
    RemoveKeys(call.db(), Subtree(call.db(), *target), names->empty() || IsHive(*target));
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* className,
                      DWORD* classSize, FILETIME* lastWriteTime) {
  if (reserved || !name || !nameSize) return ERROR_INVALID_PARAMETER;
  Call call("RegEnumKeyExA");
  return call.Run(false, [&] {
    Query query(call.db(), "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
    query.Bind(1, call.Key(key, KEY_ENUMERATE_SUB_KEYS).id).Bind(2, sqlite3_int64(index));
    if (!query.Step()) return LSTATUS(ERROR_NO_MORE_ITEMS);
    LSTATUS status = PutName(query.Name(0), name, nameSize);
    if (className && classSize && *classSize) className[0] = 0;
    if (classSize) *classSize = 0;
    if (lastWriteTime) *lastWriteTime = FILETIME{};
    return status;
  });
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  if (reserved || !name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  Call call("RegEnumValueA");
  return call.Run(false, [&] {
    Query query(call.db(), "SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
    query.Bind(1, call.Key(key, KEY_QUERY_VALUE).id).Bind(2, sqlite3_int64(index));
    if (!query.Step()) return LSTATUS(ERROR_NO_MORE_ITEMS);
    LSTATUS status = PutName(query.Name(0), name, nameSize);
    if (status != ERROR_SUCCESS) return status;
    if (type) *type = static_cast<DWORD>(query.Int(1));
    return PutData(query.Blob(2), data, dataSize);
  });
}

LSTATUS RegQueryInfoKeyA(HKEY key, char* className, DWORD* classSize, DWORD* reserved, DWORD* subKeys,
                         DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
                         DWORD* maxValueLength, DWORD* securityDescriptorSize, FILETIME* lastWriteTime) {
  if (reserved) return ERROR_INVALID_PARAMETER;
  Call call("RegQueryInfoKeyA");
  return call.Run(false, [&] {
    sqlite3_int64 id = call.Key(key, KEY_QUERY_VALUE).id;
    auto put = [](DWORD* out, sqlite3_int64 value) {
      if (out) *out = static_cast<DWORD>(value);
    };
    Query keys(call.db(), "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0) FROM keys WHERE parent = ?1");
    keys.Bind(1, id).Step();
    put(subKeys, keys.Int(0));
    put(maxSubKeyLength, keys.Int(1));
    Query vals(call.db(),
               "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0), coalesce(max(length(data)), 0) "
               "FROM reg_values WHERE key = ?1");
    vals.Bind(1, id).Step();
    put(values, vals.Int(0));
    put(maxValueNameLength, vals.Int(1));
    put(maxValueLength, vals.Int(2));
    put(securityDescriptorSize, static_cast<sqlite3_int64>(StoredSecurity(call.db(), id).size()));
    put(maxClassLength, 0);
    if (className && classSize && *classSize) className[0] = 0;
    put(classSize, 0);
    if (lastWriteTime) *lastWriteTime = FILETIME{};
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegGetKeySecurity(HKEY key, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR descriptor, DWORD* size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  Call call("RegGetKeySecurity");
  return call.Run(false, [&] {
    std::vector<BYTE> selected = SelectParts(StoredSecurity(call.db(), call.Key(key, READ_CONTROL).id), info);
    if (!descriptor || *size < selected.size()) {
      *size = static_cast<DWORD>(selected.size());
      return LSTATUS(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(descriptor, selected.data(), selected.size());
    *size = static_cast<DWORD>(selected.size());
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegSetKeySecurity(HKEY key, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR descriptor) {
  if (!descriptor) return ERROR_INVALID_PARAMETER;
  Call call("RegSetKeySecurity");
  return call.Run(true, [&] {
    REGSAM needed = (info & DACL_SECURITY_INFORMATION ? WRITE_DAC : 0) |
                    (info & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION) ? WRITE_OWNER : 0);
    sqlite3_int64 id = call.Key(key, needed).id;
    StoreSecurity(call.db(), id, MergeParts(StoredSecurity(call.db(), id), info, descriptor));
    return LSTATUS(ERROR_SUCCESS);
  });
}

LSTATUS RegFlushKey(HKEY key) {
  Call call("RegFlushKey");
  return call.Run(false, [&] {
    call.Key(key, 0);
    return LSTATUS(ERROR_SUCCESS);
  });
}

namespace platform::registry {

std::filesystem::path DatabasePath() {
  std::filesystem::path root = StateRoot();
  return root.empty() ? root : root / "registry.db";
}

void CloseDatabase() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.database.Reset();
  registry.keys.clear();
}

}  // namespace platform::registry

// Registry reads and writes as the program makes them (open or create the key, one
// value, close), against plain SQLite statements doing the same row work on the same
// database file. The ratio is what the registry's calls cost over the raw storage.
// A read or a write is two calls (open or create, then query or set), each a
// transaction of its own that must see the key still there; second baselines do the
// same, in one transaction each.
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "bench/common/ratio_main.h"
#include "platform/kernel/registry.h"

namespace {

constexpr const char* kPath = "Software\\Quindle\\PlugIns\\PELLIX";

std::filesystem::path& Home() {
  static std::filesystem::path home;
  return home;
}

void RegistryWrite(benchmark::State& state) {
  DWORD counter = 0;
  for (auto _ : state) {
    HKEY key = 0;
    RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    ++counter;
    RegSetValueExA(key, "Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&counter), sizeof counter);
    RegCloseKey(key);
  }
}

void RegistryRead(benchmark::State& state) {
  for (auto _ : state) {
    HKEY key = 0;
    RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key);
    DWORD value = 0;
    DWORD size = sizeof value;
    RegQueryValueExA(key, "Counter", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    benchmark::DoNotOptimize(value);
  }
}

// The baseline: its own connection to the same file, with prepared statements that
// find the same key row by its parent chain and write or read the same value row.
class Plain {
 public:
  Plain() {
    sqlite3_open(platform::registry::DatabasePath().c_str(), &db_);
    sqlite3_busy_timeout(db_, 10000);
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db_, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2", -1, &find_, nullptr);
    sqlite3_prepare_v2(db_,
                       "INSERT INTO reg_values(key, name, folded, type, data) VALUES(?1, 'Counter', 'COUNTER', 4, ?2) "
                       "ON CONFLICT(key, folded) DO UPDATE SET data = excluded.data",
                       -1, &write_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT data FROM reg_values WHERE key = ?1 AND folded = 'COUNTER'", -1, &read_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT 1 FROM keys WHERE id = ?1", -1, &exists_, nullptr);
    sqlite3_prepare_v2(db_, "BEGIN IMMEDIATE", -1, &beginWrite_, nullptr);
    sqlite3_prepare_v2(db_, "BEGIN", -1, &beginRead_, nullptr);
    sqlite3_prepare_v2(db_, "COMMIT", -1, &commit_, nullptr);
  }
  ~Plain() {
    for (sqlite3_stmt* statement : {find_, write_, read_, exists_, beginWrite_, beginRead_, commit_}) {
      sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
  }

  void Write(DWORD value) {
    Run(beginWrite_);
    sqlite3_int64 key = FindKey();
    sqlite3_bind_int64(write_, 1, key);
    sqlite3_bind_blob(write_, 2, &value, sizeof value, SQLITE_STATIC);
    Run(write_);
    Run(commit_);
  }

  // As the two calls: the key found in one write transaction (creating could be
  // needed), seen again and written in another.
  void WriteAsCalls(DWORD value) {
    Run(beginWrite_);
    const sqlite3_int64 key = FindKey();
    Run(commit_);
    Run(beginWrite_);
    if (Exists(key)) {
      sqlite3_bind_int64(write_, 1, key);
      sqlite3_bind_blob(write_, 2, &value, sizeof value, SQLITE_STATIC);
      Run(write_);
    }
    Run(commit_);
  }

  DWORD Read() {
    Run(beginRead_);
    const DWORD value = ReadValue(FindKey());
    Run(commit_);
    return value;
  }

  // As the two calls: the key found in one transaction, seen again and read in another.
  DWORD ReadAsCalls() {
    Run(beginRead_);
    const sqlite3_int64 key = FindKey();
    Run(commit_);
    Run(beginRead_);
    const DWORD value = Exists(key) ? ReadValue(key) : 0;
    Run(commit_);
    return value;
  }

 private:
  sqlite3_int64 FindKey() {
    sqlite3_int64 id = 2;  // HKEY_CURRENT_USER
    for (const char* name : {"SOFTWARE", "QUINDLE", "PLUGINS", "PELLIX"}) {
      sqlite3_bind_int64(find_, 1, id);
      sqlite3_bind_text(find_, 2, name, -1, SQLITE_STATIC);
      id = sqlite3_step(find_) == SQLITE_ROW ? sqlite3_column_int64(find_, 0) : 0;
      sqlite3_reset(find_);
    }
    return id;
  }
  bool Exists(sqlite3_int64 key) {
    sqlite3_bind_int64(exists_, 1, key);
    const bool there = sqlite3_step(exists_) == SQLITE_ROW;
    sqlite3_reset(exists_);
    return there;
  }
  DWORD ReadValue(sqlite3_int64 key) {
    sqlite3_bind_int64(read_, 1, key);
    DWORD value = 0;
    if (sqlite3_step(read_) == SQLITE_ROW) value = *static_cast<const DWORD*>(sqlite3_column_blob(read_, 0));
    sqlite3_reset(read_);
    return value;
  }
  static void Run(sqlite3_stmt* statement) {
    sqlite3_step(statement);
    sqlite3_reset(statement);
  }
  sqlite3* db_ = nullptr;
  sqlite3_stmt* find_ = nullptr;
  sqlite3_stmt* write_ = nullptr;
  sqlite3_stmt* read_ = nullptr;
  sqlite3_stmt* exists_ = nullptr;
  sqlite3_stmt* beginWrite_ = nullptr;
  sqlite3_stmt* beginRead_ = nullptr;
  sqlite3_stmt* commit_ = nullptr;
};

void PlainSqliteWrite(benchmark::State& state) {
  Plain plain;
  DWORD counter = 0;
  for (auto _ : state) plain.Write(++counter);
}

void PlainSqliteWriteAsCalls(benchmark::State& state) {
  Plain plain;
  DWORD counter = 0;
  for (auto _ : state) plain.WriteAsCalls(++counter);
}

void PlainSqliteRead(benchmark::State& state) {
  Plain plain;
  for (auto _ : state) benchmark::DoNotOptimize(plain.Read());
}

void PlainSqliteReadAsCalls(benchmark::State& state) {
  Plain plain;
  for (auto _ : state) benchmark::DoNotOptimize(plain.ReadAsCalls());
}

BENCHMARK(RegistryWrite);
BENCHMARK(PlainSqliteWrite);
BENCHMARK(PlainSqliteWriteAsCalls);
BENCHMARK(RegistryRead);
BENCHMARK(PlainSqliteRead);
BENCHMARK(PlainSqliteReadAsCalls);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/pellix-bench-registry-XXXXXX";
  Home() = mkdtemp(pattern);
  setenv("PELLIX_HOME", Home().c_str(), 1);
  HKEY key = 0;
  RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegCloseKey(key);
  const int failed = pellix_bench::RunWithRatios(
      argc, argv, {{"RegistryWrite", "PlainSqliteWrite"},
                  {"RegistryWrite", "PlainSqliteWriteAsCalls"},
                  {"RegistryRead", "PlainSqliteRead"},
                  {"RegistryRead", "PlainSqliteReadAsCalls"}});
  platform::registry::CloseDatabase();
  std::filesystem::remove_all(Home());
  return failed;
}

// The key stretching of a password against an unstretched hash of the same bytes (the
// ratio is the work a guess costs more; the absolute time is a security setting,
// printed for the record), and the data start-up with 10,000 items in each of the
// history, bookmark and password lists against reading and deciphering the same files
// raw.
#include <sodium.h>

#include <string>

#include "bench/common/list_sample.h"
#include "bench/common/ratio_main.h"
#include "data/data_globals.h"
#include "data/data_items.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/password_key.h"
#include "data/user_keys.h"

namespace {

constexpr int kItems = pellix_bench::kSampleItems;
const char* const kListFiles[] = {kHistoryFile, kBookmarksFile, kPasswordsFile};

using Sample = pellix_bench::ListSample;

Sample& TheSample() {
  static Sample sample(false, false);
  return sample;
}

void BM_MakePasswordKey(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MakePasswordKey(u"correct horse battery"));
}

void BM_UnstretchedHash(benchmark::State& state) {
  std::string bytes = WideToBytes(u"correct horse battery");
  unsigned char key[32];
  for (auto _ : state) {
    crypto_generichash(key, sizeof key, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), nullptr,
                       0);
    benchmark::DoNotOptimize(key);
  }
}

void BM_DataStartup(benchmark::State& state) {
  if (!TheSample().ready) state.SkipWithError("no sample");
  for (auto _ : state) {
    InitData(false);
    if (!HistoryList || HistoryList->Count() != kItems || PasswordList->Count() != kItems) {
      state.SkipWithError("start-up incomplete");
    }
    state.PauseTiming();
    FinalizeData();
    state.ResumeTiming();
  }
}

// Reading the three files and deciphering every record, without building anything
// (the bookmark file's folder block is empty here).
void BM_ReadAndDecipherRaw(benchmark::State& state) {
  Sample& sample = TheSample();
  const auto keys = UserKeys();
  const TCryptKey key(keys->Table.Get().begin(), keys->Table.Get().end());
  std::string plain;
  for (auto _ : state) {
    for (const char* name : kListFiles) {
      TMemoryStreamReader memory;
      bool missing = false;
      std::int32_t value = 0;
      if (!ReadDataFile(sample.folder + name, memory, missing) || !memory.ReadInteger(value) ||
          (name == std::string(kBookmarksFile) && !memory.ReadInteger(value)) || !memory.ReadInteger(value)) {
        state.SkipWithError("read failed");
        break;
      }
      const bool extra = name == std::string(kBookmarksFile);
      for (int i = 0; i < value; ++i) {
        std::uint16_t vault = 0;
        double date = 0;
        std::int32_t integer = 0;
        std::string record;
        if (!memory.ReadWord(vault) || !memory.ReadDouble(date) ||
            (extra && !memory.ReadInteger(integer)) || !ReadStoredString(memory, record) ||
            !DecipherWithKey(Base64Decode(record), key, plain)) {
          state.SkipWithError("decipher failed");
          break;
        }
      }
    }
    benchmark::DoNotOptimize(plain);
  }
}

BENCHMARK(BM_MakePasswordKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnstretchedHash);
BENCHMARK(BM_DataStartup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndDecipherRaw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TheSample();
  return pellix_bench::RunWithRatios(
      argc, argv,
      {{"BM_MakePasswordKey", "BM_UnstretchedHash"}, {"BM_DataStartup", "BM_ReadAndDecipherRaw"}});
}

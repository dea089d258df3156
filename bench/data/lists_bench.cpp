// Loading and saving a list of 10,000 bookmarks against the raw cost of deciphering
// the same record bytes. Saving enciphers, which costs more than deciphering (the
// nonce is a keyed hash of the whole record), so saving is also set against the raw
// cost of enciphering the same records and writing them as text.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/common/ratio_main.h"
#include "data/crypt_wide.h"
#include "data/data_globals.h"
#include "data/form_items.h"
#include "data/user_keys.h"

namespace {

constexpr int kBookmarks = 10000;

TFormListItem Field(std::u16string name, std::u16string value, bool generated) {
  TFormListItem field;
  field.ID = name;
  field.Name = std::move(name);
  field.Value = std::move(value);
  field.Generated = generated;
  return field;
}

// The sample's own state root, made before the list: a list takes the keys of the
// state root current when it is made, and the baseline deciphers with that root's keys.
struct SampleHome {
  SampleHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellix-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    setenv("PELLIX_HOME", pattern.c_str(), 1);  // the sample's keys stay in the sample
    DataFolder = pattern + "/";
  }
  ~SampleHome() {
    std::error_code ignored;
    if (!DataFolder.empty()) std::filesystem::remove_all(DataFolder, ignored);
  }
};

struct Sample : SampleHome {
  Sample() {
    if (DataFolder.empty()) return;
    CreateFixedCrypt();
    for (int i = 0; i < kBookmarks; ++i) {
      auto* item = static_cast<TBookmarkItem*>(list.Add(std::make_unique<TBookmarkItem>(&list)));
      std::u16string n(u"00000");
      for (int k = 4, v = i; k >= 0; --k, v /= 10) n[k] = static_cast<char16_t>(u'0' + v % 10);
      item->SetCaption(u"Shop account " + n);
      item->SetURL(u"https://shop" + n + u".example.com/account/login.php");
      item->SetFormName(u"login");
      item->SetFormID(u"form1");
      item->AddFields({Field(u"user", u"customer" + n, false), Field(u"password", u"secret" + n, true),
                       Field(u"remember", u"on", false), Field(u"note", u"two\r\nlines", false)});
      item->EncodeFields();
    }
    saved = list.SaveToFile();
  }
  TBookmarkItems list;
  bool saved = false;
};

Sample& TheSample() {
  static Sample sample;
  return sample;
}

void BM_SaveBookmarks(benchmark::State& state) {
  Sample& sample = TheSample();
  for (auto _ : state) {
    for (int i = 0; i < sample.list.Count(); ++i) sample.list.Item(i)->RecordText.clear();
    if (!sample.list.SaveToFile()) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * kBookmarks);
}

void BM_LoadBookmarks(benchmark::State& state) {
  if (!TheSample().saved) state.SkipWithError("no sample file");
  for (auto _ : state) {
    TBookmarkItems list;
    if (!list.LoadFromFile() || list.Count() != kBookmarks) state.SkipWithError("load failed");
  }
  state.SetItemsProcessed(state.iterations() * kBookmarks);
}

TCryptKey SampleKey() {
  const auto keys = UserKeys();
  return TCryptKey(keys->Table.Get().begin(), keys->Table.Get().end());
}

// The record texts of the sample, deciphered once: what a save enciphers.
std::vector<std::string> SamplePlains(Sample& sample, const TCryptKey& key) {
  std::vector<std::string> plains(static_cast<std::size_t>(sample.list.Count()));
  for (int i = 0; i < sample.list.Count(); ++i) {
    DecipherWithKey(Base64Decode(sample.list.Item(i)->RecordText), key, plains[static_cast<std::size_t>(i)]);
  }
  return plains;
}

void BM_DecipherRecordsRaw(benchmark::State& state) {
  Sample& sample = TheSample();
  const TCryptKey key = SampleKey();
  std::string plain;
  for (auto _ : state) {
    for (int i = 0; i < sample.list.Count(); ++i) {
      if (!DecipherWithKey(Base64Decode(sample.list.Item(i)->RecordText), key, plain)) {
        state.SkipWithError("decipher failed");
      }
    }
    benchmark::DoNotOptimize(plain);
  }
  state.SetItemsProcessed(state.iterations() * kBookmarks);
}

void BM_EncipherRecordsRaw(benchmark::State& state) {
  const TCryptKey key = SampleKey();
  const std::vector<std::string> plains = SamplePlains(TheSample(), key);
  std::string sealed, text;
  for (auto _ : state) {
    for (const std::string& plain : plains) {
      if (!EncipherWithKey(plain, key, sealed)) state.SkipWithError("encipher failed");
      text = Base64Encode(sealed);
    }
    benchmark::DoNotOptimize(text);
  }
  state.SetItemsProcessed(state.iterations() * kBookmarks);
}

// Fairer baselines: the plain ones above leave out work a list must do. A load also
// reads the file and turns each record into its text of name/value pairs; a save also
// puts the file on disk for good (written, flushed to the disk, renamed into place).
// These do that much by hand, and no more.
std::string ReadWhole(const std::string& path) {
  std::string bytes(std::filesystem::file_size(path), '\0');
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return {};
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
  std::fclose(in);
  return bytes;
}

void BM_ReadDecipherSplitRaw(benchmark::State& state) {
  Sample& sample = TheSample();
  const TCryptKey key = SampleKey();
  std::string plain;
  for (auto _ : state) {
    if (ReadWhole(sample.list.FilePath).empty()) state.SkipWithError("read failed");
    for (int i = 0; i < sample.list.Count(); ++i) {
      if (!DecipherWithKey(Base64Decode(sample.list.Item(i)->RecordText), key, plain)) {
        state.SkipWithError("decipher failed");
      }
      const std::u16string text = BytesToWide(plain);
      std::vector<std::u16string> values;
      for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find(u'\r', start);
        if (end == std::u16string::npos) end = text.size();
        const std::u16string_view pair = std::u16string_view(text).substr(start, end - start);
        values.emplace_back(pair.substr(std::min(pair.find(u'\t'), pair.size())));
        start = end + 1;
      }
      benchmark::DoNotOptimize(values);
    }
  }
  state.SetItemsProcessed(state.iterations() * kBookmarks);
}

void BM_EncipherWriteRaw(benchmark::State& state) {
  const TCryptKey key = SampleKey();
  const std::vector<std::string> plains = SamplePlains(TheSample(), key);
  const std::string path = DataFolder + "raw.txt";
  std::string sealed;
  for (auto _ : state) {
    std::string file;
    for (const std::string& plain : plains) {
      if (!EncipherWithKey(plain, key, sealed)) state.SkipWithError("encipher failed");
      file += Base64Encode(sealed);
    }
    FILE* out = std::fopen((path + ".tmp").c_str(), "wb");
    const bool written = out != nullptr && std::fwrite(file.data(), 1, file.size(), out) == file.size() &&
                         std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    if (out != nullptr) std::fclose(out);
    if (!written || std::rename((path + ".tmp").c_str(), path.c_str()) != 0) state.SkipWithError("write failed");
  }
  state.SetItemsProcessed(state.iterations() * kBookmarks);
}

BENCHMARK(BM_SaveBookmarks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBookmarks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecipherRecordsRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncipherRecordsRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDecipherSplitRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncipherWriteRaw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv,
                                     {{"BM_LoadBookmarks", "BM_DecipherRecordsRaw"},
                                      {"BM_SaveBookmarks", "BM_DecipherRecordsRaw"},
                                      {"BM_SaveBookmarks", "BM_EncipherRecordsRaw"},
                                      {"BM_LoadBookmarks", "BM_ReadDecipherSplitRaw"},
                                      {"BM_SaveBookmarks", "BM_EncipherWriteRaw"}},
                                     kBookmarks);
}

// The list-file loader reads files that may be damaged or hostile. The first byte
// picks the list class; the rest is the file. Whatever loads must save and load
// again to the same items; a file that fails to load must never be written over.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "data/data_globals.h"
#include "data/form_items.h"
#include "fuzz/data/data_folder.h"

namespace {

std::unique_ptr<TDataItems> MakeList(std::uint8_t kind) {
  switch (kind % 4) {
    case 0: return std::make_unique<TBookmarkItems>();
    case 1: return std::make_unique<THistoryItems>();
    case 2: return std::make_unique<TPasswordItems>();
    default: return std::make_unique<TVaultItems>();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzz_data::EnsureDataFolder();
  CreateFixedCrypt();
  std::unique_ptr<TDataItems> list = MakeList(data[0]);
  const std::string path = DataFolder + list->FileName;
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".bak"));
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  if (!list->LoadFromFile()) {
    if (list->SaveToFile() || fuzz_data::ReadFile(path) != bytes) std::abort();
    return 0;
  }
  if (!list->SaveToFile()) std::abort();
  std::unique_ptr<TDataItems> again = MakeList(data[0]);
  if (!again->LoadFromFile() || again->Count() != list->Count()) std::abort();
  return 0;
}

// The loaders of the identity file, the identity index, the experience list and the
// ignore list read files that may be damaged or hostile. The first byte picks the
// file; the rest is its content. Whatever loads must save and load again to the same
// number of lines or entries; a file that does not load must never be written over.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "data/identities.h"
#include "data/ignore_lists.h"
#include "fuzz/data/data_folder.h"

namespace {

// Make answers a fresh object for the file; Load loads it and answers the count of
// what it holds, or -1 when the load failed.
template <typename Make, typename Load>
void Check(const std::string& path, const std::string& bytes, Make make, Load load) {
  auto object = make();
  int loaded = load(*object);
  if (loaded < 0) {
    if (object->SaveToFile() || fuzz_data::ReadFile(path) != bytes) std::abort();
    return;
  }
  if (!object->SaveToFile()) std::abort();
  auto again = make();
  if (load(*again) != loaded) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzz_data::EnsureDataFolder();
  const char* const names[] = {"ident000.pxd", kIdentitiesFile, kExperienceFile, kIgnoreFile};
  const int kind = data[0] % 4;
  const std::string path = DataFolder + names[kind];
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".bak"));
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  switch (kind) {
    case 0:
      Check(path, bytes, [&] { return std::make_unique<TIdentity>(path); },
            [](TIdentity& identity) { return identity.LoadFromFile(u"") ? identity.Values.Count() : -1; });
      break;
    case 1:
      Check(path, bytes, [] { return std::make_unique<TIdentities>(); },
            [](TIdentities& index) { return index.LoadFromFile() ? index.Lines.Count() : -1; });
      break;
    case 2:
      Check(path, bytes, [] { return std::make_unique<TExperience>(); },
            [](TExperience& experience) { return experience.LoadFromFile() ? experience.Lines.Count() : -1; });
      break;
    default:
      Check(path, bytes, [] { return std::make_unique<TIgnoreList>(); },
            [](TIgnoreList& list) { return list.LoadFromFile() ? static_cast<int>(list.Items().size()) : -1; });
      break;
  }
  return 0;
}

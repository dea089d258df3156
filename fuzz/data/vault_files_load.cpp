// The loaders of the identity file, the identity index, the experience list and the
// ignore list read files that may be damaged or hostile. The first byte picks the
// file; the rest is its content. Whatever loads must save and load again to the same
// number of lines or entries; a file that does not load must never be written over.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/data_globals.h"
#include "data/identities.h"
#include "data/ignore_lists.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(DataFolder, ignored);
}

// Loads, checks the rule above, and answers the count of what loaded (-1: nothing).
template <typename Load, typename Save, typename Count>
void Check(const std::string& path, const std::string& bytes, Load load, Save save, Count count) {
  int loaded = load();
  if (loaded < 0) {
    if (save() || ReadFile(path) != bytes) std::abort();
    return;
  }
  if (!save()) std::abort();
  if (count() != loaded) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (DataFolder.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellix-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    DataFolder = pattern + "/";
    std::atexit(RemoveFolder);
  }
  const char* const names[] = {"ident000.pxd", kIdentitiesFile, kExperienceFile, kIgnoreFile};
  const int kind = data[0] % 4;
  const std::string path = DataFolder + names[kind];
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".bak"));
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  switch (kind) {
    case 0: {
      TIdentity identity(path);
      Check(path, bytes, [&] { return identity.LoadFromFile(u"") ? identity.Values.Count() : -1; },
            [&] { return identity.SaveToFile(); },
            [&] {
              TIdentity again(path);
              return again.LoadFromFile(u"") ? again.Values.Count() : -2;
            });
      break;
    }
    case 1: {
      TIdentities index;
      Check(path, bytes, [&] { return index.LoadFromFile() ? index.Lines.Count() : -1; },
            [&] { return index.SaveToFile(); },
            [&] {
              TIdentities again;
              return again.LoadFromFile() ? again.Lines.Count() : -2;
            });
      break;
    }
    case 2: {
      TExperience experience;
      Check(path, bytes, [&] { return experience.LoadFromFile() ? experience.Lines.Count() : -1; },
            [&] { return experience.SaveToFile(); },
            [&] {
              TExperience again;
              return again.LoadFromFile() ? again.Lines.Count() : -2;
            });
      break;
    }
    default: {
      TIgnoreList list;
      Check(path, bytes, [&] { return list.LoadFromFile() ? static_cast<int>(list.Items().size()) : -1; },
            [&] { return list.SaveToFile(); },
            [&] {
              TIgnoreList again;
              return again.LoadFromFile() ? static_cast<int>(again.Items().size()) : -2;
            });
      break;
    }
  }
  return 0;
}

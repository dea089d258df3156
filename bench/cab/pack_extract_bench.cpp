// Extracting a language pack: the archive facade (cabinet reader over the platform's
// cabinet calls and file calls) against libmspack extracting the same cabinet
// straight to files. The ratio is what the program's layers cost on top.
#include <benchmark/benchmark.h>
#include <mspack.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/common/ratio_main.h"
#include "support/archives.h"
#include "tools/langpack/language_pack_builder.h"

namespace {

namespace fs = std::filesystem;

struct Pack {
  fs::path folder;
  std::string cabinet;
};

// A pack of 4,000 texts in a scratch folder, made once.
const Pack& ThePack() {
  static Pack pack = [] {
    Pack made;
    char pattern[] = "/tmp/pellix-bench-cab-XXXXXX";
    made.folder = mkdtemp(pattern);
    std::string table = "ShortName=de\nLongName=Deutsch\n\n";
    for (int i = 0; i < 4000; ++i) {
      table += "English text number " + std::to_string(i) + " of the program\tDeutscher Text Nummer " +
               std::to_string(i) + " des Programms\n";
    }
    langpack::BuiltPack built;
    std::string error;
    made.cabinet = (made.folder / "PX_de.cab").string();
    if (!langpack::ParseTable(table, built, error) || !langpack::WritePack(built, made.cabinet, error)) {
      std::fprintf(stderr, "cannot build the pack: %s\n", error.c_str());
      std::abort();
    }
    return made;
  }();
  return pack;
}

void ArchiveFacade(benchmark::State& state) {
  const Pack& pack = ThePack();
  std::string target = (pack.folder / "facade").string();
  for (auto _ : state) {
    TArchive archive(pack.cabinet);
    if (!archive.DecompressToDir(target, "", false)) state.SkipWithError(archive.LastError.c_str());
  }
}

void Libmspack(benchmark::State& state) {
  const Pack& pack = ThePack();
  fs::path target = pack.folder / "libmspack";
  fs::create_directories(target);
  mscab_decompressor* decompressor = mspack_create_cab_decompressor(nullptr);
  for (auto _ : state) {
    mscabd_cabinet* cabinet = decompressor->open(decompressor, pack.cabinet.c_str());
    for (mscabd_file* file = cabinet->files; file != nullptr; file = file->next) {
      std::string out = (target / file->filename).string();
      // Replaced files are removed first, as the facade does: truncating a file in
      // place makes some file systems flush it on close.
      std::remove(out.c_str());
      if (decompressor->extract(decompressor, file, out.c_str()) != MSPACK_ERR_OK) state.SkipWithError("extract");
    }
    decompressor->close(decompressor, cabinet);
  }
  mspack_destroy_cab_decompressor(decompressor);
}

BENCHMARK(ArchiveFacade)->Unit(benchmark::kMicrosecond);
BENCHMARK(Libmspack)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  int result = pellix_bench::RunWithRatios(argc, argv, {{"ArchiveFacade", "Libmspack"}});
  fs::remove_all(ThePack().folder);
  return result;
}

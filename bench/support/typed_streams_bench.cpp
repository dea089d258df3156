// Typed stream writes and reads of a list-like file against a raw fwrite/fread of the
// same bytes.
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/common/ratio_main.h"
#include "support/typed_streams.h"

namespace {

constexpr int kRecords = 20000;
const std::string kText(40, 'x');

struct Folder {
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellix-bench-XXXXXX").string();
    path = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

Folder& TheFolder() {
  static Folder folder;
  return folder;
}

std::string TypedFile() { return TheFolder().path + "/typed.bin"; }
std::string RawFile() { return TheFolder().path + "/raw.bin"; }

bool WriteTyped() {
  TMemoryStreamWriter memory;
  for (int i = 0; i < kRecords; ++i) {
    memory.WriteWord(static_cast<std::uint16_t>(i));
    memory.WriteDouble(45000.0 + i);
    memory.WriteInteger(i);
    memory.WriteString(kText);
  }
  TFileWriter file;
  return file.Open(TypedFile()) && file.WriteStream(memory.Memory());
}

std::string FileBytes(const std::string& path) {
  std::string bytes(std::filesystem::file_size(path), '\0');
  FILE* in = std::fopen(path.c_str(), "rb");
  std::fread(bytes.data(), 1, bytes.size(), in);
  std::fclose(in);
  return bytes;
}

void BM_TypedWrite(benchmark::State& state) {
  for (auto _ : state) {
    if (!WriteTyped()) state.SkipWithError("write failed");
  }
}

void BM_RawWrite(benchmark::State& state) {
  WriteTyped();
  const std::string bytes = FileBytes(TypedFile());
  for (auto _ : state) {
    FILE* out = std::fopen(RawFile().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
}

// The fairer baselines: the same records encoded by hand into a buffer and written with
// fwrite, and read with fread and decoded by hand, since the typed streams must do
// both and the plain copies above do neither.
template <typename T>
void Append(std::string& bytes, T value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);  // little-endian machine
}

void BM_RawWriteEncoded(benchmark::State& state) {
  for (auto _ : state) {
    std::string bytes;
    for (int i = 0; i < kRecords; ++i) {
      Append(bytes, static_cast<std::uint16_t>(i));
      Append(bytes, 45000.0 + i);
      Append(bytes, static_cast<std::int32_t>(i));
      Append(bytes, static_cast<std::int32_t>(kText.size()));
      bytes += kText;
    }
    FILE* out = std::fopen(RawFile().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
}

template <typename T>
void Take(const std::string& bytes, std::size_t& at, T& value) {
  std::memcpy(&value, bytes.data() + at, sizeof value);
  at += sizeof value;
}

// Decoding by hand; checked, also with the checks a typed reader must make and plain
// decoding leaves out (no read past the end of a short or damaged file; a text length
// must be positive and fit what remains): the fairest baseline.
template <bool kChecked>
void ReadDecoded(benchmark::State& state) {
  WriteTyped();
  const std::size_t size = std::filesystem::file_size(TypedFile());
  for (auto _ : state) {
    std::string bytes(size, '\0');
    FILE* in = std::fopen(TypedFile().c_str(), "rb");
    std::fread(bytes.data(), 1, size, in);
    std::fclose(in);
    std::size_t at = 0;
    std::uint16_t word;
    double date;
    std::int32_t integer;
    std::int32_t length;
    std::string text;
    const auto take = [&](auto& value) {
      if (kChecked && bytes.size() - at < sizeof value) return false;
      Take(bytes, at, value);
      return true;
    };
    for (int i = 0; i < kRecords; ++i) {
      const bool whole = take(word) && take(date) && take(integer) && take(length);
      if (kChecked && (!whole || length <= 0 || static_cast<std::size_t>(length) > bytes.size() - at)) {
        state.SkipWithError("damaged");
        break;
      }
      text.assign(bytes, at, static_cast<std::size_t>(length));
      at += static_cast<std::size_t>(length);
    }
    benchmark::DoNotOptimize(text);
  }
}

void BM_RawReadDecoded(benchmark::State& state) { ReadDecoded<false>(state); }
void BM_RawReadDecodedChecked(benchmark::State& state) { ReadDecoded<true>(state); }

void BM_TypedRead(benchmark::State& state) {
  WriteTyped();
  for (auto _ : state) {
    TFileReader file;
    TMemoryStreamReader memory;
    if (!file.Open(TypedFile()) || !file.ReadToStream(memory.Memory())) state.SkipWithError("read failed");
    memory.Memory().SetPosition(0);
    std::uint16_t word;
    double date;
    std::int32_t integer;
    std::string text;
    for (int i = 0; i < kRecords; ++i) {
      memory.ReadWord(word);
      memory.ReadDouble(date);
      memory.ReadInteger(integer);
      memory.ReadString(text);
    }
    benchmark::DoNotOptimize(text);
  }
}

void BM_RawRead(benchmark::State& state) {
  WriteTyped();
  const std::size_t size = std::filesystem::file_size(TypedFile());
  std::string bytes(size, '\0');
  for (auto _ : state) {
    FILE* in = std::fopen(TypedFile().c_str(), "rb");
    std::fread(bytes.data(), 1, size, in);
    std::fclose(in);
    benchmark::DoNotOptimize(bytes);
  }
}

BENCHMARK(BM_TypedWrite);
BENCHMARK(BM_RawWrite);
BENCHMARK(BM_TypedRead);
BENCHMARK(BM_RawRead);
BENCHMARK(BM_RawWriteEncoded);
BENCHMARK(BM_RawReadDecoded);
BENCHMARK(BM_RawReadDecodedChecked);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(
      argc, argv, {{"BM_TypedWrite", "BM_RawWrite"},
                   {"BM_TypedRead", "BM_RawRead"},
                   {"BM_TypedWrite", "BM_RawWriteEncoded"},
                   {"BM_TypedRead", "BM_RawReadDecoded"},
                   {"BM_TypedRead", "BM_RawReadDecodedChecked"}}, kRecords);
}

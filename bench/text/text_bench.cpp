// The platform's conversions between wide text and 8-bit (Windows-1252), UTF-8 and
// UTF-16LE bytes, each beside glibc's iconv doing the same conversion of the same text
// in this process. The ratio is our time over iconv's.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/text.h"
#include "bench/common/ratio_main.h"

namespace {

// About 64 KB of text: Western European words (all in Windows-1252), and a mixed text
// with Greek, Chinese and characters beyond the basic plane.
std::u16string Repeat(std::u16string_view piece) {
  std::u16string text;
  while (text.size() < 32 * 1024) text += piece;
  return text;
}

const std::u16string& Western() {
  static const std::u16string text =
      Repeat(u"Caf\u00E9 cr\u00E8me, na\u00EFve fa\u00E7ade \u2013 \u201Cquoted\u201D \u20AC12,50 Stra\u00DFe.\r\n");
  return text;
}

const std::u16string& Mixed() {
  static const std::u16string text =
      Repeat(u"Pellix \u03B1\u03B2\u03B3 \u4E2D\u6587\u5B57 \U0001F600 na\u00EFve plain ASCII words here.\r\n");
  return text;
}

// One iconv conversion of a whole buffer; the output is sized for the worst case.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
      std::exit(1);
    }
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  std::string Convert(const char* in, std::size_t size) {
    std::string out(size * 4 + 16, '\0');
    char* source = const_cast<char*>(in);
    char* target = out.data();
    std::size_t left = size, room = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &source, &left, &target, &room) == static_cast<std::size_t>(-1)) {
      std::fprintf(stderr, "iconv failed: %s\n", std::strerror(errno));
      std::exit(1);
    }
    out.resize(out.size() - room);
    return out;
  }

 private:
  iconv_t cd_;
};

std::string Bytes(const std::u16string& wide) { return platform::WideToUtf16Le(wide); }

// Each pair converts the same input; the results are checked equal once.
void Check(const std::string& ours, const std::string& theirs, const char* what) {
  if (ours != theirs) {
    std::fprintf(stderr, "%s: the platform and iconv disagree\n", what);
    std::exit(1);
  }
}

void AnsiToWidePlatform(benchmark::State& state) {
  const std::string input = platform::WideToAnsi(Western());
  for (auto _ : state) benchmark::DoNotOptimize(platform::AnsiToWide(input));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
void AnsiToWideIconv(benchmark::State& state) {
  const std::string input = platform::WideToAnsi(Western());
  Iconv cd("UTF-16LE", "CP1252");
  Check(Bytes(platform::AnsiToWide(input)), cd.Convert(input.data(), input.size()), "AnsiToWide");
  for (auto _ : state) benchmark::DoNotOptimize(cd.Convert(input.data(), input.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void WideToAnsiPlatform(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::WideToAnsi(Western()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Western().size() * 2));
}
void WideToAnsiIconv(benchmark::State& state) {
  const std::string input = Bytes(Western());
  Iconv cd("CP1252", "UTF-16LE");
  Check(platform::WideToAnsi(Western()), cd.Convert(input.data(), input.size()), "WideToAnsi");
  for (auto _ : state) benchmark::DoNotOptimize(cd.Convert(input.data(), input.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void Utf8ToWidePlatform(benchmark::State& state) {
  const std::string input = platform::WideToUtf8(Mixed());
  for (auto _ : state) benchmark::DoNotOptimize(platform::Utf8ToWide(input));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
void Utf8ToWideIconv(benchmark::State& state) {
  const std::string input = platform::WideToUtf8(Mixed());
  Iconv cd("UTF-16LE", "UTF-8");
  Check(Bytes(platform::Utf8ToWide(input)), cd.Convert(input.data(), input.size()), "Utf8ToWide");
  for (auto _ : state) benchmark::DoNotOptimize(cd.Convert(input.data(), input.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void WideToUtf8Platform(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::WideToUtf8(Mixed()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Mixed().size() * 2));
}
void WideToUtf8Iconv(benchmark::State& state) {
  const std::string input = Bytes(Mixed());
  Iconv cd("UTF-8", "UTF-16LE");
  Check(platform::WideToUtf8(Mixed()), cd.Convert(input.data(), input.size()), "WideToUtf8");
  for (auto _ : state) benchmark::DoNotOptimize(cd.Convert(input.data(), input.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// UTF-16LE bytes (as text files hold them) into wide text; iconv checks and copies.
void Utf16LeToWidePlatform(benchmark::State& state) {
  const std::string input = Bytes(Mixed());
  for (auto _ : state) benchmark::DoNotOptimize(platform::Utf16LeToWide(input));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
void Utf16LeToWideIconv(benchmark::State& state) {
  const std::string input = Bytes(Mixed());
  Iconv cd("UTF-16LE", "UTF-16LE");
  Check(input, cd.Convert(input.data(), input.size()), "Utf16LeToWide");
  for (auto _ : state) benchmark::DoNotOptimize(cd.Convert(input.data(), input.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

BENCHMARK(AnsiToWidePlatform);
BENCHMARK(AnsiToWideIconv);
BENCHMARK(WideToAnsiPlatform);
BENCHMARK(WideToAnsiIconv);
BENCHMARK(Utf8ToWidePlatform);
BENCHMARK(Utf8ToWideIconv);
BENCHMARK(WideToUtf8Platform);
BENCHMARK(WideToUtf8Iconv);
BENCHMARK(Utf16LeToWidePlatform);
BENCHMARK(Utf16LeToWideIconv);


}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"AnsiToWidePlatform", "AnsiToWideIconv"},
                                      {"WideToAnsiPlatform", "WideToAnsiIconv"},
                                      {"Utf8ToWidePlatform", "Utf8ToWideIconv"},
                                      {"WideToUtf8Platform", "WideToUtf8Iconv"},
                                      {"Utf16LeToWidePlatform", "Utf16LeToWideIconv"}});
}

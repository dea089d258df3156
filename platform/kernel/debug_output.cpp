#include "platform/kernel/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

namespace {

struct Output {
  std::mutex lock;
  std::function<void(std::string_view)> sink;
};

Output& TheOutput() {
  static Output output;
  return output;
}

void WriteDefault(std::string_view text) {
  const char* target = std::getenv("PELLIX_DEBUG_OUTPUT");
  if (target == nullptr || *target == 0) return;
  bool toError = std::string_view(target) == "-";
  std::FILE* file = toError ? stderr : std::fopen(target, "a");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fputc('\n', file);
  if (!toError) std::fclose(file);
}

}  // namespace

void OutputDebugStringA(const char* outputString) {
  std::string_view text = outputString != nullptr ? outputString : "";
  Output& output = TheOutput();
  std::lock_guard guard(output.lock);
  if (output.sink) {
    output.sink(text);
  } else {
    WriteDefault(text);
  }
}

namespace platform {

void SetDebugOutputSink(std::function<void(std::string_view text)> sink) {
  Output& output = TheOutput();
  std::lock_guard guard(output.lock);
  output.sink = std::move(sink);
}

}  // namespace platform

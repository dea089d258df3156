// Data resources as streams, texts and files: the translator writes the language
// packs the program carries into the pack folder with these, and reads its pack list.
// A module file other than the program can be named; such modules load only where the
// system can map them, so here that answers false.
//
// Nothing here raises to its caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/base/types.h"
#include "platform/classlib/resource_stream.h"
#include "support/typed_streams.h"

// A stream reader over one data resource of the program or of a module file.
class TFileResourceReader : public TStreamReader {
 public:
  TFileResourceReader() = default;
  ~TFileResourceReader() override;

  // Loads moduleFile when given (retrying while the system answers "access denied",
  // RetryTime / 100 tries 100 ms apart), finds resName of resType in it or in the
  // program, and opens the reader over it.
  bool Open(const std::string& resName, const std::string& moduleFile, const char* resType);
  // Frees the stream and releases a module that Open loaded.
  void Close();
  // The whole resource into a new file; true only when every byte was written.
  bool SaveToFile(const std::string& fileName);

  std::uint32_t RetryTime = 800;

 private:
  std::unique_ptr<TResourceStream> resource_;
  HMODULE module_ = 0;
};

// The lines of the data resource resName, each ending in CR LF; false when the
// resource (or a named module file) is not there.
bool LoadResourceText(const std::string& moduleFile, const std::string& resName, std::string& text);

// Writes the data resource resName into fileName. Without force an existing file is
// kept. A file in use is moved aside to fileName + ".old". True when the file is there
// afterwards, whole.
bool ExtractResourceToFile(const std::string& fileName, const std::string& resName, bool force,
                           const std::string& moduleFile = "");

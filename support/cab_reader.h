// Reading cabinets (language packs) through the system cabinet calls: the cabinet
// test, listing the files inside, and extracting them into a folder or into streams.
// The cabinet calls know only names and handles, so a stream takes part under a
// virtual name "Stream_<n>" that the program-wide stream manager maps to it; the
// file callbacks send every operation on such a name or its handle to the stream.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/cab/fdi.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/streams.h"

// A failure of the cabinet calls, with the error record it came from.
class EQVCabinet : public Exception {
 public:
  explicit EQVCabinet(const ERF& error);
  int ErrorCode;  // erfOper
  int ErrorType;  // erfType: a system error code, or 0
  bool HasError;  // fError
  bool Decompression = true;
};

// The message of a decompression error record.
std::string CabinetErrorText(const ERF& error);

// Program-wide map from virtual names and handles to streams. Not locked: the cabinet
// calls run on the calling thread and only one extraction runs at a time.
// Owns no stream.
class tStreamMan {
 public:
  // Answers the new name; the first is "Stream_1" and numbers are never reused.
  std::string Publish(TStream* stream);
  void Withdraw(const std::string& name);
  bool IsPublished(const std::string& name) const;
  TStream* StreamOf(const std::string& name) const;

  void Bind(const std::string& name, INT_PTR handle);
  bool IsBound(INT_PTR handle) const;
  // The bytes read (at most those left), or -1 when the stream fails.
  std::int32_t Read(INT_PTR handle, void* buffer, std::uint32_t count);
  std::int32_t Write(INT_PTR handle, const void* buffer, std::uint32_t count);
  std::int64_t Seek(INT_PTR handle, std::int64_t offset, int origin);
  void Unbind(INT_PTR handle);

 private:
  struct Bound {
    TStream* stream;
    std::int64_t position;
  };
  std::int32_t counter_ = 0;
  std::map<std::string, TStream*> published_;
  std::map<std::string, Bound> bound_;  // by the handle in decimal
};

tStreamMan& StreamMan();

// A member name that would leave the folder it is extracted into: absolute, with a
// drive, or with a ".." part ("\" and "/" both separate).
bool CabNameLeavesFolder(const std::string& name);

// Exactly one backslash between a folder and a name; an empty folder gives the name.
std::string CabJoinPath(const std::string& folder, const std::string& name);

// The fixed fields of a file entry as the listing hands them over.
struct TCabFileEntry {
  std::uint32_t size;
  std::uint32_t offset;
  std::uint16_t folder;
  std::uint16_t date;
  std::uint16_t time;
  std::uint16_t attributes;
};

using TCabEnumCallback = std::function<void(void* user, const std::string& name, const TCabFileEntry& entry,
                                            bool& stop)>;

// May replace or blank (skip) the target of each file being extracted.
using TCopyFileHook = std::function<void(const std::string& name, std::string& target)>;

// Owns its FDI context (made on first need).
class TQVCabReader {
 public:
  TQVCabReader();
  ~TQVCabReader();
  TQVCabReader(const TQVCabReader&) = delete;
  TQVCabReader& operator=(const TQVCabReader&) = delete;

  // Raises EOSError when the file cannot be opened.
  bool IsCabinet(const std::string& fileName, FDICABINETINFO& info);

  // Extracts into folder, then the following cabinets of the set unless onlyFirst.
  // Raises EQVCabinet on failure. A member whose name would leave the folder (a ".."
  // part, an absolute name or a drive) is never written: it is skipped and the
  // extraction fails.
  void ExtractFiles(const std::string& cabinet, const std::string& folder, bool onlyFirst);

  // Walks the file entries; false when the file is no cabinet. A damaged header raises
  // Exception.
  bool EnumerateFiles(const std::string& cabinet, const TCabEnumCallback& callback, void* user);

  TCopyFileHook OnCopyFile;

 private:
  static INT_PTR Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note);
  INT_PTR CopyFile(PFDINOTIFICATION note);
  int CloseFile(PFDINOTIFICATION note);
  HFDI Context();

  HFDI context_ = nullptr;
  ERF error_{};
  std::string folder_;
  std::string nextCabinet_;
  std::string nextDisk_;
  bool askedForNext_ = false;
  bool refusedName_ = false;
  std::vector<std::string> names_;
  std::vector<std::string> targets_;
};

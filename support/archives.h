// One facade over archive formats: the caller names an archive file, the facade picks
// the archive type by the file's extension and extracts the whole archive into a
// folder, or one named file into a stream or a text. The only type is "CAB", over
// the cabinet reader. No operation raises: each answers true or false and keeps the
// text of the last failure in LastError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/streams.h"
#include "support/cab_reader.h"

class TArchive;

// Base of every archive type. Owned by its TArchive.
class tArchiveFrame {
 public:
  explicit tArchiveFrame(TArchive* owner) : Owner(owner) {}
  virtual ~tArchiveFrame() = default;
  tArchiveFrame(const tArchiveFrame&) = delete;
  tArchiveFrame& operator=(const tArchiveFrame&) = delete;

  virtual bool Init();
  virtual bool GetFileList(std::vector<std::string>& list);
  // dir ends in a backslash; an empty fileName means every file.
  virtual bool ExtractToDir(const std::string& dir, const std::string& fileName);
  virtual bool ExtractFileToStream(const std::string& name, TStream& stream);

  bool Initialised = false;
  TArchive* Owner;
  std::vector<std::string> FileList;

 protected:
  // Runs once per file name: the file must exist, open for reading, and pass Init.
  bool InitialCheck();
};

// The virtual constructor of an archive type.
using TArchiveFrameClass = std::unique_ptr<tArchiveFrame> (*)(TArchive* owner);

class tCABArchive : public tArchiveFrame {
 public:
  using tArchiveFrame::tArchiveFrame;
  static std::unique_ptr<tArchiveFrame> Create(TArchive* owner);

  bool Init() override;
  bool GetFileList(std::vector<std::string>& list) override;
  // Deletes, before extracting, the files in dir that the extraction will write; the
  // reader's failures raise.
  bool ExtractToDir(const std::string& dir, const std::string& fileName) override;
  bool ExtractFileToStream(const std::string& name, TStream& stream) override;

 private:
  void TargetFilter(const std::string& name, std::string& target);

  TQVCabReader reader_;
  std::string wantedName_;
  std::string targetName_;
};

// The program-wide registry of archive types.
class TArchiveManager {
 public:
  struct Record {
    std::int32_t typeId;
    std::string name;         // also the file extension without its dot
    std::string libraryFile;  // a file the type needs beside the program, or empty
    bool available;
    TArchiveFrameClass create;
  };

  void Register(std::int32_t typeId, TArchiveFrameClass create, const std::string& name,
                const std::string& libraryFile);
  int Count() const { return static_cast<int>(records_.size()); }
  const Record& Item(int index) const { return records_[static_cast<std::size_t>(index)]; }
  int IndexOf(std::int32_t typeId) const;
  bool IsRegistered(std::int32_t typeId) const { return IndexOf(typeId) >= 0; }
  bool IsAvailable(std::int32_t typeId) const;
  std::string Name(std::int32_t typeId) const;
  std::string LibraryFile(std::int32_t typeId) const;
  std::unique_ptr<tArchiveFrame> CreateInstance(std::int32_t typeId, TArchive* owner) const;

 private:
  std::vector<Record> records_;
};

// The registry, with "CAB" (type 1) registered.
TArchiveManager& ArchiveManager();

inline constexpr std::int32_t kArchiveTypeCab = 1;

class TArchive {
 public:
  explicit TArchive(const std::string& fileName);

  bool DecompressToDir(const std::string& targetDir, const std::string& fileName, bool giveAccess);
  bool DecompressToStream(const std::string& fileName, TStream* stream);
  // The file's lines, each ending in CR LF.
  bool DecompressToString(const std::string& fileName, std::string& text);
  void SetArchiveType(std::int32_t type);
  bool ArchiveIsAvailable(std::int32_t type);
  // which 0: the type's name; otherwise its library file.
  bool ArchiveTypeName(std::int32_t type, int which, std::string& out);
  void SetFileName(const std::string& fileName);

  const std::string& FileName() const { return fileName_; }
  std::int32_t ArchiveType() const { return archiveType_; }
  tArchiveFrame* Instance() const { return instance_.get(); }

  std::string LastError;

 private:
  bool Fail(const std::string& function, const std::string& message);

  std::unique_ptr<tArchiveFrame> instance_;
  std::string fileName_;
  std::int32_t archiveType_ = 0;
};

// "Internal error in module "ArchivesClass"" with the function and the message.
std::string ArchiveInternalError(const std::string& function, const std::string& message);

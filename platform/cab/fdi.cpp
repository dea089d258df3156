#include "platform/cab/fdi.h"

#include <mspack.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

// Header flags of the cabinet format.
constexpr WORD kHasPrevious = 0x0001;
constexpr WORD kHasNext = 0x0002;
constexpr WORD kHasReserve = 0x0004;

// Folder indexes of file entries that span cabinets.
constexpr WORD kContinuedFromPrevious = 0xFFFD;
constexpr WORD kContinuedToNext = 0xFFFE;
constexpr WORD kContinuedBoth = 0xFFFF;

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFileEntrySize = 16;
constexpr int kNextCabinetTries = 8;

struct RawFile {
  std::string name;
  DWORD size = 0;
  WORD folder = 0;
  WORD date = 0;
  WORD time = 0;
  WORD attribs = 0;
};

struct RawCabinet {
  FDICABINETINFO info{};
  DWORD filesOffset = 0;
  std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
  std::vector<RawFile> files;
};

struct Context;

// A file as libmspack sees it: one of the caller's handles.
struct BridgeFile {
  Context* context;
  INT_PTR hf;
  bool owned;  // a cabinet the bridge opened, so it closes it too
};

// libmspack copies its system interface into its decompression state, so the
// context cannot be found from the interface's address: it is the context of the
// FDI call running on this thread.
thread_local Context* activeContext = nullptr;

class ActiveContext {
 public:
  explicit ActiveContext(Context* context) : previous_(activeContext) { activeContext = context; }
  ~ActiveContext() { activeContext = previous_; }
  ActiveContext(const ActiveContext&) = delete;
  ActiveContext& operator=(const ActiveContext&) = delete;

 private:
  Context* previous_;
};

struct Context {
  PFNALLOC alloc;
  PFNFREE free;
  PFNOPEN open;
  PFNREAD read;
  PFNWRITE write;
  PFNCLOSE close;
  PFNSEEK seek;
  PERF perf;
  mspack_system system;
  mscab_decompressor* decompressor = nullptr;  // made for each copy, see Decompressor
  INT_PTR pendingOutput = 0;  // the handle the next open for writing hands to libmspack
};

// libmspack's free takes no system pointer, so every block carries the caller's free
// callback in front of it.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

void* AllocateBlock(Context* context, std::size_t bytes) {
  if (bytes > 0xFFFFFFFFu - kBlockHeader) return nullptr;
  auto* raw = static_cast<unsigned char*>(context->alloc(static_cast<ULONG>(bytes + kBlockHeader)));
  if (raw == nullptr) return nullptr;
  PFNFREE release = context->free;
  std::memcpy(raw, &release, sizeof release);
  return raw + kBlockHeader;
}

void FreeBlock(void* block) {
  if (block == nullptr) return;
  auto* raw = static_cast<unsigned char*>(block) - kBlockHeader;
  PFNFREE release;
  std::memcpy(&release, raw, sizeof release);
  release(raw);
}

BridgeFile* FileOf(mspack_file* file) { return reinterpret_cast<BridgeFile*>(file); }

mspack_file* BridgeOpen(mspack_system*, const char* filename, int mode) {
  Context* context = activeContext;
  INT_PTR hf = 0;
  bool owned = false;
  if (mode == MSPACK_SYS_OPEN_READ) {
    hf = context->open(const_cast<char*>(filename), _O_BINARY | _O_RDONLY | _O_SEQUENTIAL, 0);
    owned = true;
  } else if (mode == MSPACK_SYS_OPEN_WRITE) {
    hf = context->pendingOutput;
    context->pendingOutput = 0;
  }
  if (hf == 0 || hf == -1) return nullptr;
  auto* file = static_cast<BridgeFile*>(AllocateBlock(context, sizeof(BridgeFile)));
  if (file == nullptr) {
    if (owned) context->close(hf);
    return nullptr;
  }
  *file = BridgeFile{context, hf, owned};
  return reinterpret_cast<mspack_file*>(file);
}

void BridgeClose(mspack_file* file) {
  BridgeFile* bridged = FileOf(file);
  if (bridged->owned) bridged->context->close(bridged->hf);
  FreeBlock(bridged);
}

int BridgeRead(mspack_file* file, void* buffer, int bytes) {
  BridgeFile* bridged = FileOf(file);
  if (bytes < 0) return -1;
  UINT done = bridged->context->read(bridged->hf, buffer, static_cast<UINT>(bytes));
  return done == static_cast<UINT>(-1) || done > static_cast<UINT>(bytes) ? -1 : static_cast<int>(done);
}

int BridgeWrite(mspack_file* file, void* buffer, int bytes) {
  BridgeFile* bridged = FileOf(file);
  if (bytes < 0) return -1;
  UINT done = bridged->context->write(bridged->hf, buffer, static_cast<UINT>(bytes));
  return done == static_cast<UINT>(-1) || done > static_cast<UINT>(bytes) ? -1 : static_cast<int>(done);
}

// libmspack's seek modes are the C library's SEEK_SET, SEEK_CUR and SEEK_END, as are
// the callbacks'. Cabinets beyond 2 GiB do not exist (offsets are 32-bit).
int BridgeSeek(mspack_file* file, off_t offset, int mode) {
  BridgeFile* bridged = FileOf(file);
  if (offset > 0x7FFFFFFF || offset < -0x7FFFFFFF) return -1;
  return bridged->context->seek(bridged->hf, static_cast<LONG>(offset), mode) == -1 ? -1 : 0;
}

off_t BridgeTell(mspack_file* file) {
  BridgeFile* bridged = FileOf(file);
  return bridged->context->seek(bridged->hf, 0, SEEK_CUR);
}

// libmspack's own warnings are not shown; failures reach the caller as error codes.
void BridgeMessage(mspack_file*, const char*, ...) {}

void* BridgeAlloc(mspack_system*, size_t bytes) { return AllocateBlock(activeContext, bytes); }

void BridgeFree(void* block) { FreeBlock(block); }

void BridgeCopy(void* source, void* destination, size_t bytes) { std::memmove(destination, source, bytes); }

}  // namespace

namespace {

void SetError(PERF perf, FDIERROR code) {
  perf->erfOper = code;
  perf->erfType = 0;
  perf->fError = code != FDIERROR_NONE ? TRUE : FALSE;
}

WORD Word(const unsigned char* at) { return static_cast<WORD>(at[0] | (at[1] << 8)); }
DWORD Dword(const unsigned char* at) {
  return DWORD(at[0]) | (DWORD(at[1]) << 8) | (DWORD(at[2]) << 16) | (DWORD(at[3]) << 24);
}

// Reads a cabinet's header and file entries through the caller's callbacks, keeping
// the position itself so that names can be read in one piece and stepped over.
class HeaderReader {
 public:
  HeaderReader(Context* context, INT_PTR hf, LONG start) : context_(context), hf_(hf), position_(start) {}

  bool Read(void* buffer, UINT count) {
    UINT done = context_->read(hf_, buffer, count);
    if (done != count) return false;
    position_ += static_cast<LONG>(count);
    return true;
  }

  bool SeekTo(LONG position) {
    if (context_->seek(hf_, position, SEEK_SET) != position) return false;
    position_ = position;
    return true;
  }

  bool Skip(LONG count) { return SeekTo(position_ + count); }

  // A zero-terminated name of at most CB_MAX_FILENAME bytes with its terminator.
  bool ReadName(std::string& name) {
    char buffer[CB_MAX_FILENAME];
    LONG start = position_;
    UINT done = context_->read(hf_, buffer, sizeof buffer);
    if (done == static_cast<UINT>(-1) || done > sizeof buffer) return false;
    const void* end = std::memchr(buffer, 0, done);
    if (end == nullptr) return false;
    name.assign(buffer, static_cast<std::size_t>(static_cast<const char*>(end) - buffer));
    return SeekTo(start + static_cast<LONG>(name.size() + 1));
  }

  LONG position() const { return position_; }

 private:
  Context* context_;
  INT_PTR hf_;
  LONG position_;
};

// The fixed header and the names of the neighbouring cabinets.
FDIERROR ReadHeader(HeaderReader& reader, RawCabinet& cabinet) {
  unsigned char header[kHeaderSize];
  if (!reader.Read(header, sizeof header) || std::memcmp(header, "MSCF", 4) != 0) {
    return FDIERROR_NOT_A_CABINET;
  }
  if (header[25] != 1 || header[24] != 3) return FDIERROR_UNKNOWN_CABINET_VERSION;
  FDICABINETINFO& info = cabinet.info;
  info.cbCabinet = static_cast<LONG>(Dword(header + 8));
  cabinet.filesOffset = Dword(header + 16);
  info.cFolders = Word(header + 26);
  info.cFiles = Word(header + 28);
  WORD flags = Word(header + 30);
  info.setID = Word(header + 32);
  info.iCabinet = Word(header + 34);
  info.fReserve = (flags & kHasReserve) != 0;
  info.hasprev = (flags & kHasPrevious) != 0;
  info.hasnext = (flags & kHasNext) != 0;
  if (info.fReserve) {
    unsigned char sizes[4];
    if (!reader.Read(sizes, sizeof sizes) || !reader.Skip(Word(sizes))) return FDIERROR_CORRUPT_CABINET;
  }
  if (info.hasprev && !(reader.ReadName(cabinet.previousCabinet) && reader.ReadName(cabinet.previousDisk))) {
    return FDIERROR_CORRUPT_CABINET;
  }
  if (info.hasnext && !(reader.ReadName(cabinet.nextCabinet) && reader.ReadName(cabinet.nextDisk))) {
    return FDIERROR_CORRUPT_CABINET;
  }
  return FDIERROR_NONE;
}

// The file entries; a name without terminator within the format's limit, an empty
// name or a folder index beyond the folders makes the cabinet corrupt.
FDIERROR ReadFileEntries(HeaderReader& reader, RawCabinet& cabinet) {
  if (cabinet.filesOffset > 0x7FFFFFFF || !reader.SeekTo(static_cast<LONG>(cabinet.filesOffset))) {
    return FDIERROR_CORRUPT_CABINET;
  }
  cabinet.files.resize(cabinet.info.cFiles);
  for (RawFile& file : cabinet.files) {
    unsigned char entry[kFileEntrySize];
    if (!reader.Read(entry, sizeof entry) || !reader.ReadName(file.name) || file.name.empty()) {
      return FDIERROR_CORRUPT_CABINET;
    }
    file.size = Dword(entry);
    file.folder = Word(entry + 8);
    file.date = Word(entry + 10);
    file.time = Word(entry + 12);
    file.attribs = Word(entry + 14);
    if (file.folder >= cabinet.info.cFolders && file.folder < kContinuedFromPrevious) {
      return FDIERROR_CORRUPT_CABINET;
    }
  }
  return FDIERROR_NONE;
}

FDIERROR FromMspack(int error) {
  switch (error) {
    case MSPACK_ERR_OK: return FDIERROR_NONE;
    case MSPACK_ERR_OPEN: return FDIERROR_CABINET_NOT_FOUND;
    case MSPACK_ERR_NOMEMORY: return FDIERROR_ALLOC_FAIL;
    case MSPACK_ERR_WRITE: return FDIERROR_TARGET_FILE;
    case MSPACK_ERR_SIGNATURE: return FDIERROR_NOT_A_CABINET;
    case MSPACK_ERR_CHECKSUM:
    case MSPACK_ERR_DECRUNCH: return FDIERROR_MDI_FAIL;
    default: return FDIERROR_CORRUPT_CABINET;
  }
}

bool ContinuesFromPrevious(WORD folder) { return folder == kContinuedFromPrevious || folder == kContinuedBoth; }
bool ContinuesToNext(WORD folder) { return folder == kContinuedToNext || folder == kContinuedBoth; }

// A file of the folder that continues in the next cabinet may have bytes in the data
// block split between the two, so the next cabinet is joined before it is copied.
bool NeedsNextCabinet(const RawCabinet& cabinet, const RawFile& file) {
  if (ContinuesToNext(file.folder)) return true;
  if (cabinet.info.cFolders == 0 || file.folder != cabinet.info.cFolders - 1) return false;
  for (const RawFile& other : cabinet.files) {
    if (ContinuesToNext(other.folder)) return true;
  }
  return false;
}

// The cabinets of one FDICopy: the first one and those appended to it. Closing the
// first closes the whole set it heads.
class OpenCabinets {
 public:
  explicit OpenCabinets(Context* context) : context_(context) {}
  ~OpenCabinets() {
    if (!cabinets_.empty()) context_->decompressor->close(context_->decompressor, cabinets_.front());
  }
  OpenCabinets(const OpenCabinets&) = delete;
  OpenCabinets& operator=(const OpenCabinets&) = delete;

  FDIERROR Open(const std::string& path) {
    // libmspack keeps the name it was given for as long as the cabinet is open.
    const std::string& kept = paths_.emplace_back(path);
    mscabd_cabinet* cabinet = context_->decompressor->open(context_->decompressor, kept.c_str());
    if (cabinet == nullptr) return FromMspack(context_->decompressor->last_error(context_->decompressor));
    cabinets_.push_back(cabinet);
    return FDIERROR_NONE;
  }

  // Opens path as the next cabinet of the set and joins it to the last one.
  FDIERROR Append(const std::string& path) {
    FDIERROR error = Open(path);
    if (error != FDIERROR_NONE) return error;
    mscabd_cabinet* next = cabinets_.back();
    mscabd_cabinet* last = cabinets_[cabinets_.size() - 2];
    if (next->set_id != last->set_id || next->set_index != last->set_index + 1 ||
        context_->decompressor->append(context_->decompressor, last, next) != MSPACK_ERR_OK) {
      context_->decompressor->close(context_->decompressor, next);
      cabinets_.pop_back();
      return FDIERROR_WRONG_CABINET;
    }
    return FDIERROR_NONE;
  }

  mscabd_cabinet* first() const { return cabinets_.front(); }
  bool appended() const { return cabinets_.size() > 1; }

 private:
  Context* context_;
  std::deque<std::string> paths_;
  std::vector<mscabd_cabinet*> cabinets_;
};

// libmspack keeps a cabinet open inside its decompressor between extractions; a
// decompressor per copy closes everything the copy opened before it returns.
class Decompressor {
 public:
  explicit Decompressor(Context* context) : context_(context) {
    context_->decompressor = mspack_create_cab_decompressor(&context_->system);
  }
  ~Decompressor() {
    if (context_->decompressor != nullptr) mspack_destroy_cab_decompressor(context_->decompressor);
    context_->decompressor = nullptr;
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  bool made() const { return context_->decompressor != nullptr; }

 private:
  Context* context_;
};

// Everything one FDICopy needs beside the context.
struct Copy {
  Context* context;
  PFNFDINOTIFY notify;
  void* user;
  std::string cabinetPath;  // the folder part the caller gave
  RawCabinet raw;
};

FDINOTIFICATION Notification(const Copy& copy) {
  FDINOTIFICATION note{};
  note.pv = copy.user;
  note.setID = copy.raw.info.setID;
  note.iCabinet = copy.raw.info.iCabinet;
  return note;
}

// Asks the caller for the next cabinet until it is found or the caller gives up.
FDIERROR JoinNextCabinet(Copy& copy, OpenCabinets& cabinets) {
  std::vector<char> name(copy.raw.nextCabinet.begin(), copy.raw.nextCabinet.end());
  std::vector<char> disk(copy.raw.nextDisk.begin(), copy.raw.nextDisk.end());
  name.push_back(0);
  disk.push_back(0);
  char path[CB_MAX_CAB_PATH] = {};
  std::strncpy(path, copy.cabinetPath.c_str(), sizeof path - 1);
  FDIERROR error = FDIERROR_NONE;
  for (int attempt = 0; attempt < kNextCabinetTries; ++attempt) {
    FDINOTIFICATION note = Notification(copy);
    note.psz1 = name.data();
    note.psz2 = disk.data();
    note.psz3 = path;
    note.fdie = error;
    if (copy.notify(fdintNEXT_CABINET, &note) == -1) return FDIERROR_USER_ABORT;
    path[sizeof path - 1] = 0;
    error = cabinets.Append(std::string(path) + name.data());
    if (error == FDIERROR_NONE) return FDIERROR_NONE;
  }
  return error;
}

FDIERROR CopyOneFile(Copy& copy, OpenCabinets& cabinets, const RawFile& raw, mscabd_file* file) {
  FDINOTIFICATION note = Notification(copy);
  std::string name = raw.name;
  note.psz1 = name.data();
  note.date = raw.date;
  note.time = raw.time;
  note.attribs = raw.attribs;
  note.iFolder = raw.folder;
  if (ContinuesFromPrevious(raw.folder)) {
    std::string previous = copy.raw.previousCabinet, disk = copy.raw.previousDisk;
    note.psz2 = previous.data();
    note.psz3 = disk.data();
    return copy.notify(fdintPARTIAL_FILE, &note) == -1 ? FDIERROR_USER_ABORT : FDIERROR_NONE;
  }
  note.cb = static_cast<LONG>(raw.size);
  INT_PTR hf = copy.notify(fdintCOPY_FILE, &note);
  if (hf == -1) return FDIERROR_USER_ABORT;
  if (hf == 0) return FDIERROR_NONE;

  FDIERROR error = FDIERROR_NONE;
  if (NeedsNextCabinet(copy.raw, raw) && !cabinets.appended()) error = JoinNextCabinet(copy, cabinets);
  if (error == FDIERROR_NONE && (file->folder->comp_type & tcompMASK_TYPE) > tcompTYPE_LZX) {
    error = FDIERROR_BAD_COMPR_TYPE;
  }
  if (error == FDIERROR_NONE) {
    copy.context->pendingOutput = hf;
    int result = copy.context->decompressor->extract(copy.context->decompressor, file, name.c_str());
    copy.context->pendingOutput = 0;
    error = FromMspack(result);
    // A short or unreadable cabinet shows as a read failure while decompressing.
    if (result == MSPACK_ERR_READ || result == MSPACK_ERR_SEEK) error = FDIERROR_CORRUPT_CABINET;
  }
  if (error != FDIERROR_NONE) {
    copy.context->close(hf);
    return error;
  }
  note.hf = hf;
  note.cb = (raw.attribs & _A_EXEC) != 0 ? 1 : 0;
  return copy.notify(fdintCLOSE_FILE_INFO, &note) == FALSE ? FDIERROR_USER_ABORT : FDIERROR_NONE;
}

FDIERROR RunCopy(Copy& copy, const std::string& cabinetFile) {
  INT_PTR hf = copy.context->open(const_cast<char*>(cabinetFile.c_str()), _O_BINARY | _O_RDONLY | _O_SEQUENTIAL, 0);
  if (hf == -1 || hf == 0) return FDIERROR_CABINET_NOT_FOUND;
  HeaderReader reader(copy.context, hf, 0);
  FDIERROR error = ReadHeader(reader, copy.raw);
  if (error == FDIERROR_NONE) error = ReadFileEntries(reader, copy.raw);
  copy.context->close(hf);
  if (error != FDIERROR_NONE) return error;

  Decompressor decompressor(copy.context);
  if (!decompressor.made()) return FDIERROR_ALLOC_FAIL;
  OpenCabinets cabinets(copy.context);
  error = cabinets.Open(cabinetFile);
  if (error != FDIERROR_NONE) return error;

  std::string next = copy.raw.nextCabinet, disk = copy.raw.nextDisk, folder = copy.cabinetPath;
  FDINOTIFICATION info = Notification(copy);
  info.psz1 = next.data();
  info.psz2 = disk.data();
  info.psz3 = folder.data();
  if (copy.notify(fdintCABINET_INFO, &info) == -1) return FDIERROR_USER_ABORT;

  mscabd_file* file = cabinets.first()->files;
  for (const RawFile& raw : copy.raw.files) {
    if (file == nullptr) return FDIERROR_CORRUPT_CABINET;
    error = CopyOneFile(copy, cabinets, raw, file);
    if (error != FDIERROR_NONE) return error;
    file = file->next;
  }
  // Joined cabinets share one file list, which goes on with the next cabinet's files.
  return file == nullptr || cabinets.appended() ? FDIERROR_NONE : FDIERROR_CORRUPT_CABINET;
}

}  // namespace

HFDI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread, PFNWRITE pfnwrite,
               PFNCLOSE pfnclose, PFNSEEK pfnseek, int /*cpuType*/, PERF perf) {
  if (perf == nullptr) return nullptr;
  SetError(perf, FDIERROR_NONE);
  if (!pfnalloc || !pfnfree || !pfnopen || !pfnread || !pfnwrite || !pfnclose || !pfnseek) {
    SetError(perf, FDIERROR_ALLOC_FAIL);
    return nullptr;
  }
  void* memory = pfnalloc(sizeof(Context));
  if (memory == nullptr) {
    SetError(perf, FDIERROR_ALLOC_FAIL);
    return nullptr;
  }
  auto* context = new (memory) Context{pfnalloc, pfnfree, pfnopen, pfnread, pfnwrite, pfnclose, pfnseek, perf, {}};
  mspack_system& system = context->system;
  system.open = BridgeOpen;
  system.close = BridgeClose;
  system.read = BridgeRead;
  system.write = BridgeWrite;
  system.seek = BridgeSeek;
  system.tell = BridgeTell;
  system.message = BridgeMessage;
  system.alloc = BridgeAlloc;
  system.free = BridgeFree;
  system.copy = BridgeCopy;
  system.null_ptr = nullptr;
  return context;
}

BOOL FDIIsCabinet(HFDI hfdi, INT_PTR hf, PFDICABINETINFO pfdici) {
  if (hfdi == nullptr || pfdici == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfdi);
  LONG start = context->seek(hf, 0, SEEK_CUR);
  if (start == -1) {
    SetError(context->perf, FDIERROR_NOT_A_CABINET);
    return FALSE;
  }
  HeaderReader reader(context, hf, start);
  RawCabinet cabinet;
  FDIERROR error = ReadHeader(reader, cabinet);
  SetError(context->perf, error);
  if (error != FDIERROR_NONE) return FALSE;
  *pfdici = cabinet.info;
  return TRUE;
}

BOOL FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int /*flags*/, PFNFDINOTIFY pfnfdin,
             PFNFDIDECRYPT pfnfdid, void* pvUser) {
  if (hfdi == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfdi);
  // Encrypted cabinets are not supported; a caller that asks for decryption is refused.
  if (pfnfdid != nullptr || pfnfdin == nullptr || pszCabinet == nullptr) {
    SetError(context->perf, FDIERROR_USER_ABORT);
    return FALSE;
  }
  ActiveContext active(context);
  Copy copy{context, pfnfdin, pvUser, pszCabPath != nullptr ? pszCabPath : "", {}};
  FDIERROR error = RunCopy(copy, copy.cabinetPath + pszCabinet);
  SetError(context->perf, error);
  return error == FDIERROR_NONE ? TRUE : FALSE;
}

BOOL FDIDestroy(HFDI hfdi) {
  if (hfdi == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfdi);
  PFNFREE release = context->free;
  context->~Context();
  release(context);
  return TRUE;
}

#include "platform/cab/fci.h"

#include <libgcab.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr UINT kReadChunk = 32768;

struct PendingFile {
  std::string name;
  std::vector<unsigned char> data;
  WORD date = 0;
  WORD time = 0;
  WORD attribs = 0;
};

struct PendingFolder {
  TCOMP compression = tcompTYPE_NONE;
  ULONG size = 0;
  std::vector<PendingFile> files;
};

struct Context {
  PERF perf;
  PFNFCIFILEPLACED placed;
  PFNFCIFREE free;
  PFNFCIOPEN open;
  PFNFCIREAD read;
  PFNFCIWRITE write;
  PFNFCICLOSE close;
  void* user;
  CCAB cabinet;
  bool needNextCabinet = false;  // a cabinet was flushed and the next one is not described yet
  bool folderClosed = true;      // the next file starts a new folder
  std::vector<PendingFolder> folders;
};

void SetError(PERF perf, FCIERROR code, int system = 0) {
  perf->erfOper = code;
  perf->erfType = system;
  perf->fError = code != FCIERR_NONE ? TRUE : FALSE;
}

BOOL Fail(Context* context, FCIERROR code, int system = 0) {
  SetError(context->perf, code, system);
  return FALSE;
}

// Reads the whole source through the caller's callbacks.
FCIERROR ReadSource(Context* context, char* source, PFNFCIGETOPENINFO openInfo, PendingFile& file, int& system) {
  INT_PTR hf = openInfo(source, &file.date, &file.time, &file.attribs, &system, context->user);
  if (hf == -1) return FCIERR_OPEN_SRC;
  FCIERROR error = FCIERR_NONE;
  unsigned char chunk[kReadChunk];
  for (;;) {
    UINT done = context->read(hf, chunk, kReadChunk, &system, context->user);
    if (done == static_cast<UINT>(-1) || done > kReadChunk) {
      error = FCIERR_READ_SRC;
      break;
    }
    if (done == 0) break;
    if (file.data.size() + done > 0x7FFFFFFF) {
      error = FCIERR_CAB_FORMAT_LIMIT;
      break;
    }
    file.data.insert(file.data.end(), chunk, chunk + done);
  }
  int closeError = 0;
  context->close(hf, &closeError, context->user);
  return error;
}

// A DOS date and time as libgcab takes them; an impossible date becomes 1980-01-01.
GDateTime* DateTimeOf(WORD date, WORD time) {
  GDateTime* value = g_date_time_new_utc(1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, time >> 11,
                                         (time >> 5) & 0x3F, (time & 0x1F) * 2);
  return value != nullptr ? value : g_date_time_new_utc(1980, 1, 1, 0, 0, 0);
}

// Builds the cabinet image of the pending folders with libgcab.
bool BuildCabinet(const Context* context, std::vector<unsigned char>& image) {
  GCabCabinet* cabinet = gcab_cabinet_new();
  bool built = true;
  for (const PendingFolder& pending : context->folders) {
    GCabFolder* folder = gcab_folder_new(pending.compression == tcompTYPE_MSZIP ? GCAB_COMPRESSION_MSZIP
                                                                                 : GCAB_COMPRESSION_NONE);
    for (const PendingFile& pendingFile : pending.files) {
      GBytes* bytes = g_bytes_new(pendingFile.data.data(), pendingFile.data.size());
      GCabFile* file = gcab_file_new_with_bytes(pendingFile.name.c_str(), bytes);
      g_bytes_unref(bytes);
      gcab_file_set_attributes(file, pendingFile.attribs);
      GDateTime* when = DateTimeOf(pendingFile.date, pendingFile.time);
      gcab_file_set_date_time(file, when);
      g_date_time_unref(when);
      built = built && gcab_folder_add_file(folder, file, FALSE, nullptr, nullptr);
      g_object_unref(file);
    }
    built = built && gcab_cabinet_add_folder(cabinet, folder, nullptr);
    g_object_unref(folder);
  }
  GOutputStream* stream = g_memory_output_stream_new_resizable();
  built = built && gcab_cabinet_write_simple(cabinet, stream, nullptr, nullptr, nullptr, nullptr) &&
          g_output_stream_close(stream, nullptr, nullptr);
  if (built) {
    auto* memory = G_MEMORY_OUTPUT_STREAM(stream);
    auto* data = static_cast<const unsigned char*>(g_memory_output_stream_get_data(memory));
    image.assign(data, data + g_memory_output_stream_get_data_size(memory));
  }
  g_object_unref(stream);
  g_object_unref(cabinet);
  // The set id and the cabinet's number in its set stand at offsets 32 and 34.
  if (built && image.size() >= 36) {
    const CCAB& ccab = context->cabinet;
    image[32] = static_cast<unsigned char>(ccab.setID & 0xFF);
    image[33] = static_cast<unsigned char>(ccab.setID >> 8);
    image[34] = static_cast<unsigned char>(ccab.iCab & 0xFF);
    image[35] = static_cast<unsigned char>((ccab.iCab >> 8) & 0xFF);
  }
  return built;
}

FCIERROR WriteCabinet(Context* context, const std::vector<unsigned char>& image, int& system) {
  std::string path = std::string(context->cabinet.szCabPath) + context->cabinet.szCab;
  INT_PTR hf = context->open(path.data(), _O_RDWR | _O_BINARY | _O_CREAT | _O_TRUNC, _S_IREAD | _S_IWRITE,
                             &system, context->user);
  if (hf == -1) return FCIERR_CAB_FILE;
  UINT done = context->write(hf, const_cast<unsigned char*>(image.data()), static_cast<UINT>(image.size()),
                             &system, context->user);
  int closed = context->close(hf, &system, context->user);
  return done == image.size() && closed == 0 ? FCIERR_NONE : FCIERR_CAB_FILE;
}

bool AskNextCabinet(Context* context, PFNFCIGETNEXTCABINET next, ULONG previousSize) {
  context->cabinet.iCab += 1;
  if (next == nullptr || !next(&context->cabinet, previousSize, context->user)) return false;
  context->needNextCabinet = false;
  return true;
}

}  // namespace

HFCI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf, PFNFCIOPEN pfnopen,
               PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite, PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek,
               PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf, PCCAB pccab, void* pv) {
  if (perf == nullptr) return nullptr;
  SetError(perf, FCIERR_NONE);
  if (!pfnfcifp || !pfna || !pfnf || !pfnopen || !pfnread || !pfnwrite || !pfnclose || !pfnseek || !pfndelete ||
      !pfnfcigtf || pccab == nullptr) {
    SetError(perf, FCIERR_ALLOC_FAIL);
    return nullptr;
  }
  if (pccab->cbReserveCFHeader != 0 || pccab->cbReserveCFFolder != 0 || pccab->cbReserveCFData != 0) {
    SetError(perf, FCIERR_CAB_FORMAT_LIMIT);
    return nullptr;
  }
  void* memory = pfna(sizeof(Context));
  if (memory == nullptr) {
    SetError(perf, FCIERR_ALLOC_FAIL);
    return nullptr;
  }
  return new (memory) Context{perf, pfnfcifp, pfnf, pfnopen, pfnread, pfnwrite, pfnclose, pv, *pccab, false, true, {}};
}

BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute, PFNFCIGETNEXTCABINET pfnfcignc,
                PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi, TCOMP typeCompress) {
  if (hfci == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfci);
  SetError(context->perf, FCIERR_NONE);
  if (pszSourceFile == nullptr || pszFileName == nullptr || pfnfcigoi == nullptr) {
    return Fail(context, FCIERR_OPEN_SRC);
  }
  TCOMP compression = typeCompress & tcompMASK_TYPE;
  if (compression != tcompTYPE_NONE && compression != tcompTYPE_MSZIP) return Fail(context, FCIERR_BAD_COMPR_TYPE);
  std::size_t nameLength = std::strlen(pszFileName);
  if (nameLength == 0 || nameLength >= CB_MAX_FILENAME) return Fail(context, FCIERR_CAB_FORMAT_LIMIT);
  if (context->needNextCabinet && !AskNextCabinet(context, pfnfcignc, 0)) return Fail(context, FCIERR_USER_ABORT);

  PendingFile file;
  file.name = pszFileName;
  int system = 0;
  FCIERROR error = ReadSource(context, pszSourceFile, pfnfcigoi, file, system);
  if (error != FCIERR_NONE) return Fail(context, error, system);
  if (fExecute) file.attribs |= _A_EXEC;
  ULONG size = static_cast<ULONG>(file.data.size());
  if (pfnfcis != nullptr && pfnfcis(statusFile, size, size, context->user) == -1) {
    return Fail(context, FCIERR_USER_ABORT);
  }

  ULONG threshold = context->cabinet.cbFolderThresh;
  bool newFolder = context->folderClosed || context->folders.back().compression != compression ||
                   (threshold != 0 && context->folders.back().size + size > threshold &&
                    !context->folders.back().files.empty());
  if (newFolder) {
    if (!context->folders.empty()) return Fail(context, FCIERR_CAB_FORMAT_LIMIT);
    context->folders.push_back(PendingFolder{compression, 0, {}});
    context->folderClosed = false;
  }
  PendingFolder& folder = context->folders.back();
  if (folder.files.size() >= 0xFFFF) return Fail(context, FCIERR_CAB_FORMAT_LIMIT);
  folder.size += size;
  folder.files.push_back(std::move(file));
  return TRUE;
}

BOOL FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET /*pfnfcignc*/, PFNFCISTATUS pfnfcis) {
  if (hfci == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfci);
  SetError(context->perf, FCIERR_NONE);
  if (!context->folderClosed && pfnfcis != nullptr &&
      pfnfcis(statusFolder, context->folders.back().size, context->folders.back().size, context->user) == -1) {
    return Fail(context, FCIERR_USER_ABORT);
  }
  context->folderClosed = true;
  return TRUE;
}

BOOL FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis) {
  if (hfci == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfci);
  SetError(context->perf, FCIERR_NONE);
  std::vector<unsigned char> image;
  if (!BuildCabinet(context, image)) return Fail(context, FCIERR_MCI_FAIL);
  if (context->cabinet.cb != 0 && image.size() > context->cabinet.cb) return Fail(context, FCIERR_CAB_FORMAT_LIMIT);
  auto size = static_cast<ULONG>(image.size());
  if (pfnfcis != nullptr && pfnfcis(statusCabinet, size, size, context->user) == -1) {
    return Fail(context, FCIERR_USER_ABORT);
  }
  int system = 0;
  FCIERROR error = WriteCabinet(context, image, system);
  if (error != FCIERR_NONE) return Fail(context, error, system);
  for (PendingFolder& folder : context->folders) {
    for (PendingFile& file : folder.files) {
      if (context->placed(&context->cabinet, file.name.data(), static_cast<LONG>(file.data.size()), FALSE,
                          context->user) == -1) {
        return Fail(context, FCIERR_USER_ABORT);
      }
    }
  }
  context->folders.clear();
  context->folderClosed = true;
  context->needNextCabinet = true;
  if (fGetNextCab && !AskNextCabinet(context, pfnfcignc, size)) return Fail(context, FCIERR_USER_ABORT);
  return TRUE;
}

BOOL FCIDestroy(HFCI hfci) {
  if (hfci == nullptr) return FALSE;
  auto* context = static_cast<Context*>(hfci);
  PFNFCIFREE release = context->free;
  context->~Context();
  release(context);
  return TRUE;
}

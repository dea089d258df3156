// The cabinet decompression calls (FDI): a context made with the caller's memory
// and file callbacks, the cabinet test, and the copy that walks a cabinet's files
// and asks the caller, by notifications, where each one goes.
//
// Every byte of a cabinet and of an extracted file passes through the caller's
// callbacks, so a caller can read cabinets from and write files to its own
// streams. Decompression is libmspack's (stored, MSZIP, Quantum and LZX folders).
#pragma once

#include "platform/cab/cabinet_types.h"

enum FDIERROR : int {
  FDIERROR_NONE = 0,
  FDIERROR_CABINET_NOT_FOUND = 1,
  FDIERROR_NOT_A_CABINET = 2,
  FDIERROR_UNKNOWN_CABINET_VERSION = 3,
  FDIERROR_CORRUPT_CABINET = 4,
  FDIERROR_ALLOC_FAIL = 5,
  FDIERROR_BAD_COMPR_TYPE = 6,
  FDIERROR_MDI_FAIL = 7,
  FDIERROR_TARGET_FILE = 8,
  FDIERROR_RESERVE_MISMATCH = 9,
  FDIERROR_WRONG_CABINET = 10,
  FDIERROR_USER_ABORT = 11,
  FDIERROR_EOF = 12,
};

// Processor type given to FDICreate; all values behave alike here.
inline constexpr int cpuUNKNOWN = -1;
inline constexpr int cpu80286 = 0;
inline constexpr int cpu80386 = 1;

using HFDI = void*;

struct FDICABINETINFO {
  LONG cbCabinet;   // total length of the cabinet file
  WORD cFolders;
  WORD cFiles;
  WORD setID;
  WORD iCabinet;    // number of this cabinet in its set, from 0
  BOOL fReserve;    // the cabinet has reserved areas
  BOOL hasprev;     // chained to a previous cabinet
  BOOL hasnext;     // chained to a next cabinet
};
using PFDICABINETINFO = FDICABINETINFO*;

enum FDINOTIFICATIONTYPE : int {
  fdintCABINET_INFO = 0,     // general information about the cabinet
  fdintPARTIAL_FILE = 1,     // the first file of the cabinet began in an earlier one
  fdintCOPY_FILE = 2,        // a file to copy: answer a handle, 0 to skip, -1 to abort
  fdintCLOSE_FILE_INFO = 3,  // close the file and set its date, time and attributes
  fdintNEXT_CABINET = 4,     // a file continues in the next cabinet
  fdintENUMERATE = 5,
};

struct FDINOTIFICATION {
  LONG cb;
  char* psz1;
  char* psz2;
  char* psz3;  // for fdintNEXT_CABINET: the cabinet path, CB_MAX_CAB_PATH bytes the caller may change
  void* pv;    // the caller's value given to FDICopy
  INT_PTR hf;
  WORD date;
  WORD time;
  WORD attribs;
  WORD setID;
  WORD iCabinet;
  WORD iFolder;
  FDIERROR fdie;
};
using PFDINOTIFICATION = FDINOTIFICATION*;

using PFNALLOC = void* (*)(ULONG cb);
using PFNFREE = void (*)(void* pv);
using PFNOPEN = INT_PTR (*)(char* pszFile, int oflag, int pmode);
using PFNREAD = UINT (*)(INT_PTR hf, void* pv, UINT cb);
using PFNWRITE = UINT (*)(INT_PTR hf, void* pv, UINT cb);
using PFNCLOSE = int (*)(INT_PTR hf);
using PFNSEEK = LONG (*)(INT_PTR hf, LONG dist, int seektype);
using PFNFDINOTIFY = INT_PTR (*)(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin);
using PFNFDIDECRYPT = int (*)(void* pfdid);

// Answers a context, or null with perf filled (FDIERROR_ALLOC_FAIL).
HFDI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread,
               PFNWRITE pfnwrite, PFNCLOSE pfnclose, PFNSEEK pfnseek, int cpuType, PERF perf);

// Reads the cabinet header from the open handle hf (from its current position, which
// should be the start of the file). TRUE with pfdici filled when it is a cabinet;
// FALSE otherwise, with the context's error record telling why.
BOOL FDIIsCabinet(HFDI hfdi, INT_PTR hf, PFDICABINETINFO pfdici);

// Opens pszCabPath + pszCabinet through the open callback and walks its files. A file
// entry continued from an earlier cabinet is announced with fdintPARTIAL_FILE; every
// other file with fdintCOPY_FILE. A decryption callback is not supported: it must be
// null. FALSE with the context's error record on any failure; the handle of a file
// whose copy failed is closed through the close callback.
BOOL FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin,
             PFNFDIDECRYPT pfnfdid, void* pvUser);

BOOL FDIDestroy(HFDI hfdi);

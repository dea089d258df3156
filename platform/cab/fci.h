// The cabinet compression calls (FCI): a context that collects files, read through
// the caller's callbacks, into folders, and writes them as one cabinet through the
// caller's file callbacks when the cabinet is flushed.
//
// Files are held in memory until the flush; libgcab builds the cabinet, which holds
// one folder, stored or MSZIP. What libgcab cannot write fails with
// FCIERR_CAB_FORMAT_LIMIT: a second folder in one cabinet (a change of compression,
// a full folder or FCIFlushFolder followed by more files), a cabinet that outgrows
// the media size given in CCAB.cb (cabinets are never split over media), reserved
// areas, and names longer than the format allows. Quantum and LZX compression fail
// with FCIERR_BAD_COMPR_TYPE.
#pragma once

#include "platform/cab/cabinet_types.h"

enum FCIERROR : int {
  FCIERR_NONE = 0,
  FCIERR_OPEN_SRC = 1,
  FCIERR_READ_SRC = 2,
  FCIERR_ALLOC_FAIL = 3,
  FCIERR_TEMP_FILE = 4,
  FCIERR_BAD_COMPR_TYPE = 5,
  FCIERR_CAB_FILE = 6,
  FCIERR_USER_ABORT = 7,
  FCIERR_MCI_FAIL = 8,
  FCIERR_CAB_FORMAT_LIMIT = 9,
};

// What the caller says about the cabinet being built.
struct CCAB {
  ULONG cb;                 // media size; 0 means no limit
  ULONG cbFolderThresh;     // uncompressed size after which a new folder starts; 0 means none
  UINT cbReserveCFHeader;   // reserved areas; must be 0 here
  UINT cbReserveCFFolder;
  UINT cbReserveCFData;
  int iCab;                 // number of the cabinet in its set
  int iDisk;
  int fFailOnIncompressible;
  WORD setID;
  char szDisk[CB_MAX_DISK_NAME];
  char szCab[CB_MAX_CABINET_NAME];      // file name of the cabinet
  char szCabPath[CB_MAX_CAB_PATH];      // folder of the cabinet, with its trailing separator
};
using PCCAB = CCAB*;

using HFCI = void*;

// Status kinds handed to PFNFCISTATUS.
inline constexpr UINT statusFile = 0;
inline constexpr UINT statusFolder = 1;
inline constexpr UINT statusCabinet = 2;

using PFNFCIFILEPLACED = int (*)(PCCAB pccab, char* pszFile, LONG cbFile, BOOL fContinuation, void* pv);
using PFNFCIALLOC = void* (*)(ULONG cb);
using PFNFCIFREE = void (*)(void* memory);
using PFNFCIOPEN = INT_PTR (*)(char* pszFile, int oflag, int pmode, int* err, void* pv);
using PFNFCIREAD = UINT (*)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
using PFNFCIWRITE = UINT (*)(INT_PTR hf, void* memory, UINT cb, int* err, void* pv);
using PFNFCICLOSE = int (*)(INT_PTR hf, int* err, void* pv);
using PFNFCISEEK = LONG (*)(INT_PTR hf, LONG dist, int seektype, int* err, void* pv);
using PFNFCIDELETE = int (*)(char* pszFile, int* err, void* pv);
using PFNFCIGETTEMPFILE = BOOL (*)(char* pszTempName, int cbTempName, void* pv);
using PFNFCIGETNEXTCABINET = BOOL (*)(PCCAB pccab, ULONG cbPrevCab, void* pv);
using PFNFCISTATUS = LONG (*)(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv);
using PFNFCIGETOPENINFO = INT_PTR (*)(char* pszName, WORD* pdate, WORD* ptime, WORD* pattribs, int* err,
                                      void* pv);

// Answers a context for the cabinet pccab describes, or null with perf filled.
HFCI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf, PFNFCIOPEN pfnopen,
               PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite, PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek,
               PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf, PCCAB pccab, void* pv);

// Reads pszSourceFile (opened through pfnfcigoi, which also tells its date, time and
// attributes) and adds it under the name pszFileName.
BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute, PFNFCIGETNEXTCABINET pfnfcignc,
                PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi, TCOMP typeCompress);

// Writes the cabinet with every file added since the last flush to szCabPath + szCab.
// With fGetNextCab the next cabinet's description is asked for at once; otherwise it
// is asked for when the next file is added.
BOOL FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis);

// Closes the current folder; the next file would start a new one.
BOOL FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis);

BOOL FCIDestroy(HFCI hfci);

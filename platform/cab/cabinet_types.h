// Types shared by the cabinet decompression (FDI) and compression (FCI) calls:
// the error record, the open flags and modes the file callbacks receive, the
// limits of names, and the layout of the cabinet header.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// Error record filled by the cabinet calls: the operation's error code (an FDIERROR
// or FCIERROR value), an optional system code, and a flag that an error occurred.
struct ERF {
  int erfOper;
  int erfType;
  BOOL fError;
};
using PERF = ERF*;

// Open flags handed to the file callbacks (the C runtime's values).
inline constexpr int _O_RDONLY = 0x0000;
inline constexpr int _O_WRONLY = 0x0001;
inline constexpr int _O_RDWR = 0x0002;
inline constexpr int _O_APPEND = 0x0008;
inline constexpr int _O_RANDOM = 0x0010;
inline constexpr int _O_SEQUENTIAL = 0x0020;
inline constexpr int _O_TEMPORARY = 0x0040;
inline constexpr int _O_NOINHERIT = 0x0080;
inline constexpr int _O_CREAT = 0x0100;
inline constexpr int _O_TRUNC = 0x0200;
inline constexpr int _O_EXCL = 0x0400;
inline constexpr int _O_SHORT_LIVED = 0x1000;
inline constexpr int _O_BINARY = 0x8000;

// Permission modes handed with _O_CREAT.
inline constexpr int _S_IWRITE = 0x0080;
inline constexpr int _S_IREAD = 0x0100;

// File attributes stored in a cabinet's file entries.
inline constexpr WORD _A_RDONLY = 0x01;
inline constexpr WORD _A_HIDDEN = 0x02;
inline constexpr WORD _A_SYSTEM = 0x04;
inline constexpr WORD _A_ARCH = 0x20;
inline constexpr WORD _A_EXEC = 0x40;
inline constexpr WORD _A_NAME_IS_UTF = 0x80;

// Name limits of the cabinet format, terminating zero included.
inline constexpr int CB_MAX_CHUNK = 32768;
inline constexpr int CB_MAX_DISK = 0x7FFFFFFF;
inline constexpr int CB_MAX_FILENAME = 256;
inline constexpr int CB_MAX_CABINET_NAME = 256;
inline constexpr int CB_MAX_CAB_PATH = 256;
inline constexpr int CB_MAX_DISK_NAME = 256;

// Compression types of a folder (low four bits), as FCIAddFile takes them.
using TCOMP = WORD;
inline constexpr TCOMP tcompMASK_TYPE = 0x000F;
inline constexpr TCOMP tcompTYPE_NONE = 0x0000;
inline constexpr TCOMP tcompTYPE_MSZIP = 0x0001;
inline constexpr TCOMP tcompTYPE_QUANTUM = 0x0002;
inline constexpr TCOMP tcompTYPE_LZX = 0x0003;
inline constexpr TCOMP tcompBAD = 0x000F;

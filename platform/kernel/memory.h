// Local memory blocks: the allocator behind lists and descriptors that the platform
// hands out for the caller to free with LocalFree. Global memory blocks: blocks known
// by handle, as the clipboard takes and hands out its data.
#pragma once

#include <cstddef>

#include "platform/base/types.h"

using HLOCAL = void*;

inline constexpr UINT LMEM_FIXED = 0x0000;
inline constexpr UINT LMEM_ZEROINIT = 0x0040;
inline constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// Null with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had.
HLOCAL LocalAlloc(UINT flags, std::size_t bytes);

// Answers null on success; null is allowed.
HLOCAL LocalFree(HLOCAL memory);

// A global block's handle is its address; only handles GlobalAlloc gave and
// GlobalFree has not freed are accepted (others fail with ERROR_INVALID_HANDLE). The
// blocks never move, so GMEM_MOVEABLE and GMEM_FIXED behave alike.
using HGLOBAL = const void*;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Null with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// The block's memory, or null for an unknown handle.
void* GlobalLock(HGLOBAL memory);
// FALSE once the block is no longer locked (last error ERROR_SUCCESS), TRUE while locks
// remain; FALSE with ERROR_NOT_LOCKED for a block that was not locked.
BOOL GlobalUnlock(HGLOBAL memory);
// The size asked for at GlobalAlloc, 0 for an unknown handle.
std::size_t GlobalSize(HGLOBAL memory);
// Null on success; the handle back for an unknown one.
HGLOBAL GlobalFree(HGLOBAL memory);

// Local memory blocks: the allocator behind lists and descriptors that the platform
// hands out for the caller to free with LocalFree.
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

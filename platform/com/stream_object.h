// Stream objects: the counted byte stream that data objects hand over as a
// TYMED_ISTREAM medium. The one kind made here lies on a global memory block: it
// reads and writes the block's bytes, and grows by moving them to a larger block when
// it owns the block (a block it does not own keeps its size).
#pragma once

#include "platform/com/unknown.h"
#include "platform/kernel/memory.h"

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STATFLAG_NONAME = 1;

inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHResult(0x80030001);
inline constexpr HRESULT STG_E_INVALIDPOINTER = MakeHResult(0x80030009);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeHResult(0x80030070);

struct STATSTG {
  char16_t* pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

inline constexpr IID IID_ISequentialStream = {0x0C733A30, 0x2A1C, 0x11CE,
                                              {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct ISequentialStream : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_ISequentialStream;
  // S_FALSE when fewer bytes than asked were left.
  virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
  using Base = ISequentialStream;
  static constexpr const IID& kIid = IID_IStream;
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
  virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  // A second stream over the same bytes with its own position.
  virtual HRESULT Clone(IStream** clone) = 0;

 protected:
  ~IStream() = default;
};

// A stream over the block (null: a new empty block the stream owns), starting at its
// first byte. With deleteOnRelease the block is freed with the last stream over it.
HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, IStream** stream);

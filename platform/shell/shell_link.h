// Shell links and the item lists of special folders. A shell link is kept on this
// system as a freedesktop desktop entry (a text file of "[Desktop Entry]" keys)
// written at the name it is saved under; the link class is served in-process by the
// class table (platform/com/class_table.h) once RegisterShellLinkClass has run.
#pragma once

#include "platform/base/types.h"
#include "platform/com/bstr.h"
#include "platform/com/class_table.h"
#include "platform/fs/files.h"

inline constexpr CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000,
                                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000,
                                         {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The setters of a link. Each answers E_INVALIDARG for a null text and, where a
// text is required (the target path), for an empty one.
struct IShellLinkA : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IShellLinkA;
  virtual HRESULT SetWorkingDirectory(const char* dir) = 0;
  virtual HRESULT SetArguments(const char* args) = 0;
  // A desktop entry names one icon file and has no place for the index.
  virtual HRESULT SetIconLocation(const char* iconPath, int icon) = 0;
  virtual HRESULT SetPath(const char* file) = 0;

 protected:
  ~IShellLinkA() = default;
};

struct IPersist : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IPersist;
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistFile : IPersist {
  using Base = IPersist;
  static constexpr const IID& kIid = IID_IPersistFile;
  // S_OK when the object has changed since it was last saved, else S_FALSE.
  virtual HRESULT IsDirty() = 0;
  // Writes the desktop entry atomically (0600) to the file, replacing one of that
  // name; the folder must exist. A null name has no current file to fall back on
  // (E_INVALIDARG); a link without a target cannot be written (E_UNEXPECTED); a
  // failed write answers the system error as an HRESULT.
  virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;
  virtual HRESULT SaveCompleted(LPCOLESTR fileName) = 0;

 protected:
  ~IPersistFile() = default;
};

// An item identifier list: items of a 16-bit size (counting itself) and their
// bytes, ended by a size of 0. The lists made here hold one item, the folder's
// native path.
struct SHITEMID {
  WORD cb;
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// Makes the list of a special folder (platform/fs/special_folders.h), which must
// exist; free it with ILFree. E_INVALIDARG for an unknown CSIDL or a null out
// argument, the system error as an HRESULT otherwise.
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);
// Writes the folder of a list into Path, a buffer of MAX_PATH characters; FALSE for
// a list not made here or a folder whose name does not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path);
void ILFree(LPITEMIDLIST list);

namespace platform {

// Registers the link class for in-process creation; further calls do nothing.
void RegisterShellLinkClass();

}  // namespace platform

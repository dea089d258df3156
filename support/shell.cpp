#include "support/shell.h"

#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"
#include "platform/fs/files.h"
#include "platform/fs/special_folders.h"
#include "platform/shell/shell_execute.h"
#include "platform/shell/shell_link.h"

namespace {

using platform::com::ComPtr;

struct Link {
  ComPtr<IShellLinkA> shell;
  ComPtr<IPersistFile> file;
};

[[noreturn]] void RaiseOle(HRESULT result) {
  throw EOleSysError(SysErrorMessage(static_cast<DWORD>(result)), result);
}

Link MakeLink() {
  platform::RegisterShellLinkClass();
  Link link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                    IID_IShellLinkA, link.shell.PutVoid());
  if (FAILED(result)) RaiseOle(result);
  result = link.shell.As(link.file);
  if (FAILED(result)) RaiseOle(result);
  return link;
}

std::string WithBackslash(const std::string& folder) {
  return !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? folder : folder + "\\";
}

// The folder part of a file name, with its trailing separator.
std::string FolderOf(const std::string& file) {
  std::size_t last = file.find_last_of("\\/");
  return last == std::string::npos ? std::string() : file.substr(0, last + 1);
}

// Target, working folder, arguments and icon; false at the first step that fails.
bool Describe(const Link& link, const std::string& target, const std::string& arguments, int iconIndex,
              const std::string& iconFile) {
  if (FAILED(link.shell->SetPath(target.c_str()))) return false;
  if (FAILED(link.shell->SetWorkingDirectory(FolderOf(target).c_str()))) return false;
  if (!arguments.empty() && FAILED(link.shell->SetArguments(arguments.c_str()))) return false;
  if (iconIndex != 0) {
    const std::string& icon = iconFile.empty() ? target : iconFile;
    if (FAILED(link.shell->SetIconLocation(icon.c_str(), iconIndex))) return false;
  }
  return true;
}

bool SaveLink(const Link& link, const std::string& fileName) {
  return link.file->Save(platform::AnsiToWide(fileName).c_str(), FALSE) == S_OK;
}

// The folder of a selector with its trailing backslash and subfolder; false when the
// system does not give it.
bool SelectorFolder(BYTE selector, std::string& folder) {
  int csidl = selector == kQuickLaunchFolder ? CSIDL_APPDATA : selector;
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(0, csidl, &list))) return false;
  char path[MAX_PATH + 1] = {};
  BOOL found = SHGetPathFromIDListA(list, path);
  ILFree(list);
  if (!found) return false;
  folder = WithBackslash(path);
  if (selector == kQuickLaunchFolder) folder += "Microsoft\\Internet Explorer\\Quick Launch\\";
  return true;
}

}  // namespace

bool ShellOpen(const std::string& file, const std::string& parameters, HWND ownerWnd, const std::string& directory) {
  return ShellExecuteA(ownerWnd, "open", file.c_str(), parameters.c_str(), directory.c_str(), SW_SHOW) > 32;
}

bool CreateShortcut(const std::string& target, const std::string& arguments, const std::string& folder,
                    int iconIndex, const std::string& iconFile, const std::string& name) {
  Link link = MakeLink();
  if (!Describe(link, target, arguments, iconIndex, iconFile)) return false;
  return SaveLink(link, WithBackslash(folder) + name + ".lnk");
}

bool CreateQuickLaunchShortcut(const std::string& target, const std::string& arguments, BYTE folderSelector,
                               int iconIndex, const std::string& iconFile, const std::string& name) {
  Link link = MakeLink();
  if (!Describe(link, target, arguments, iconIndex, iconFile)) return false;
  std::string folder;
  if (!SelectorFolder(folderSelector, folder)) return false;
  return SaveLink(link, folder + name + ".lnk");
}

bool RemoveQuickLaunchShortcut(const std::string& name, BYTE folderSelector) {
  std::string folder;
  if (!SelectorFolder(folderSelector, folder)) return false;
  std::string fileName = folder + name + ".lnk";
  if (GetFileAttributesA(fileName.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return DeleteFileA(fileName.c_str()) != FALSE;
}

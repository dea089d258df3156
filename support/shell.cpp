#include "support/shell.h"

#include "platform/shell/shell_execute.h"

bool ShellOpen(const std::string& file, const std::string& parameters, HWND ownerWnd, const std::string& directory) {
  return ShellExecuteA(ownerWnd, "open", file.c_str(), parameters.c_str(), directory.c_str(), SW_SHOW) > 32;
}

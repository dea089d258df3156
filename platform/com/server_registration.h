// The class library's standard registration of a local-server automation class under
// HKEY_CLASSES_ROOT: the class key with its server file, ProgID, type library and
// version; the ProgID key; the type library key; and the key of the class's default
// interface, which names the type library that registered it.
#pragma once

#include <string>

#include "platform/com/guid.h"

namespace platform::com {

struct LocalServerClass {
  CLSID Clsid{};
  std::string ProgId;       // "Library.Class"
  std::string Description;  // the class's help string
  std::string ServerFile;   // the program that serves the class
  GUID LibId{};
  std::string LibraryDescription;
  IID DefaultInterface{};
  std::string InterfaceName;
};

// "{...}" of a GUID in 8-bit text.
std::string GuidKeyText(REFGUID guid);

// Writes every key; false (the thread's last error set) when a write failed.
bool RegisterLocalServer(const LocalServerClass& server);
// Deletes the class, ProgID and type library trees, and the interface key when it
// still names this class's type library. False when a tree that exists stayed.
bool UnregisterLocalServer(const LocalServerClass& server);

}  // namespace platform::com

// Registry access: free-standing routines that open (or create) the key they need, do
// one thing, close it again, and answer true or false (or a default) instead of
// raising. Key paths, value names and string values are 8-bit text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/kernel/registry.h"

// Writes, value deletes and key deletes leave the result code of their last registry
// call as the thread's last error; reads leave it alone.
bool RegWriteValue(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD valueType,
                   const void* data, DWORD dataSize);
// REG_SZ: the text and one zero byte.
bool RegWriteString(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& value);
bool RegWriteDWord(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD value);

// Reads a value of exactly the given type (REG_EXPAND_SZ does not satisfy REG_SZ).
bool RegReadValue(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD valueType,
                  std::vector<BYTE>& data);
// A REG_SZ value without its terminating zero; a last byte that is not zero stays.
bool RegReadString(HKEY root, const std::string& keyPath, const std::string& valueName, std::string& value);
bool RegReadDWord(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD& value);
bool RegReadInteger(HKEY root, const std::string& keyPath, const std::string& valueName, std::int32_t& value);

bool RegValueExists(HKEY root, const std::string& keyPath, const std::string& valueName);
bool RegKeyExists(HKEY root, const std::string& keyPath);
bool RegDeleteValue(HKEY root, const std::string& keyPath, const std::string& valueName);
// Deletes the last key of the path with all its subkeys; true only when it is gone.
// A path without a backslash answers false and touches nothing.
bool RegDeleteKeyTree(HKEY root, const std::string& keyPath);

// NT only: adds full access for the world group to the key's list (a model here).
bool RegSetAllowEveryone(HKEY root, const std::string& keyPath);
// The key's list as a self-relative descriptor from LocalAlloc, or null.
PSECURITY_DESCRIPTOR RegGetKeySecurityDescriptor(HKEY key);

// Trimmed of control characters and blanks, runs of backslashes made one, one
// trailing backslash removed; a leading backslash stays.
std::string NormalizeRegPath(const std::string& path);
// A value read as text up to its first zero byte, whatever its type; Default when it
// cannot be read.
std::string RegReadStringDef(HKEY root, const std::string& keyPath, const std::string& valueName,
                             const std::string& defaultValue);
// The 1-based position of the last Ch in S; 0 when there is none.
int LastCharPos(char ch, const std::string& s);

// What this program calls on the host browser toolbar Quindle: the host toolbar object
// (settings store reads and writes, the plug-in button, the plug-in menu, the settings
// window) and the readiness object of the host's settings store. Both are automation
// objects of the host, created by class id with CLSCTX_INPROC_SERVER or
// CLSCTX_LOCAL_SERVER (5), by each user on its own thread, and released after use.
// A result with the sign bit set is a failure.
//
// The methods are listed in the order of the host's method tables; each comment names
// the method's slot in that table (0-2 IUnknown, 3-6 IDispatch). The slots between
// them belong to the host and are not called by this program.
#pragma once

#include "platform/com/class_table.h"
#include "platform/com/dispatch.h"
#include "platform/com/variant.h"

// Class of the host toolbar object.
inline constexpr CLSID CLSID_QuindleToolbar = {
    0xc38e056f, 0xae46, 0x4c3a, {0x80, 0x98, 0xa9, 0x74, 0x4b, 0xb1, 0xc8, 0x24}};
// Class of the readiness object (the host's settings server).
inline constexpr CLSID CLSID_QuindleSettingsServer = {
    0xe51dc046, 0x73ed, 0x4c70, {0x8c, 0xc3, 0x66, 0xe6, 0xfe, 0x70, 0x00, 0xd4}};
inline constexpr IID IID_IQuindleToolbar = {
    0x8cfbdaa4, 0xf5c4, 0x4292, {0x97, 0x21, 0x8c, 0x24, 0x3f, 0xc9, 0x79, 0x42}};
inline constexpr IID IID_IQuindleSettingsServer = {
    0x30d5afcd, 0x7939, 0x4077, {0x95, 0xe1, 0xce, 0x98, 0xd4, 0x2e, 0x49, 0xc2}};

// The context in which the host's objects are created.
inline constexpr DWORD kHostClassContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

// The plug-in id of this program, and the section of its settings in the host's store.
inline constexpr char16_t kHostPluginId[] = u"PELLIX";

// Arguments "or nothing" are VARIANTs: VT_EMPTY for nothing, VT_BSTR for a text. Read
// flags are 16-bit (this program passes all bits set); write flags are Booleans.
struct IQuindleToolbar : IDispatch {
  using Base = IDispatch;
  static constexpr const IID& kIid = IID_IQuindleToolbar;

  // Slots 8, 9, 10: read a setting of the host's store.
  virtual HRESULT ReadInteger(BSTR section, BSTR key, SHORT flags, LONG* value) = 0;
  virtual HRESULT ReadString(BSTR section, BSTR key, SHORT flags, BSTR* value) = 0;
  virtual HRESULT ReadFloat(BSTR section, BSTR key, SHORT flags, DOUBLE* value) = 0;
  // Slots 11, 12, 13, 14: write a setting.
  virtual HRESULT WriteBool(BSTR section, BSTR key, VARIANT_BOOL value, VARIANT_BOOL flags) = 0;
  virtual HRESULT WriteInteger(BSTR section, BSTR key, LONG value, VARIANT_BOOL flags) = 0;
  virtual HRESULT WriteString(BSTR section, BSTR key, BSTR value, VARIANT_BOOL flags) = 0;
  virtual HRESULT WriteFloat(BSTR section, BSTR key, DOUBLE value, VARIANT_BOOL flags) = 0;
  // Slot 28: the plug-in button's caption (nothing: no caption).
  virtual HRESULT SetButtonCaption(BSTR pluginId, LONG reserved, BSTR buttonId, VARIANT caption) = 0;
  // Slot 30: hide (0) or show (1) the plug-in button.
  virtual HRESULT ShowButton(BSTR pluginId, LONG reserved, BSTR buttonId, LONG show) = 0;
  // Slot 31: replace the plug-in's menu with the menu text.
  virtual HRESULT SetMenu(BSTR pluginId, LONG reserved, BSTR menuPluginId, BSTR menuText) = 0;
  // Slot 33: a button command ("SET_BMP", "SET_CHEVRONBMP") with its data or nothing.
  virtual HRESULT ButtonCommand(BSTR pluginId, LONG reserved, BSTR command, BSTR buttonId,
                                VARIANT data) = 0;
  // Slot 48: show the host's settings window on the plug-in's page.
  virtual HRESULT ShowSettings(BSTR section, LONG zero1, LONG zero2, LONG zero3, LONG zero4, LONG zero5,
                               LONG zero6, LONG page, LONG* result) = 0;

 protected:
  ~IQuindleToolbar() = default;
};

struct IQuindleSettingsServer : IDispatch {
  using Base = IDispatch;
  static constexpr const IID& kIid = IID_IQuindleSettingsServer;

  // Slot 21: true when the host's settings store is ready.
  virtual HRESULT get_Ready(VARIANT_BOOL* ready) = 0;

 protected:
  ~IQuindleSettingsServer() = default;
};

namespace platform::host {

// Creates the host toolbar object on the calling thread (COM initialised); false, with
// Toolbar empty, when the host is not installed or the object cannot be made.
bool CreateHostToolbar(platform::com::ComPtr<IQuindleToolbar>& toolbar);

}  // namespace platform::host

// The host toolbar's side of its plug-ins: the plug-in interface that the host's type
// library defines and every plug-in implements, and how the host finds and makes a
// plug-in: the string value "CLSID" under HKEY_LOCAL_MACHINE
// "Software\Quindle\PlugIns\" and the plug-in id names the class, which the host
// creates as a local server.
//
// The methods are listed in the order of the interface's method table; each comment
// names the slot (0-2 IUnknown, 3-6 IDispatch). Out texts are cleared by the plug-in
// before it answers; the caller frees them.
#pragma once

#include <string>

#include "platform/com/class_table.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"

inline constexpr IID IID_IQuindlePlugin = {
    0x5b0c7d2e, 0x3f61, 0x4a8e, {0x9c, 0x47, 0x1d, 0x82, 0x6a, 0xe3, 0x50, 0xb9}};

// The ten answers of GetButtonInfo, in the method's order of its out arguments.
struct IQuindlePlugin : IDispatch {
  using Base = IDispatch;
  static constexpr const IID& kIid = IID_IQuindlePlugin;

  // Slot 7: the plug-in's display name.
  virtual HRESULT GetDisplayName(BSTR* name) = 0;
  // Slot 8: the host's id of the browser window (or "SETTINGS") this object serves.
  virtual HRESULT SetClientId(BSTR clientId) = 0;
  // Slot 9: the plug-in interface's version the plug-in speaks.
  virtual HRESULT GetInterfaceVersion(LONG* version) = 0;
  // Slot 10: the button: width, style, setting name, caption, hint, image, menu text,
  // long name, settings-page image, visible.
  virtual HRESULT GetButtonInfo(LONG reserved, LONG* width, LONG* style, BSTR* settingName, BSTR* caption,
                                BSTR* hint, VARIANT* image, BSTR* menuText, BSTR* longName,
                                VARIANT* pageImage, LONG* visible) = 0;
  // Slot 11: the settings pages (caption=address lines) and their image.
  virtual HRESULT GetSettingsPages(BSTR* pages, SAFEARRAY** image) = 0;
  // Slot 12: the answer to an information key.
  virtual HRESULT GetPluginInfo(BSTR key, BSTR argument, BSTR* answer) = 0;
  // Slot 13: a host event.
  virtual HRESULT OnHostEvent(BSTR event, LONG code, VARIANT data) = 0;
  // Slots 14, 15, 16: flags of the plug-in's button, menu and pages.
  virtual HRESULT GetButtonFlags(LONG* flags) = 0;
  virtual HRESULT GetMenuFlags(LONG* flags) = 0;
  virtual HRESULT GetPageFlags(LONG* flags) = 0;
  // Slot 17: a button click or a command of the settings pages.
  virtual HRESULT OnCommand(BSTR command) = 0;
  // Slot 18: an item of the plug-in's menu was picked; Command is the item's command text.
  virtual HRESULT OnMenuCommand(LONG reserved, BSTR command) = 0;
  // Slot 19: whether the plug-in wants the host's navigation events.
  virtual HRESULT GetWantsNavigation(VARIANT_BOOL* wants) = 0;
  // Slot 20: the plug-in's default settings as key=value lines.
  virtual HRESULT GetConfigText(BSTR* text) = 0;
  // Slots 21, 22, 23: the host started, is closing, is idle.
  virtual HRESULT OnHostStart() = 0;
  virtual HRESULT OnHostClose() = 0;
  virtual HRESULT OnHostIdle() = 0;
  // Slot 24: the host's settings changed.
  virtual HRESULT RefreshConfig() = 0;

 protected:
  ~IQuindlePlugin() = default;
};

namespace platform::host {

// The host's key of its plug-ins under HKEY_LOCAL_MACHINE.
inline constexpr char kPluginsRegistryKey[] = "Software\\Quindle\\PlugIns\\";

// Creates the plug-in with that id as the host does, on the calling thread (COM
// initialised): REGDB_E_CLASSNOTREG when no class is listed for it, CO_E_CLASSSTRING
// when the listed class is no class id, else what creating it answers.
HRESULT CreatePlugin(const std::string& pluginId, platform::com::ComPtr<IQuindlePlugin>& plugin);

}  // namespace platform::host

// The plug-in object of the host toolbar Quindle. The host creates objects of the
// program's class PellixObj (one per browser window it serves, and one with the client
// id "SETTINGS" for its settings window) and calls them through its plug-in interface:
// for the plug-in's name, button, pictures, settings pages and answers to information
// keys, and with button clicks, menu picks and settings-page commands. The object never
// acts on a command itself: each becomes a menu message object posted to the main
// window, which frees it (also here, when the post fails).
//
// Beside the object: its class factory with the program's registry keys, the plug-in
// data loaded once per process, and the refresh that pushes the button's caption,
// visibility and pictures to the host.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/classlib/graphics.h"
#include "platform/classlib/streams.h"
#include "platform/com/class_table.h"
#include "platform/com/server_registration.h"
#include "platform/host/host_plugins.h"
#include "platform/host/host_toolbar.h"

// Class of the plug-in object and its type library.
inline constexpr CLSID CLSID_PellixObj = {
    0x4f2a9c61, 0x8e3b, 0x4d17, {0xa5, 0x0c, 0x6b, 0x91, 0x2e, 0x7d, 0x34, 0xf8}};
inline constexpr GUID LIBID_Pellix = {
    0x9d41e3b7, 0x2c58, 0x4a06, {0xb8, 0x1f, 0xe4, 0x37, 0x0a, 0x6c, 0x95, 0x2d}};
inline constexpr char kPellixProgId[] = "Pellix.PellixObj";
// The plug-in's key under HKEY_LOCAL_MACHINE, where the host finds the class.
inline constexpr char kPluginRegistryKey[] = "Software\\Quindle\\PlugIns\\PELLIX";

// Bitmaps wider or higher than this have no byte array for the host.
inline constexpr int kMaxButtonBytesSide = 1024;

// The plug-in data, loaded once per process by the first object.
struct TPluginData {
  // The default settings (RCDATA CONFIG) as key=value lines.
  std::u16string ConfigText;
  // The toolbar button (RCDATA TBR_FF_EN) in bitmap-file form, as hex text.
  std::u16string ButtonHex;
  // The same bytes for the host's byte arrays; absent for a bitmap too large.
  bool HasButtonBytes = false;
  std::vector<BYTE> ButtonBytes;
  // The settings page's icon (RCDATA TBR_SETTINGS) as hex text.
  std::u16string SettingsHex;
};

// Two upper-case hex digits per byte of the stream from its position, read in blocks
// of 1024 bytes.
std::u16string StreamToHex(TStream& stream);
// A one-dimensional VT_UI1 array of the bytes; null when memory runs out.
SAFEARRAY* BytesToSafeArray(const std::vector<BYTE>& bytes);
// The plug-in data of these resources; a missing bitmap gives empty texts and no bytes.
TPluginData MakePluginData(const std::string& configText, TBitmap* button, TBitmap* settings);
// The plug-in data of the program's resources, loaded on first use.
const TPluginData& PluginData();

// The settings the plug-in reads. The settings loader sets them; the objects read them
// on the COM server's threads. Values before the first load are the defaults.
struct TPluginSettings {
  std::int32_t ShowPellixButton = 3;  // SHOW_PELLIX_BUTTON
  bool PellixAll = true;              // PELLIX_ALL
  std::u16string AboutUrl;            // ABOUT_URL
  std::u16string CfgId = u"72";       // CFG_ID
};
TPluginSettings PluginSettings();
void SetPluginSettings(const TPluginSettings& settings);
// The product's features page, taken for an empty ABOUT_URL.
inline constexpr char16_t kFeaturesPageUrl[] = u"https://www.pellix.example/features/";

// SHOW_PELLIX_BUTTON as a mode: 0 or less hides the button, an odd mode above 0 shows
// the bitmap, 2 or more shows the caption.
bool ButtonShowsBitmap(std::int32_t mode);
bool ButtonShowsCaption(std::int32_t mode);

// Free-threaded: every method may run on any COM server thread at once.
class TPellixObj : public platform::com::ComObject<IQuindlePlugin> {
 public:
  // Loads the plug-in data when not yet loaded.
  TPellixObj();
  ~TPellixObj() override;

  // IDispatch: the host calls the plug-in interface directly; there is no type
  // information and no member by name.
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError) override;

  HRESULT GetDisplayName(BSTR* name) override;
  HRESULT SetClientId(BSTR clientId) override;
  HRESULT GetInterfaceVersion(LONG* version) override;
  HRESULT GetButtonInfo(LONG reserved, LONG* width, LONG* style, BSTR* settingName, BSTR* caption, BSTR* hint,
                        VARIANT* image, BSTR* menuText, BSTR* longName, VARIANT* pageImage,
                        LONG* visible) override;
  HRESULT GetSettingsPages(BSTR* pages, SAFEARRAY** image) override;
  HRESULT GetPluginInfo(BSTR key, BSTR argument, BSTR* answer) override;
  HRESULT OnHostEvent(BSTR event, LONG code, VARIANT data) override;
  HRESULT GetButtonFlags(LONG* flags) override;
  HRESULT GetMenuFlags(LONG* flags) override;
  HRESULT GetPageFlags(LONG* flags) override;
  HRESULT OnCommand(BSTR command) override;
  HRESULT OnMenuCommand(LONG reserved, BSTR command) override;
  HRESULT GetWantsNavigation(VARIANT_BOOL* wants) override;
  HRESULT GetConfigText(BSTR* text) override;
  HRESULT OnHostStart() override;
  HRESULT OnHostClose() override;
  HRESULT OnHostIdle() override;
  HRESULT RefreshConfig() override;

  // The window handle of the browser whose host client id is ClientId; 0 when none.
  HWND FindClientBrowser();
  // The answer of an information key (see GetPluginInfo).
  std::u16string PluginInfo(const std::u16string& key, const std::u16string& argument);

 private:
  std::u16string ClientId();
  // The button mode of this object (refreshed from the host's store where it decides).
  std::int32_t ButtonMode();

  std::mutex lock_;
  std::u16string clientId_;
  // The host toolbar object, made on first need and kept.
  platform::com::ComPtr<IQuindleToolbar> host_;
};

// The class factory of TPellixObj: one class object serves every client (multiple
// use), free threading. Lives until the program ends.
class TPellixFactory : public platform::com::ClassFactory {
 public:
  TPellixFactory();
  // The class's registration for the host: the standard local-server registration and
  // the plug-in's keys (register), or the removal of the class and ProgID keys; the
  // plug-in key under "Software\Quindle\PlugIns" stays. Failures are logged; every
  // group is tried.
  void UpdateRegistry(bool doRegister);
  // The standard registration of the class with this program as its server.
  static platform::com::LocalServerClass ServerClass();
};

// Makes the factory once and registers it in the class table for local-server clients;
// answers it (null when it cannot be registered).
TPellixFactory* CreatePluginFactory();

// Pushes the button's caption, visibility and pictures to the host on a thread of its
// own (one at a time; a request while it runs makes it run once more).
void StartToolbarButtonRefresh();
bool WaitToolbarButtonRefresh(DWORD timeout);

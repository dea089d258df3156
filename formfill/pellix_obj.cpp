#include "formfill/pellix_obj.h"

#include <memory>
#include <mutex>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/identities.h"
#include "data/menu_messages.h"
#include "formfill/app_menus.h"
#include "formfill/browser_access.h"
#include "formfill/refresh_runner.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/inifiles.h"
#include "platform/com/bstr.h"
#include "platform/kernel/registry.h"
#include "support/alpha_bitmaps.h"
#include "support/debug_log.h"
#include "support/program_paths.h"
#include "support/registry_access.h"
#include "support/translator.h"

using platform::com::BString;
using platform::com::ComPtr;

namespace {

constexpr char16_t kDisplayName[] = u"Pellix";
constexpr char16_t kSettingsClient[] = u"SETTINGS";

constexpr std::uint8_t kCommandFillOpenForm = 4;
constexpr std::uint8_t kCommandIdentityAdd = 33;
constexpr std::uint8_t kCommandIdentityEdit = 34;
constexpr std::uint8_t kCommandIdentityActivate = 35;
constexpr std::uint8_t kCommandIdentityDelete = 36;
constexpr std::uint8_t kCommandLogin = 43;
constexpr std::uint8_t kCommandAfterInstall = 45;

std::u16string Tr(const char* text) { return Translate(text); }

HRESULT PutText(BSTR* out, std::u16string_view text) {
  if (out == nullptr) return E_POINTER;
  *out = platform::com::AllocText(text);
  return S_OK;
}

HRESULT PutLong(LONG* out, LONG value) {
  if (out == nullptr) return E_POINTER;
  *out = value;
  return S_OK;
}

// The button bytes as a variant holding a new array; empty when there are none.
void PutButtonBytes(VARIANT* out, bool wanted) {
  VariantInit(out);
  const TPluginData& data = PluginData();
  if (!wanted || !data.HasButtonBytes) return;
  if (SAFEARRAY* array = BytesToSafeArray(data.ButtonBytes)) {
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = array;
  }
}

std::mutex settingsLock;
TPluginSettings settings;

void SetShowPellixButton(std::int32_t mode) {
  std::lock_guard<std::mutex> hold(settingsLock);
  settings.ShowPellixButton = mode;
}

std::u16string AboutUrl() {
  std::lock_guard<std::mutex> hold(settingsLock);
  if (settings.AboutUrl.empty()) settings.AboutUrl = kFeaturesPageUrl;
  return settings.AboutUrl;
}

// Hands the message to the main window; a message that is not posted is freed.
void PostMenuMessage(std::unique_ptr<TObjMenuMessage> message) {
  PostObjectToMainWindow(kCmdMenuCommand, std::move(message));
}

void PostCommand(std::uint8_t command, const std::u16string& text2 = {}) {
  auto message = std::make_unique<TObjMenuMessage>();
  message->Command = command;
  message->Text2 = text2;
  PostMenuMessage(std::move(message));
}

// The commands of the settings pages by name.
std::uint8_t SettingsPageCommand(const std::string& name) {
  static const std::pair<const char*, std::uint8_t> kNames[] = {
      {"SECURITY_LEVEL", 31}, {"MASTER_PASSWORD", 32}, {"BROWSE_BOOKMARKS", 10},
      {"BROWSE_HISTORY", 15}, {"BROWSE_IGNORELIST", 16}, {"CLEAR_FORM_HISTORY", 14}};
  for (const auto& [known, command] : kNames)
    if (name == known) return command;
  return 0;
}

// Whether a menu item id from the host still names an item of the lists.
bool MenuItemListed(std::int32_t id) {
  std::scoped_lock hold(DataLock);
  return FindMenuItem(id) != nullptr;
}

std::u16string IdentityList() {
  std::scoped_lock hold(DataLock);
  std::u16string text;
  const int count = Identities ? Identities->Lines.Count() : 0;
  for (int i = 0; i < count; ++i) {
    const std::u16string fileNo = Identities->FileNo(i);
    if (i > 0) text += u'\n';
    text += fileNo + u"|" + Identities->Lines.Names(i) + u"|" + (fileNo == ActiveIdentityNo ? u"1" : u"0");
  }
  return text;
}

std::u16string ShortProgram() { return platform::AnsiToWide(ShortProgramFile()); }

std::u16string SettingsDetail() {
  const TPluginSettings values = PluginSettings();
  return u"FILENAME=" + platform::AnsiToWide(ProgramFile()) + u"\r\nLONGNAME=" + kDisplayName + u"\r\nCAPTION=" +
         kDisplayName + u"\r\nHINT=" + Tr("General overview") + u"\r\nINSTALL_PAGE=res://" + ShortProgram() +
         u"/INSTTBR\r\nMORE_INFO_URL=" + AboutUrl() + u"\r\nCFG_ID=" + values.CfgId + u"\r\nICON=" +
         PluginData().SettingsHex;
}

TBitmap* LoadBitmap(const char* name) { return LoadRCDataBitmap(HInstance, name); }

TPluginData LoadPluginData() {
  std::unique_ptr<TBitmap> button(LoadBitmap("TBR_FF_EN"));
  std::unique_ptr<TBitmap> settingsIcon(LoadBitmap("TBR_SETTINGS"));
  return MakePluginData(DataResourceReader("CONFIG").value_or(std::string()), button.get(), settingsIcon.get());
}

// The button's caption, pictures and visibility for the host.
void PushButton(IQuindleToolbar& host, const TPluginSettings& values, const TPluginData& data) {
  BString id(kHostPluginId);
  BString setBitmap(u"SET_BMP");
  BString setChevron(u"SET_CHEVRONBMP");
  platform::com::Variant nothing;
  if (!values.PellixAll) {
    host.ShowButton(id.get(), 0, id.get(), 0);
    host.SetButtonCaption(id.get(), 0, id.get(), nothing.raw());
    host.ButtonCommand(id.get(), 0, setBitmap.get(), id.get(), nothing.raw());
    host.ButtonCommand(id.get(), 0, setChevron.get(), id.get(), nothing.raw());
    return;
  }
  const std::int32_t mode = values.ShowPellixButton;
  platform::com::Variant caption = ButtonShowsCaption(mode) ? platform::com::Variant::Text(kDisplayName) : nothing;
  host.SetButtonCaption(id.get(), 0, id.get(), caption.raw());
  platform::com::Variant bitmap = ButtonShowsBitmap(mode) ? platform::com::Variant::Text(data.ButtonHex) : nothing;
  // The host may refuse a picture; the button still gets its visibility.
  host.ButtonCommand(id.get(), 0, setBitmap.get(), id.get(), bitmap.raw());
  host.ButtonCommand(id.get(), 0, setChevron.get(), id.get(), bitmap.raw());
  host.ShowButton(id.get(), 0, id.get(), mode > 0 ? 1 : 0);
}

void RefreshToolbarButton() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ComPtr<IQuindleToolbar> host;
  if (platform::host::CreateHostToolbar(host)) PushButton(*host, PluginSettings(), PluginData());
  host = nullptr;
  CoUninitialize();
}

TRefreshRunner buttonRefresh(RefreshToolbarButton);

std::string LastErrorText() { return SysErrorMessage(GetLastError()); }

// Sets the key's access list to the user's own: registration never opens a key to
// others, and a key that was opened wider before is narrowed again.
bool KeepKeyToUser(HKEY root, const std::string& keyPath) {
  HKEY key = 0;
  LSTATUS status = RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (status == ERROR_SUCCESS) {
    std::vector<BYTE> userOnly = platform::DefaultSecurity(KEY_ALL_ACCESS);
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, userOnly.data());
    RegCloseKey(key);
  }
  SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS;
}

void AddKeys() {
  const std::string clsid = platform::com::GuidKeyText(CLSID_PellixObj);
  const std::string classKey = "CLSID\\" + clsid;
  LogMessage("TPellixFactory.AddKeys");
  if (KeepKeyToUser(HKEY_CLASSES_ROOT, classKey))
    LogMessage("TPellixFactory.AddKeys KeepKeyToUser: " + classKey);
  else
    LogMessage("TPellixFactory.AddKeys register: " + LastErrorText());
  if (RegWriteString(HKEY_CLASSES_ROOT, classKey, "PluginName", "PELLIX"))
    LogMessage("TPellixFactory.AddKeys PluginName:PELLIX");
  else
    LogMessage("TPellixFactory.AddKeys register: " + LastErrorText());

  LogMessage(std::string("TPellixFactory.AddKeys sRegKey:") + kPluginRegistryKey);
  if (RegWriteString(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "ZQW7_SUPPORT", "1") &&
      RegWriteString(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "CLSID", clsid) &&
      RegWriteString(HKEY_LOCAL_MACHINE, kPluginRegistryKey, "LONGNAME", "Pellix") &&
      KeepKeyToUser(HKEY_LOCAL_MACHINE, kPluginRegistryKey)) {
    LogMessage("TPellixFactory.AddKeys done");
  } else {
    LogMessage("TPellixFactory.AddKeys plugin: " + LastErrorText());
  }

  if (!KeepKeyToUser(HKEY_CLASSES_ROOT, kPellixProgId)) LogMessage("TPellixFactory.AddKeys ProgID: " + LastErrorText());
}

}  // namespace

std::u16string StreamToHex(TStream& stream) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  BYTE block[1024];
  for (std::int32_t read; (read = stream.Read(block, sizeof block)) > 0;) {
    for (std::int32_t i = 0; i < read; ++i) {
      text += kDigits[block[i] >> 4];
      text += kDigits[block[i] & 0x0F];
    }
  }
  return text;
}

SAFEARRAY* BytesToSafeArray(const std::vector<BYTE>& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (array == nullptr || bytes.empty()) return array;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return nullptr;
  }
  std::copy(bytes.begin(), bytes.end(), static_cast<BYTE*>(data));
  SafeArrayUnaccessData(array);
  return array;
}

TPluginData MakePluginData(const std::string& configText, TBitmap* button, TBitmap* settingsIcon) {
  TPluginData data;
  data.ConfigText = platform::AnsiToWide(configText);
  if (button != nullptr) {
    TMemoryStream stream;
    button->SaveToStream(stream);
    stream.Seek(0, TSeekOrigin::soBeginning);
    data.ButtonHex = StreamToHex(stream);
    data.HasButtonBytes = button->Width() <= kMaxButtonBytesSide && button->Height() <= kMaxButtonBytesSide;
    if (data.HasButtonBytes) data.ButtonBytes = stream.Memory();
  }
  if (settingsIcon != nullptr) {
    TMemoryStream stream;
    settingsIcon->SaveToStream(stream);
    stream.Seek(0, TSeekOrigin::soBeginning);
    data.SettingsHex = StreamToHex(stream);
  }
  return data;
}

const TPluginData& PluginData() {
  static const TPluginData data = LoadPluginData();
  return data;
}

TPluginSettings PluginSettings() {
  std::lock_guard<std::mutex> hold(settingsLock);
  return settings;
}

void SetPluginSettings(const TPluginSettings& values) {
  std::lock_guard<std::mutex> hold(settingsLock);
  settings = values;
}

bool ButtonShowsBitmap(std::int32_t mode) { return mode > 0 && mode % 2 == 1; }

bool ButtonShowsCaption(std::int32_t mode) { return mode >= 2; }

// TPellixObj

TPellixObj::TPellixObj() { PluginData(); }

TPellixObj::~TPellixObj() = default;

HRESULT TPellixObj::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT TPellixObj::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT TPellixObj::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }

HRESULT TPellixObj::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT TPellixObj::GetDisplayName(BSTR* name) { return PutText(name, kDisplayName); }

HRESULT TPellixObj::SetClientId(BSTR clientId) {
  std::lock_guard<std::mutex> hold(lock_);
  clientId_ = platform::com::ToText(clientId);
  return S_OK;
}

HRESULT TPellixObj::GetInterfaceVersion(LONG* version) { return PutLong(version, 1); }

HRESULT TPellixObj::GetButtonInfo(LONG, LONG* width, LONG* style, BSTR* settingName, BSTR* caption, BSTR* hint,
                                  VARIANT* image, BSTR* menuText, BSTR* longName, VARIANT* pageImage,
                                  LONG* visible) {
  if (width == nullptr || style == nullptr || settingName == nullptr || caption == nullptr || hint == nullptr ||
      image == nullptr || menuText == nullptr || longName == nullptr || pageImage == nullptr || visible == nullptr)
    return E_POINTER;
  const std::int32_t mode = ButtonMode();
  *width = 150;
  *style = 1;
  PutText(settingName, std::u16string(kHostPluginId) + u":SHOW_PELLIX_BUTTON");
  PutText(caption, ButtonShowsCaption(mode) ? kDisplayName : u"");
  PutText(hint, Tr("The easy way to fill in web forms and store your passwords."));
  PutButtonBytes(image, ButtonShowsBitmap(mode));
  PutText(menuText, CachedToolbarMenuText());
  PutText(longName, kDisplayName);
  PutButtonBytes(pageImage, true);
  *visible = mode > 0 ? 1 : 0;
  return S_OK;
}

HRESULT TPellixObj::GetSettingsPages(BSTR* pages, SAFEARRAY** image) {
  if (pages == nullptr || image == nullptr) return E_POINTER;
  const std::u16string address = u"=res://" + ShortProgram() + u"/TAB";
  PutText(pages, kDisplayName + address + u"1\r\n" + Tr("Filling Forms") + address + u"2\r\n" +
                     Tr("Bookmarks && History") + address + u"3\r\n" + Tr("Identity") + address + u"4\r\n");
  const TPluginData& data = PluginData();
  *image = data.HasButtonBytes ? BytesToSafeArray(data.ButtonBytes) : nullptr;
  return S_OK;
}

std::u16string TPellixObj::PluginInfo(const std::u16string& key, const std::u16string& argument) {
  if (key == u"FILL_FORMS" || key == u"PASS_GEN" || key == u"ADD_BOOK") return key + u"/" + argument;
  if (key == u"REFRESH_CONFIG") {
    PostToMainWindow(kCmdReloadSettings, 0);
    return {};
  }
  if (key == u"ICON") return PluginData().ButtonHex;
  if (key == u"LONGNAME") return kDisplayName;
  if (key == u"ALLOW_EXIT") return TrayIconShown.load() || AnyDialogOpen() ? u"NO" : u"YES";
  if (key == u"SETTINGS_DETAIL") return SettingsDetail();
  if (key == u"IDENTITY_LIST") return IdentityList();
  if (key == u"IDENTITY_ADD") PostCommand(kCommandIdentityAdd);
  if (key == u"IDENTITY_EDIT") PostCommand(kCommandIdentityEdit, argument);
  if (key == u"IDENTITY_ACTIVATE") PostCommand(kCommandIdentityActivate, argument);
  if (key == u"IDENTITY_DELETE") PostCommand(kCommandIdentityDelete, argument);
  return {};
}

HRESULT TPellixObj::GetPluginInfo(BSTR key, BSTR argument, BSTR* answer) {
  if (answer == nullptr) return E_POINTER;
  *answer = nullptr;
  return PutText(answer, PluginInfo(platform::com::ToText(key), platform::com::ToText(argument)));
}

HRESULT TPellixObj::OnHostEvent(BSTR, LONG, VARIANT) { return S_OK; }

HRESULT TPellixObj::GetButtonFlags(LONG* flags) { return PutLong(flags, 0); }

HRESULT TPellixObj::GetMenuFlags(LONG* flags) { return PutLong(flags, 0); }

HRESULT TPellixObj::GetPageFlags(LONG* flags) { return PutLong(flags, 0); }

HRESULT TPellixObj::OnCommand(BSTR command) {
  std::string name = platform::AnsiUpperCase(platform::WideToAnsi(platform::com::ToText(command)));
  name = name.substr(0, name.find(':'));
  auto message = std::make_unique<TObjMenuMessage>();
  if (name == platform::WideToAnsi(kHostPluginId)) {
    message->Command = !HasIdentities.load() ? kCommandAfterInstall
                       : !IsUnlocked()       ? kCommandLogin
                                             : kCommandFillOpenForm;
    message->ClientID = ClientId();
    message->BrowserWindow = FindClientBrowser();
  } else {
    message->Command = SettingsPageCommand(name);
  }
  if (message->Command != 0) PostMenuMessage(std::move(message));
  return S_OK;
}

HRESULT TPellixObj::OnMenuCommand(LONG, BSTR command) {
  const std::u16string text = platform::com::ToText(command);
  const std::size_t split = text.find(u'_');
  const int number = CommandIdFromName(text.substr(0, split));
  if (number == 0) return S_OK;
  std::int32_t tag = 0;
  const bool isNumber =
      split != std::u16string::npos && TryStrToInt(platform::WideToAnsi(text.substr(split + 1)), tag);
  if (!isNumber) tag = 0;
  // An item reference is an id of the menu the host was given: one that no longer
  // names an item of the lists (or never did) runs nothing.
  if (CommandTakesItem(number) && !MenuItemListed(tag)) return S_OK;
  auto message = std::make_unique<TObjMenuMessage>();
  message->Command = static_cast<std::uint8_t>(number);
  message->Param = tag;
  message->ClientID = ClientId();
  message->BrowserWindow = FindClientBrowser();
  PostMenuMessage(std::move(message));
  return S_OK;
}

HRESULT TPellixObj::GetWantsNavigation(VARIANT_BOOL* wants) {
  if (wants == nullptr) return E_POINTER;
  *wants = VARIANT_FALSE;
  return S_OK;
}

HRESULT TPellixObj::GetConfigText(BSTR* text) { return PutText(text, PluginData().ConfigText); }

HRESULT TPellixObj::OnHostStart() { return S_OK; }

HRESULT TPellixObj::OnHostClose() { return S_OK; }

HRESULT TPellixObj::OnHostIdle() { return S_OK; }

HRESULT TPellixObj::RefreshConfig() {
  PostToMainWindow(kCmdReloadSettings, 0);
  return S_OK;
}

HWND TPellixObj::FindClientBrowser() {
  const std::u16string id = ClientId();
  if (id.empty()) return 0;
  ComPtr<IWebBrowser2> browser;
  formfill::FindBrowserByClientId(id, u"", browser);
  return browser ? formfill::GetBrowserWindowHandle(browser.get()) : 0;
}

std::u16string TPellixObj::ClientId() {
  std::lock_guard<std::mutex> hold(lock_);
  return clientId_;
}

std::int32_t TPellixObj::ButtonMode() {
  if (!PluginSettings().PellixAll) return 0;
  if (ClientId() == kSettingsClient) return 3;
  ComPtr<IQuindleToolbar> host;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!host_) platform::host::CreateHostToolbar(host_);
    host = host_;
  }
  if (host) {
    BString section(kHostPluginId);
    BString key(u"SHOW_PELLIX_BUTTON");
    LONG mode = 0;
    if (SUCCEEDED(host->ReadInteger(section.get(), key.get(), -1, &mode))) {
      SetShowPellixButton(mode);
    } else {
      // A host that restarted is made again on the next need.
      std::lock_guard<std::mutex> hold(lock_);
      if (host_ == host) host_ = nullptr;
    }
  }
  return PluginSettings().ShowPellixButton;
}

// TPellixFactory

TPellixFactory::TPellixFactory()
    : ClassFactory([] { return ComPtr<IUnknown>(platform::com::MakeComObject<TPellixObj>()); }) {}

platform::com::LocalServerClass TPellixFactory::ServerClass() {
  platform::com::LocalServerClass server;
  server.Clsid = CLSID_PellixObj;
  server.ProgId = kPellixProgId;
  server.Description = "PellixObj Object";
  server.ServerFile = ProgramFile();
  server.LibId = LIBID_Pellix;
  server.LibraryDescription = "Pellix Library";
  server.DefaultInterface = IID_IQuindlePlugin;
  server.InterfaceName = "IQuindlePlugin";
  return server;
}

void TPellixFactory::UpdateRegistry(bool doRegister) {
  const platform::com::LocalServerClass server = ServerClass();
  if (!doRegister) {
    if (!platform::com::UnregisterLocalServer(server))
      LogMessage("TPellixFactory.RemoveKeys: " + LastErrorText());
    return;
  }
  if (!platform::com::RegisterLocalServer(server)) LogMessage("TPellixFactory.UpdateRegistry: " + LastErrorText());
  AddKeys();
}

TPellixFactory* CreatePluginFactory() {
  static const ComPtr<TPellixFactory> factory = [] {
    ComPtr<TPellixFactory> made = platform::com::MakeComObject<TPellixFactory>();
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(CLSID_PellixObj, made.get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &cookie)))
      made = nullptr;
    return made;
  }();
  return factory.get();
}

void StartToolbarButtonRefresh() { buttonRefresh.Request(); }

bool WaitToolbarButtonRefresh(DWORD timeout) { return buttonRefresh.Wait(timeout); }

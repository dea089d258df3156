// The browser windows as the program calls them: the collection of open browser
// windows (IShellWindows, created by class id), each browser (IWebBrowser2) with its
// named-property store, and the events of both; and the services a browser window
// offers (IServiceProvider): its shell browser with the window of its tab and the
// active view, which answers IFolderView when the window shows a folder.
#pragma once

#include "platform/browser/mshtml.h"

using SHANDLE_PTR = std::intptr_t;

inline constexpr CLSID CLSID_ShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
// A new browser window of its own (the browser's automation object).
inline constexpr CLSID CLSID_InternetExplorer = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IShellWindows = {0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
inline constexpr IID IID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
inline constexpr IID DIID_DWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
inline constexpr IID DIID_DShellWindowsEvents = {0xFE4106E0, 0x399A, 0x11D0, {0xA4, 0x8C, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
inline constexpr IID IID_IServiceProvider = {0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
inline constexpr IID IID_IOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IShellBrowser = {0x000214E2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IShellView = {0x000214E3, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IFolderView = {0xCDE725B0, 0xCCC9, 0x4519, {0x91, 0x7E, 0x32, 0x5D, 0x72, 0xFA, 0xB4, 0xCE}};
// Services of a browser window: its shell browser (the tab), and the window's
// top-level shell browser.
inline constexpr GUID SID_SShellBrowser = IID_IShellBrowser;
inline constexpr GUID SID_STopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// DWebBrowserEvents2. BeforeNavigate2 (browser, URL, Flags, TargetFrameName, PostData,
// Headers, Cancel): URL is a VT_BYREF|VT_VARIANT text, Cancel a VT_BYREF|VT_BOOL that a
// sink sets to stop the navigation. NavigateComplete2 and DocumentComplete (browser,
// URL). WindowStateChanged (flags, valid flags), both VT_I4.
inline constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;
inline constexpr DISPID DISPID_ONQUIT = 253;
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;
inline constexpr DISPID DISPID_WINDOWSTATECHANGED = 283;

// DShellWindowsEvents, each with the window's cookie (VT_I4).
inline constexpr DISPID DISPID_WINDOWREGISTERED = 200;
inline constexpr DISPID DISPID_WINDOWREVOKED = 201;

inline constexpr LONG OLECMDIDF_WINDOWSTATE_USERVISIBLE = 0x00000001;
inline constexpr LONG OLECMDIDF_WINDOWSTATE_ENABLED = 0x00000002;
inline constexpr LONG OLECMDIDF_WINDOWSTATE_USERVISIBLE_VALID = 0x00010000;
inline constexpr LONG OLECMDIDF_WINDOWSTATE_ENABLED_VALID = 0x00020000;

struct IWebBrowser2 : IDispatch {
  using Base = IDispatch;
  static constexpr const IID& kIid = IID_IWebBrowser2;
  // Starts a navigation and answers at once; the browser is busy until the page has
  // loaded. Flags, TargetFrameName, PostData and Headers may be null or VT_EMPTY.
  virtual HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                            VARIANT* headers) = 0;
  virtual HRESULT get_Document(IDispatch** document) = 0;
  virtual HRESULT get_LocationURL(BSTR* url) = 0;
  virtual HRESULT get_LocationName(BSTR* name) = 0;
  virtual HRESULT get_Busy(VARIANT_BOOL* busy) = 0;
  virtual HRESULT get_HWND(SHANDLE_PTR* window) = 0;
  virtual HRESULT get_Visible(VARIANT_BOOL* visible) = 0;
  virtual HRESULT put_Visible(VARIANT_BOOL visible) = 0;
  virtual HRESULT get_ToolBar(int* shown) = 0;
  virtual HRESULT get_MenuBar(VARIANT_BOOL* shown) = 0;
  virtual HRESULT get_AddressBar(VARIANT_BOOL* shown) = 0;
  virtual HRESULT PutProperty(BSTR name, VARIANT value) = 0;
  virtual HRESULT GetProperty(BSTR name, VARIANT* value) = 0;
  virtual HRESULT Quit() = 0;

 protected:
  ~IWebBrowser2() = default;
};

struct IShellWindows : IDispatch {
  using Base = IDispatch;
  static constexpr const IID& kIid = IID_IShellWindows;
  virtual HRESULT get_Count(LONG* count) = 0;
  // The window at a VT_I4 index as IDispatch; S_FALSE and null outside the range.
  virtual HRESULT Item(VARIANT index, IDispatch** folder) = 0;

 protected:
  ~IShellWindows() = default;
};

struct IServiceProvider : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IServiceProvider;
  // The interface Iid of the service Service; E_NOINTERFACE when the service lacks it,
  // E_FAIL for an unknown service.
  virtual HRESULT QueryService(REFGUID service, REFIID iid, void** object) = 0;

 protected:
  ~IServiceProvider() = default;
};

struct IOleWindow : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IOleWindow;
  virtual HRESULT GetWindow(HWND* window) = 0;

 protected:
  ~IOleWindow() = default;
};

struct IShellView : IOleWindow {
  using Base = IOleWindow;
  static constexpr const IID& kIid = IID_IShellView;

 protected:
  ~IShellView() = default;
};

struct IShellBrowser : IOleWindow {
  using Base = IOleWindow;
  static constexpr const IID& kIid = IID_IShellBrowser;
  // The view the browser shows now.
  virtual HRESULT QueryActiveShellView(IShellView** view) = 0;

 protected:
  ~IShellBrowser() = default;
};

// Answered by the view of a folder window (not by a web page's view).
struct IFolderView : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IFolderView;
  virtual HRESULT GetFolderFlags(DWORD* flags) = 0;

 protected:
  ~IFolderView() = default;
};

// The browser windows as the program calls them: the collection of open browser
// windows (IShellWindows, created by class id), each browser (IWebBrowser2) with its
// named-property store, and the events of both.
#pragma once

#include "platform/browser/mshtml.h"

using SHANDLE_PTR = std::intptr_t;

inline constexpr CLSID CLSID_ShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
inline constexpr IID IID_IShellWindows = {0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
inline constexpr IID IID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
inline constexpr IID DIID_DWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
inline constexpr IID DIID_DShellWindowsEvents = {0xFE4106E0, 0x399A, 0x11D0, {0xA4, 0x8C, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};

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

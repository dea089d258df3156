// The HTML document object model as the program calls it: the document, elements,
// collections, forms, inputs, selects, options, inline style, the event object and
// the element events. Each interface offers the members the program uses, under the
// names and numbers of the browser's object model; a second browser backend
// implements the same interfaces.
#pragma once

#include "platform/com/connection_point.h"

struct IHTMLElement;
struct IHTMLElementCollection;
struct IHTMLFormElement;
struct IHTMLStyle;

inline constexpr IID IID_IHTMLDocument2 = {0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr IID IID_IHTMLDocument3 = {0x3050F485, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLElement = {0x3050F1FF, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLElement2 = {0x3050F434, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLElementCollection = {0x3050F21F, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLFormElement = {0x3050F1F7, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLInputElement = {0x3050F5D2, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLInputTextElement = {0x3050F2A6, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLSelectElement = {0x3050F244, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLOptionElement = {0x3050F211, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLStyle = {0x3050F25E, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLEventObj = {0x3050F32D, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID DIID_HTMLFormElementEvents2 = {0x3050F614, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID DIID_HTMLInputTextElementEvents2 = {0x3050F618, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

// Element events: each is invoked with one argument, the event object (VT_DISPATCH,
// an IHTMLEventObj).
inline constexpr DISPID DISPID_HTMLFORMELEMENTEVENTS2_ONSUBMIT = 1007;
inline constexpr DISPID DISPID_HTMLELEMENTEVENTS2_ONCONTEXTMENU = 1023;

#define PELLIX_DISPATCH_INTERFACE(Name)            \
  using Base = IDispatch;                          \
  static constexpr const IID& kIid = IID_##Name;

struct IHTMLStyle : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLStyle)
  virtual HRESULT setAttribute(BSTR name, VARIANT value, LONG flags) = 0;
  virtual HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) = 0;
  virtual HRESULT get_background(BSTR* value) = 0;
  virtual HRESULT put_background(BSTR value) = 0;
  virtual HRESULT get_cssText(BSTR* text) = 0;

 protected:
  ~IHTMLStyle() = default;
};

struct IHTMLElement : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLElement)
  virtual HRESULT setAttribute(BSTR name, VARIANT value, LONG flags) = 0;
  virtual HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) = 0;
  virtual HRESULT removeAttribute(BSTR name, LONG flags, VARIANT_BOOL* removed) = 0;
  virtual HRESULT get_id(BSTR* id) = 0;
  virtual HRESULT put_id(BSTR id) = 0;
  virtual HRESULT get_tagName(BSTR* name) = 0;
  virtual HRESULT get_parentElement(IHTMLElement** parent) = 0;
  virtual HRESULT get_style(IHTMLStyle** style) = 0;
  virtual HRESULT get_innerText(BSTR* text) = 0;
  virtual HRESULT get_outerHTML(BSTR* html) = 0;
  // Every element inside this one, in document order (an IHTMLElementCollection).
  virtual HRESULT get_all(IDispatch** all) = 0;

 protected:
  ~IHTMLElement() = default;
};

struct IHTMLElement2 : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLElement2)
  virtual HRESULT getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) = 0;

 protected:
  ~IHTMLElement2() = default;
};

struct IHTMLElementCollection : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLElementCollection)
  virtual HRESULT get_length(LONG* length) = 0;
  virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** element) = 0;
  virtual HRESULT tags(VARIANT tag, IDispatch** elements) = 0;

 protected:
  ~IHTMLElementCollection() = default;
};

struct IHTMLFormElement : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLFormElement)
  virtual HRESULT get_name(BSTR* name) = 0;
  virtual HRESULT get_action(BSTR* action) = 0;
  virtual HRESULT get_method(BSTR* method) = 0;
  virtual HRESULT get_length(LONG* length) = 0;
  virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** element) = 0;
  // Sends the form as a script does: no submit event, then navigation to the action.
  virtual HRESULT submit() = 0;

 protected:
  ~IHTMLFormElement() = default;
};

struct IHTMLInputElement : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLInputElement)
  virtual HRESULT get_type(BSTR* type) = 0;
  virtual HRESULT put_value(BSTR value) = 0;
  virtual HRESULT get_value(BSTR* value) = 0;
  virtual HRESULT get_name(BSTR* name) = 0;
  virtual HRESULT get_form(IHTMLFormElement** form) = 0;

 protected:
  ~IHTMLInputElement() = default;
};

struct IHTMLInputTextElement : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLInputTextElement)
  virtual HRESULT get_type(BSTR* type) = 0;
  virtual HRESULT put_value(BSTR value) = 0;
  virtual HRESULT get_value(BSTR* value) = 0;
  virtual HRESULT get_name(BSTR* name) = 0;
  virtual HRESULT get_form(IHTMLFormElement** form) = 0;

 protected:
  ~IHTMLInputTextElement() = default;
};

struct IHTMLSelectElement : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLSelectElement)
  virtual HRESULT get_type(BSTR* type) = 0;
  virtual HRESULT get_name(BSTR* name) = 0;
  virtual HRESULT get_value(BSTR* value) = 0;
  virtual HRESULT get_length(LONG* length) = 0;
  virtual HRESULT get_selectedIndex(LONG* index) = 0;
  // Options, by their index in Name (Index unused) or by name or id.
  virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** element) = 0;
  virtual HRESULT get_form(IHTMLFormElement** form) = 0;

 protected:
  ~IHTMLSelectElement() = default;
};

struct IHTMLOptionElement : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLOptionElement)
  virtual HRESULT put_selected(VARIANT_BOOL selected) = 0;
  virtual HRESULT get_selected(VARIANT_BOOL* selected) = 0;
  virtual HRESULT get_value(BSTR* value) = 0;
  virtual HRESULT get_text(BSTR* text) = 0;
  virtual HRESULT get_index(LONG* index) = 0;
  virtual HRESULT get_form(IHTMLFormElement** form) = 0;

 protected:
  ~IHTMLOptionElement() = default;
};

struct IHTMLDocument2 : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLDocument2)
  virtual HRESULT get_all(IHTMLElementCollection** all) = 0;
  virtual HRESULT get_body(IHTMLElement** body) = 0;
  virtual HRESULT get_forms(IHTMLElementCollection** forms) = 0;
  virtual HRESULT get_title(BSTR* title) = 0;
  virtual HRESULT get_URL(BSTR* url) = 0;
  virtual HRESULT get_readyState(BSTR* state) = 0;

 protected:
  ~IHTMLDocument2() = default;
};

struct IHTMLDocument3 : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLDocument3)
  virtual HRESULT getElementsByName(BSTR name, IHTMLElementCollection** elements) = 0;
  virtual HRESULT getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) = 0;
  virtual HRESULT getElementById(BSTR id, IHTMLElement** element) = 0;
  virtual HRESULT get_documentElement(IHTMLElement** root) = 0;

 protected:
  ~IHTMLDocument3() = default;
};

struct IHTMLEventObj : IDispatch {
  PELLIX_DISPATCH_INTERFACE(IHTMLEventObj)
  virtual HRESULT get_srcElement(IHTMLElement** element) = 0;
  virtual HRESULT get_type(BSTR* type) = 0;
  virtual HRESULT put_returnValue(VARIANT value) = 0;
  virtual HRESULT get_returnValue(VARIANT* value) = 0;

 protected:
  ~IHTMLEventObj() = default;
};

#undef PELLIX_DISPATCH_INTERFACE

// The browser's rules: how the browser model answers the object-model calls where a
// browser has a choice, in one place. The program relies on each of them. Both
// backends keep them: the in-process browser on the tree it parsed, the Chromium
// backend on its copy of the page's tree.
//
// Attributes. getAttribute and setAttribute (flags 0) find an attribute by its name
// regardless of ASCII case. A value keeps the type it was written with (text, 32-bit
// integer, byte, Boolean ...); parsed attributes are text. A missing attribute reads
// as VT_NULL. Setting an attribute that exists (in any case) replaces its value and
// keeps its first spelling; a new one is added after the others with the name as
// given. The attribute "type" of an input reads as the input's type (below). The
// attribute "style" reads as the inline style's text, and writing it replaces the
// inline style.
//
// Input types. An input reports its "type" attribute lower-cased when it names one of
// the HTML input types (text, password, hidden, checkbox, radio, submit, reset,
// button, file, image, email, url, tel, search, number, range, color, date,
// datetime-local, month, week, time); without the attribute, or with any other text,
// it reports "text".
//
// Names. getElementsByName, and collection items asked by name, match an element
// whose name or id equals the name regardless of ASCII case. getElementsByTagName
// matches tags regardless of case; "*" matches every element. getElementById matches
// the id exactly. Tag names read in upper case.
//
// Values. An input's value starts as its "value" attribute and follows that
// attribute until the value is set (by the user or by put_value); it is never written
// back into the attribute. A select offers the options inside it (also inside an
// optgroup); an option's text is its text with white space collapsed and trimmed; its
// value is its "value" attribute, else its text. A select without "multiple" always
// has exactly one selected option when it has any: the last one marked selected, else
// the first; selecting one option deselects the others. A select's value is the value
// of its first selected option, else empty.
//
// Form owners. A control (input, select, textarea, button) belongs to the form the
// parser associated it with: the form whose start tag came last before the control's
// tag with no "</form" end tag between them. That holds where the tree builder leaves
// the form empty (a form written between a table and its rows is moved out of them,
// but its controls are still its own). A control outside any such form belongs to the
// nearest form around it. A control with a "form" attribute belongs instead to the
// form that the attribute names (the first element with that id, when it is a form),
// and to no form when it names none; setting or removing the attribute (by the
// program, or on Chromium by a page's script) moves the control at once, a removed
// one to the nearest form around it. A control's form is its owner; a form's length and item are
// its controls; its all collection holds the elements inside it and the controls it
// owns outside it, in document order. getElementsByTagName stays with the
// elements inside. Any other element's form is the nearest form around it.
//
// outerHTML. One fixed form: "<" + upper-case tag, then for each attribute in order a
// blank, the name as stored, "=" and the value as text in double quotes (values that
// do not convert to text are empty); ">"; the content; "</" + tag + ">" except for
// void elements (area, base, br, col, embed, hr, img, input, link, meta, param,
// source, track, wbr). In attribute values & " < > are written as &amp; &quot; &lt;
// &gt;, in text & < > as &amp; &lt; &gt; (also inside script and style). Comments are
// dropped. Values the user typed are not part of it: only attributes are.
//
// Forms. A user's submit fires the form's submit event and then, unless a sink set the
// event object's returnValue to false, navigates to the form's action address (the
// page's own address when the action is empty; relative addresses are resolved
// against the page's address). submit() called by a program fires no event and
// navigates the same way.
//
// Frames. After a page has loaded (NavigateComplete2 has come), each frame and iframe
// element with a non-empty "src", in document order, loads that address (resolved
// against the page's address as a form's action is) into a frame object of its own:
// an IWebBrowser2 that answers its document, address and title and nothing else (a
// form inside a frame sends nothing). The window fires BeforeNavigate2 (a sink may
// cancel that frame), NavigateComplete2 and DocumentComplete for the frame, naming
// the frame object; then DocumentComplete for the page, naming the window's browser.
// (Chromium loads the frames side by side: a frame's BeforeNavigate2 may come before
// an earlier frame's other events; it announces only the frames it requests over the
// network, so a frame of an about: or data: address has no frame object there.) A
// frame of another site is read and written as one of the page's own site. A frame's
// own frames are not loaded, and the page's collections do not reach into its frames.
// Navigate2 announces every address with BeforeNavigate2 before it loads, also one
// that loads nothing over the network (about:, data:).
//
// Context menu. A right click fires the element's context-menu event; the sinks'
// answers only decide whether the browser's own menu would open.
//
// Collections. A collection is read by get_length and item(name, index): a numeric
// Name is the position (Index is then unused); a text Name selects the elements of
// that name or id, of which a numeric Index picks one, otherwise one match is answered
// itself and several as a collection. Positions outside the collection answer S_OK
// and null. Collections are taken when asked for; the page's structure never changes.
//
// Identity. Each element has exactly one object; two interface pointers are the same
// element when their IUnknown pointers are equal (platform::com::IsSameObject), never
// by comparing the interface pointers of different interfaces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/browser/document_tree.h"

namespace platform::browser {

std::u16string LowerCaseAscii(std::u16string_view text);
std::u16string UpperCaseAscii(std::u16string_view text);
bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b);

// Attributes.
const Attribute* FindAttribute(const Node& node, std::u16string_view name);
platform::com::Variant ReadAttribute(const Node& node, std::u16string_view name);
// The attribute as text when it is text, else empty.
std::u16string AttributeText(const Node& node, std::u16string_view name);
void WriteAttribute(Node& node, std::u16string_view name, const VARIANT& value);
bool RemoveAttribute(Node& node, std::u16string_view name);

// Element facts.
std::u16string TagName(const Node& node);
std::u16string InputType(const Node& node);
bool NameMatches(const Node& node, std::u16string_view name);
bool TagMatches(const Node& node, std::u16string_view tag);
std::u16string TextContent(const Node& node);
// Input, select, textarea and button: the elements a form counts as its own.
bool IsFormControl(const Node& node);
// The nearest form element around Node.
Node* FormAround(const Node& node);
// The form a control belongs to (its owner), else the nearest form around the element.
Node* FormOf(const Node& node);
// Whether the name is the attribute that gives a control its form.
bool IsFormAttribute(std::u16string_view name);
// A control's owner as its "form" attribute gives it (the form it names, else none),
// or the nearest form around it without the attribute; the tree's forms changed.
void ResetFormOwner(DocumentTree& tree, Node& control);
// The controls Form owns, in document order.
std::vector<Node*> FormControls(const DocumentTree& tree, const Node& form);
// What a form's all collection holds: the elements inside it and the controls it owns
// outside it, in document order; for any other element, the elements inside it.
std::vector<Node*> ElementsOf(const DocumentTree& tree, const Node& node);

// Values and selection.
std::u16string InputValue(const Node& node);
void SetInputValue(Node& node, std::u16string_view value);
std::vector<Node*> SelectOptions(const DocumentTree& tree, const Node& select);
Node* SelectOf(const Node& option);
std::u16string OptionText(const Node& option);
std::u16string OptionValue(const Node& option);
std::u16string SelectValue(const DocumentTree& tree, const Node& select);
void SetOptionSelected(const DocumentTree& tree, Node& option, bool selected);
// Applies the selection rule of a single select (called after parsing and changes).
void NormaliseSelection(const DocumentTree& tree, Node& select);
// Sets the input and option state that the parsed attributes give.
void LoadParsedState(Node& node);

// Inline style.
std::u16string StyleText(const Node& node);
void SetStyleProperty(Node& node, std::u16string_view name, std::u16string_view value);
std::u16string StyleValue(const Node& node, std::u16string_view name);

std::u16string OuterHtml(const Node& node);

// An address as a page refers to it (a form's action, a frame's source), resolved
// against the page's address; empty stays empty.
std::u16string ResolveAddress(std::u16string_view reference, const std::u16string& pageUrl);
// The address a submitted form navigates to.
std::u16string FormTarget(const Node& form, const std::u16string& pageUrl);
// The addresses the page's frames load, in document order.
std::vector<std::u16string> FrameAddresses(const DocumentTree& tree);

// The outcome of item(name, index) on a list of elements: an error, one element,
// several (a sub-collection), or nothing (S_OK and null).
struct ItemChoice {
  HRESULT result = S_OK;
  Node* one = nullptr;
  std::vector<Node*> several;
};
ItemChoice ChooseItem(const std::vector<Node*>& list, const VARIANT& name, const VARIANT& index);

}  // namespace platform::browser

#include "platform/browser/html_rules.h"

#include <algorithm>
#include <array>

namespace platform::browser {
namespace {

using platform::com::Variant;

constexpr std::array<std::u16string_view, 22> kInputTypes = {
    u"text",  u"password", u"hidden", u"checkbox", u"radio", u"submit", u"reset",          u"button",
    u"file",  u"image",    u"email",  u"url",      u"tel",   u"search", u"number",         u"range",
    u"color", u"date",     u"month",  u"week",     u"time",  u"datetime-local"};

constexpr std::array<std::u16string_view, 14> kVoidElements = {
    u"area", u"base", u"br", u"col", u"embed", u"hr", u"img", u"input", u"link", u"meta",
    u"param", u"source", u"track", u"wbr"};

bool IsAsciiSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

std::u16string CollapseSpaces(std::u16string_view text) {
  std::u16string out;
  bool space = false;
  for (char16_t c : text) {
    if (IsAsciiSpace(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out += u' ';
    space = false;
    out += c;
  }
  return out;
}

std::u16string Trim(std::u16string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsAsciiSpace(text[first])) ++first;
  while (last > first && IsAsciiSpace(text[last - 1])) --last;
  return std::u16string(text.substr(first, last - first));
}

Attribute* FindMutable(Node& node, std::u16string_view name) {
  for (Attribute& each : node.attributes) {
    if (SameNameIgnoringCase(each.name, name)) return &each;
  }
  return nullptr;
}

void ParseStyle(Node& node, std::u16string_view text) {
  node.style.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t stop = text.find(u';', start);
    if (stop == std::u16string_view::npos) stop = text.size();
    std::u16string_view declaration = text.substr(start, stop - start);
    std::size_t colon = declaration.find(u':');
    if (colon != std::u16string_view::npos) {
      std::u16string name = LowerCaseAscii(Trim(declaration.substr(0, colon)));
      if (!name.empty()) SetStyleProperty(node, name, Trim(declaration.substr(colon + 1)));
    }
    start = stop + 1;
  }
}

// Keeps the "style" attribute equal to the inline style's text.
void SyncStyleAttribute(Node& node) {
  Variant text = Variant::Text(StyleText(node));
  if (Attribute* style = FindMutable(node, u"style")) {
    style->value = std::move(text);
  } else {
    node.attributes.push_back({u"style", std::move(text)});
  }
}

void AppendEscaped(std::u16string& out, std::u16string_view text, bool inAttribute) {
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"':
        if (inAttribute) {
          out += u"&quot;";
          break;
        }
        out += c;
        break;
      default: out += c;
    }
  }
}

bool IsVoid(std::u16string_view tag) {
  return std::find(kVoidElements.begin(), kVoidElements.end(), tag) != kVoidElements.end();
}

void AppendOpenTag(std::u16string& out, const Node& node) {
  out += u'<';
  out += UpperCaseAscii(node.tag);
  for (const Attribute& attribute : node.attributes) {
    out += u' ';
    out += attribute.name;
    out += u"=\"";
    AppendEscaped(out, attribute.value.AsText(), true);
    out += u'"';
  }
  out += u'>';
}

// A numeric variant (not text) as a position.
bool AsPosition(const VARIANT& value, LONG& position) {
  VARTYPE vt = value.vt & ~VT_BYREF;
  if (vt == VT_BSTR || vt == VT_EMPTY || vt == VT_NULL || vt == VT_DISPATCH || vt == VT_UNKNOWN) {
    return false;
  }
  Variant converted;
  if (FAILED(VariantChangeType(converted.get(), &value, 0, VT_I4))) return false;
  position = converted.raw().lVal;
  return true;
}

Node* At(const std::vector<Node*>& list, LONG position) {
  if (position < 0 || static_cast<std::size_t>(position) >= list.size()) return nullptr;
  return list[position];
}

}  // namespace

std::u16string LowerCaseAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = c - u'A' + u'a';
  }
  return out;
}

std::u16string UpperCaseAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = c - u'a' + u'A';
  }
  return out;
}

// Compared in place: every attribute lookup asks, once per attribute of the element.
bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

const Attribute* FindAttribute(const Node& node, std::u16string_view name) {
  return FindMutable(const_cast<Node&>(node), name);
}

Variant ReadAttribute(const Node& node, std::u16string_view name) {
  if (node.kind == ElementKind::Input && SameNameIgnoringCase(name, u"type")) {
    return Variant::Text(InputType(node));
  }
  if (const Attribute* found = FindAttribute(node, name)) return found->value;
  return Variant::Null();
}

std::u16string AttributeText(const Node& node, std::u16string_view name) {
  const Attribute* found = FindAttribute(node, name);
  return found ? found->value.StringValue() : std::u16string();
}

void WriteAttribute(Node& node, std::u16string_view name, const VARIANT& value) {
  if (SameNameIgnoringCase(name, u"style")) {
    ParseStyle(node, Variant::CopyOf(value).AsText());
    SyncStyleAttribute(node);
    return;
  }
  if (Attribute* found = FindMutable(node, name)) {
    found->value = Variant::CopyOf(value);
  } else {
    node.attributes.push_back({std::u16string(name), Variant::CopyOf(value)});
  }
}

bool RemoveAttribute(Node& node, std::u16string_view name) {
  auto found = std::find_if(node.attributes.begin(), node.attributes.end(),
                            [&](const Attribute& each) { return SameNameIgnoringCase(each.name, name); });
  if (found == node.attributes.end()) return false;
  node.attributes.erase(found);
  if (SameNameIgnoringCase(name, u"style")) node.style.clear();
  return true;
}

std::u16string TagName(const Node& node) { return UpperCaseAscii(node.tag); }

std::u16string InputType(const Node& node) {
  std::u16string written = LowerCaseAscii(AttributeText(node, u"type"));
  bool known = std::find(kInputTypes.begin(), kInputTypes.end(), written) != kInputTypes.end();
  return known ? written : u"text";
}

namespace {

// Whether an attribute's value, as text, is the name (letter case aside); a text value
// is compared where it is, as a lookup by name asks every element of a form.
bool ValueIsName(const Attribute* attribute, std::u16string_view name) {
  if (attribute == nullptr) return false;
  const VARIANT& value = attribute->value.raw();
  if (value.vt != VT_BSTR) return SameNameIgnoringCase(attribute->value.AsText(), name);
  return SameNameIgnoringCase(value.bstrVal ? std::u16string_view(value.bstrVal, SysStringLen(value.bstrVal))
                                            : std::u16string_view(),
                              name);
}

}  // namespace

bool NameMatches(const Node& node, std::u16string_view name) {
  return ValueIsName(FindAttribute(node, u"name"), name) || ValueIsName(FindAttribute(node, u"id"), name);
}

bool TagMatches(const Node& node, std::u16string_view tag) {
  return tag == u"*" || SameNameIgnoringCase(node.tag, tag);
}

std::u16string TextContent(const Node& node) {
  std::u16string raw;
  std::vector<const Node*> pending{&node};
  while (!pending.empty()) {
    const Node* each = pending.back();
    pending.pop_back();
    if (each->isText) raw += each->text;
    for (auto it = each->children.rbegin(); it != each->children.rend(); ++it) pending.push_back(*it);
  }
  return CollapseSpaces(raw);
}

bool IsFormControl(const Node& node) {
  return node.kind == ElementKind::Input || node.kind == ElementKind::Select || node.tag == u"textarea" ||
         node.tag == u"button";
}

Node* FormAround(const Node& node) {
  for (Node* up = node.parent; up; up = up->parent) {
    if (up->kind == ElementKind::Form) return up;
  }
  return nullptr;
}

Node* FormOf(const Node& node) { return IsFormControl(node) ? node.form : FormAround(node); }

bool IsFormAttribute(std::u16string_view name) { return SameNameIgnoringCase(name, u"form"); }

void ResetFormOwner(DocumentTree& tree, Node& control) {
  if (!IsFormControl(control)) return;
  const Attribute* named = FindAttribute(control, u"form");
  if (!named) {
    control.form = FormAround(control);
  } else {
    const std::u16string id = named->value.AsText();
    auto first = std::find_if(tree.elements().begin(), tree.elements().end(),
                              [&id](const Node* each) { return AttributeText(*each, u"id") == id; });
    control.form = first != tree.elements().end() && (*first)->kind == ElementKind::Form ? *first : nullptr;
  }
  tree.FormsChanged();
}

std::vector<Node*> FormControls(const DocumentTree& tree, const Node& form) { return tree.ControlsOf(form); }

std::vector<Node*> ElementsOf(const DocumentTree& tree, const Node& node) {
  const std::span<Node* const> descendants = tree.Descendants(node);
  std::vector<Node*> inside(descendants.begin(), descendants.end());
  if (node.kind != ElementKind::Form) return inside;
  for (Node* each : FormControls(tree, node)) {
    if (each->order < node.order || each->order >= node.end) inside.push_back(each);
  }
  // The descendants come in document order; only controls from outside need placing.
  if (inside.size() > descendants.size()) {
    std::sort(inside.begin(), inside.end(), [](const Node* a, const Node* b) { return a->order < b->order; });
  }
  return inside;
}

std::u16string InputValue(const Node& node) {
  if (node.valueDirty) return node.value;
  const Attribute* initial = FindAttribute(node, u"value");
  return initial ? initial->value.AsText() : std::u16string();
}

void SetInputValue(Node& node, std::u16string_view value) {
  node.value = value;
  node.valueDirty = true;
}

std::vector<Node*> SelectOptions(const DocumentTree& tree, const Node& select) {
  std::vector<Node*> options;
  for (Node* each : tree.Descendants(select)) {
    if (each->kind == ElementKind::Option) options.push_back(each);
  }
  return options;
}

Node* SelectOf(const Node& option) {
  for (Node* up = option.parent; up; up = up->parent) {
    if (up->kind == ElementKind::Select) return up;
  }
  return nullptr;
}

std::u16string OptionText(const Node& option) { return TextContent(option); }

std::u16string OptionValue(const Node& option) {
  const Attribute* value = FindAttribute(option, u"value");
  return value ? value->value.AsText() : OptionText(option);
}

std::u16string SelectValue(const DocumentTree& tree, const Node& select) {
  for (Node* option : SelectOptions(tree, select)) {
    if (option->selected) return OptionValue(*option);
  }
  return {};
}

void SetOptionSelected(const DocumentTree& tree, Node& option, bool selected) {
  Node* select = SelectOf(option);
  if (selected && select && !FindAttribute(*select, u"multiple")) {
    for (Node* other : SelectOptions(tree, *select)) other->selected = false;
  }
  option.selected = selected;
  if (select) NormaliseSelection(tree, *select);
}

void NormaliseSelection(const DocumentTree& tree, Node& select) {
  if (FindAttribute(select, u"multiple")) return;
  std::vector<Node*> options = SelectOptions(tree, select);
  if (options.empty()) return;
  Node* chosen = nullptr;
  for (Node* option : options) {
    if (option->selected) chosen = option;
  }
  if (!chosen) chosen = options.front();
  for (Node* option : options) option->selected = option == chosen;
}

void LoadParsedState(Node& node) {
  if (node.kind == ElementKind::Option) node.selected = FindAttribute(node, u"selected") != nullptr;
  if (const Attribute* style = FindAttribute(node, u"style")) ParseStyle(node, style->value.AsText());
}

std::u16string StyleText(const Node& node) {
  std::u16string text;
  for (const StyleProperty& each : node.style) {
    if (!text.empty()) text += u"; ";
    text += each.name + u": " + each.value;
  }
  return text;
}

void SetStyleProperty(Node& node, std::u16string_view name, std::u16string_view value) {
  std::u16string key = LowerCaseAscii(name);
  auto found = std::find_if(node.style.begin(), node.style.end(),
                            [&](const StyleProperty& each) { return each.name == key; });
  if (found != node.style.end()) {
    found->value = value;
  } else {
    node.style.push_back({key, std::u16string(value)});
  }
  SyncStyleAttribute(node);
}

std::u16string StyleValue(const Node& node, std::u16string_view name) {
  std::u16string key = LowerCaseAscii(name);
  for (const StyleProperty& each : node.style) {
    if (each.name == key) return each.value;
  }
  return {};
}

std::u16string OuterHtml(const Node& node) {
  std::u16string out;
  // Each entry is a node to open, or (closing set) an element whose end tag is due.
  std::vector<std::pair<const Node*, bool>> pending{{&node, false}};
  while (!pending.empty()) {
    auto [each, closing] = pending.back();
    pending.pop_back();
    if (closing) {
      out += u"</" + UpperCaseAscii(each->tag) + u">";
      continue;
    }
    if (each->isText) {
      AppendEscaped(out, each->text, false);
      continue;
    }
    AppendOpenTag(out, *each);
    if (IsVoid(each->tag)) continue;
    pending.emplace_back(each, true);
    for (auto it = each->children.rbegin(); it != each->children.rend(); ++it) pending.emplace_back(*it, false);
  }
  return out;
}

std::u16string ResolveAddress(std::u16string_view reference, const std::u16string& pageUrl) {
  std::u16string action = Trim(reference);
  if (action.empty()) return action;
  if (action.find(u"://") != std::u16string::npos) return action;
  std::size_t schemeEnd = pageUrl.find(u"://");
  std::size_t hostEnd = schemeEnd == std::u16string::npos ? std::u16string::npos : pageUrl.find(u'/', schemeEnd + 3);
  std::u16string origin = hostEnd == std::u16string::npos ? pageUrl : pageUrl.substr(0, hostEnd);
  if (action.front() == u'/') return origin + action;
  std::u16string path = pageUrl.substr(0, pageUrl.find_first_of(u"?#"));
  std::size_t lastSlash = path.rfind(u'/');
  if (hostEnd == std::u16string::npos || lastSlash == std::u16string::npos || lastSlash < hostEnd) {
    return origin + u"/" + action;
  }
  return path.substr(0, lastSlash + 1) + action;
}

std::u16string FormTarget(const Node& form, const std::u16string& pageUrl) {
  std::u16string action = ResolveAddress(AttributeText(form, u"action"), pageUrl);
  return action.empty() ? pageUrl : action;
}

std::vector<std::u16string> FrameAddresses(const DocumentTree& tree) {
  std::vector<std::u16string> addresses;
  for (const Node* node : tree.elements()) {
    if (node->tag != u"frame" && node->tag != u"iframe") continue;
    std::u16string address = ResolveAddress(AttributeText(*node, u"src"), tree.url());
    if (!address.empty()) addresses.push_back(std::move(address));
  }
  return addresses;
}

ItemChoice ChooseItem(const std::vector<Node*>& list, const VARIANT& name, const VARIANT& index) {
  ItemChoice choice;
  LONG position = 0;
  if (AsPosition(name, position)) {
    choice.one = At(list, position);
    return choice;
  }
  Variant text;
  if ((name.vt & ~VT_BYREF) != VT_BSTR || FAILED(VariantChangeType(text.get(), &name, 0, VT_BSTR))) {
    choice.result = E_INVALIDARG;
    return choice;
  }
  std::vector<Node*> matches;
  const std::u16string wanted = text.StringValue();
  for (Node* each : list) {
    if (NameMatches(*each, wanted)) matches.push_back(each);
  }
  if (AsPosition(index, position)) {
    choice.one = At(matches, position);
  } else if (matches.size() == 1) {
    choice.one = matches.front();
  } else if (matches.size() > 1) {
    choice.several = std::move(matches);
  }
  return choice;
}

}  // namespace platform::browser

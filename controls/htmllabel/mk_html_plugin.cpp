#include "controls/htmllabel/mk_html_plugin.h"

#include <cstring>

#include "controls/htmllabel/mk_handlers.h"
#include "controls/htmllabel/mk_html_names.h"
#include "controls/htmllabel/mk_utils.h"

namespace {

constexpr TMkPieceKind kFamilyKinds[kMkTagFamilyCount] = {pkCustomTag, pkHtmlTag, pkSsiTag};

// Read-method records live in the character-set table as raw 24-byte items.
void ZeroItem(void* item) { std::memset(item, 0, sizeof(TMkUnicodeReadMethods)); }

}  // namespace

TMkHash& MkCharSetTable() {
  static TMkItemHandler& handler = *[] {
    auto* h = new TMkItemHandler;
    h->SetItemSize(static_cast<std::int32_t>(sizeof(TMkUnicodeReadMethods)));
    h->SetOnInitItem(ZeroItem);
    return h;
  }();
  static TMkHash table(&handler, MkWideStringCIKeyHandler());
  return table;
}

TMkHtmlParserPlugin::TMkHtmlParserPlugin() {
  for (int f = 0; f < kMkTagFamilyCount; ++f) {
    auto family = static_cast<TMkTagFamily>(f);
    tagFilters_[f] = std::make_unique<TMkTagFilter>([this, family] { TagFamilyChanged(family); });
    tagLists_[f] = std::make_unique<TMkTagFilters>();
    tagLists_[f]->AddUser(this);
    tagTables_[f] = std::make_unique<TMkCardinalHash>(MkCardinalKeyHandler());
    const std::uint32_t m = kMkParserFilterCodes[fiHide] | (kMkParserFilterCodes[fiHide] << 8);
    words_[kFamilyKinds[f]] = m | (m << 16);
  }
  for (int k = 1; k < kMkPieceKindCount; ++k) {
    if (k != pkCustomTag && k != pkHtmlTag && k != pkSsiTag) words_[k] = kMkPluginFilterCodes[fiHide] << 16;
  }
}

TMkHtmlParserPlugin::~TMkHtmlParserPlugin() {
  if (parser_ != nullptr) parser_->Detach(this);
  for (auto& list : tagLists_) list->RemoveUser(this);
}

void TMkHtmlParserPlugin::SetHtmlParser(TMkHtmlParser* parser) {
  if (parser == parser_) return;
  if (parser_ != nullptr) parser_->Detach(this);
  if (parser != nullptr) parser->Attach(this);
}

void TMkHtmlParserPlugin::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (parser_ != nullptr) parser_->RecomputeAll();
}

void TMkHtmlParserPlugin::SetFilter(TMkPieceKind kind, TMkFilter value) {
  if (kind == pkNone || kind >= kMkPieceKindCount) return;
  for (int f = 0; f < kMkTagFamilyCount; ++f) {
    if (kFamilyKinds[f] == kind) {
      tagFilters_[f]->Set(value, value);
      return;
    }
  }
  filters_[kind] = value;
  words_[kind] = kMkPluginFilterCodes[value] << 16;
  if (parser_ != nullptr) parser_->RecomputeKind(kind);
}

void TMkHtmlParserPlugin::TagFamilyChanged(TMkTagFamily family) {
  std::uint32_t m = kMkParserFilterCodes[tagFilters_[family]->StartTags()] |
                    (kMkParserFilterCodes[tagFilters_[family]->EndTags()] << 8);
  std::uint32_t& word = words_[kFamilyKinds[family]];
  word = (word & 0x80808080u) | m | (m << 16);
  if (parser_ != nullptr) parser_->RecomputeFamily(family);
}

std::uint32_t TMkHtmlParserPlugin::TagWord(TMkTagFamily family, std::uint32_t tagId) const {
  const void* item = tagTables_[family]->Find(&tagId);
  return item != nullptr ? MkCardinalAt(item) : words_[kFamilyKinds[family]];
}

void TMkHtmlParserPlugin::TagFilterChanged(TMkTagFilters* list, std::uint32_t tagId) {
  if (parser_ == nullptr || !enabled_) return;
  for (int f = 0; f < kMkTagFamilyCount; ++f) {
    if (tagLists_[f].get() == list) parser_->RecomputeTag(static_cast<TMkTagFamily>(f), tagId);
  }
}

void TMkHtmlParserPlugin::TagFiltersDestroyed(TMkTagFilters*) {
  // The plug-in's lists end with the plug-in itself, after it has left its parser.
}

void TMkHtmlParserPlugin::CallHook(TMkPieceKind kind, bool& deliver) {
  switch (kind) {
    case pkASP: OnASP(deliver); break;
    case pkCDataSection: OnCDataSection(deliver); break;
    case pkComment: OnComment(deliver); break;
    case pkCustomTag: OnCustomTag(deliver); break;
    case pkDTD: OnDTD(deliver); break;
    case pkExclamationMarkup: OnExclamationMarkup(deliver); break;
    case pkHtmlPI: OnHtmlPI(deliver); break;
    case pkHtmlTag: OnHtmlTag(deliver); break;
    case pkPHP: OnPHP(deliver); break;
    case pkScript: OnScript(deliver); break;
    case pkSsiTag: OnSsiTag(deliver); break;
    case pkStyle: OnStyle(deliver); break;
    case pkText: OnText(deliver); break;
    case pkTitle: OnTitle(deliver); break;
    case pkXmlPI: OnXmlPI(deliver); break;
    case pkNone: break;
  }
}

void TMkHtmlParserPlugin::OnASP(bool&) {}
void TMkHtmlParserPlugin::OnCDataSection(bool&) {}
void TMkHtmlParserPlugin::OnComment(bool&) {}
void TMkHtmlParserPlugin::OnCustomTag(bool&) {}
void TMkHtmlParserPlugin::OnDTD(bool&) {}
void TMkHtmlParserPlugin::OnExclamationMarkup(bool&) {}
void TMkHtmlParserPlugin::OnHtmlPI(bool&) {}
void TMkHtmlParserPlugin::OnPHP(bool&) {}
void TMkHtmlParserPlugin::OnScript(bool&) {}
void TMkHtmlParserPlugin::OnSsiTag(bool&) {}
void TMkHtmlParserPlugin::OnStyle(bool&) {}
void TMkHtmlParserPlugin::OnHtmlTag(bool&) {}
void TMkHtmlParserPlugin::OnText(bool&) {}
void TMkHtmlParserPlugin::OnTitle(bool&) {}
void TMkHtmlParserPlugin::OnXmlPI(bool&) {}
void TMkHtmlParserPlugin::OnAttach() {}

// ---------------------------------------------------------------- character set

TMkHtmlCharSetPlugin::TMkHtmlCharSetPlugin() {
  TagFilters(tfHtml).SetFilter(kMkTagMeta, fiShowLocal);
  SetFilter(pkXmlPI, fiShowLocal);
}

void TMkHtmlCharSetPlugin::OnAttach() {
  TMkHtmlParserPlugin::OnAttach();
  HtmlParser()->SetReadMethods(defaultReadMethods_);
}

void TMkHtmlCharSetPlugin::OnHtmlTag(bool&) {
  const TMkTag* tag = HtmlParser()->Tag();
  if (tag == nullptr || tag->ID != kMkTagMeta || tag->TagType == kMkEndTag) return;
  const std::u16string content = tag->AttributeValue(kMkAttrContent);
  if (!TextEqualsNoCase(tag->AttributeValue(kMkAttrHttpEquiv), u"Content-Type") || content.empty()) return;
  std::int32_t at = TextPosNoCase(u"charset", content, 1);
  if (at == 0) return;
  std::size_t i = static_cast<std::size_t>(at - 1) + 7;
  while (i < content.size() && CharIsSpace(content[i])) ++i;
  if (i >= content.size() || content[i] != u'=') return;
  ++i;
  while (i < content.size() && CharIsSpace(content[i])) ++i;
  std::size_t end = i;
  while (end < content.size() && CharIsNameChar(content[end])) ++end;
  ChangeCharSet(content.substr(i, end - i));
}

void TMkHtmlCharSetPlugin::OnXmlPI(bool&) {
  // The declaration's data read as the attributes of a tag.
  TMkHtmlParser reader;
  reader.SetSourceWideString(u"<XML " + HtmlParser()->PieceText());
  reader.SetReadMethods(kMkUtf16LEReadMethods);
  reader.FilterHtmlTags().SetStartTags(fiShowLocal);
  if (!reader.ReadNextPiece() || reader.Tag() == nullptr) return;
  std::u16string name = reader.Tag()->AttributeValue(41);
  if (!name.empty()) ChangeCharSet(name);
}

void TMkHtmlCharSetPlugin::ChangeCharSet(const std::u16string& name) {
  TMkUnicodeReadMethods methods = defaultReadMethods_;
  const void* found = MkCharSetTable().FindByBuffer(name.data(), static_cast<std::int32_t>(name.size()));
  if (found != nullptr) std::memcpy(&methods, found, sizeof methods);
  if (onCharSetChange_) {
    bool allowChange = true;
    onCharSetChange_(*this, name, methods, allowChange);
    if (!allowChange) return;
  }
  HtmlParser()->SetReadMethods(methods);
}

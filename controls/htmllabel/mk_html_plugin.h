// Parser plug-ins: a plug-in attaches to one parser and is told of the pieces its
// own filters ask for, even when the parser's filters hide them from the parser's
// user. The character-set plug-in watches META tags and XML declarations for a
// declared character set and switches the reader's decoder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/htmllabel/mk_html_parser.h"

class TMkHtmlParserPlugin : private IMkTagFiltersUser {
 public:
  TMkHtmlParserPlugin();
  // Detaches from its parser.
  virtual ~TMkHtmlParserPlugin();
  TMkHtmlParserPlugin(const TMkHtmlParserPlugin&) = delete;
  TMkHtmlParserPlugin& operator=(const TMkHtmlParserPlugin&) = delete;

  TMkHtmlParser* HtmlParser() const { return parser_; }
  void SetHtmlParser(TMkHtmlParser* parser);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);

  // The plug-in's own filters: per piece kind, per tag family, and per tag.
  TMkFilter Filter(TMkPieceKind kind) const { return filters_[kind]; }
  void SetFilter(TMkPieceKind kind, TMkFilter value);
  TMkTagFilter& FilterCustomTags() { return *tagFilters_[tfCustom]; }
  TMkTagFilter& FilterHtmlTags() { return *tagFilters_[tfHtml]; }
  TMkTagFilter& FilterSsiTags() { return *tagFilters_[tfSsi]; }
  TMkTagFilters& TagFilters(TMkTagFamily family) { return *tagLists_[family]; }
  std::uint32_t FilterWord(TMkPieceKind kind) const { return words_[kind]; }

  // Piece hooks, called after the piece has been read; deliver says whether the
  // parser hands the piece to its own caller, and a hook may change it.
  virtual void OnASP(bool& deliver);
  virtual void OnCDataSection(bool& deliver);
  virtual void OnComment(bool& deliver);
  virtual void OnCustomTag(bool& deliver);
  virtual void OnDTD(bool& deliver);
  virtual void OnExclamationMarkup(bool& deliver);
  virtual void OnHtmlPI(bool& deliver);
  virtual void OnPHP(bool& deliver);
  virtual void OnScript(bool& deliver);
  virtual void OnSsiTag(bool& deliver);
  virtual void OnStyle(bool& deliver);
  virtual void OnHtmlTag(bool& deliver);
  virtual void OnText(bool& deliver);
  virtual void OnTitle(bool& deliver);
  virtual void OnXmlPI(bool& deliver);
  virtual void OnAttach();

 private:
  friend class TMkHtmlParser;
  void CallHook(TMkPieceKind kind, bool& deliver);
  void TagFamilyChanged(TMkTagFamily family);
  // The plug-in's word for a tag: its per-tag entry, else its family word.
  std::uint32_t TagWord(TMkTagFamily family, std::uint32_t tagId) const;
  void TagFilterChanged(TMkTagFilters* list, std::uint32_t tagId) override;
  void TagFiltersDestroyed(TMkTagFilters* list) override;

  TMkHtmlParser* parser_ = nullptr;
  bool enabled_ = true;
  TMkFilter filters_[kMkPieceKindCount] = {};
  std::uint32_t words_[kMkPieceKindCount] = {};
  std::unique_ptr<TMkTagFilter> tagFilters_[kMkTagFamilyCount];
  std::unique_ptr<TMkTagFilters> tagLists_[kMkTagFamilyCount];
  std::unique_ptr<TMkCardinalHash> tagTables_[kMkTagFamilyCount];
};

class TMkHtmlCharSetPlugin;
using TMkHtmlCharSetPluginEvent = std::function<void(TMkHtmlCharSetPlugin& sender, const std::u16string& charSet,
                                                     TMkUnicodeReadMethods& readMethods, bool& allowChange)>;

class TMkHtmlCharSetPlugin : public TMkHtmlParserPlugin {
 public:
  TMkHtmlCharSetPlugin();

  const TMkUnicodeReadMethods& DefaultReadMethods() const { return defaultReadMethods_; }
  const TMkHtmlCharSetPluginEvent& OnCharSetChange() const { return onCharSetChange_; }
  void SetOnCharSetChange(TMkHtmlCharSetPluginEvent handler) { onCharSetChange_ = std::move(handler); }

  void OnHtmlTag(bool& deliver) override;
  void OnXmlPI(bool& deliver) override;
  void OnAttach() override;

 private:
  void ChangeCharSet(const std::u16string& name);

  TMkUnicodeReadMethods defaultReadMethods_ = kMkDefaultReadMethods;
  TMkHtmlCharSetPluginEvent onCharSetChange_;
};

// The character-set name table (names compared without case). The program adds no
// entries, so every declared character set resolves to the default read methods.
TMkHash& MkCharSetTable();

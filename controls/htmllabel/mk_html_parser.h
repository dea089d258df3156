// A pull tokenizer for HTML and related markup. Each ReadNextPiece delivers one
// piece (a tag, a run of text, a comment, ...) with its kind, its text and, for
// tags, the tag object with its attributes. Per-kind filters decide which pieces
// are delivered; attached plug-ins are told of the pieces their own filters ask for.
// Malformed input never raises: it becomes text or an exclamation markup, unknown
// names get ID 0, unknown references stay as written, and the input's end ends
// the current piece.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/htmllabel/mk_html_filters.h"
#include "controls/htmllabel/mk_html_tags.h"
#include "controls/htmllabel/mk_unicode_reader.h"

class TMkHtmlParserPlugin;

enum TMkPieceKind : std::uint8_t {
  pkNone = 0,
  pkASP = 1,
  pkCDataSection = 2,
  pkComment = 3,
  pkCustomTag = 4,
  pkDTD = 5,
  pkExclamationMarkup = 6,
  pkHtmlPI = 7,
  pkHtmlTag = 8,
  pkPHP = 9,
  pkScript = 10,
  pkSsiTag = 11,
  pkStyle = 12,
  pkText = 13,
  pkTitle = 14,
  pkXmlPI = 15,
};
inline constexpr int kMkPieceKindCount = 16;  // index 0 unused

// The three tag families, each with its own filter, per-tag table and tag object.
enum TMkTagFamily : std::uint8_t { tfCustom = 0, tfHtml = 1, tfSsi = 2 };
inline constexpr int kMkTagFamilyCount = 3;

class TMkHtmlParser : public TMkUnicodeReader {
 public:
  TMkHtmlParser();
  ~TMkHtmlParser() override;
  std::string ClassName() const override { return "TMkHtmlParser"; }

  // Reads pieces until one is delivered (true), the input ends or Stop was called (false).
  bool ReadNextPiece();
  void Stop() { stop_ = true; }

  TMkPieceKind PieceKind() const { return kind_; }
  std::u16string PieceText() const { return Data(); }
  std::u16string PieceTextTrimmed() const { return DataTrimmedLeft(); }
  // The tag of the current tag piece (nil for other pieces).
  const TMkTag* Tag() const { return tag_; }
  std::uint32_t PieceLine() const { return pieceLine_; }
  std::uint32_t PieceColumn() const { return pieceColumn_; }
  std::uint32_t PieceOffset() const { return pieceOffset_; }

  const std::u16string& DefaultContentScriptType() const { return defaultContentScriptType_; }
  void SetDefaultContentScriptType(const std::u16string& value) { defaultContentScriptType_ = value; }
  bool EnableASP() const { return enableASP_; }
  void SetEnableASP(bool value) { enableASP_ = value; }
  bool EnableCustomTags() const { return enableCustomTags_; }
  void SetEnableCustomTags(bool value) { enableCustomTags_ = value; }
  bool EnableHtmlTags() const { return enableHtmlTags_; }
  void SetEnableHtmlTags(bool value) { enableHtmlTags_ = value; }
  bool EnablePHP() const { return enablePHP_; }
  void SetEnablePHP(bool value) { enablePHP_ = value; }
  bool EnableSSI() const { return enableSSI_; }
  void SetEnableSSI(bool value) { enableSSI_ = value; }
  bool NormalizeWhiteSpace() const { return (whiteSpace_ & 0x80000000u) == 0; }
  void SetNormalizeWhiteSpace(bool value);
  bool TrimAttribValues() const { return trimAttribValues_; }
  void SetTrimAttribValues(bool value) { trimAttribValues_ = value; }
  std::uint32_t PluginCount() const { return static_cast<std::uint32_t>(plugins_.size()); }

  // Filters of the kinds that are not tags; the tag families have TMkTagFilter objects.
  TMkFilter Filter(TMkPieceKind kind) const;
  void SetFilter(TMkPieceKind kind, TMkFilter value);
  TMkTagFilter& FilterCustomTags() { return *tagFilters_[tfCustom]; }
  TMkTagFilter& FilterHtmlTags() { return *tagFilters_[tfHtml]; }
  TMkTagFilter& FilterSsiTags() { return *tagFilters_[tfSsi]; }
#define MK_FILTER_PROPERTY(Name, kind)                         \
  TMkFilter Name() const { return Filter(kind); }              \
  void Set##Name(TMkFilter value) { SetFilter(kind, value); }
  MK_FILTER_PROPERTY(FilterASPs, pkASP)
  MK_FILTER_PROPERTY(FilterCDataSections, pkCDataSection)
  MK_FILTER_PROPERTY(FilterComments, pkComment)
  MK_FILTER_PROPERTY(FilterDTDs, pkDTD)
  MK_FILTER_PROPERTY(FilterExclamationMarkups, pkExclamationMarkup)
  MK_FILTER_PROPERTY(FilterHtmlPIs, pkHtmlPI)
  MK_FILTER_PROPERTY(FilterPHPs, pkPHP)
  MK_FILTER_PROPERTY(FilterScripts, pkScript)
  MK_FILTER_PROPERTY(FilterStyles, pkStyle)
  MK_FILTER_PROPERTY(FilterText, pkText)
  MK_FILTER_PROPERTY(FilterTitles, pkTitle)
  MK_FILTER_PROPERTY(FilterXmlPIs, pkXmlPI)
#undef MK_FILTER_PROPERTY

  // The computed filter word of a piece kind (tag kinds: the family word) and the
  // per-tag word of a tag ID, 0 when the family's table has no entry.
  std::uint32_t FilterWord(TMkPieceKind kind) const { return words_[kind]; }
  std::uint32_t TagWord(TMkTagFamily family, std::uint32_t tagId) const;

 protected:
  void ResetSource() override;

 private:
  friend class TMkHtmlParserPlugin;

  enum class Outcome { Delivered, Hidden, End };
  Outcome ReadOnePiece();
  Outcome FinishPiece(TMkPieceKind kind, bool deliver, bool forPlugins);

  // Markup after "<".
  Outcome ReadExclamation();
  Outcome ReadQuestion();
  Outcome ReadHtmlTag(bool endTag);
  Outcome ReadCustomTag(bool endTag);
  Outcome ReadSsiTag(bool endTag);
  Outcome ReadText();
  Outcome ReadContent(TMkPieceKind kind);
  void ReadScript(bool keep);
  void ReadJavaScript(bool keep);
  bool IsJavaScript() const;

  // Helpers of the scanners.
  void Take(bool keep);
  bool MatchKeyword(const char16_t* keyword);
  bool AtEndTagOf(const char16_t* name);
  void ReadUntilPair(char16_t first, char16_t second, bool keep);
  void ReadUntilDoubledThenGt(char16_t doubled, bool keep);
  void ReadJsLineComment(bool keep);
  bool JsEscapeAhead(std::int32_t& length);
  std::int32_t JsOperatorLength();
  bool TextEndsHere();
  void ReadTagName(TMkTag& tag, bool store);
  void ReadAttributes(TMkTag& tag, bool store);
  void ReadSsiAttributes(TMkTag& tag, bool store);
  // Length of the run of "-" at the current character and whether ">" follows it.
  std::int32_t DashRun(bool& gtFollows);
  // At a run of two or more "-" and ">": consumes the dashes (">" stays current).
  bool TakeSsiEnd();
  void TakeRun(std::int32_t n, bool keep, std::u16string* out);
  void ReadSsiName(TMkTag& tag, bool store);
  std::uint32_t ReadFamilyTagName(TMkTag& tag, TMkTagFamily family, bool endTag, bool& store,
                                  void (TMkHtmlParser::*readName)(TMkTag&, bool));
  std::u16string ReadQuotedValue(char16_t quote, bool ssi);
  // Decodes a reference at "&" into out (nil: the data buffer) or keeps it as written.
  void AppendReference(std::u16string* out, bool normalize);
  void AppendDecoded(char16_t c, std::u16string* out, bool normalize);
  void AfterStartTag(const TMkTag& tag, bool attributesRead);
  void TellPlugins(TMkPieceKind kind, bool& deliver);
  Outcome FinishTag(TMkTag& tag, TMkTagFamily family, std::uint32_t word);

  // Filter combination (with the attached plug-ins).
  void RecomputeAll();
  void RecomputeKind(TMkPieceKind kind);
  void RecomputeFamily(TMkTagFamily family);
  void RecomputeTag(TMkTagFamily family, std::uint32_t tagId);
  std::vector<TMkHtmlParserPlugin*> EnabledPlugins() const;
  void Attach(TMkHtmlParserPlugin* plugin);
  void Detach(TMkHtmlParserPlugin* plugin);

  TMkPieceKind kind_ = pkNone;
  TMkPieceKind pendingContent_ = pkNone;
  bool keepChar_ = false;
  bool stop_ = false;
  const TMkTag* tag_ = nullptr;
  std::uint32_t pieceLine_ = 0;
  std::uint32_t pieceColumn_ = 0;
  std::uint32_t pieceOffset_ = 0;

  std::u16string defaultContentScriptType_;
  std::u16string documentScriptType_;
  bool enableASP_ = false;
  bool enableCustomTags_ = false;
  bool enableHtmlTags_ = true;
  bool enablePHP_ = false;
  bool enableSSI_ = false;
  bool trimAttribValues_ = false;
  // Bit 31: normalisation off; low 31 bits: open PRE elements.
  std::uint32_t whiteSpace_ = 0x80000000u;
  char16_t customTagMarker_ = u'#';

  TMkHtmlTag htmlTag_;
  TMkCustomTag customTag_;
  TMkSsiTag ssiTag_;
  TMkFilter filters_[kMkPieceKindCount] = {};
  std::uint32_t words_[kMkPieceKindCount] = {};
  std::uint32_t masks_[kMkPieceKindCount];
  std::unique_ptr<TMkTagFilter> tagFilters_[kMkTagFamilyCount];
  std::unique_ptr<TMkCardinalHash> tagTables_[kMkTagFamilyCount];
  std::vector<TMkHtmlParserPlugin*> plugins_;  // in order of attachment
};

#include "controls/htmllabel/mk_html_parser.h"

#include <algorithm>
#include <set>

#include "controls/htmllabel/mk_handlers.h"
#include "controls/htmllabel/mk_html_names.h"
#include "controls/htmllabel/mk_html_plugin.h"
#include "controls/htmllabel/mk_utils.h"

namespace {

// Bits of the filter words: the low byte concerns start tags and other pieces, the
// second byte end tags; the high half what the plug-ins get.
constexpr std::uint32_t kDeliver = 0x20;
constexpr std::uint32_t kAttributes = 0x40;
constexpr std::uint32_t kEndDeliver = 0x2000;
constexpr std::uint32_t kPluginPiece = 0x200000;     // a plug-in wants the piece / start tags
constexpr std::uint32_t kPluginWantsEnd = 0x20000000;
constexpr std::uint32_t kPluginStart = 0x400000;     // the parser processes start tags for plug-ins
constexpr std::uint32_t kPluginEnd = 0x40000000;
constexpr std::uint32_t kValueMask = 0x1F;

constexpr TMkPieceKind kFamilyKinds[kMkTagFamilyCount] = {pkCustomTag, pkHtmlTag, pkSsiTag};

bool IsTagKind(TMkPieceKind kind) { return kind == pkCustomTag || kind == pkHtmlTag || kind == pkSsiTag; }

bool IsNameStart(char16_t c) { return CharIsAsciiLetter(c); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Numeric references 128..159 mean what code page 1252 puts there; NUL and lone
// surrogate halves, which no text may hold, become U+FFFD as in every current HTML
// parser (two references never join into one surrogate pair).
char16_t MapNumericReference(std::uint32_t value) {
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
  static const char16_t kCp1252[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  if (value >= 128 && value <= 159) return kCp1252[value - 128];
  return static_cast<char16_t>(value);
}

bool IsJsSpace(char16_t c) {
  return c <= 32 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x3000;
}

bool IsJsLineEnd(char16_t c) { return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029; }

bool IsJsWordChar(char16_t c) { return CharIsAsciiLetter(c) || IsDigit(c) || c == u'_' || c == u'$'; }

// Sets or clears bits by a condition.
std::uint32_t SetBits(std::uint32_t word, std::uint32_t bits, bool on) { return on ? word | bits : word & ~bits; }

// A fiShowHidden or fiShowShown value gets its bits by whether the side is shown;
// answers whether a plug-in with that value receives the side.
bool ApplyConditional(std::uint32_t& word, TMkFilter value, bool shown, std::uint32_t bits) {
  if (value == fiShowHidden) {
    word = SetBits(word, bits, !shown);
    return !shown;
  }
  if (value == fiShowShown) {
    word = SetBits(word, bits, shown);
    return shown;
  }
  return value == fiShow || value == fiShowLocal;
}

// The same for a code in a word (low five bits: $02 fiShowHidden, $04 fiShowShown).
void ApplyConditionalCode(std::uint32_t& word, std::uint32_t code, bool shown, std::uint32_t bits) {
  if ((code & kValueMask) == 0x02) word = SetBits(word, bits, !shown);
  if ((code & kValueMask) == 0x04) word = SetBits(word, bits, shown);
}

}  // namespace

// ---------------------------------------------------------------- life cycle

TMkHtmlParser::TMkHtmlParser() {
  std::fill(std::begin(masks_), std::end(masks_), 0xFFFFFFFFu);
  for (int f = 0; f < kMkTagFamilyCount; ++f) {
    auto family = static_cast<TMkTagFamily>(f);
    tagTables_[f] = std::make_unique<TMkCardinalHash>(MkCardinalKeyHandler());
    tagFilters_[f] = std::make_unique<TMkTagFilter>([this, family] {
      std::uint32_t& word = words_[kFamilyKinds[family]];
      word = (word & ~0x7F7Fu) | kMkParserFilterCodes[tagFilters_[family]->StartTags()] |
             (kMkParserFilterCodes[tagFilters_[family]->EndTags()] << 8);
      RecomputeFamily(family);
    });
    words_[kFamilyKinds[f]] = kMkParserFilterCodes[fiHide] | (kMkParserFilterCodes[fiHide] << 8);
  }
  RecomputeAll();
}

TMkHtmlParser::~TMkHtmlParser() {
  for (TMkHtmlParserPlugin* plugin : plugins_) plugin->parser_ = nullptr;
}

void TMkHtmlParser::ResetSource() {
  TMkUnicodeReader::ResetSource();
  kind_ = pkNone;
  pendingContent_ = pkNone;
  keepChar_ = false;
  tag_ = nullptr;
  documentScriptType_.clear();
  whiteSpace_ &= 0x80000000u;
}

void TMkHtmlParser::SetNormalizeWhiteSpace(bool value) { whiteSpace_ = SetBits(whiteSpace_, 0x80000000u, !value); }

TMkFilter TMkHtmlParser::Filter(TMkPieceKind kind) const {
  for (int f = 0; f < kMkTagFamilyCount; ++f) {
    if (kFamilyKinds[f] == kind) return tagFilters_[f]->StartTags();
  }
  return filters_[kind];
}

void TMkHtmlParser::SetFilter(TMkPieceKind kind, TMkFilter value) {
  for (int f = 0; f < kMkTagFamilyCount; ++f) {
    if (kFamilyKinds[f] == kind) {
      tagFilters_[f]->Set(value, value);
      return;
    }
  }
  if (kind == pkNone || kind >= kMkPieceKindCount) return;
  filters_[kind] = value;
  RecomputeKind(kind);
}

std::uint32_t TMkHtmlParser::TagWord(TMkTagFamily family, std::uint32_t tagId) const {
  const void* item = tagTables_[family]->Find(&tagId);
  return item != nullptr ? MkCardinalAt(item) : 0;
}

// ---------------------------------------------------------------- pieces

bool TMkHtmlParser::ReadNextPiece() {
  stop_ = false;
  for (;;) {
    Outcome outcome = ReadOnePiece();
    if (outcome == Outcome::Delivered) return true;
    if (outcome == Outcome::End || stop_) return false;
  }
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadOnePiece() {
  tag_ = nullptr;
  kind_ = pkNone;
  if (!(keepChar_ && CharValid()) && !ReadChar()) return Outcome::End;
  keepChar_ = false;
  ClearData();
  pieceLine_ = Line();
  pieceColumn_ = Column();
  pieceOffset_ = Position();
  if (pendingContent_ != pkNone) {
    TMkPieceKind kind = pendingContent_;
    pendingContent_ = pkNone;
    return ReadContent(kind);
  }
  char16_t next = 0;
  if (Char() == u'<' && PeekChar(1, next)) {
    char16_t after = 0;
    bool hasAfter = PeekChar(2, after);
    if (next == u'!') return ReadExclamation();
    if (next == u'?') return ReadQuestion();
    if (enableHtmlTags_ && IsNameStart(next)) {
      ReadChar();
      return ReadHtmlTag(false);
    }
    if (enableHtmlTags_ && next == u'/' && hasAfter && IsNameStart(after)) {
      ReadChar();
      ReadChar();
      return ReadHtmlTag(true);
    }
    if (enableCustomTags_ && next == customTagMarker_ && hasAfter) {
      char16_t third = 0;
      if (IsNameStart(after)) {
        ReadChar();
        ReadChar();
        return ReadCustomTag(false);
      }
      if (after == u'/' && PeekChar(3, third) && IsNameStart(third)) {
        ReadChar();
        ReadChar();
        ReadChar();
        return ReadCustomTag(true);
      }
    }
    if (enableASP_ && next == u'%') {
      ReadChar();
      ReadChar();
      std::uint32_t word = words_[pkASP] & masks_[pkASP];
      bool keep = (word & (kDeliver | kPluginPiece)) != 0;
      ReadUntilPair(u'%', u'>', keep);
      return FinishPiece(pkASP, word & kDeliver, word & kPluginPiece);
    }
  }
  return ReadText();
}

TMkHtmlParser::Outcome TMkHtmlParser::FinishPiece(TMkPieceKind kind, bool deliver, bool forPlugins) {
  kind_ = kind;
  if (!deliver && !forPlugins) ClearData();
  if (forPlugins) TellPlugins(kind, deliver);
  return deliver ? Outcome::Delivered : Outcome::Hidden;
}

void TMkHtmlParser::Take(bool keep) {
  if (keep) {
    AddCharAndRead();
  } else {
    ReadChar();
  }
}

bool TMkHtmlParser::MatchKeyword(const char16_t* keyword) {
  for (; *keyword != 0; ++keyword) {
    if (!CharValid() || CharFoldCase(Char()) != CharFoldCase(*keyword)) return false;
    AddCharAndRead();
  }
  ClearData();
  return true;
}

bool TMkHtmlParser::AtEndTagOf(const char16_t* name) {
  char16_t c = 0;
  std::int32_t at = 1;
  if (!PeekChar(at++, c) || c != u'/') return false;
  for (; *name != 0; ++name) {
    if (!PeekChar(at++, c) || CharFoldCase(c) != CharFoldCase(*name)) return false;
  }
  while (PeekChar(at++, c)) {
    if (c == u'>') return true;
    if (c > 32) return false;
  }
  return false;
}

std::int32_t TMkHtmlParser::DashRun(bool& gtFollows) {
  gtFollows = false;
  if (!CharValid() || Char() != u'-') return 0;
  std::int32_t n = 1;
  char16_t c = 0;
  while (PeekChar(n, c) && c == u'-') ++n;
  gtFollows = PeekChar(n, c) && c == u'>';
  return n;
}

void TMkHtmlParser::TakeRun(std::int32_t n, bool keep, std::u16string* out) {
  for (std::int32_t i = 0; i < n && CharValid(); ++i) {
    if (out != nullptr) out->push_back(Char());
    Take(keep);
  }
}

void TMkHtmlParser::ReadUntilPair(char16_t first, char16_t second, bool keep) {
  char16_t next = 0;
  while (CharValid()) {
    if (Char() == first && PeekChar(1, next) && next == second) {
      ReadChar();  // the closing character stays current
      return;
    }
    Take(keep);
  }
}

void TMkHtmlParser::ReadUntilDoubledThenGt(char16_t doubled, bool keep) {
  while (CharValid()) {
    if (Char() != doubled) {
      Take(keep);
      continue;
    }
    std::int32_t n = 0;
    while (CharValid() && Char() == doubled) {
      ++n;
      ReadChar();
    }
    if (n >= 2 && CharValid() && Char() == u'>') return;
    if (keep) {
      for (std::int32_t i = 0; i < n; ++i) AppendChar(doubled);
    }
  }
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadExclamation() {
  ReadChar();  // "!"
  ReadChar();
  TMkPieceKind kind = pkExclamationMarkup;
  char16_t next = 0;
  if (CharValid() && Char() == u'-' && PeekChar(1, next) && next == u'-') {
    ReadChar();
    ReadChar();
    char16_t after = 0;
    if (enableSSI_ && CharValid() && Char() == u'#' && PeekChar(1, next)) {
      if (IsNameStart(next)) {
        ReadChar();
        return ReadSsiTag(false);
      }
      if (next == u'/' && PeekChar(2, after) && IsNameStart(after)) {
        ReadChar();
        ReadChar();
        return ReadSsiTag(true);
      }
    }
    kind = pkComment;
  } else if (CharValid() && Char() == u'[') {
    if (MatchKeyword(u"[CDATA[")) kind = pkCDataSection;
  } else if (CharValid() && (Char() == u'D' || Char() == u'd')) {
    if (MatchKeyword(u"DOCTYPE")) kind = pkDTD;
  }
  std::uint32_t word = words_[kind] & masks_[kind];
  bool keep = (word & (kDeliver | kPluginPiece)) != 0;
  if (kind == pkComment) {
    ReadUntilDoubledThenGt(u'-', keep);
  } else if (kind == pkCDataSection) {
    ReadUntilDoubledThenGt(u']', keep);
  } else {
    while (CharValid() && Char() != u'>') Take(keep);
  }
  return FinishPiece(kind, word & kDeliver, word & kPluginPiece);
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadQuestion() {
  ReadChar();  // "?"
  ReadChar();
  TMkPieceKind kind = pkHtmlPI;
  if (CharValid() && (Char() == u'x' || Char() == u'X')) {
    if (MatchKeyword(u"xml")) kind = pkXmlPI;
  } else if (enablePHP_ && CharValid() && (Char() == u'p' || Char() == u'P')) {
    if (MatchKeyword(u"php")) kind = pkPHP;
  }
  std::uint32_t word = words_[kind] & masks_[kind];
  bool keep = (word & (kDeliver | kPluginPiece)) != 0;
  if (kind == pkPHP) {
    ReadUntilPair(u'?', u'>', keep);
  } else {
    while (CharValid() && Char() != u'>') Take(keep);
    // "?>" closes an XML declaration: the "?" is no data.
    if (kind == pkXmlPI && DataLength() > 0 && DataBuffer()[DataLength() - 1] == u'?') {
      std::u16string data = Data();
      ClearData();
      AppendText(std::u16string_view(data).substr(0, data.size() - 1));
    }
  }
  return FinishPiece(kind, word & kDeliver, word & kPluginPiece);
}

bool TMkHtmlParser::TextEndsHere() {
  char16_t next = 0, after = 0, third = 0;
  if (!PeekChar(1, next)) return false;
  if (next == u'?' || next == u'!' || next == u'%' || CharIsAsciiLetter(next)) return true;
  if (next == u'/') return PeekChar(2, after) && IsNameStart(after);
  if (enableCustomTags_ && next == customTagMarker_ && PeekChar(2, after)) {
    if (IsNameStart(after)) return true;
    return after == u'/' && PeekChar(3, third) && IsNameStart(third);
  }
  return false;
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadText() {
  std::uint32_t word = words_[pkText] & masks_[pkText];
  bool keep = (word & (kDeliver | kPluginPiece)) != 0;
  bool first = true;
  while (CharValid()) {
    char16_t c = Char();
    if (c == u'<' && !first && TextEndsHere()) break;
    first = false;
    if (!keep) {
      ReadChar();
    } else if (c == u'&') {
      AppendReference(nullptr, whiteSpace_ == 0);
    } else {
      AppendDecoded(c, nullptr, whiteSpace_ == 0);
      ReadChar();
    }
  }
  keepChar_ = true;
  return FinishPiece(pkText, word & kDeliver, word & kPluginPiece);
}

void TMkHtmlParser::AppendDecoded(char16_t c, std::u16string* out, bool normalize) {
  if (out != nullptr) {
    out->push_back(c);
  } else if (normalize) {
    AppendCharNormalized(c);
  } else {
    AppendChar(c);
  }
}

void TMkHtmlParser::AppendReference(std::u16string* out, bool normalize) {
  ReadChar();  // "&"
  std::u16string raw = u"&";
  auto ends = [this] { return !CharValid() || Char() == u';' || Char() == u' '; };
  if (CharValid() && Char() == u'#') {
    raw.push_back(u'#');
    ReadChar();
    bool hex = CharValid() && (Char() == u'x' || Char() == u'X');
    if (hex) {
      raw.push_back(Char());
      ReadChar();
    }
    std::uint32_t value = 0;
    std::int32_t digits = 0;
    // Digits stop being read once the value passes the last code point.
    while (CharValid() && value <= 0x10FFFF) {
      std::int32_t d = hex ? HexDigitValue(Char()) : (IsDigit(Char()) ? Char() - u'0' : -1);
      if (d < 0) break;
      value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      raw.push_back(Char());
      ++digits;
      ReadChar();
    }
    if (digits > 0 && value <= 0x10FFFF && ends()) {
      if (CharValid() && Char() == u';') ReadChar();
      if (value > 0xFFFF) {
        // A character beyond the basic plane takes a surrogate pair.
        value -= 0x10000;
        AppendDecoded(static_cast<char16_t>(0xD800 + (value >> 10)), out, normalize);
        AppendDecoded(static_cast<char16_t>(0xDC00 + (value & 0x3FF)), out, normalize);
      } else {
        AppendDecoded(MapNumericReference(value), out, normalize);
      }
      return;
    }
  } else {
    std::size_t nameStart = raw.size();
    while (CharValid() && (CharIsAsciiLetter(Char()) || IsDigit(Char()))) {
      raw.push_back(Char());
      ReadChar();
    }
    std::int32_t length = static_cast<std::int32_t>(raw.size() - nameStart);
    std::uint32_t code = length > 0 && ends() ? MkHtmlEntityTable().ValueByBuffer(raw.data() + nameStart, length) : 0;
    if (code != 0) {
      if (CharValid() && Char() == u';') ReadChar();
      AppendDecoded(static_cast<char16_t>(code), out, normalize);
      return;
    }
  }
  for (char16_t c : raw) AppendDecoded(c, out, normalize);
}

// ---------------------------------------------------------------- content pieces

TMkHtmlParser::Outcome TMkHtmlParser::ReadContent(TMkPieceKind kind) {
  std::uint32_t word = words_[kind] & masks_[kind];
  bool keep = (word & (kDeliver | kPluginPiece)) != 0;
  if (kind == pkScript) {
    ReadScript(keep);
  } else if (kind == pkStyle) {
    while (CharValid() && !(Char() == u'<' && AtEndTagOf(u"STYLE"))) Take(keep);
  } else {
    // Title text is always normalised, with references decoded.
    while (CharValid() && !(Char() == u'<' && AtEndTagOf(u"TITLE"))) {
      if (!keep) {
        ReadChar();
      } else if (Char() == u'&') {
        AppendReference(nullptr, true);
      } else {
        AppendCharNormalized(Char());
        ReadChar();
      }
    }
  }
  keepChar_ = true;
  return FinishPiece(kind, word & kDeliver, word & kPluginPiece);
}

bool TMkHtmlParser::IsJavaScript() const {
  const std::u16string candidates[] = {htmlTag_.AttributeValue(kMkAttrType), htmlTag_.AttributeValue(kMkAttrLanguage),
                                       documentScriptType_, defaultContentScriptType_};
  for (const std::u16string& type : candidates) {
    if (!type.empty()) return TextContainsNoCase(u"JavaScript", type, 1);
  }
  return false;
}

void TMkHtmlParser::ReadScript(bool keep) {
  if (IsJavaScript()) {
    ReadJavaScript(keep);
    return;
  }
  while (CharValid() && !(Char() == u'<' && AtEndTagOf(u"SCRIPT"))) Take(keep);
}

void TMkHtmlParser::ReadJsLineComment(bool keep) {
  while (CharValid() && !IsJsLineEnd(Char())) {
    if (Char() == u'-') {
      bool gt = false;
      std::int32_t n = DashRun(gt);
      TakeRun(n, keep, nullptr);
      if (n >= 2 && gt) {
        Take(keep);
        return;
      }
      continue;
    }
    Take(keep);
  }
}

bool TMkHtmlParser::JsEscapeAhead(std::int32_t& length) {
  char16_t kind = 0, c = 0;
  if (!PeekChar(1, kind)) return false;
  std::int32_t hexDigits = kind == u'u' ? 4 : kind == u'x' ? 2 : kind == u'_' ? 0 : -1;
  if (hexDigits < 0) return false;
  for (std::int32_t i = 0; i < hexDigits; ++i) {
    if (!PeekChar(2 + i, c) || !CharIsHexDigit(c)) return false;
  }
  length = 2 + hexDigits;
  return true;
}

std::int32_t TMkHtmlParser::JsOperatorLength() {
  static const char16_t* const kOperators[] = {
      u">>>=", u"===", u"!==", u">>>", u"<<=", u">>=", u"**=", u"&&", u"||", u"==", u"!=", u"<=", u">=", u"++",
      u"--",   u"+=",  u"-=",  u"*=",  u"%=",  u"&=",  u"|=",  u"^=", u"<<", u">>", u"=>", u"**", u"??", u"?."};
  for (const char16_t* op : kOperators) {
    std::int32_t length = static_cast<std::int32_t>(std::char_traits<char16_t>::length(op));
    bool match = Char() == op[0];
    char16_t c = 0;
    for (std::int32_t i = 1; match && i < length; ++i) match = PeekChar(i, c) && c == op[i];
    if (match) return length;
  }
  return 1;
}

void TMkHtmlParser::ReadJavaScript(bool keep) {
  // The class of the last token decides whether "/" divides or opens a regular expression.
  enum class Last { None, Operand, Operator, NoClass } last = Last::None;
  char16_t next = 0;
  while (CharValid()) {
    char16_t c = Char();
    if (IsJsSpace(c)) {
      Take(keep);
      continue;
    }
    if (c == u'<') {
      if (AtEndTagOf(u"SCRIPT")) return;
      char16_t a = 0, b = 0, d = 0;
      if (PeekChar(1, a) && a == u'!' && PeekChar(2, b) && b == u'-' && PeekChar(3, d) && d == u'-') {
        TakeRun(4, keep, nullptr);
        ReadJsLineComment(keep);
        continue;
      }
    }
    if (c == u'"' || c == u'\'') {
      Take(keep);
      while (CharValid() && Char() != c) {
        if (Char() == u'\\') Take(keep);
        if (CharValid()) Take(keep);
      }
      if (CharValid()) Take(keep);
      last = Last::Operand;
      continue;
    }
    if (c == u'/') {
      PeekChar(1, next);
      if (next == u'*') {
        Take(keep);
        char16_t previous = 0;
        while (CharValid()) {
          char16_t ch = Char();
          Take(keep);
          if (ch == u'/' && previous == u'*') break;
          previous = ch;
        }
        continue;
      }
      if (next == u'/') {
        TakeRun(2, keep, nullptr);
        ReadJsLineComment(keep);
        continue;
      }
      if (last == Last::Operand || last == Last::None || last == Last::NoClass) {
        Take(keep);
        if (CharValid() && Char() == u'=') Take(keep);
        last = Last::Operator;
        continue;
      }
      Take(keep);
      while (CharValid()) {
        char16_t ch = Char();
        Take(keep);
        if (ch == u'\\') {
          if (CharValid()) Take(keep);
        } else if (ch == u'/') {
          break;
        }
      }
      while (CharValid() && CharIsAsciiLetter(Char())) Take(keep);
      last = Last::Operand;
      continue;
    }
    std::int32_t escape = 0;
    if (CharIsAsciiLetter(c) || c == u'_' || c == u'$' || c == u'\\') {
      if (c == u'\\' && !JsEscapeAhead(escape)) {
        Take(keep);  // a lone backslash is a word of its own
      }
      while (CharValid()) {
        if (IsJsWordChar(Char())) {
          Take(keep);
        } else if (Char() == u'\\' && JsEscapeAhead(escape)) {
          TakeRun(escape, keep, nullptr);
        } else {
          break;
        }
      }
      last = Last::Operand;
      continue;
    }
    if (IsDigit(c)) {
      if (c == u'0' && PeekChar(1, next) && (next == u'x' || next == u'X')) {
        TakeRun(2, keep, nullptr);
        while (CharValid() && CharIsHexDigit(Char())) Take(keep);
      } else {
        while (CharValid() && IsDigit(Char())) Take(keep);
        if (CharValid() && Char() == u'.') {
          Take(keep);
          while (CharValid() && IsDigit(Char())) Take(keep);
        }
        if (CharValid() && (Char() == u'e' || Char() == u'E')) {
          Take(keep);
          if (CharValid() && (Char() == u'+' || Char() == u'-')) Take(keep);
          while (CharValid() && IsDigit(Char())) Take(keep);
        }
      }
      last = Last::Operand;
      continue;
    }
    if (c == u'#' || c == u'`' || c > 0x7E) {
      Take(keep);
      last = Last::NoClass;
      continue;
    }
    std::int32_t length = JsOperatorLength();
    bool closes = (length == 1 && (c == u')' || c == u']' || c == u'}')) ||
                  (length == 2 && (c == u'+' || c == u'-') && PeekChar(1, next) && next == c);
    TakeRun(length, keep, nullptr);
    last = closes ? Last::Operand : Last::Operator;
  }
}

// ---------------------------------------------------------------- tags

void TMkHtmlParser::ReadTagName(TMkTag& tag, bool store) {
  tag.Clear();
  tag.Name.clear();
  while (CharValid() && CharIsNameChar(Char())) {
    if (store) tag.Name.push_back(Char());
    ReadChar();
  }
  tag.ID = store ? MkHtmlTagTable().ValueOf(tag.Name) : 0;
}

std::u16string TMkHtmlParser::ReadQuotedValue(char16_t quote, bool ssi) {
  std::u16string value;
  ReadChar();  // the opening quote
  char16_t next = 0;
  while (CharValid() && Char() != quote) {
    if (ssi && Char() == u'\\') {
      if (PeekChar(1, next) && next == quote) ReadChar();  // the backslash goes, the quote stays
      value.push_back(Char());
      ReadChar();
    } else if (Char() == u'&') {
      AppendReference(&value, false);
    } else {
      value.push_back(Char());
      ReadChar();
    }
  }
  if (CharValid()) ReadChar();  // the closing quote
  return value;
}

void TMkHtmlParser::ReadAttributes(TMkTag& tag, bool store) {
  SkipWhiteSpace();
  while (CharValid()) {
    char16_t c = Char();
    if (c == u'>') return;
    if (c == u'/') {
      ReadChar();
      if (CharValid() && Char() == u'>') {
        if (tag.TagType == kMkStartTag) tag.TagType = kMkEmptyElementTag;
        return;
      }
      continue;
    }
    if (!IsNameStart(c)) {
      ReadChar();
      continue;
    }
    std::u16string name;
    while (CharValid() && CharIsNameChar(Char())) {
      name.push_back(Char());
      ReadChar();
    }
    std::int32_t index = store ? tag.Add(name, u"", MkHtmlAttributeTable().ValueOf(name)) : -1;
    SkipWhiteSpace();
    if (!CharValid() || Char() != u'=') continue;
    ReadChar();
    SkipWhiteSpace();
    std::u16string value;
    if (CharValid() && (Char() == u'"' || Char() == u'\'')) {
      value = ReadQuotedValue(Char(), false);
      // Surrounding white space of a quoted value goes unless TrimAttribValues is set.
      if (!trimAttribValues_) value = TrimText(value);
    } else {
      while (CharValid() && !CharIsSpace(Char()) && Char() != u'>') {
        if (Char() == u'&') {
          AppendReference(&value, false);
        } else {
          value.push_back(Char());
          ReadChar();
        }
      }
    }
    if (store) tag.SetValueAt(index, value);
    SkipWhiteSpace();
  }
}

void TMkHtmlParser::AfterStartTag(const TMkTag& tag, bool attributesRead) {
  if (tag.ID == kMkTagPre && (whiteSpace_ & 0x7FFFFFFFu) != 0x7FFFFFFFu) ++whiteSpace_;
  if (tag.ID == kMkTagScript) pendingContent_ = pkScript;
  if (tag.ID == kMkTagStyle) pendingContent_ = pkStyle;
  if (tag.ID == kMkTagTitle) pendingContent_ = pkTitle;
  if (tag.ID == kMkTagMeta && attributesRead &&
      TextEqualsNoCase(tag.AttributeValue(kMkAttrHttpEquiv), u"Content-Script-Type")) {
    documentScriptType_ = tag.AttributeValue(kMkAttrContent);
  }
}

TMkHtmlParser::Outcome TMkHtmlParser::FinishTag(TMkTag& tag, TMkTagFamily family, std::uint32_t word) {
  tag_ = &tag;
  bool end = tag.TagType == kMkEndTag;
  bool deliver = (word & (end ? kEndDeliver : kDeliver)) != 0;
  bool forPlugins = (word & (end ? kPluginEnd : kPluginStart)) != 0;
  kind_ = kFamilyKinds[family];
  if (forPlugins) TellPlugins(kind_, deliver);
  return deliver ? Outcome::Delivered : Outcome::Hidden;
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadHtmlTag(bool endTag) {
  TMkTag& tag = htmlTag_;
  tag.TagType = endTag ? kMkEndTag : kMkStartTag;
  ReadTagName(tag, true);
  const void* entry = tagTables_[tfHtml]->Find(&tag.ID);
  std::uint32_t word = entry != nullptr ? MkCardinalAt(entry) : words_[pkHtmlTag];
  if (tag.ID == kMkTagMeta) word |= kAttributes;
  word &= masks_[pkHtmlTag];
  bool read = !endTag && (word & (kAttributes | kPluginStart)) != 0;
  ReadAttributes(tag, read);
  if (!endTag && tag.TagType != kMkEmptyElementTag) AfterStartTag(tag, read);
  if (endTag && tag.ID == kMkTagPre && (whiteSpace_ & 0x7FFFFFFFu) > 0) --whiteSpace_;
  return FinishTag(tag, tfHtml, word);
}

std::uint32_t TMkHtmlParser::ReadFamilyTagName(TMkTag& tag, TMkTagFamily family, bool endTag, bool& store,
                                               void (TMkHtmlParser::*readName)(TMkTag&, bool)) {
  const TMkPieceKind kind = kFamilyKinds[family];
  tag.TagType = endTag ? kMkEndTag : kMkStartTag;
  std::uint32_t word = words_[kind] & masks_[kind];
  std::uint32_t sideBits = endTag ? (0x4000u | kPluginEnd) : (kAttributes | kPluginStart);
  // Without attribute or plug-in bits and without per-tag entries the tag is passed over.
  store = (word & sideBits) != 0 || tagTables_[family]->Count() != 0;
  (this->*readName)(tag, store);
  if (!store) return word & ~(kPluginStart | kPluginEnd);
  const void* entry = tagTables_[family]->Find(&tag.ID);
  return entry != nullptr ? MkCardinalAt(entry) & masks_[kind] : word;
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadCustomTag(bool endTag) {
  bool store = false;
  std::uint32_t word = ReadFamilyTagName(customTag_, tfCustom, endTag, store, &TMkHtmlParser::ReadTagName);
  ReadAttributes(customTag_, store && !endTag);
  return FinishTag(customTag_, tfCustom, word);
}

bool TMkHtmlParser::TakeSsiEnd() {
  bool gt = false;
  std::int32_t n = DashRun(gt);
  if (n < 2 || !gt) return false;
  TakeRun(n, false, nullptr);
  return true;
}

void TMkHtmlParser::ReadSsiName(TMkTag& tag, bool store) {
  tag.Clear();
  tag.Name.clear();
  while (CharValid() && CharIsNameChar(Char())) {
    if (Char() == u'-') {
      bool gt = false;
      std::int32_t n = DashRun(gt);
      if (n >= 2 && gt) break;  // the tag's end: the dashes are no part of the name
      TakeRun(n, false, store ? &tag.Name : nullptr);
      continue;
    }
    if (store) tag.Name.push_back(Char());
    ReadChar();
  }
  tag.ID = store ? MkHtmlTagTable().ValueOf(tag.Name) : 0;
}

void TMkHtmlParser::ReadSsiAttributes(TMkTag& tag, bool store) {
  SkipWhiteSpace();
  char16_t next = 0;
  while (CharValid()) {
    char16_t c = Char();
    if (c == u'-') {
      if (TakeSsiEnd()) return;
      bool gt = false;
      TakeRun(DashRun(gt), false, nullptr);
      continue;
    }
    if (c == u'/') {
      std::int32_t n = 0;
      while (PeekChar(n + 1, next) && next == u'-') ++n;
      if (n >= 2 && PeekChar(n + 1, next) && next == u'>') {
        TakeRun(n + 1, false, nullptr);
        if (tag.TagType == kMkStartTag) tag.TagType = kMkEmptyElementTag;
        return;
      }
      TakeRun(n + 1, false, nullptr);
      continue;
    }
    if (!CharIsNameChar(c)) {
      ReadChar();
      continue;
    }
    std::u16string name;
    while (CharValid() && CharIsNameChar(Char())) {
      if (Char() == u'-') {
        bool gt = false;
        std::int32_t n = DashRun(gt);
        if (n >= 2 && gt) break;
        TakeRun(n, false, &name);
        continue;
      }
      name.push_back(Char());
      ReadChar();
    }
    std::int32_t index = store ? tag.Add(name, u"", MkHtmlAttributeTable().ValueOf(name)) : -1;
    SkipWhiteSpace();
    if (!CharValid() || Char() != u'=') continue;
    ReadChar();
    SkipWhiteSpace();
    std::u16string value;
    if (CharValid() && (Char() == u'"' || Char() == u'\'' || Char() == u'`')) {
      value = TrimText(ReadQuotedValue(Char(), true));
    } else {
      while (CharValid() && !CharIsSpace(Char())) {
        if (Char() == u'-') {
          bool gt = false;
          std::int32_t n = DashRun(gt);
          if (n >= 2 && gt) break;
          TakeRun(n, false, &value);
        } else if (Char() == u'&') {
          AppendReference(&value, false);
        } else {
          value.push_back(Char());
          ReadChar();
        }
      }
    }
    if (store) tag.SetValueAt(index, value);
    SkipWhiteSpace();
  }
}

TMkHtmlParser::Outcome TMkHtmlParser::ReadSsiTag(bool endTag) {
  bool store = false;
  std::uint32_t word = ReadFamilyTagName(ssiTag_, tfSsi, endTag, store, &TMkHtmlParser::ReadSsiName);
  if (!TakeSsiEnd()) ReadSsiAttributes(ssiTag_, store);
  return FinishTag(ssiTag_, tfSsi, word);
}

// ---------------------------------------------------------------- plug-ins and filters

std::vector<TMkHtmlParserPlugin*> TMkHtmlParser::EnabledPlugins() const {
  std::vector<TMkHtmlParserPlugin*> enabled;
  for (TMkHtmlParserPlugin* plugin : plugins_) {
    if (plugin->Enabled()) enabled.push_back(plugin);
  }
  return enabled;
}

void TMkHtmlParser::TellPlugins(TMkPieceKind kind, bool& deliver) {
  for (TMkHtmlParserPlugin* plugin : EnabledPlugins()) {
    bool wants;
    if (IsTagKind(kind)) {
      auto family = static_cast<TMkTagFamily>(kind == pkCustomTag ? tfCustom : kind == pkHtmlTag ? tfHtml : tfSsi);
      bool end = tag_ != nullptr && tag_->TagType == kMkEndTag;
      wants = (plugin->TagWord(family, tag_ != nullptr ? tag_->ID : 0) & (end ? kPluginWantsEnd : kPluginPiece)) != 0;
    } else {
      wants = (plugin->words_[kind] & kPluginPiece) != 0;
    }
    if (wants) plugin->CallHook(kind, deliver);
  }
}

void TMkHtmlParser::Attach(TMkHtmlParserPlugin* plugin) {
  plugins_.push_back(plugin);
  plugin->parser_ = this;
  plugin->OnAttach();
  RecomputeAll();
}

void TMkHtmlParser::Detach(TMkHtmlParserPlugin* plugin) {
  plugins_.erase(std::remove(plugins_.begin(), plugins_.end(), plugin), plugins_.end());
  plugin->parser_ = nullptr;
  for (auto& table : plugin->tagTables_) table->Clear();
  RecomputeAll();
}

void TMkHtmlParser::RecomputeAll() {
  for (int k = 1; k < kMkPieceKindCount; ++k) {
    if (!IsTagKind(static_cast<TMkPieceKind>(k))) RecomputeKind(static_cast<TMkPieceKind>(k));
  }
  for (int f = 0; f < kMkTagFamilyCount; ++f) RecomputeFamily(static_cast<TMkTagFamily>(f));
}

void TMkHtmlParser::RecomputeKind(TMkPieceKind kind) {
  std::vector<TMkHtmlParserPlugin*> enabled = EnabledPlugins();
  TMkFilter own = filters_[kind];
  bool shown = own == fiShow;
  for (TMkHtmlParserPlugin* plugin : enabled) shown = shown || plugin->filters_[kind] == fiShow;
  bool anyReceives = false;
  for (TMkHtmlParserPlugin* plugin : enabled) {
    std::uint32_t word = kMkPluginFilterCodes[plugin->filters_[kind]] << 16;
    anyReceives = ApplyConditional(word, plugin->filters_[kind], shown, kPluginPiece) || anyReceives;
    plugin->words_[kind] = word;
  }
  std::uint32_t word = kMkParserFilterCodes[own];
  // The parser's own fiShowHidden / fiShowShown deliver by whether the piece is shown.
  ApplyConditional(word, own, shown, kDeliver | kAttributes);
  words_[kind] = SetBits(word, kPluginPiece, anyReceives);
}

void TMkHtmlParser::RecomputeFamily(TMkTagFamily family) {
  const TMkPieceKind kind = kFamilyKinds[family];
  std::vector<TMkHtmlParserPlugin*> enabled = EnabledPlugins();
  bool startShown = tagFilters_[family]->StartTags() == fiShow;
  bool endShown = tagFilters_[family]->EndTags() == fiShow;
  for (TMkHtmlParserPlugin* plugin : enabled) {
    startShown = startShown || plugin->tagFilters_[family]->StartTags() == fiShow;
    endShown = endShown || plugin->tagFilters_[family]->EndTags() == fiShow;
  }
  bool anyStart = false, anyEnd = false;
  for (TMkHtmlParserPlugin* plugin : enabled) {
    std::uint32_t& g = plugin->words_[kind];
    anyStart = ApplyConditional(g, plugin->tagFilters_[family]->StartTags(), startShown, 0x600000) || anyStart;
    anyEnd = ApplyConditional(g, plugin->tagFilters_[family]->EndTags(), endShown, 0x60000000) || anyEnd;
  }
  std::uint32_t& f = words_[kind];
  f = SetBits(f, 0x500000, anyStart);
  f = SetBits(f, 0x50000000, anyEnd);
  ApplyConditional(f, tagFilters_[family]->StartTags(), startShown, 0x60);
  ApplyConditional(f, tagFilters_[family]->EndTags(), endShown, 0x6000);

  std::set<std::uint32_t> ids;
  const TMkCardinalHash& table = *tagTables_[family];
  for (std::int32_t i = 0; i < table.EntryCount(); ++i) {
    if (!table.IsDeleted(i)) ids.insert(MkCardinalAt(table.EntryKey(i)));
  }
  for (TMkHtmlParserPlugin* plugin : enabled) {
    for (std::uint32_t id : plugin->tagLists_[family]->TagIds()) ids.insert(id);
  }
  for (std::uint32_t id : ids) RecomputeTag(family, id);
}

void TMkHtmlParser::RecomputeTag(TMkTagFamily family, std::uint32_t tagId) {
  const TMkPieceKind kind = kFamilyKinds[family];
  std::vector<TMkHtmlParserPlugin*> enabled = EnabledPlugins();
  std::uint32_t w = words_[kind];
  std::uint32_t p = 0;
  for (TMkHtmlParserPlugin* plugin : enabled) {
    std::uint32_t entry = plugin->tagLists_[family]->Entry(tagId);
    if (entry == 0) {
      p |= plugin->words_[kind] & 0x5F5F;
      continue;
    }
    if (entry & 0xFF) p |= (entry & 0xFF) & ~kDeliver;
    if (entry & 0xFF00) p |= (entry & 0xFF00) & ~kEndDeliver;
  }
  if (((w | p) & 0x8080) == 0) {
    tagTables_[family]->Delete(&tagId);
    for (TMkHtmlParserPlugin* plugin : enabled) plugin->tagTables_[family]->Delete(&tagId);
    return;
  }
  bool startShown = ((w | p) & 0x10) != 0;
  bool endShown = ((w | p) & 0x1000) != 0;
  ApplyConditionalCode(w, w & 0xFF, startShown, 0x60);
  ApplyConditionalCode(w, (w >> 8) & 0xFF, endShown, 0x6000);
  std::uint32_t q = 0;
  for (TMkHtmlParserPlugin* plugin : enabled) {
    const std::uint32_t g = plugin->words_[kind];
    std::uint32_t entry = plugin->tagLists_[family]->Entry(tagId);
    std::uint32_t own = entry != 0 ? entry : g;
    if ((own & 0xFF) == 0) {
      own = (own & ~0xFFu) | (g & 0x7F);
    } else {
      ApplyConditionalCode(own, own & 0xFF, startShown, 0x60);
    }
    if ((own & 0xFF00) == 0) {
      own = (own & ~0xFF00u) | (g & 0x7F00);
    } else {
      ApplyConditionalCode(own, (own >> 8) & 0xFF, endShown, 0x6000);
    }
    MkSetCardinalAt(plugin->tagTables_[family]->FindOrInsert(&tagId), own << 16);
    q |= own & 0x4040;
  }
  MkSetCardinalAt(tagTables_[family]->FindOrInsert(&tagId), (w & 0xFFFF) | (q << 16));
}

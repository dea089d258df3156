#include "controls/vtree/vt_export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/base/text.h"
#include "platform/com/data_object.h"

namespace {

std::string Format(const char* format, int value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// "#RRGGBB" of the colour's value.
std::string HtmlColor(TColor color) {
  const COLORREF rgb = ColorToRGB(color);
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  return text;
}

std::string HtmlEscaped(std::u16string_view text) {
  std::string out;
  for (char c : ExportUtf8(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The font's styles, size and name, and its colour: the body of a CSS font rule. Inside
// a double-quoted attribute the name takes single quotes.
std::string FontRule(TFont& font, char quote = '"') {
  std::string rule = "{font:";
  if (font.Style() & fsUnderline) rule += " underline";
  if (font.Style() & fsItalic) rule += " italic";
  if (font.Style() & fsBold) rule += " bold";
  rule += Format(" %dpt ", font.Size()) + quote + font.Name() + quote + ";";
  return rule + "color:" + HtmlColor(font.Color()) + ";}";
}

std::string RtfEscaped(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    if (c == u'\\' || c == u'{' || c == u'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == u'\r') {
    } else if (c == u'\n') {
      out += "\\line ";
    } else if (c == u'\t') {
      out += "\\tab ";
    } else if (c > 127) {
      // Control words take signed 16-bit numbers.
      out += Format("\\u%d\\'3f", static_cast<std::int16_t>(c));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string RtfFont(TFont& font, int fontIndex, int colorIndex) {
  std::string out = Format("\\f%d", fontIndex) + Format("\\cf%d", colorIndex) + Format("\\fs%d", font.Size() * 2);
  if (font.Style() & fsUnderline) out += "\\ul";
  if (font.Style() & fsItalic) out += "\\i";
  if (font.Style() & fsBold) out += "\\b";
  return out + " ";
}

std::string RtfFontEnd(TFont& font) {
  std::string out;
  if (font.Style() & fsUnderline) out += "\\ul0";
  if (font.Style() & fsItalic) out += "\\i0";
  if (font.Style() & fsBold) out += "\\b0";
  return out.empty() ? out : out + " ";
}

std::string RtfColor(TColor color) {
  const COLORREF rgb = ColorToRGB(color);
  return Format("\\red%d", rgb & 0xFF) + Format("\\green%d", (rgb >> 8) & 0xFF) + Format("\\blue%d;", (rgb >> 16) & 0xFF);
}

const char* AlignAttribute(TAlignment alignment) {
  return alignment == taRightJustify ? " align=right" : alignment == taCenter ? " align=center" : " align=left";
}

template <typename Char>
HGLOBAL BlockWithZero(const std::basic_string<Char>& text) {
  if (text.empty()) return nullptr;
  std::basic_string<Char> withZero = text;
  withZero.push_back(0);
  return platform::com::NewBlock(withZero.data(), withZero.size() * sizeof(Char));
}

char ListSeparator() {
  char separator[4] = {};
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, sizeof separator) > 1 ? separator[0] : ',';
}

}  // namespace

std::string ExportUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) continue;
      c = (c << 10) + text[++i] - 0x35FDC00;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

TVTContentExporter::TVTContentExporter(TViewTreePainting& tree, TVTCellTextFunction cellText)
    : tree_(tree), cellText_(std::move(cellText)) {}

std::vector<PViewNode> TVTContentExporter::Nodes(TVSTTextSourceType source) {
  std::vector<PViewNode> nodes;
  auto walk = [&](PViewNode first, auto next) {
    for (PViewNode node = first; node != nullptr; node = next(node)) nodes.push_back(node);
  };
  switch (source) {
    case tstAll: walk(tree_.GetFirst(), [&](PViewNode n) { return tree_.GetNext(n); }); break;
    case tstInitialized:
      walk(tree_.GetFirstInitialized(), [&](PViewNode n) { return tree_.GetNextInitialized(n); });
      break;
    case tstSelected: walk(tree_.GetFirstSelected(), [&](PViewNode n) { return tree_.GetNextSelected(n); }); break;
    case tstCutCopySet: walk(tree_.GetFirstCutCopy(), [&](PViewNode n) { return tree_.GetNextCutCopy(n); }); break;
    case tstVisible: walk(tree_.GetFirstVisible(), [&](PViewNode n) { return tree_.GetNextVisible(n); }); break;
  }
  return nodes;
}

// The visible columns in position order; for a tree without columns column -1.
std::vector<TColumnIndex> TVTContentExporter::ExportColumns() const {
  if (!tree_.Header().UseColumns()) return {NoColumn};
  return tree_.Header().Columns().VisibleColumns();
}

TColumnIndex TVTContentExporter::MainColumn() const {
  return tree_.Header().UseColumns() ? tree_.Header().MainColumn() : NoColumn;
}

template <typename Char>
std::basic_string<Char> TVTContentExporter::Lines(TVSTTextSourceType source, Char separator) {
  using Text = std::basic_string<Char>;
  auto convert = [](const std::u16string& text) -> Text {
    if constexpr (sizeof(Char) == 1) {
      return platform::WideToAnsi(text);
    } else {
      return text;
    }
  };
  // The 8-bit text quotes cells that hold the separator or a quote, doubling quotes;
  // the wide text quotes cells that hold the separator only.
  auto cell = [&](const std::u16string& wide) -> Text {
    const Text text = convert(wide);
    const bool hasSeparator = text.find(separator) != Text::npos;
    const bool hasQuote = text.find(Char('"')) != Text::npos;
    if (!hasSeparator && !(sizeof(Char) == 1 && hasQuote)) return text;
    Text quoted(1, Char('"'));
    for (Char c : text) {
      quoted += c;
      if (sizeof(Char) == 1 && c == Char('"')) quoted += c;
    }
    return quoted + Char('"');
  };
  const std::vector<PViewNode> nodes = Nodes(source);
  if (nodes.empty()) return {};
  std::uint32_t maxLevel = 0;
  for (PViewNode node : nodes) maxLevel = std::max(maxLevel, tree_.GetNodeLevel(node));
  const std::vector<TColumnIndex> columns = ExportColumns();
  const TColumnIndex main = MainColumn();
  const bool withColumns = tree_.Header().UseColumns();
  TBasicBufferedString<Char> buffer;
  const Text one(1, separator);
  auto repeat = [&](std::uint32_t count) { return Text(count, separator); };
  if (withColumns) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      buffer.Add(convert(tree_.Header().Columns()[columns[i]].Text()));
      if (columns[i] == main) buffer.Add(repeat(maxLevel));
      if (i + 1 < columns.size()) buffer.Add(one);
    }
    buffer.AddNewLine();
  }
  for (PViewNode node : nodes) {
    const std::uint32_t level = tree_.GetNodeLevel(node);
    if (!withColumns) {
      buffer.Add(repeat(level));
      buffer.Add(convert(cellText_(node, NoColumn)));
      buffer.AddNewLine();
      continue;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] == main) buffer.Add(repeat(level));
      buffer.Add(cell(cellText_(node, columns[i])));
      if (columns[i] == main) buffer.Add(repeat(maxLevel - level));
      if (i + 1 < columns.size()) buffer.Add(one);
    }
    buffer.AddNewLine();
  }
  return buffer.AsString();
}

std::string TVTContentExporter::ContentToText(TVSTTextSourceType source, char separator) {
  return Lines<char>(source, separator);
}

std::u16string TVTContentExporter::ContentToUnicode(TVSTTextSourceType source, char16_t separator) {
  return Lines<char16_t>(source, separator);
}

std::string TVTContentExporter::ContentToHTML(TVSTTextSourceType source, const std::u16string& caption) {
  const std::vector<PViewNode> nodes = Nodes(source);
  if (nodes.empty()) return {};
  std::uint32_t maxLevel = 0;
  for (PViewNode node : nodes) maxLevel = std::max(maxLevel, tree_.GetNodeLevel(node));
  const TVTPaintOptions paint = tree_.TreeOptions().PaintOptions();
  const bool horizontalLines = (paint & toShowHorzGridLines) != 0;
  const bool verticalLines = (paint & toShowVertGridLines) != 0;
  const std::string lineStyle = tree_.LineStyle() == lsDotted ? "dotted" : "solid";
  const std::string gridColor = HtmlColor(tree_.Colors().Color(TVTColors::GridLineColor));
  TBufferedString html;
  html.Add("<style type=\"text/css\">");
  html.Add(".default" + FontRule(tree_.Font()));
  html.Add(".header" + FontRule(tree_.Header().Font()));
  if (horizontalLines) {
    html.Add(".noborder{border-style:" + lineStyle + ";");
    html.Add(" border-bottom:1;border-left:0;border-right:0; border-top:0;");
  } else {
    html.Add(".noborder{border-style:none;");
  }
  html.Add("}");
  html.Add(".normalborder {border-top:none; border-left:none; ");
  html.Add(verticalLines ? "border-right:1 " + lineStyle + " " + gridColor + ";" : std::string("border-right:none;"));
  html.Add(horizontalLines ? "border-bottom:1 " + lineStyle + " " + gridColor + ";" : std::string("border-bottom:none;"));
  html.Add("}</style>");

  html.Add("<table class=\"default\" bgcolor=" + HtmlColor(tree_.Color()) + " cellspacing=\"0\" cellpadding=" +
           Format("%d", tree_.Margin()));
  if (!caption.empty()) html.Add(" caption=\"" + HtmlEscaped(caption) + "\"");
  if (horizontalLines || verticalLines) html.Add(" border=\"1\" frame=box");
  html.Add(">");

  const std::vector<TColumnIndex> columns = ExportColumns();
  const TColumnIndex main = MainColumn();
  if (tree_.Header().UseColumns()) {
    html.Add("<tr class=\"header\" style=\"" + FontRule(tree_.Header().Font(), '\'') + "\">");
    for (TColumnIndex index : columns) {
      const TViewTreeColumn& column = tree_.Header().Columns()[index];
      html.Add("<th height=\"" + Format("%dpx\"", static_cast<int>(tree_.Header().Height())));
      if (column.ReadsRightToLeft()) html.Add(" dir=\"rtl\"");
      html.Add(AlignAttribute(column.Alignment()));
      if (index == main) html.Add(Format(" colspan=%d", static_cast<int>(maxLevel) + 1));
      if (column.Color() != tree_.Color()) html.Add(" bgcolor=" + HtmlColor(column.Color()));
      html.Add(Format(" width=\"%dpx\">", column.Width()));
      html.Add(HtmlEscaped(column.Text()));
      html.Add("</th>");
    }
    html.Add("</tr>");
  }
  for (PViewNode node : nodes) {
    const std::uint32_t level = tree_.GetNodeLevel(node);
    const std::string height = Format(" height=\"%dpx\"", node->NodeHeight);
    html.Add(" <tr class=\"default\">");
    for (TColumnIndex index : columns) {
      if (index == main) {
        for (std::uint32_t i = 0; i < level; ++i) {
          html.Add("<td class=\"noborder\" width=\"" + Format("%dpx\"", static_cast<int>(tree_.Indent())) + height +
                   ">&nbsp;</td>");
        }
      }
      const std::u16string text = cellText_(node, index);
      const std::string span = index == main ? Format(" colspan=%d", static_cast<int>(maxLevel - level) + 1) : "";
      if (text.empty()) {
        html.Add(" <td" + height + span + ">&nbsp;</td>");
        continue;
      }
      const TAlignment alignment =
          index == NoColumn ? tree_.Alignment() : tree_.Header().Columns()[index].Alignment();
      html.Add(" <td class=\"normalborder\" " + height + span + AlignAttribute(alignment));
      html.Add(" style=\"" + Format("padding-left:%dpx;", tree_.TextMargin()) +
               Format("padding-right:%dpx;\">", tree_.TextMargin()));
      html.Add(HtmlEscaped(text));
      html.Add("</td>");
    }
    html.Add(" </tr>");
  }
  html.Add("</table>");
  return html.AsString();
}

std::string TVTContentExporter::ContentToRTF(TVSTTextSourceType source) {
  const std::vector<PViewNode> nodes = Nodes(source);
  if (nodes.empty()) return {};
  TFont& font = tree_.Font();
  TFont& headerFont = tree_.Header().Font();
  TBufferedString rtf;
  rtf.Add("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl");
  rtf.Add("{\\f0 " + font.Name() + ";}");
  rtf.Add("{\\f1 " + headerFont.Name() + ";}");
  rtf.Add("}{\\colortbl;" + RtfColor(font.Color()) + RtfColor(headerFont.Color()) + "}");
  const std::vector<TColumnIndex> columns = ExportColumns();
  const TColumnIndex main = MainColumn();
  const bool withColumns = tree_.Header().UseColumns();
  // A row of cells: the right edges, then each cell with its alignment.
  auto row = [&](const std::vector<std::string>& cells) {
    rtf.Add("\\uc1\\trowd\\trgaph70");
    int right = 0;
    for (TColumnIndex index : columns) {
      right += tree_.Header().Columns()[index].Width() * 15;  // pixels to twips
      rtf.Add(Format("\\cellx%d", right));
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
      rtf.Add("\\pard\\intbl");
      const TAlignment alignment = tree_.Header().Columns()[columns[i]].Alignment();
      if (alignment == taRightJustify) rtf.Add("\\qr");
      if (alignment == taCenter) rtf.Add("\\qc");
      rtf.Add(cells[i]);
      rtf.Add("\\cell");
    }
    rtf.Add("\\row");
  };
  if (withColumns) {
    std::vector<std::string> captions;
    for (TColumnIndex index : columns) {
      captions.push_back(RtfFont(headerFont, 1, 2) + RtfEscaped(tree_.Header().Columns()[index].Text()) +
                         RtfFontEnd(headerFont));
    }
    row(captions);
  }
  for (PViewNode node : nodes) {
    const std::uint32_t level = tree_.GetNodeLevel(node);
    std::string indent;
    for (std::uint32_t i = 0; i < level; ++i) indent += "\\tab ";
    if (!withColumns) {
      rtf.Add(RtfFont(font, 0, 1) + indent + RtfEscaped(cellText_(node, NoColumn)) + RtfFontEnd(font) +
              "\\pard\\par");
      continue;
    }
    std::vector<std::string> cells;
    for (TColumnIndex index : columns) {
      cells.push_back(RtfFont(font, 0, 1) + (index == main ? indent : "") +
                      RtfEscaped(cellText_(node, index)) + RtfFontEnd(font));
    }
    row(cells);
  }
  rtf.Add("}");
  return rtf.AsString();
}

std::string TVTContentExporter::ContentToClipboardHTML(TVSTTextSourceType source) {
  static constexpr const char* kOpening =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<html><head>\r\n"
      "<META http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\r\n"
      "</head><body><!--StartFragment-->";
  static constexpr const char* kClosing = "<!--EndFragment--></body></html>";
  const std::string fragment = ContentToHTML(source);
  if (fragment.empty()) return {};
  auto header = [](int startHtml, int endHtml, int startFragment, int endFragment) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Version:1.0\r\n%s%.8d\r\n%s%.8d\r\n%s%.8d\r\n%s%.8d\r\n", "StartHTML:", startHtml, "EndHTML:",
                  endHtml, "StartFragment:", startFragment, "EndFragment:", endFragment);
    return std::string(text);
  };
  // The header's length does not depend on its numbers, which are 8 digits wide.
  const int startHtml = static_cast<int>(header(0, 0, 0, 0).size());
  const int startFragment = startHtml + static_cast<int>(std::strlen(kOpening));
  const int endFragment = startFragment + static_cast<int>(fragment.size());
  const int endHtml = endFragment + static_cast<int>(std::strlen(kClosing));
  return header(startHtml, endHtml, startFragment, endFragment) + kOpening + fragment + kClosing;
}

HGLOBAL TVTContentExporter::ContentToClipboard(WORD format, TVSTTextSourceType source) {
  const TTreeGlobals& globals = TreeGlobals();
  if (format == CF_TEXT) return BlockWithZero(ContentToText(source, '\t'));
  if (format == CF_UNICODETEXT) return BlockWithZero(ContentToUnicode(source, u'\t'));
  if (format == globals.CF_CSV) return BlockWithZero(ContentToText(source, ListSeparator()));
  if (format == globals.CF_VRTF || format == globals.CF_VRTFNOOBJS) return BlockWithZero(ContentToRTF(source));
  if (format == globals.CF_HTML) return BlockWithZero(ContentToClipboardHTML(source));
  return nullptr;
}

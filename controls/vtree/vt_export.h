// A tree's content as text for other programs: plain 8-bit text, Unicode text, CSV,
// RTF and HTML (with the clipboard's HTML header), built in growable buffers. The
// cell texts come through the text seam the exporter is given (the string tree's
// cell text); columns, fonts and colours come from the tree. Texts are escaped for
// the format they go into.
#pragma once

#include <functional>
#include <string>

#include "controls/vtree/vt_paint.h"

// 8-bit and 16-bit text buffers that grow in steps of 4096 units.
template <typename Char>
class TBasicBufferedString {
 public:
  void Add(std::basic_string_view<Char> text) {
    if (Capacity() - buffer_.size() <= text.size()) {
      std::size_t capacity = Capacity();
      while (capacity - buffer_.size() <= text.size()) capacity += kGrowStep;
      buffer_.reserve(capacity);
    }
    buffer_.append(text);
  }
  void AddNewLine() {
    static constexpr Char kNewLine[] = {'\r', '\n', 0};
    Add(kNewLine);
  }
  const std::basic_string<Char>& AsString() const { return buffer_; }

 private:
  static constexpr std::size_t kGrowStep = 4096;
  std::size_t Capacity() const { return buffer_.capacity(); }
  std::basic_string<Char> buffer_;
};
using TBufferedString = TBasicBufferedString<char>;
using TWideBufferedString = TBasicBufferedString<char16_t>;

// Which nodes an export takes, in tree order.
enum TVSTTextSourceType { tstAll, tstInitialized, tstSelected, tstCutCopySet, tstVisible };

// A cell's text; column -1 for a tree without columns.
using TVTCellTextFunction = std::function<std::u16string(PViewNode node, TColumnIndex column)>;

class TVTContentExporter {
 public:
  TVTContentExporter(TViewTreePainting& tree, TVTCellTextFunction cellText);

  // Lines of cells separated by Separator, a tree level to a column; the 8-bit form
  // in the program's code page.
  std::string ContentToText(TVSTTextSourceType source, char separator);
  std::u16string ContentToUnicode(TVSTTextSourceType source, char16_t separator);
  // A style block and a table (UTF-8).
  std::string ContentToHTML(TVSTTextSourceType source, const std::u16string& caption = {});
  std::string ContentToRTF(TVSTTextSourceType source);
  // The format's text in a new global block with its terminating zero; null for a
  // format not rendered here or an empty text.
  HGLOBAL ContentToClipboard(WORD format, TVSTTextSourceType source);
  // ContentToHTML inside the clipboard's HTML document, its offsets counted from
  // the bytes written.
  std::string ContentToClipboardHTML(TVSTTextSourceType source);

 private:
  template <typename Char>
  std::basic_string<Char> Lines(TVSTTextSourceType source, Char separator);
  std::vector<PViewNode> Nodes(TVSTTextSourceType source);
  std::vector<TColumnIndex> ExportColumns() const;
  TColumnIndex MainColumn() const;

  TViewTreePainting& tree_;
  TVTCellTextFunction cellText_;
};

// A wide text in UTF-8, each surrogate pair as one code point and a surrogate
// without its partner left out.
std::string ExportUtf8(std::u16string_view text);

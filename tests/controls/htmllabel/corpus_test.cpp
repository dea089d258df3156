// Crash corpus: the html5lib tree-construction inputs (Debian's golang-golang-x-net-dev
// ships them) tokenized under every option set, whole and cut short. The inputs are
// hostile by design; the tokenizer must end every one of them without fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "controls/htmllabel/mk_html_plugin.h"

namespace {

const char* const kCorpusFolder = "/usr/share/gocode/src/golang.org/x/net/html/testdata/webkit";

// The "#data" sections of a .dat file.
std::vector<std::string> Inputs(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> inputs;
  std::string line, current;
  bool inData = false;
  while (std::getline(in, line)) {
    if (line.rfind("#", 0) == 0) {
      if (inData) inputs.push_back(current);
      inData = line == "#data";
      current.clear();
      continue;
    }
    if (inData) current += (current.empty() ? "" : "\n") + line;
  }
  if (inData) inputs.push_back(current);
  return inputs;
}

std::size_t Tokenize(const std::string& html, int options) {
  TMkHtmlParser parser;
  for (int k = 1; k < kMkPieceKindCount; ++k) parser.SetFilter(static_cast<TMkPieceKind>(k), fiShow);
  parser.SetEnableASP(options & 1);
  parser.SetEnablePHP(options & 1);
  parser.SetEnableCustomTags(options & 2);
  parser.SetEnableSSI(options & 2);
  parser.SetNormalizeWhiteSpace(options & 4);
  if (options & 4) parser.SetDefaultContentScriptType(u"text/javascript");
  TMkHtmlCharSetPlugin plugin;
  plugin.SetHtmlParser(&parser);
  parser.SetSourceString(html);
  std::size_t pieces = 0;
  while (parser.ReadNextPiece()) ++pieces;
  return pieces;
}

TEST(MkCorpus, Html5libInputsTokenizeWithoutFault) {
  if (!std::filesystem::is_directory(kCorpusFolder)) {
    GTEST_SKIP() << kCorpusFolder << " not found (package golang-golang-x-net-dev): crash corpus skipped";
  }
  std::size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpusFolder)) {
    if (entry.path().extension() != ".dat") continue;
    for (const std::string& html : Inputs(entry.path())) {
      ++inputs;
      for (int options : {0, 3, 7}) {
        if (Tokenize(html, options) > html.size() + 1) ADD_FAILURE() << "more pieces than characters: " << html;
      }
      // Cut short at a few places, where a piece is most likely left open.
      for (std::size_t cut = 1; cut < html.size() && cut < 16; cut += 3) Tokenize(html.substr(0, html.size() - cut), 7);
    }
  }
  EXPECT_GT(inputs, 1000u);
}

}  // namespace

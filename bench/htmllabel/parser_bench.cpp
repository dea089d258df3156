// The label's HTML tokenizer on a 1 MB document, beside gumbo parsing the same bytes
// in this process. The tokenizer runs with the label's settings (tags and text
// delivered, attributes read, white space normalised); gumbo builds its whole tree,
// so the ratio (ours over gumbo's time) is an upper bound of a like-for-like cost.
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <cstdio>
#include <string>

#include "controls/htmllabel/mk_html_parser.h"
#include "bench/common/ratio_main.h"

namespace {

// About 1 MB of markup: paragraphs with links, entities, comments, tables, a form,
// a script and a style block, repeated with varying numbers.
const std::string& Document() {
  static const std::string doc = [] {
    std::string html = "<!DOCTYPE html><html><head><title>Bench &amp; test</title>"
                       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                       "<style>p { color: red; }</style></head><body>";
    for (int i = 0; html.size() < 1024 * 1024; ++i) {
      std::string n = std::to_string(i);
      html += "<div class=\"row r" + n + "\" id=d" + n + "><p>Paragraph " + n +
              " with <b>bold</b>, <i>italic</i> and a <a href=\"/page?id=" + n +
              "&amp;x=1\" title='Link " + n + "'>link</a> &copy; &#8364; caf&eacute;.</p>\n"
              "<!-- comment " + n + " --><table border=1><tr><td>" + n + "</td><td>&lt;cell&gt;</td></tr></table>"
              "<form action=/f method=post><input type=text name=q" + n + " value=\"v " + n +
              "\"><select name=s><option selected>one<option>two</select></form>";
      if (i % 50 == 0) html += "<script language=JavaScript>var s='</div>'; if (a < b) { x = /re/g; }</script>";
      html += "</div>\n";
    }
    return html + "</body></html>";
  }();
  return doc;
}

void TokenizerOurs(benchmark::State& state) {
  std::size_t pieces = 0;
  for (auto _ : state) {
    TMkHtmlParser parser;
    parser.SetNormalizeWhiteSpace(true);
    parser.FilterHtmlTags().Set(fiShow, fiShow);
    parser.SetFilter(pkText, fiShow);
    parser.SetSourceBuffer(Document().data(), Document().size());
    pieces = 0;
    while (parser.ReadNextPiece()) ++pieces;
    benchmark::DoNotOptimize(pieces);
  }
  state.counters["pieces"] = static_cast<double>(pieces);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Document().size()));
}

void ParserGumbo(benchmark::State& state) {
  for (auto _ : state) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, Document().data(), Document().size());
    benchmark::DoNotOptimize(output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Document().size()));
}

BENCHMARK(TokenizerOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(ParserGumbo)->Unit(benchmark::kMillisecond);


}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"TokenizerOurs", "ParserGumbo"}});
}

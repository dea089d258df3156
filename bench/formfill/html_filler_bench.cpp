// The HTML-text filler over a 500 KB page of 40 forms (tables with header rows,
// labels, text captions, selects with many options), every form matched and filled
// from an identity, against one plain lower-casing pass over the same page text: the
// ratio says what matching and filling a page costs in units of reading it once.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/common/ratio_main.h"
#include "controls/unicode/uni_sysutils.h"
#include "data/data_startup.h"
#include "data/field_dictionary.h"
#include "data/identities.h"
#include "formfill/html_text_filler.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr int kForms = 40;
constexpr std::size_t kPageBytes = 500 * 1024;
constexpr char16_t kWindow[] = u"PXID_BENCH";

std::string Form(int f, std::size_t bytes) {
  const std::string n = std::to_string(f);
  std::string html = "<form id=f" + n + " action=/send" + n + "><table class=grid>"
                     "<tr><td>First name</td><td>Last name</td><td colspan=2>Zip code</td></tr>"
                     "<tr><td><input name=a" + n + "></td><td><input name=b" + n + "></td>"
                     "<td><input name=c" + n + " size=5></td><td><input name=d" + n + "></td></tr></table>"
                     "<label for=e" + n + ">Email address</label><input id=e" + n + " type=text>"
                     "<p>City <input name=g" + n + "> State <select name=h" + n + ">";
  for (int o = 0; o < 50; ++o) html += "<option value=s" + std::to_string(o) + ">State number " + std::to_string(o);
  html += "</select></p><input name=txt_phone><input name=billing.zip><input type=checkbox name=keep>";
  // Filler text of the kind real pages carry between fields: scripts, help texts.
  for (int k = 0; html.size() < bytes; ++k) {
    const std::string m = std::to_string(k);
    html += "<div class=help><span>Please enter the details exactly as they appear on your statement (" + m +
            ").</span> Your data is safe with us.</div><p>Comment <input name=x" + n + "_" + m + "></p>";
  }
  return html + "<input type=submit value=Send></form>";
}

struct Page {
  ComPtr<platform::browser::HtmlDocument> document;
  std::vector<ComPtr<IHTMLElement>> forms;
  std::vector<std::u16string> texts;
  std::u16string whole;
};

const Page& ThePage() {
  static const Page page = [] {
    std::string html = "<html><head><title>Forms</title></head><body>";
    for (int f = 0; f < kForms; ++f) html += Form(f, kPageBytes / kForms);
    html += "</body></html>";
    Page built{platform::browser::HtmlDocument::Load(html, u"http://shop.test/"), {}, {}, platform::Utf8ToWide(html)};
    for (int f = 0; f < kForms; ++f) {
      ComPtr<IHTMLElement> form;
      built.document->getElementById(BString(u"f" + platform::AnsiToWide(std::to_string(f))).get(), form.Put());
      BString outer;
      form->get_outerHTML(outer.Put());
      built.forms.push_back(form);
      built.texts.push_back(outer.Text());
    }
    return built;
  }();
  return page;
}

void SetUpData() {
  LoadDataResourceLists(ReadDataResource);
  Experience = std::make_unique<TExperience>();
  ActiveIdentity = std::make_unique<TIdentity>("");
  for (const char16_t* key : {u"FIRSTNAME", u"LASTNAME", u"ZIP", u"EMAIL", u"CITY", u"STATE", u"PHONE"}) {
    ActiveIdentity->SetValue(key, std::u16string(u"value of ") + key);
  }
}

void LowerCasePage(benchmark::State& state) {
  const Page& page = ThePage();
  for (auto _ : state) benchmark::DoNotOptimize(LowerCaseWide(page.whole));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.whole.size() * 2));
}

void FillPage(benchmark::State& state) {
  const Page& page = ThePage();
  int matched = 0;
  for (auto _ : state) {
    // As the program fills a page: one field map for all its forms.
    const auto fieldMap = std::make_shared<const formfill::TFieldMatchMap>();
    for (std::size_t f = 0; f < page.forms.size(); ++f) {
      formfill::TDynamicVedoZorere filler(fieldMap);
      filler.Fill(page.forms[f].get(), page.texts[f], kWindow, true, true, true);
      matched += filler.Matched;
    }
    formfill::PreparedValues::Instance().DropWindow(kWindow);
  }
  if (matched == 0) state.SkipWithError("no form matched");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.whole.size() * 2));
}

BENCHMARK(LowerCasePage)->Unit(benchmark::kMillisecond);
BENCHMARK(FillPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  SetUpData();
  std::printf("page: %zu characters, %d forms\n", ThePage().whole.size(), kForms);
  return pellix_bench::RunWithRatios(argc, argv, {{"FillPage", "LowerCasePage"}});
}

// Filling a page of 2,000 fields from a stored form (PrepareFormFields with filling:
// each field's type, name, id and value read, the value written, its prepared-value
// token and key marked, the field coloured, selects matched by option) against
// building that page's document from its HTML. The ratio says what a whole fill costs
// in units of one page load.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "formfill/form_filling.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"
#include "bench/common/order_form.h"
#include "bench/common/ratio_main.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr int kFields = 2000;

const std::string& Page() {
  static const std::string page = pellix_bench::OrderPage(kFields);
  return page;
}

// The stored form: every field of the page with a value.
const TFormFieldList& StoredForm() {
  static const TFormFieldList fields = pellix_bench::OrderForm(kFields);
  return fields;
}

void Fill(platform::browser::HtmlDocument* document) {
  ComPtr<IHTMLElement> form;
  document->getElementById(BString(u"order").get(), form.Put());
  bool prepared = false, filled = false;
  formfill::PrepareFormFields(form.get(), &StoredForm(), u"", u"", true, prepared, filled, u"PXID_BE4C0000");
  formfill::PreparedValues::Instance().DropWindow(u"PXID_BE4C0000");
}

void BuildDocument(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::browser::HtmlDocument::Load(Page(), u"http://shop.test/order"));
  }
}

void FillPage(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto document = platform::browser::HtmlDocument::Load(Page(), u"http://shop.test/order");
    state.ResumeTiming();
    Fill(document.get());
  }
}

BENCHMARK(BuildDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(FillPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return pellix_bench::RunWithRatios(argc, argv, {{"FillPage", "BuildDocument"}});
}

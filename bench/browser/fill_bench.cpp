// Filling a page of 2,000 fields through the object model (type and value read, value
// written, the marks and the colour set, selects matched by option) against building
// that page's document from its HTML. The ratio says what a whole fill costs in
// units of one page load.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "platform/browser/html_document.h"

namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr int kFields = 2000;

const std::string& Page() {
  static const std::string page = [] {
    std::string html = "<html><head><title>Order</title></head><body><form id=order action=/send>";
    for (int i = 0; i < kFields; ++i) {
      std::string n = std::to_string(i);
      if (i % 10 == 9) {
        html += "<label for=s" + n + ">Choice " + n + "</label><select id=s" + n + " name=s" + n +
                "><option>Alpha<option>Beta<option value=g>Gamma</select>";
      } else {
        html += "<tr><td>Field " + n + "</td><td><input id=f" + n + " name=f" + n +
                (i % 7 == 0 ? " type=password" : "") + "></td></tr>";
      }
    }
    return html + "</form></body></html>";
  }();
  return page;
}

std::vector<ComPtr<IHTMLElement>> Items(IHTMLElementCollection* collection) {
  LONG length = 0;
  collection->get_length(&length);
  std::vector<ComPtr<IHTMLElement>> items;
  for (LONG i = 0; i < length; ++i) {
    ComPtr<IDispatch> item;
    Variant index = Variant::Int(i);
    if (SUCCEEDED(collection->item(index.raw(), index.raw(), item.Put())) && item) {
      items.push_back(item.As<IHTMLElement>());
    }
  }
  return items;
}

void Mark(IHTMLElement* field, const std::u16string& value) {
  field->setAttribute(BString(u"Pellix_Value").get(), Variant::Text(value).raw(), 0);
  field->setAttribute(BString(u"Pellix_Key").get(), Variant::Text(u"VALUE").raw(), 0);
  ComPtr<IHTMLStyle> style;
  if (SUCCEEDED(field->get_style(style.Put()))) {
    style->setAttribute(BString(u"background").get(), Variant::Text(u"#CEFF84").raw(), 0);
  }
  field->setAttribute(BString(u"Pellix_Colored").get(), Variant::Byte(1).raw(), 0);
}

void Fill(IHTMLDocument3* document) {
  ComPtr<IHTMLElementCollection> forms;
  document->getElementsByTagName(BString(u"form").get(), forms.Put());
  for (const ComPtr<IHTMLElement>& form : Items(forms.get())) {
    auto container = form.As<IHTMLElement2>();
    ComPtr<IHTMLElementCollection> inputs;
    container->getElementsByTagName(BString(u"input").get(), inputs.Put());
    for (const ComPtr<IHTMLElement>& field : Items(inputs.get())) {
      auto input = field.As<IHTMLInputElement>();
      Variant type;
      field->getAttribute(BString(u"type").get(), 0, type.Put());
      BString current;
      input->get_value(current.Put());
      if (current.Text().empty()) input->put_value(BString(u"value").get());
      Mark(field.get(), u"value");
    }
    ComPtr<IHTMLElementCollection> selects;
    container->getElementsByTagName(BString(u"select").get(), selects.Put());
    for (const ComPtr<IHTMLElement>& field : Items(selects.get())) {
      auto select = field.As<IHTMLSelectElement>();
      LONG length = 0;
      select->get_length(&length);
      for (LONG i = 0; i < length; ++i) {
        ComPtr<IDispatch> item;
        if (FAILED(select->item(Variant::Int(i).raw(), Variant::Byte(0).raw(), item.Put())) || !item) continue;
        auto option = item.As<IHTMLOptionElement>();
        BString text;
        option->get_text(text.Put());
        if (text.Text() == u"Gamma") {
          option->put_selected(VARIANT_TRUE);
          break;
        }
      }
      Mark(field.get(), u"Gamma");
    }
  }
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

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  void PrintRatio() {
    if (times_["BuildDocument"] > 0) {
      std::printf("fill of %d fields / build of its document = %.2f\n", kFields,
                  times_["FillPage"] / times_["BuildDocument"]);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio();
  return 0;
}

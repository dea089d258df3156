// Reading and filling an order form of 200 fields through the browser model, as the program
// does it (PrepareFormFields: each field's type, name, id and value read, the value
// written and the field marked), in a Chromium window against an in-process window.
// The Chromium run counts its document read and the round trip that makes sure the
// page has taken every change; the ratio says what the real browser costs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "bench/common/order_form.h"
#include "bench/common/ratio_main.h"
#include "formfill/form_filling.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/chromium_browser.h"
#include "platform/browser/in_process_browser.h"
#include "platform/com/class_table.h"

namespace {

using platform::browser::ChromiumBrowser;
using platform::browser::InProcessBrowser;
using platform::com::BString;
using platform::com::ComPtr;

constexpr int kFields = 200;
constexpr char16_t kAddress[] = u"http://shop.test/order";

const TFormFieldList& StoredForm() {
  static const TFormFieldList fields = pellix_bench::OrderForm(kFields);
  return fields;
}

// A window of the backend showing the order page, loaded.
ComPtr<IWebBrowser2> OrderWindow(bool chromium) {
  ComPtr<IWebBrowser2> window =
      chromium ? ChromiumBrowser::Instance().OpenWindow() : InProcessBrowser::Instance().OpenWindow();
  if (!window) return {};
  platform::com::Variant address = platform::com::Variant::Text(kAddress);
  window->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
  if (chromium) {
    ChromiumBrowser::Instance().WaitFor(window.get(), ChromiumBrowser::Counted::kLoads, 1);
  } else {
    platform::browser::WaitIdle(window.get());
  }
  return window;
}

void ReadAndFill(IWebBrowser2* window) {
  ComPtr<IDispatch> document;
  window->get_Document(document.Put());
  ComPtr<IHTMLElement> form;
  document.As<IHTMLDocument3>()->getElementById(BString(u"order").get(), form.Put());
  bool prepared = false, filled = false;
  formfill::PrepareFormFields(form.get(), &StoredForm(), u"", u"", true, prepared, filled, u"PXID_BE4C0000");
  formfill::PreparedValues::Instance().DropWindow(u"PXID_BE4C0000");
}

void Run(benchmark::State& state, bool chromium) {
  ComPtr<IWebBrowser2> window = OrderWindow(chromium);
  if (!window) {
    state.SkipWithError("no browser window");
    return;
  }
  for (auto _ : state) {
    ReadAndFill(window.get());
    // The next read waits for the page to have applied every change.
    ComPtr<IDispatch> settled;
    window->get_Document(settled.Put());
  }
  window->Quit();
}

void InProcessReadAndFill(benchmark::State& state) { Run(state, false); }
void ChromiumReadAndFill(benchmark::State& state) { Run(state, true); }

BENCHMARK(InProcessReadAndFill)->Unit(benchmark::kMillisecond);
BENCHMARK(ChromiumReadAndFill)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // A state root of its own: the browser's profile goes there, not into the user's.
  char root[] = "/tmp/pellix-bench-XXXXXX";
  if (mkdtemp(root) == nullptr) return 1;
  setenv("PELLIX_HOME", root, 1);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  InProcessBrowser::Instance().Install();
  auto pages = std::make_shared<platform::browser::PageMap>();
  pages->Add(kAddress, pellix_bench::OrderPage(kFields));
  InProcessBrowser::Instance().SetPages(pages);
  ChromiumBrowser::Instance().Configure(ChromiumBrowser::Options(false));
  ChromiumBrowser::Instance().SetPages(pages);
  int result = pellix_bench::RunWithRatios(argc, argv, {{"ChromiumReadAndFill", "InProcessReadAndFill"}});
  ChromiumBrowser::Instance().Shutdown();
  InProcessBrowser::Instance().CloseAll();
  std::filesystem::remove_all(root);
  return result;
}

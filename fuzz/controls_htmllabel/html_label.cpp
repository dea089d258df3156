// The label's caption on any bytes: the tree is built (DYNAMIC tags get the caption
// itself as their source), laid out and painted into a small picture with the fixed
// font at a width taken from the first byte, and a few points are hit-tested;
// nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "controls/htmllabel/mk_html_renderer.h"
#include "platform/gdi/device_context.h"

namespace {

class SelfSource : public IDynamicNodeHandler {
 public:
  explicit SelfSource(const std::string& text) : text_(text) {}
  void GetDynamicSource(TDynamicNode&, std::string& source) override { source = text_; }

 private:
  const std::string& text_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int width = data[0];
  const std::string caption(reinterpret_cast<const char*>(data + 1), size - 1);
  SelfSource source(caption);
  auto tree = TDefaultParser(&source).Parse(caption);
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 64, 64);
  SelectObject(dc, bitmap);
  {
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font().SetName("Pellix Test Fixed");
    canvas.Font().SetHeight(-8);
    TMkHtmlRenderer renderer;
    renderer.Render(canvas, RECT{0, 0, width, 64}, *tree);
    for (int y = 0; y < 64; y += 7) {
      TAreaNode* link = tree->FindNodeAt(POINT{y, y}, &IsNodeOf<TLinkNode>);
      if (link != nullptr) renderer.RenderArea(canvas, RECT{0, 0, width, 64}, *link);
    }
    canvas.SetHandle(0);
  }
  DeleteDC(dc);
  DeleteObject(bitmap);
  return 0;
}

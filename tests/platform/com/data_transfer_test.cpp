// Data objects, the OLE clipboard over the window system's clipboard, and scripted
// drag-and-drop runs between registered windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/drag_drop.h"
#include "platform/com/ole_clipboard.h"
#include "platform/win/clipboard.h"
#include "platform/win/input_driver.h"
#include "platform/win/message_queue.h"

namespace {

namespace drive = platform::input_driver;
using platform::com::ComObject;
using platform::com::ComPtr;
using platform::com::MakeComObject;

FORMATETC Global(WORD format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// Offers Unicode text it renders on request, counting the renders; tells when it goes.
class TextData : public ComObject<IDataObject> {
 public:
  TextData(std::u16string text, bool* gone) : text_(std::move(text)), gone_(gone) {}
  ~TextData() override {
    if (gone_) *gone_ = true;
  }
  int renders = 0;

  HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    ++renders;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = platform::win::NewTextBlock(text_);
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(const FORMATETC* format) override {
    return format->cfFormat == CF_UNICODETEXT && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(const FORMATETC*, FORMATETC*) override { return DATA_S_SAMEFORMATETC; }
  HRESULT SetData(const FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC** enumerator) override {
    return platform::com::ReturnInterface(platform::com::MakeFormatEnumerator({Global(CF_UNICODETEXT)}),
                                          enumerator);
  }
  HRESULT DAdvise(const FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::u16string text_;
  bool* gone_;
};

std::u16string SystemText() {
  EXPECT_TRUE(OpenClipboard(0));
  HGLOBAL block = GetClipboardData(CF_UNICODETEXT);
  std::u16string text = block ? platform::win::WideTextOfBlock(block) : u"<none>";
  CloseClipboard();
  return text;
}

void PutSystemText(const std::u16string& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, platform::win::NewTextBlock(text));
  CloseClipboard();
}

TEST(FormatEnumeratorTest, NextSkipResetAndClone) {
  std::vector<FORMATETC> formats;
  for (WORD f = 1; f <= 7; ++f) formats.push_back(Global(f));
  ComPtr<IEnumFORMATETC> e = platform::com::MakeFormatEnumerator(formats);
  FORMATETC out[5];
  ULONG fetched = 99;
  EXPECT_EQ(e->Next(5, out, &fetched), S_OK);
  EXPECT_EQ(fetched, 5u);
  EXPECT_EQ(out[4].cfFormat, 5);
  ComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(e->Clone(clone.Put()), S_OK);
  EXPECT_EQ(e->Next(5, out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(e->Next(5, out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(8), S_FALSE);
  EXPECT_EQ(e->Skip(7), S_OK);
  EXPECT_EQ(clone->Next(1, out, nullptr), S_OK);
  EXPECT_EQ(out[0].cfFormat, 6);
}

class CountingSink : public ComObject<IAdviseSink> {
 public:
  void OnDataChange(const FORMATETC*, STGMEDIUM* medium) override {
    ++changes;
    withData += medium != nullptr;
  }
  int changes = 0;
  int withData = 0;
};

TEST(AdviseHolderTest, TellsSinksUntilUnadvised) {
  ComPtr<IDataAdviseHolder> holder;
  ASSERT_EQ(CreateDataAdviseHolder(holder.Put()), S_OK);
  auto sink = MakeComObject<CountingSink>();
  auto data = MakeComObject<TextData>(u"x", nullptr);
  FORMATETC text = Global(CF_UNICODETEXT);
  DWORD first = 0, second = 0;
  EXPECT_EQ(holder->Advise(data.get(), &text, 0, sink.get(), &first), S_OK);
  EXPECT_EQ(holder->Advise(data.get(), &text, ADVF_NODATA, sink.get(), &second), S_OK);
  holder->SendOnDataChange(data.get(), 0, 0);
  EXPECT_EQ(sink->changes, 2);
  EXPECT_EQ(sink->withData, 1);
  EXPECT_EQ(holder->Unadvise(first), S_OK);
  EXPECT_EQ(holder->Unadvise(first), OLE_E_NOCONNECTION);
  holder->SendOnDataChange(data.get(), 0, 0);
  EXPECT_EQ(sink->changes, 3);
}

class OleClipboardTest : public testing::Test {
 protected:
  void SetUp() override { PutSystemText(u""); }
};

// The object's formats are rendered only when asked, once; text readers of the
// window system see them; another program's copy lets the object go.
TEST_F(OleClipboardTest, ObjectServesTextReadersUntilReplaced) {
  bool gone = false;
  auto data = MakeComObject<TextData>(u"caf\u00e9", &gone);
  ASSERT_EQ(OleSetClipboard(data.get()), S_OK);
  EXPECT_EQ(OleIsCurrentClipboard(data.get()), S_OK);
  EXPECT_EQ(data->renders, 0);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(SystemText(), u"caf\u00e9");
  EXPECT_EQ(SystemText(), u"caf\u00e9");
  EXPECT_EQ(data->renders, 1);
  ComPtr<IDataObject> got;
  ASSERT_EQ(OleGetClipboard(got.Put()), S_OK);
  EXPECT_EQ(got.get(), data.get());
  got.Reset();
  TextData* raw = data.get();
  data.Reset();
  EXPECT_FALSE(gone);
  PutSystemText(u"other");
  EXPECT_TRUE(gone);
  EXPECT_EQ(OleIsCurrentClipboard(raw), S_FALSE);
}

TEST_F(OleClipboardTest, FlushKeepsTheDataAndLetsTheObjectGo) {
  bool gone = false;
  {
    auto data = MakeComObject<TextData>(u"kept", &gone);
    ASSERT_EQ(OleSetClipboard(data.get()), S_OK);
  }
  EXPECT_FALSE(gone);
  EXPECT_EQ(OleFlushClipboard(), S_OK);
  EXPECT_TRUE(gone);
  EXPECT_EQ(SystemText(), u"kept");
}

// Without an object of this process the clipboard object reads the system's.
TEST_F(OleClipboardTest, SystemClipboardAsDataObject) {
  PutSystemText(u"plain");
  ComPtr<IDataObject> got;
  ASSERT_EQ(OleGetClipboard(got.Put()), S_OK);
  std::vector<FORMATETC> formats = platform::com::OfferedFormats(got.get());
  ASSERT_FALSE(formats.empty());
  FORMATETC text = Global(CF_UNICODETEXT);
  EXPECT_EQ(got->QueryGetData(&text), S_OK);
  STGMEDIUM medium;
  ASSERT_EQ(got->GetData(&text, &medium), S_OK);
  EXPECT_EQ(platform::win::WideTextOfBlock(medium.hGlobal), u"plain");
  ReleaseStgMedium(&medium);
  EXPECT_EQ(medium.hGlobal, nullptr);
  FORMATETC missing = Global(0xC123);
  EXPECT_EQ(got->GetData(&missing, &medium), DV_E_FORMATETC);
  EXPECT_EQ(OleSetClipboard(nullptr), S_OK);
  EXPECT_EQ(SystemText(), u"plain");
}

// A drop target that logs what it hears and accepts with a fixed effect.
class LoggingTarget : public ComObject<IDropTarget> {
 public:
  LoggingTarget(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  HRESULT DragEnter(IDataObject*, DWORD, POINT, DROPEFFECT* effect) override {
    log_.push_back(name_ + " enter");
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, POINT, DROPEFFECT* effect) override {
    if (log_.empty() || log_.back() != name_ + " over") log_.push_back(name_ + " over");
    *effect &= (keys & MK_SHIFT) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT DragLeave() override {
    log_.push_back(name_ + " leave");
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, POINT, DROPEFFECT* effect) override {
    FORMATETC text = Global(CF_UNICODETEXT);
    STGMEDIUM medium;
    std::u16string got;
    if (SUCCEEDED(data->GetData(&text, &medium))) {
      got = platform::win::WideTextOfBlock(medium.hGlobal);
      ReleaseStgMedium(&medium);
    }
    log_.push_back(name_ + " drop " + (got == u"dragged" ? "text" : "?"));
    *effect &= (keys & MK_SHIFT) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

// Goes on while the left button is down, stops at Escape, as a drag source does.
class ButtonSource : public ComObject<IDropSource> {
 public:
  HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT GiveFeedback(DROPEFFECT) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

class DragDropTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"DragDropTestWindow";
    RegisterClassW(&wc);
    left_ = CreateWindowExW(0, u"DragDropTestWindow", u"", WS_POPUP | WS_VISIBLE, 100, 100, 100, 100, 0, 0, 0,
                            nullptr);
    right_ = CreateWindowExW(0, u"DragDropTestWindow", u"", WS_POPUP | WS_VISIBLE, 300, 100, 100, 100, 0, 0, 0,
                             nullptr);
    child_ = CreateWindowExW(0, u"DragDropTestWindow", u"", WS_CHILD | WS_VISIBLE, 10, 10, 30, 30, right_, 0, 0,
                             nullptr);
    SetFocus(left_);
    ASSERT_EQ(RegisterDragDrop(left_, MakeComObject<LoggingTarget>("left", log_).get()), S_OK);
    ASSERT_EQ(RegisterDragDrop(right_, MakeComObject<LoggingTarget>("right", log_).get()), S_OK);
    drive::RunPending();
  }
  void TearDown() override {
    RevokeDragDrop(left_);
    DestroyWindow(left_);
    DestroyWindow(right_);
    drive::RunPending();
  }
  // Presses in the left window, then runs the drag over the queued input.
  HRESULT Drag(const std::function<void()>& script, DROPEFFECT& effect) {
    drive::MoveTo(drive::ScreenPoint(left_, 20, 20));
    drive::Press(VK_LBUTTON);
    drive::RunPending();
    script();
    auto data = MakeComObject<TextData>(u"dragged", nullptr);
    auto source = MakeComObject<ButtonSource>();
    return DoDragDrop(data.get(), source.get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  }

  HWND left_ = 0, right_ = 0, child_ = 0;
  std::vector<std::string> log_;
};

TEST_F(DragDropTest, DropOnTheTargetUnderThePointer) {
  DROPEFFECT effect = 99;
  HRESULT result = Drag(
      [&] {
        drive::MoveTo(drive::ScreenPoint(left_, 30, 30));
        drive::MoveTo(drive::ScreenPoint(child_, 5, 5));  // the child's registered parent takes it
        drive::Release(VK_LBUTTON);
      },
      effect);
  EXPECT_EQ(result, DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(log_, (std::vector<std::string>{"left enter", "left leave", "right enter",
                                            "right over", "right drop text"}));
}

TEST_F(DragDropTest, ShiftHeldAtTheDropMoves) {
  DROPEFFECT effect = 0;
  HRESULT result = Drag(
      [&] {
        drive::MoveTo(drive::ScreenPoint(right_, 50, 50));
        drive::KeyDown(VK_SHIFT);
        drive::MoveTo(drive::ScreenPoint(right_, 60, 50));
        drive::Release(VK_LBUTTON);
        drive::KeyUp(VK_SHIFT);
      },
      effect);
  EXPECT_EQ(result, DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_MOVE);
  drive::RunPending();
}

TEST_F(DragDropTest, EscapeCancelsWithLeave) {
  DROPEFFECT effect = 99;
  HRESULT result = Drag(
      [&] {
        drive::MoveTo(drive::ScreenPoint(right_, 50, 50));
        drive::Key(VK_ESCAPE);
        drive::Release(VK_LBUTTON);
      },
      effect);
  EXPECT_EQ(result, DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_EQ(log_.back(), "right leave");
  drive::RunPending();
}

TEST_F(DragDropTest, DropOutsideAnyTargetIsCancelled) {
  DROPEFFECT effect = 99;
  HRESULT result = Drag(
      [&] {
        drive::MoveTo(POINT{700, 700});
        drive::Release(VK_LBUTTON);
      },
      effect);
  EXPECT_EQ(result, DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_TRUE(log_.empty());
  drive::RunPending();
}

TEST_F(DragDropTest, RegistrationRules) {
  auto target = MakeComObject<LoggingTarget>("x", log_);
  EXPECT_EQ(RegisterDragDrop(left_, target.get()), DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_EQ(RegisterDragDrop(0, target.get()), DRAGDROP_E_INVALIDHWND);
  EXPECT_EQ(RevokeDragDrop(child_), DRAGDROP_E_NOTREGISTERED);
  EXPECT_EQ(RevokeDragDrop(left_), S_OK);
  EXPECT_EQ(RevokeDragDrop(left_), DRAGDROP_E_NOTREGISTERED);
}

}  // namespace

#include "formfill/password_inputs.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "formfill/browser_access.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"

namespace {

using formfill::TInputPasswordContext;
using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr char16_t kWindow[] = u"PXID_00000010";

class PasswordInputs : public ::testing::Test {
 protected:
  void Load(const std::string& html) { document_ = platform::browser::HtmlDocument::Load(html, u"http://site.test/"); }
  ComPtr<IHTMLElement> ById(const std::u16string& id) {
    ComPtr<IHTMLElement> element;
    EXPECT_EQ(document_->getElementById(BString(id).get(), element.Put()), S_OK);
    return element;
  }
  std::u16string Value(const std::u16string& id) {
    BString value;
    EXPECT_EQ(ById(id).As<IHTMLInputElement>()->get_value(value.Put()), S_OK);
    return value.Text();
  }
  std::u16string Page() {
    ComPtr<IHTMLElement> root;
    EXPECT_EQ(document_->get_documentElement(root.Put()), S_OK);
    BString html;
    EXPECT_EQ(root->get_outerHTML(html.Put()), S_OK);
    return html.Text();
  }
  std::shared_ptr<TInputPasswordContext> Context(const std::u16string& id) {
    return std::make_shared<TInputPasswordContext>(ById(id), kWindow);
  }
  void TearDown() override { formfill::PreparedValues::Instance().DropWindow(kWindow); }

  ComPtr<platform::browser::HtmlDocument> document_;
};

TEST_F(PasswordInputs, MarkPasswordPairLinksTheFirstTwo) {
  Load(R"(<form id=f><input type=password name=p1 id=i1><input name=user>
      <input type=PASSWORD name=p2 id=i2><input type=password name=p3 id=i3></form>
      <form id=one><input type=password name=only id=o></form><form id=none><input name=x></form>
      <div id=d></div>)");
  EXPECT_EQ(formfill::MarkPasswordPair(ById(u"f").get()), 2);
  EXPECT_EQ(formfill::ReadTextMark(ById(u"i1").get(), u"Pellix_PwdName"), u"p2");
  EXPECT_EQ(formfill::ReadTextMark(ById(u"i1").get(), u"Pellix_PwdID"), u"i2");
  EXPECT_EQ(formfill::ReadTextMark(ById(u"i2").get(), u"Pellix_PwdName"), u"p1");
  EXPECT_EQ(formfill::ReadTextMark(ById(u"i2").get(), u"Pellix_PwdID"), u"i1");
  EXPECT_EQ(formfill::ReadMark(ById(u"i3").get(), u"Pellix_PwdName").type(), VT_NULL);

  EXPECT_EQ(formfill::MarkPasswordPair(ById(u"one").get()), 1);
  Variant pairName = formfill::ReadMark(ById(u"o").get(), u"Pellix_PwdName");
  EXPECT_EQ(pairName.type(), VT_BSTR);
  EXPECT_EQ(pairName.StringValue(), u"");
  EXPECT_EQ(formfill::MarkPasswordPair(ById(u"none").get()), 0);
  EXPECT_EQ(formfill::MarkPasswordPair(nullptr), 0);
  EXPECT_EQ(formfill::MarkPasswordPair(static_cast<IHTMLDocument2*>(document_.get())), 0);  // not an element
}

TEST_F(PasswordInputs, ContextReadsWhatTheInputHolds) {
  Load(R"(<input type=password id=typed value=mine><input type=password id=prepared>
      <input type=password id=empty><input type=password id=number><input type=password id=foreign>
      <input type=password id=raw><input type=text id=text><div id=div></div>)");
  formfill::WritePreparedValue(ById(u"prepared").get(), kWindow, u"stored-secret");
  formfill::WritePreparedValue(ById(u"foreign").get(), u"PXID_00000099", u"other-window");
  formfill::WriteMark(ById(u"number").get(), u"Pellix_Value", Variant::Int(1234));
  formfill::WriteMark(ById(u"raw").get(), u"Pellix_Value", Variant::Text(u"plain text"));
  struct Case {
    std::u16string id;
    std::u16string value;
    bool typed;
  } cases[] = {{u"typed", u"mine", true},  {u"prepared", u"stored-secret", false}, {u"empty", u"", false},
               {u"number", u"", false},    {u"foreign", u"", false},               {u"raw", u"", false},
               {u"div", u"", false}};
  for (const Case& each : cases) {
    auto context = Context(each.id);
    EXPECT_EQ(context->Value(), each.value) << platform::WideToUtf8(each.id);
    EXPECT_EQ(context->ValueTyped(), each.typed) << platform::WideToUtf8(each.id);
  }
  formfill::PreparedValues::Instance().DropWindow(u"PXID_00000099");
}

TEST_F(PasswordInputs, FillPasswordWritesThePairAndKeepsTheSecretOutOfThePage) {
  Load(R"(<form id=f><input type=password name=pass id=pass><input name=user id=user>
      <input type=password name=repeat id=repeat></form>)");
  ASSERT_EQ(formfill::MarkPasswordPair(ById(u"f").get()), 2);
  auto context = Context(u"repeat");
  context->SetNewValue(u"Gen3rated!");
  context->FillPassword();
  EXPECT_EQ(Value(u"pass"), u"Gen3rated!");
  EXPECT_EQ(Value(u"repeat"), u"Gen3rated!");
  EXPECT_EQ(Value(u"user"), u"");
  EXPECT_EQ(context->Value(), u"Gen3rated!");
  for (const char16_t* id : {u"pass", u"repeat"}) {
    std::u16string prepared;
    ASSERT_TRUE(formfill::ReadPreparedValue(ById(id).get(), kWindow, prepared));
    EXPECT_EQ(prepared, u"Gen3rated!");
    std::string token = platform::WideToUtf8(formfill::ReadTextMark(ById(id).get(), u"Pellix_Value"));
    EXPECT_TRUE(std::regex_match(token, std::regex("PXV_[0-9A-F]{8}"))) << token;
  }
  EXPECT_EQ(Page().find(u"Gen3rated!"), std::u16string::npos);
}

TEST_F(PasswordInputs, FillPasswordWithoutPairOrValue) {
  Load(R"(<form id=f><input type=password name=pass id=pass><input type=password name=other id=other></form>)");
  std::u16string before = Page();
  auto context = Context(u"pass");
  context->FillPassword();  // nothing chosen yet
  EXPECT_EQ(Page(), before);
  context->SetNewValue(u"alone");
  context->FillPassword();  // never prepared: no pair marks
  EXPECT_EQ(Value(u"pass"), u"alone");
  EXPECT_EQ(Value(u"other"), u"");

  auto notInput = std::make_shared<TInputPasswordContext>(ById(u"f"), kWindow);
  notInput->SetNewValue(u"x");
  notInput->FillPassword();
  EXPECT_FALSE(notInput->InputElement());
}

TEST_F(PasswordInputs, AQueuedFillKeepsItsContextAfterTheWatcherDropsIt) {
  Load(R"(<form id=f><input type=password name=a id=a><input type=password name=b id=b></form>)");
  formfill::MarkPasswordPair(ById(u"f").get());
  std::shared_ptr<TInputPasswordContext> watcherHolds = Context(u"a");
  watcherHolds->SetNewValue(u"queued");  // the main thread, before queuing
  std::shared_ptr<TInputPasswordContext> queued = watcherHolds;
  std::thread watcherThread([queued] { queued->FillPassword(); });
  watcherHolds = Context(u"b");  // the next right click replaces the watcher's context
  watcherThread.join();
  EXPECT_EQ(Value(u"a"), u"queued");
  EXPECT_EQ(Value(u"b"), u"queued");
}

TEST(PreparedValues, TokensBelongToTheirWindowAndDocumentUntilDropped) {
  auto& table = formfill::PreparedValues::Instance();
  auto documentOf = [](const platform::com::ComPtr<platform::browser::HtmlDocument>& page) {
    platform::com::ComPtr<IHTMLElement> field;
    page->getElementById(platform::com::BString(u"x").get(), field.Put());
    return formfill::DocumentOf(field.get());
  };
  auto pageA = platform::browser::HtmlDocument::Load("<form><input id=x></form>", u"http://site.test/a");
  auto pageB = platform::browser::HtmlDocument::Load("<form><input id=x></form>", u"http://site.test/b");
  auto a = documentOf(pageA), b = documentOf(pageB);
  ASSERT_TRUE(a && b);
  const std::size_t before = table.Count();
  std::u16string first = table.Add(u"PXID_UNIT_A", a.get(), u"one");
  std::u16string second = table.Add(u"PXID_UNIT_B", a.get(), u"two");
  EXPECT_NE(first, second);
  std::u16string value;
  EXPECT_TRUE(table.Find(u"PXID_UNIT_A", a.get(), first, value));
  EXPECT_EQ(value, u"one");
  EXPECT_FALSE(table.Find(u"PXID_UNIT_B", a.get(), first, value));  // another window
  EXPECT_EQ(value, u"");
  EXPECT_FALSE(table.Find(u"PXID_UNIT_A", b.get(), first, value));  // another page of the window
  EXPECT_FALSE(table.Find(u"PXID_UNIT_A", nullptr, first, value));
  EXPECT_FALSE(table.Find(u"PXID_UNIT_A", a.get(), u"PXV_00000000", value));
  EXPECT_EQ(table.Add(u"PXID_UNIT_A", nullptr, u"nowhere"), u"");
  table.DropWindow(u"PXID_UNIT_A");
  EXPECT_FALSE(table.Find(u"PXID_UNIT_A", a.get(), first, value));
  EXPECT_TRUE(table.Find(u"PXID_UNIT_B", a.get(), second, value));
  // A page of the window that comes later keeps values again; a closed window does not.
  EXPECT_NE(table.Add(u"PXID_UNIT_A", b.get(), u"again"), u"");
  table.DropWindow(u"PXID_UNIT_A");
  table.CloseWindow(u"PXID_UNIT_B");
  EXPECT_FALSE(table.Find(u"PXID_UNIT_B", a.get(), second, value));
  EXPECT_EQ(table.Add(u"PXID_UNIT_B", a.get(), u"late"), u"");
  EXPECT_EQ(table.Count(), before);
}

}  // namespace

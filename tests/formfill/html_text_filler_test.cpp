#include "formfill/html_text_filler.h"

#include <gtest/gtest.h>

#include "common/test_env.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/identities.h"
#include "formfill/browser_access.h"
#include "formfill/prepared_values.h"
#include "platform/base/text.h"
#include "platform/browser/html_document.h"
#include "tools/match-fields/field_matches.h"

namespace {

using formfill::TDynamicVedoZorere;
using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;
using platform::browser::HtmlDocument;

constexpr char16_t kWindow[] = u"PXID_TEST";

std::string Narrow(const std::u16string& s) { return platform::WideToUtf8(s); }

class HtmlTextFillerTest : public ::testing::Test {
 protected:
  void SetUp() override { match_fields::UseFixedIdentity(); }
  void TearDown() override {
    match_fields::ClearFixedIdentity();
    formfill::PreparedValues::Instance().DropWindow(kWindow);
  }

  // The keys the fields of the page's forms received, blank-separated, in order.
  static std::string Keys(const std::string& html, const std::vector<std::u16string>& texts = {}) {
    std::string keys;
    for (const match_fields::FieldMatch& match : match_fields::MatchFields(html, texts)) {
      keys += (keys.empty() ? "" : " ") + Narrow(match.key);
    }
    return keys;
  }

  // A page, its forms and the filler's run over one of them.
  struct Page {
    ComPtr<HtmlDocument> document;
    ComPtr<IHTMLElement> Form(int index) const {
      ComPtr<IHTMLElementCollection> forms;
      document->getElementsByTagName(BString(u"form").get(), forms.Put());
      ComPtr<IDispatch> item;
      forms->item(Variant::Int(index).raw(), Variant::Int(0).raw(), item.Put());
      return item.As<IHTMLElement>();
    }
    ComPtr<IHTMLElement> ById(const std::u16string& id) const {
      ComPtr<IHTMLElement> element;
      document->getElementById(BString(id).get(), element.Put());
      return element;
    }
    std::u16string Value(const std::u16string& id) const {
      BString value;
      ById(id).As<IHTMLInputElement>()->get_value(value.Put());
      return value.Text();
    }
  };

  static Page Load(const std::string& html) { return Page{HtmlDocument::Load(html, u"http://site.test/")}; }

  static void Run(const Page& page, int form, TDynamicVedoZorere& filler, bool apply, bool fillEmpty,
                  bool overwrite) {
    ComPtr<IHTMLElement> element = page.Form(form);
    BString outer;
    ASSERT_EQ(element->get_outerHTML(outer.Put()), S_OK);
    filler.Fill(element.get(), outer.Text(), kWindow, apply, fillEmpty, overwrite);
  }
};

// Each snippet is one form; its fields report the keys they were given, in order.
// Every case runs on the page's own outer HTML of the form and on the snippet text as
// written, and both must agree unless the case is about text the page rewrites.
TEST_F(HtmlTextFillerTest, FieldsMatchTheirKeys) {
  struct Case {
    const char* what;
    const char* html;
    const char* keys;
    const char* rawKeys;  // nullptr: the same as keys
  };
  const Case cases[] = {
      {"by name, prefix and dotted suffix",
       R"(<form><input name="fname"><input name="txt_city"><input name="billing.zip"><input name="txtlname">
          <input name="iphone"><select name="cmbcountry"></select><input id="email"></form>)",
       "FIRSTNAME CITY ZIP LASTNAME PHONE COUNTRY EMAIL", nullptr},
      {"the map's earliest name wins: exact name or id, then after a prefix or any dot",
       R"(<form><input name="zip" id="city"><input name="x.zip.city"><input name="txtzip" id="a.city">
          <input name="i.zip"><input name="zip."><input name="txtx.zipcode"></form>)",
       "CITY CITY CITY ZIP - ZIP", nullptr},
      {"an id= inside another attribute's name does not count",
       R"(<form><input userid="3" id="email"></form>)", "-", nullptr},
      {"a skipped checkbox leaves the caption text before it in place",
       R"(<form>First name <input type="checkbox" name="c"> <input name="a1"></form>)", "FIRSTNAME", nullptr},
      {"a type in single quotes is not text in the written HTML",
       R"(<form><input type='text' name='fname'></form>)", "FIRSTNAME", "-"},
      {"text-like types are text, other types are skipped",
       R"(<form><input type="email" name="email"><input type="hidden" name="fname">
          <input type="TEXT" name="city"><input type="tel" name="phone"><input type="date" name="dob"></form>)",
       "EMAIL CITY PHONE", nullptr},
      {"a label for= the id", R"(<form><label for="a1">First Name</label><input id="a1"></form>)", "FIRSTNAME",
       nullptr},
      {"a label word must stand alone", R"(<form><label for="a1">Firstnames</label><input id="a1"></form>)", "-",
       nullptr},
      {"a label for= the name", R"(<form><label for="n1">Town</label><input name="n1" id="zz9"></form>)", "CITY",
       nullptr},
      {"'!' needs the whole label", R"(<form><label for="a">Name:</label><input id="a"></form>)", "NAME", nullptr},
      {"'!' refuses a longer label", R"(<form><label for="a">Name: of pet</label><input id="a"></form>)", "-",
       nullptr},
      {"'$' needs the label to begin with it",
       R"(<form><label for="a">Email (required)</label><input id="a"><label for="b">Primary email</label>
          <input id="b"></form>)",
       "EMAIL -", nullptr},
      {"text since the previous field only",
       R"(<form>City <input name="a1"> Zip <input name="a2"></form>)", "CITY ZIP", nullptr},
      {"text since the end of the last table",
       R"(<form><table><tr><td>Phone</td></tr></table>Fax <input name="z"></form>)", "FAX", nullptr},
      {"options are never caption text",
       R"(<form><select name="s1"><option>First name</option></select><input name="q9"></form>)", "- -", nullptr},
      {"header cells by column",
       R"(<form><table><tr><td>First name</td><td>Last name</td></tr>
          <tr><td><input name="a"></td><td><input name="b"></td></tr></table></form>)",
       "FIRSTNAME LASTNAME", nullptr},
      {"column spans",
       R"(<form><table><tr><td>City</td><td colspan="2">Zip code</td></tr>
          <tr><td><input name="a"></td><td><input name="b"></td><td><input name="c"></td></tr></table></form>)",
       "CITY ZIP ZIP", nullptr},
      {"the cell before the field",
       R"(<form><table><tr><td>Company</td><td><input name="a"></td></tr></table></form>)", "COMPANY", nullptr},
      {"header rows up to three above, nearest first",
       R"(<form><table><tr><td>Email</td></tr><tr><td> </td></tr><tr><td><input name="a"></td></tr></table></form>)",
       "EMAIL", nullptr},
      {"no header row four above",
       R"(<form><table><tr><td>Email</td></tr><tr><td>x</td></tr><tr><td>x</td></tr><tr><td>x</td></tr>
          <tr><td><input name="a"></td></tr></table></form>)",
       "-", nullptr},
      {"a header cell holding a field ends the search",
       R"(<form><table><tr><td>First name</td></tr><tr><td><input name="h"></td></tr>
          <tr><td><input name="x"></td></tr></table></form>)",
       "FIRSTNAME -", nullptr},
      {"a second address line needs the first",
       R"(<form><input name="street2"><input name="street1"><input name="address2"></form>)",
       "- STREET1 STREET2", nullptr},
      {"a card code needs the card number",
       R"(<form><input name="cvv"><input name="cardnumber"><input name="ccc"></form>)", "- CCNUM CCCODE", nullptr},
      {"disableff and small sizes are never filled",
       R"(<form><input name="fname" disableff="1"><input name="zip" size="2"><input name="city" size="x">
          <input name="lname" size="3"></form>)",
       "- - CITY LASTNAME", nullptr},
      {"selects match like inputs", R"(<form><select name="state"><option>CA</option></select></form>)", "STATE",
       nullptr},
      {"fields without name or id", R"(<form>First name <input></form>)", "-", nullptr},
      {"names of the built-in ignore list are never handled, and IGNORE is no key",
       R"(<form>First name <input name="q"> <label for="s">Search</label><input type="search" id="s"
          name="site-search"> Query <input name="x1"></form>)",
       "- - -", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Keys(c.html), c.keys);
    EXPECT_EQ(Keys(c.html, {platform::Utf8ToWide(c.html)}), c.rawKeys ? c.rawKeys : c.keys);
  }
}

// A login form and a registration form both hold "email": each form's values go
// into its own fields only.
TEST_F(HtmlTextFillerTest, FieldsOfOneNameAreTakenFromTheFormBeingFilled) {
  const Page page = Load(R"(<form id="login"><input name="email" id="le"><input type="password" name="pw"></form>
      <form id="register"><input name="fname" id="rf"><input name="email" id="re"><input name="email" id="re2">
      </form>)");
  TDynamicVedoZorere filler;
  Run(page, 1, filler, true, true, false);
  EXPECT_TRUE(filler.Matched);
  EXPECT_EQ(page.Value(u"le"), u"");
  EXPECT_EQ(formfill::ReadTextMark(page.ById(u"le").get(), u"Pellix_Key"), u"");
  EXPECT_EQ(page.Value(u"rf"), u"value of FIRSTNAME");
  EXPECT_EQ(page.Value(u"re"), u"value of EMAIL");
  EXPECT_EQ(page.Value(u"re2"), u"value of EMAIL");
}

// Fields of one name receive the elements of that name in order, also when a field
// before them was not filled (disabled, or an input of another type).
TEST_F(HtmlTextFillerTest, FieldsOfOneNameReceiveTheirOwnElements) {
  const Page page = Load(R"(<form><input type="checkbox" name="phone" id="p0"><input name="phone" id="p1"
      disableff="1"><input name="phone" id="p2"><input name="phone" id="p3"></form>)");
  TDynamicVedoZorere filler;
  Run(page, 0, filler, true, true, false);
  EXPECT_EQ(page.Value(u"p1"), u"");
  EXPECT_EQ(page.Value(u"p2"), u"value of PHONE");
  EXPECT_EQ(page.Value(u"p3"), u"value of PHONE");
  EXPECT_EQ(formfill::ReadTextMark(page.ById(u"p0").get(), u"Pellix_Key"), u"");
}

TEST_F(HtmlTextFillerTest, LabelsAndNamesInOtherScriptsMatch) {
  Experience->Lines.Add(u"FIRSTNAME=\u0418\u043c\u044f;\u03cc\u03bd\u03bf\u03bc\u03b1;\u540d\u524d");
  Experience->Lines.Add(u"CITY=\u0413\u043e\u0440\u043e\u0434");
  const std::string html = platform::WideToUtf8(
      u"<form><label for=\"a\">\u0418\u041c\u042f</label><input id=\"a\">"
      u"<label for=\"b\">\u038c\u039d\u039f\u039c\u0391</label><input id=\"b\">"
      u"<label for=\"c\">\u304a\u540d\u524d</label><input id=\"c\">"
      u"<input name=\"\u0413\u041e\u0420\u041e\u0414\" id=\"d\">"
      u"<label for=\"e\">\u0418\u043c\u044f\u0448\u043a\u0430 \u0444\u0430\u043c\u0438\u043b\u0438\u044f</label>"
      u"<input id=\"e\"></form>");
  EXPECT_EQ(Keys(html), "FIRSTNAME FIRSTNAME FIRSTNAME CITY -");
  const Page page = Load(html);
  TDynamicVedoZorere filler;
  Run(page, 0, filler, true, true, false);
  EXPECT_EQ(page.Value(u"d"), u"value of CITY");
}

TEST_F(HtmlTextFillerTest, OptionsDecideWhatIsWritten) {
  const std::string html = R"(<form><input name="fname" id="empty"><input name="lname" id="full" value="Old">
      <select name="country" id="country"><option value="de">Deutschland</option>
      <option value="xx">UNITED STATES</option><option value="us">USA</option></select></form>)";
  ActiveIdentity->SetValue(u"COUNTRY", u"United States\tUSA\tUS");
  struct Case {
    bool apply, fillEmpty, overwrite;
    const char16_t* empty;
    const char16_t* full;
    LONG selected;
    bool marked;
  };
  const Case cases[] = {
      {false, true, true, u"", u"Old", 0, false},
      {true, false, false, u"", u"Old", 0, true},
      {true, true, false, u"value of FIRSTNAME", u"Old", 1, true},
      {true, false, true, u"value of FIRSTNAME", u"value of LASTNAME", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.apply << c.fillEmpty << c.overwrite);
    const Page page = Load(html);
    TDynamicVedoZorere filler;
    Run(page, 0, filler, c.apply, c.fillEmpty, c.overwrite);
    EXPECT_TRUE(filler.Matched);
    EXPECT_EQ(filler.Marked, c.marked);
    EXPECT_EQ(page.Value(u"empty"), c.empty);
    EXPECT_EQ(page.Value(u"full"), c.full);
    LONG selected = -1;
    page.ById(u"country").As<IHTMLSelectElement>()->get_selectedIndex(&selected);
    EXPECT_EQ(selected, c.selected);
    // Marks: the key in the page, the value only behind a token of the window.
    const std::u16string key = formfill::ReadTextMark(page.ById(u"full").get(), u"Pellix_Key");
    std::u16string prepared;
    formfill::ReadPreparedValue(page.ById(u"country").get(), kWindow, prepared);
    EXPECT_EQ(key, c.apply ? u"LASTNAME" : u"");
    EXPECT_EQ(prepared, c.apply ? u"United States\tUSA\tUS" : u"");
    EXPECT_EQ(formfill::ReadMark(page.ById(u"empty").get(), u"Pellix_Colored").type(), c.apply ? VT_UI1 : VT_NULL);
  }
}

TEST_F(HtmlTextFillerTest, PreparedStoredValuesAreKept) {
  const Page page = Load(R"(<form><input name="fname" id="a"><input name="lname" id="b"></form>)");
  formfill::WriteMark(page.ById(u"a").get(), u"Pellix_Key", Variant::Text(u"VALUE"));
  formfill::WritePreparedValue(page.ById(u"a").get(), kWindow, u"Stored");
  formfill::WriteMark(page.ById(u"b").get(), u"Pellix_Key", Variant::Text(u"VALUE"));
  formfill::WritePreparedValue(page.ById(u"b").get(), kWindow, u"");
  TDynamicVedoZorere filler;
  Run(page, 0, filler, true, true, true);
  EXPECT_EQ(page.Value(u"a"), u"");
  EXPECT_EQ(formfill::ReadTextMark(page.ById(u"a").get(), u"Pellix_Key"), u"VALUE");
  EXPECT_EQ(page.Value(u"b"), u"value of LASTNAME");
}

TEST_F(HtmlTextFillerTest, EmptyValuesWithDebugFillReceiveTheKey) {
  ActiveIdentity->SetValue(u"PHONE", u"");
  const Page page = Load(R"(<form><input name="phone" id="p"></form>)");
  TDynamicVedoZorere plain;
  Run(page, 0, plain, true, true, false);
  EXPECT_TRUE(plain.Matched);
  EXPECT_FALSE(plain.Marked);
  EXPECT_EQ(page.Value(u"p"), u"");
  const Page debug = Load(R"(<form><input name="phone" id="p"></form>)");
  TDynamicVedoZorere filler;
  filler.DebugFill = true;
  Run(debug, 0, filler, true, true, false);
  EXPECT_EQ(debug.Value(u"p"), u"PHONE");
}

TEST_F(HtmlTextFillerTest, NothingHappensWithoutFormOrText) {
  const Page page = Load(R"(<form><input name="fname" id="a"></form>)");
  TDynamicVedoZorere filler;
  filler.Fill(nullptr, u"<input name=\"fname\">", kWindow, true, true, true);
  filler.Fill(page.Form(0).get(), u"", kWindow, true, true, true);
  EXPECT_FALSE(filler.Matched);
  EXPECT_EQ(page.Value(u"a"), u"");
}

// Text that is no well-formed HTML: the filler reads what it can and never reads
// outside the text. It writes only into a field the text names, and only the field's
// whole value; the rest of the page is untouched.
TEST_F(HtmlTextFillerTest, HostileTextIsReadSafely) {
  const Page page = Load(R"(<form><input name="fname" id="a"><input name="other" id="b" value="kept"></form>)");
  const std::u16string texts[] = {
      u"<input",
      u"<input name=\"fname",
      u"<select name=fname>",
      u"<label for=a>",
      u"<label for=\"a\">First name",
      u"<label",
      u"<td colspan=99999999999999><input name=zz>",
      u"<table><tr><td><tr><td><input name=a1><td colspan=\"-3\"><input name=a2>",
      u"</table><tr><td>First name<td><input name=a3>",
      u"<form <td <tr <table <input id= name= type= size= disableff= >",
      u"<input name=\"\"fname\"\" id= type=text>",
      u"<input =fname>",
      u">>>>><<<<<input name=fname<<<<",
      u"<td><td><td><td><input name=fname",
      std::u16string(5000, u'<') + u"input name=fname>",
      u"<input name=fname>" + std::u16string(3000, u'x') + u"<label for=fname>Last name</label",
  };
  BString untouched;
  ASSERT_EQ(page.ById(u"b")->get_outerHTML(untouched.Put()), S_OK);
  for (const std::u16string& text : texts) {
    SCOPED_TRACE(Narrow(text.substr(0, 60)));
    TDynamicVedoZorere filler;
    filler.Fill(page.Form(0).get(), text, kWindow, true, true, true);
    const std::u16string first = page.Value(u"a");
    EXPECT_TRUE(first.empty() || first == u"value of FIRSTNAME") << Narrow(first);
    BString other;
    ASSERT_EQ(page.ById(u"b")->get_outerHTML(other.Put()), S_OK);
    EXPECT_EQ(other.Text(), untouched.Text());
    EXPECT_EQ(page.Value(u"b"), u"kept");
  }
}

// Whole pages as the match-fields tool reads them: the keys each field receives are
// the recorded ones (a change in matching quality shows here first).
TEST_F(HtmlTextFillerTest, FixturePagesMatchAsRecorded) {
  for (const char* name : {"checkout", "two_forms", "scripts", "table_form"}) {
    SCOPED_TRACE(name);
    const std::string html = pellix_test::ReadBytes(pellix_test::Fixture(std::string("forms/") + name + ".html"));
    const std::string expected = pellix_test::ReadBytes(pellix_test::Fixture(std::string("forms/") + name + ".expected"));
    EXPECT_EQ(match_fields::FormatMatches(match_fields::MatchFields(html)), expected);
  }
}

TEST(HtmlToPlainTextTest, DropsTagsAndBlankEntities) {
  struct Case {
    const char16_t* html;
    const char16_t* plain;  // with runs of blanks made one and the ends trimmed
  };
  const Case cases[] = {
      {u"<b>Name:</b>", u"Name:"},
      {u"first&nbsp;name", u"first name"},
      {u"a>b<c", u"b c"},
      {u"x<y", u"x y"},
      {u"<<>>", u""},
      {u"\u0418\u043c\u044f&nbsp;<i>\u4e2d</i>", u"\u0418\u043c\u044f \u4e2d"},
  };
  for (const Case& c : cases) {
    std::u16string collapsed;
    for (char16_t ch : formfill::HtmlToPlainText(c.html)) {
      if (ch != u' ' || (!collapsed.empty() && collapsed.back() != u' ')) collapsed += ch;
    }
    while (!collapsed.empty() && collapsed.back() == u' ') collapsed.pop_back();
    EXPECT_EQ(collapsed, c.plain) << Narrow(c.html);
  }
}

// Exactly: the text before each "<" and a blank; from each ">" on, the next text; a
// blank and the text after the last of both.
TEST(HtmlToPlainTextTest, StrayBracketsGiveTheExactText) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"a>b<c>d<<e>f", u"b d   f"}, {u"<x<y>z>w", u" x  w"}, {u"p>>q<r", u"q  r"}, {u"a<b", u"a  b"},
      {u">", u" "},
  };
  for (const auto& [html, plain] : cases) {
    EXPECT_EQ(formfill::HtmlToPlainText(html), plain) << Narrow(std::u16string(html));
  }
}

TEST(TagAttributeTest, ReadsTheFirstOccurrenceOnly) {
  struct Case {
    const char16_t* tag;
    const char16_t* attribute;
    const char16_t* value;
  };
  const Case cases[] = {
      {u"<input name=\"fname\">", u"name=", u"fname"},
      {u"<input name=fname>", u"name=", u"fname"},
      {u"<input name = fname size=3>", u"name=", u""},  // "name=" is not there as written
      {u"<input name=  \"a b\" >", u"name=", u"a b"},
      {u"<input name=\"open>", u"name=", u""},
      {u"<input type='text'>", u"type=", u"'text'"},
      {u"<input userid=3 id=email>", u"id=", u""},
      {u"<input\tid=x>", u"id=", u"x"},
      {u"<input id=>", u"id=", u""},
      {u"<input>", u"id=", u""},
  };
  for (const Case& c : cases) {
    const std::u16string_view tag(c.tag);
    const auto [start, length] = formfill::GetTagAttribute(tag, c.attribute);
    EXPECT_EQ(std::u16string(tag.substr(start, length)), c.value) << Narrow(c.tag);
  }
}

}  // namespace

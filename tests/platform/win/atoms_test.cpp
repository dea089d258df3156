#include "platform/win/atoms.h"

#include <gtest/gtest.h>

#include <string>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"

namespace {

// A second process registers the same name and must get the number we got.
const bool kRegistered = pellix_test::RegisterChildRole(
    "register-message", [](const std::vector<std::string>& args) {
      UINT number = RegisterWindowMessageA(args.at(0).c_str());
      return std::to_string(number) == args.at(1) ? 0 : 1;
    });

TEST(Atoms, NamesAreCaseBlindAndRoundTrip) {
  ATOM atom = GlobalAddAtomA("Quorra0000ABCD");
  ASSERT_GE(atom, MAXINTATOM);
  EXPECT_EQ(GlobalFindAtomW(u"QUORRA0000abcd"), atom);
  char16_t name[64];
  ASSERT_EQ(GlobalGetAtomNameW(atom, name, 64), 14u);
  EXPECT_EQ(std::u16string(name), u"Quorra0000ABCD");
  char shortBuffer[5];
  EXPECT_EQ(GlobalGetAtomNameA(atom, shortBuffer, 5), 4u);
  EXPECT_STREQ(shortBuffer, "Quor");
}

TEST(Atoms, IntegerAtomsAndBadNames) {
  EXPECT_EQ(GlobalAddAtomW(u"#123"), 123);
  EXPECT_EQ(GlobalAddAtomA(MAKEINTATOMA(77)), 77);
  char name[16];
  ASSERT_GT(GlobalGetAtomNameA(77, name, 16), 0u);
  EXPECT_STREQ(name, "#77");
  EXPECT_EQ(GlobalAddAtomW(u""), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GlobalAddAtomW(std::u16string(256, u'x').c_str()), 0);
  EXPECT_EQ(GlobalFindAtomW(u"never added anywhere"), 0);
}

TEST(Atoms, RegisteredMessagesAreStableAcrossProcesses) {
  UINT first = RegisterWindowMessageA("PellixMessage");
  UINT second = RegisterWindowMessageW(u"PellixScanIEMessage");
  ASSERT_GE(first, 0xC000u);
  ASSERT_NE(first, second);
  EXPECT_EQ(RegisterWindowMessageW(u"pellixmessage"), first);
  EXPECT_EQ(pellix_test::RunChild("register-message", {"PellixMessage", std::to_string(first)}), 0);
  EXPECT_EQ(pellix_test::RunChild("register-message", {"PellixScanIEMessage", std::to_string(second)}), 0);
  // A name first registered by the child is known to us with the child's number.
  EXPECT_NE(pellix_test::RunChild("register-message", {"ChildFirst", "0"}), 0);
  EXPECT_GE(GlobalFindAtomA("ChildFirst"), MAXINTATOM);
}

TEST(Atoms, ClipboardFormatsAreNamedNumbers) {
  UINT format = RegisterClipboardFormatA("View Tree Data");
  ASSERT_GE(format, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormatA("view tree data"), format);
  char name[64] = {};
  EXPECT_EQ(GetClipboardFormatNameA(format, name, sizeof name), 14);
  EXPECT_STREQ(name, "View Tree Data");
  char cut[5] = {};
  EXPECT_EQ(GetClipboardFormatNameA(format, cut, sizeof cut), 4);
  EXPECT_STREQ(cut, "View");
  // Standard and never-registered numbers have no name.
  EXPECT_EQ(GetClipboardFormatNameA(1, name, sizeof name), 0);
  EXPECT_EQ(GetClipboardFormatNameA(0xFFFF, name, sizeof name), 0);
}

}  // namespace

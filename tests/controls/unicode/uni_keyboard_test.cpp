#include <gtest/gtest.h>

#include "controls/unicode/uni_system.h"
#include "controls/unicode/uni_sysutils.h"
#include "platform/classlib/menus.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_queue.h"

namespace {

// Restores the US layout however a test ends.
struct Layout {
  explicit Layout(HKL layout) { ActivateKeyboardLayout(layout, 0); }
  ~Layout() { ActivateKeyboardLayout(kLayoutUnitedStates, 0); }
};

TEST(WideShortCutText, NamesFollowTheKeyboardLayout) {
  struct Case {
    HKL layout;
    TShortCut shortCut;
    const char16_t* expected;
  };
  const Case cases[] = {
      {kLayoutUnitedStates, static_cast<TShortCut>(VK_F5 | scCtrl | scShift), u"Shift+Ctrl+F5"},
      {kLayoutUnitedStates, static_cast<TShortCut>('1' | scCtrl), u"Ctrl+1"},
      // The French 1 key types "&" without Shift; the text still shows the digit.
      {kLayoutFrench, static_cast<TShortCut>('1' | scCtrl), u"Ctrl+1"},
      {kLayoutUnitedStates, static_cast<TShortCut>('A' | scAlt | scCtrl), u"Ctrl+Alt+A"},
      {kLayoutUnitedStates, static_cast<TShortCut>((VK_NUMPAD0 + 5) | scAlt), u"Alt+5"},
      {kLayoutUnitedStates, static_cast<TShortCut>(0xBC | scCtrl), u"Ctrl+,"},
      {kLayoutUnitedStates, static_cast<TShortCut>(VK_DELETE), u"Del"},
      {kLayoutUnitedStates, static_cast<TShortCut>(VK_BACK | scShift), u"Shift+BkSp"},
      {kLayoutUnitedStates, static_cast<TShortCut>(0xFF | scCtrl), u""},
  };
  for (const auto& c : cases) {
    Layout layout(c.layout);
    SCOPED_TRACE(c.shortCut);
    EXPECT_EQ(WideShortCutToText(c.shortCut), std::u16string(c.expected));
  }
}

TEST(WideShortCutText, SwitchingTheLayoutChangesTypedCharacters) {
  EXPECT_EQ(MapVirtualKeyW('2', MAPVK_VK_TO_CHAR), u'2');
  {
    Layout french(kLayoutFrench);
    EXPECT_EQ(MapVirtualKeyW('2', MAPVK_VK_TO_CHAR), u'\u00e9');
    EXPECT_EQ(VkKeyScanW(u'2'), 0x100 | '2');
    EXPECT_EQ(GetKeyboardLayout(0), kLayoutFrench);
  }
  EXPECT_EQ(VkKeyScanW(u'a'), 'A');
  EXPECT_EQ(VkKeyScanW(u'A'), 0x100 | 'A');
  EXPECT_EQ(ActivateKeyboardLayout(0x12345678, 0), 0u);
}

TEST(KeyChars, CodesBelow256AreKeyboardCodePageBytes) {
  EXPECT_EQ(KeyboardCodePage(), 1252u);
  EXPECT_EQ(KeyCharToWide(0x80), u'\u20ac');
  EXPECT_EQ(KeyCharToWide('a'), u'a');
  EXPECT_EQ(KeyCharToWide(0x0416), u'\u0416');
}

TEST(ClassLibraryShortCutText, FixedKeyTextsAndPrefixOrder) {
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F5, ssCtrl | ssShift)), "Shift+Ctrl+F5");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, ssCtrl)), "Ctrl+Del");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_PRIOR, 0)), "PgUp");
  EXPECT_EQ(ShortCutToText(ShortCut(0xBF, ssAlt)), "Alt+/");
  EXPECT_EQ(ShortCut(0x1FF, ssCtrl), scNone);
}

}  // namespace

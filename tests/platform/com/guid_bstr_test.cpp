#include <gtest/gtest.h>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/com/bstr.h"
#include "platform/com/class_table.h"
#include "platform/com/guid.h"

namespace {

using platform::com::GuidToText;
using platform::com::TextToGuid;

constexpr GUID kSample = {0x0123ABCD, 0x4567, 0x89EF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TEST(Guid, TextFormRoundTripsAndIsUpperCase) {
  EXPECT_EQ(GuidToText(kSample), u"{0123ABCD-4567-89EF-0123-456789ABCDEF}");
  GUID read{};
  ASSERT_TRUE(TextToGuid(u"{0123abcd-4567-89ef-0123-456789abcdef}", read));
  EXPECT_TRUE(IsEqualGUID(read, kSample));
}

TEST(Guid, MalformedTextIsRefusedAndLeavesTheGuid) {
  const char16_t* bad[] = {
      u"",
      u"0123ABCD-4567-89EF-0123-456789ABCDEF",     // no braces
      u"{0123ABCD-4567-89EF-0123-456789ABCDE}",    // short
      u"{0123ABCD-4567-89EF-0123-456789ABCDEFF}",  // long
      u"{0123ABCD+4567-89EF-0123-456789ABCDEF}",   // wrong separator
      u"{0123ABCG-4567-89EF-0123-456789ABCDEF}",   // not a digit
      u"{-123ABCD-4567-89EF-0123-456789ABCDEF}",
  };
  for (const char16_t* text : bad) {
    GUID read = kSample;
    EXPECT_FALSE(TextToGuid(text, read));
    EXPECT_TRUE(IsEqualGUID(read, kSample));
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING);
  }
}

TEST(Guid, StringFromGuid2NeedsRoomForTheNul) {
  char16_t buffer[39];
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
  EXPECT_EQ(std::u16string(buffer), GuidToText(kSample));
}

TEST(Bstr, CarriesItsLengthAndEmbeddedNuls) {
  const char16_t text[] = {u'a', u'\0', u'b'};
  BSTR value = SysAllocStringLen(text, 3);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(SysStringLen(value), 3u);
  EXPECT_EQ(SysStringByteLen(value), 6u);
  EXPECT_EQ(value[3], u'\0');
  EXPECT_EQ(platform::com::ToText(value), std::u16string(text, 3));
  SysFreeString(value);
}

TEST(Bstr, NullIsAnEmptyText) {
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
  EXPECT_EQ(platform::com::ToText(nullptr), u"");
}

TEST(Bstr, FailedAllocationLeavesTheOldText) {
  BSTR value = SysAllocString(u"old");
  platform::faults::FailNext("SysAllocString", 1, ERROR_OUTOFMEMORY);
  EXPECT_EQ(SysReAllocString(&value, u"new"), FALSE);
  EXPECT_EQ(platform::com::ToText(value), u"old");
  EXPECT_EQ(SysReAllocString(&value, u"new"), TRUE);
  EXPECT_EQ(platform::com::ToText(value), u"new");
  SysFreeString(value);
}

TEST(Bstr, OwnerFreesAndHandsOver) {
  platform::com::BString owner(u"text");
  EXPECT_EQ(owner.Text(), u"text");
  BSTR taken = owner.Detach();
  EXPECT_EQ(owner.get(), nullptr);
  SysFreeString(taken);
}

TEST(HResult, SuccessIsToldByTheSignBit) {
  EXPECT_TRUE(SUCCEEDED(S_OK));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_TRUE(FAILED(E_NOINTERFACE));
  EXPECT_EQ(static_cast<std::uint32_t>(E_OUTOFMEMORY), 0x8007000Eu);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY), E_OUTOFMEMORY);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), E_ACCESSDENIED);
  EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/com/safearray.h"
#include "platform/com/variant.h"

namespace {

using platform::com::Variant;

Variant Converted(const Variant& source, VARTYPE vt, HRESULT expected = S_OK, USHORT flags = 0) {
  Variant out;
  EXPECT_EQ(VariantChangeType(out.get(), &source.raw(), flags, vt), expected);
  return out;
}

TEST(Variant, CopyOwnsItsOwnText) {
  Variant a = Variant::Text(u"value");
  Variant b = a;
  EXPECT_NE(a.raw().bstrVal, b.raw().bstrVal);
  a = Variant::Int(1);
  EXPECT_EQ(b.StringValue(), u"value");
}

TEST(Variant, ClearRefusesAnUnknownTypeAndLeavesIt) {
  VARIANT odd;
  VariantInit(&odd);
  odd.vt = 0x0FFE;
  EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
  EXPECT_EQ(odd.vt, 0x0FFE);
}

TEST(Variant, CopyToItselfKeepsTheValue) {
  Variant a = Variant::Text(u"same");
  EXPECT_EQ(VariantCopy(a.get(), a.get()), S_OK);
  EXPECT_EQ(a.StringValue(), u"same");
}

struct TextCase {
  Variant source;
  USHORT flags;
  std::u16string text;
};

TEST(VariantChangeType, ToText) {
  const TextCase cases[] = {
      {Variant::Int(-42), 0, u"-42"},
      {Variant::Byte(1), 0, u"1"},
      {Variant::UShort(65535), 0, u"65535"},
      {Variant::Bool(true), 0, u"-1"},
      {Variant::Bool(false), 0, u"0"},
      {Variant::Bool(true), VARIANT_ALPHABOOL, u"True"},
      {Variant(), 0, u""},
  };
  for (const TextCase& each : cases) {
    EXPECT_EQ(Converted(each.source, VT_BSTR, S_OK, each.flags).StringValue(), each.text);
  }
  Converted(Variant::Null(), VT_BSTR, DISP_E_TYPEMISMATCH);
}

struct NumberCase {
  std::u16string text;
  VARTYPE vt;
  HRESULT hr;
  long long value;
};

TEST(VariantChangeType, FromText) {
  const NumberCase cases[] = {
      {u" 12 ", VT_I4, S_OK, 12},
      {u"-7", VT_I4, S_OK, -7},
      {u"2147483648", VT_I4, DISP_E_OVERFLOW, 0},
      {u"255", VT_UI1, S_OK, 255},
      {u"256", VT_UI1, DISP_E_OVERFLOW, 0},
      {u"-1", VT_UI1, DISP_E_OVERFLOW, 0},
      {u"2.5", VT_I4, S_OK, 2},  // halves go to the even neighbour
      {u"3.5", VT_I4, S_OK, 4},
      {u"", VT_I4, DISP_E_TYPEMISMATCH, 0},
      {u"12abc", VT_I4, DISP_E_TYPEMISMATCH, 0},
      {u"0x10", VT_I4, DISP_E_TYPEMISMATCH, 0},
      {u"True", VT_BOOL, S_OK, VARIANT_TRUE},
      {u"false", VT_BOOL, S_OK, VARIANT_FALSE},
      {u"5", VT_BOOL, S_OK, VARIANT_TRUE},
  };
  for (const NumberCase& each : cases) {
    Variant out = Converted(Variant::Text(each.text), each.vt, each.hr);
    if (each.hr != S_OK) {
      EXPECT_EQ(out.type(), VT_EMPTY);
      continue;
    }
    ASSERT_EQ(out.type(), each.vt);
    long long got = each.vt == VT_I4 ? out.raw().lVal : each.vt == VT_UI1 ? out.raw().bVal : out.raw().boolVal;
    EXPECT_EQ(got, each.value);
  }
}

TEST(VariantChangeType, FailureLeavesTheDestination) {
  Variant out = Variant::Int(9);
  Variant source = Variant::Text(u"nine");
  EXPECT_EQ(VariantChangeType(out.get(), &source.raw(), 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(out.raw().lVal, 9);
}

TEST(VariantChangeType, InPlaceConversion) {
  Variant value = Variant::Text(u"17");
  EXPECT_EQ(VariantChangeType(value.get(), value.get(), 0, VT_I4), S_OK);
  EXPECT_EQ(value.type(), VT_I4);
  EXPECT_EQ(value.raw().lVal, 17);
}

TEST(VariantChangeType, ReadsThroughReferences) {
  Variant inner = Variant::Text(u"http://example.test/");
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = inner.get();
  Variant out;
  ASSERT_EQ(VariantChangeType(out.get(), &reference, 0, VT_BSTR), S_OK);
  EXPECT_EQ(out.StringValue(), u"http://example.test/");
  EXPECT_EQ(VariantClear(&reference), S_OK);  // owns nothing
  EXPECT_EQ(inner.StringValue(), u"http://example.test/");
}

TEST(Variant, ArrayOfVariantsIsCopiedDeep) {
  Variant list;
  list.raw().vt = VT_ARRAY | VT_VARIANT;
  list.raw().parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  Variant text = Variant::Text(u"first");
  LONG index = 0;
  ASSERT_EQ(SafeArrayPutElement(list.raw().parray, &index, text.get()), S_OK);
  Variant copy = list;
  ASSERT_NE(copy.raw().parray, list.raw().parray);
  list = Variant();
  Variant read;
  ASSERT_EQ(SafeArrayGetElement(copy.raw().parray, &index, read.get()), S_OK);
  EXPECT_EQ(read.StringValue(), u"first");
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/com/dispatch.h"
#include "platform/com/safearray.h"

namespace {

using platform::com::ComObject;
using platform::com::ComPtr;
using platform::com::MakeComObject;

// Counts its live references, so that tests see leaks and double releases.
class Counted : public ComObject<IUnknown> {
 public:
  explicit Counted(int& alive) : alive_(alive) { ++alive_; }
  ~Counted() override { --alive_; }

 private:
  int& alive_;
};

TEST(SafeArray, BoundsAndIndexChecks) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 5, 3);
  ASSERT_NE(array, nullptr);
  LONG low = 0, high = 0;
  EXPECT_EQ(SafeArrayGetLBound(array, 1, &low), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(array, 1, &high), S_OK);
  EXPECT_EQ(low, 5);
  EXPECT_EQ(high, 7);
  EXPECT_EQ(SafeArrayGetLBound(array, 2, &low), DISP_E_BADINDEX);
  LONG value = 99;
  for (LONG index : {4, 8, -1}) {
    EXPECT_EQ(SafeArrayPutElement(array, &index, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetElement(array, &index, &value), DISP_E_BADINDEX);
  }
  LONG index = 7;
  EXPECT_EQ(SafeArrayPutElement(array, &index, &value), S_OK);
  LONG read = 0;
  EXPECT_EQ(SafeArrayGetElement(array, &index, &read), S_OK);
  EXPECT_EQ(read, 99);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, LockedArrayIsNotDestroyed) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  static_cast<BYTE*>(data)[2] = 7;
  EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
  BYTE read = 0;
  LONG index = 2;
  EXPECT_EQ(SafeArrayGetElement(array, &index, &read), S_OK);
  EXPECT_EQ(read, 7);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, TwoDimensionsFirstIndexFastest) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
  SAFEARRAY* array = SafeArrayCreate(VT_I2, 2, bounds);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(SafeArrayGetDim(array), 2u);
  LONG indices[2] = {1, 2};
  SHORT value = 5;
  ASSERT_EQ(SafeArrayPutElement(array, indices, &value), S_OK);
  EXPECT_EQ(static_cast<SHORT*>(array->pvData)[1 + 2 * 1], 5);
  LONG outside[2] = {0, 0};
  EXPECT_EQ(SafeArrayPutElement(array, outside, &value), DISP_E_BADINDEX);
  SafeArrayDestroy(array);
}

TEST(SafeArray, OwnsTextsAndReferences) {
  int alive = 0;
  {
    ComPtr<Counted> object = MakeComObject<Counted>(alive);
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 2);
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(object.get())), S_OK);
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(object.get())), S_OK);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(objects, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(objects), S_OK);
    object.Reset();
    EXPECT_EQ(alive, 1);  // the copy still holds it
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  }
  EXPECT_EQ(alive, 0);

  SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 1);
  platform::com::BString text(u"kept");
  LONG index = 0;
  ASSERT_EQ(SafeArrayPutElement(texts, &index, text.get()), S_OK);
  text = platform::com::BString(u"changed");
  BSTR read = nullptr;
  ASSERT_EQ(SafeArrayGetElement(texts, &index, &read), S_OK);
  EXPECT_EQ(platform::com::ToText(read), u"kept");
  SysFreeString(read);
  SafeArrayDestroy(texts);
}

TEST(SafeArray, RefusesUnknownTypesAndHugeSizes) {
  EXPECT_EQ(SafeArrayCreateVector(VT_DECIMAL, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 0xFFFFFFFF), nullptr);
  SAFEARRAYBOUND big[2] = {{0x10000, 0}, {0x10000, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_R8, 2, big), nullptr);
  SAFEARRAY* empty = SafeArrayCreateVector(VT_I4, 0, 0);
  ASSERT_NE(empty, nullptr);
  LONG high = 0;
  EXPECT_EQ(SafeArrayGetUBound(empty, 1, &high), S_OK);
  EXPECT_EQ(high, -1);
  SafeArrayDestroy(empty);
}

}  // namespace

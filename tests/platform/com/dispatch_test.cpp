#include <gtest/gtest.h>

#include "platform/com/dispatch.h"

namespace {

using platform::com::ComPtr;
using platform::com::DispatchObject;
using platform::com::MakeComObject;
using platform::com::Variant;

constexpr IID kEvents = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

ComPtr<DispatchObject> Calculator() {
  ComPtr<DispatchObject> object = MakeComObject<DispatchObject>(std::initializer_list<IID>{kEvents});
  object->AddMember(u"Subtract", 7, [](WORD, DISPPARAMS* params, VARIANT* result) -> HRESULT {
    VARIANT* first = platform::com::Argument(params, 0);
    VARIANT* second = platform::com::Argument(params, 1);
    if (!first || !second || platform::com::Argument(params, 2)) return DISP_E_BADPARAMCOUNT;
    if (first->vt != VT_I4 || second->vt != VT_I4) return DISP_E_TYPEMISMATCH;
    result->vt = VT_I4;
    result->lVal = first->lVal - second->lVal;
    return S_OK;
  });
  return object;
}

TEST(Dispatch, InvokeByNameKeepsArgumentOrderAndIgnoresCase) {
  ComPtr<DispatchObject> object = Calculator();
  Variant result;
  ASSERT_EQ(platform::com::InvokeByName(object.get(), u"sUBTRACT", DISPATCH_METHOD,
                                        {Variant::Int(10), Variant::Int(3)}, &result),
            S_OK);
  EXPECT_EQ(result.raw().lVal, 7);
}

TEST(Dispatch, UnknownNamesAndMembersFail) {
  ComPtr<DispatchObject> object = Calculator();
  EXPECT_EQ(platform::com::InvokeByName(object.get(), u"Add", DISPATCH_METHOD, {}, nullptr),
            DISP_E_UNKNOWNNAME);
  std::vector<Variant> none;
  EXPECT_EQ(platform::com::InvokeById(object.get(), 8, DISPATCH_METHOD, none, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(platform::com::InvokeByName(object.get(), u"Subtract", DISPATCH_METHOD, {Variant::Int(1)},
                                        nullptr),
            DISP_E_BADPARAMCOUNT);
}

TEST(Dispatch, AnswersItsEventInterfaceWithOneIdentity) {
  ComPtr<DispatchObject> object = Calculator();
  ComPtr<IUnknown> asEvents;
  ASSERT_EQ(object->QueryInterface(kEvents, asEvents.PutVoid()), S_OK);
  EXPECT_TRUE(platform::com::IsSameObject(asEvents.get(), object.get()));
  ComPtr<IUnknown> other;
  constexpr IID kOther = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};
  EXPECT_EQ(object->QueryInterface(kOther, other.PutVoid()), E_NOINTERFACE);
  EXPECT_FALSE(other);
}

TEST(Dispatch, IsSameObjectOnNulls) {
  ComPtr<DispatchObject> object = Calculator();
  EXPECT_TRUE(platform::com::IsSameObject(nullptr, nullptr));
  EXPECT_FALSE(platform::com::IsSameObject(object.get(), nullptr));
}

}  // namespace

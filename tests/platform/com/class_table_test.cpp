#include <gtest/gtest.h>

#include <thread>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/com/class_table.h"

namespace {

using platform::com::ClassFactory;
using platform::com::ComPtr;
using platform::com::DispatchObject;
using platform::com::MakeComObject;

constexpr CLSID kClass = {0xAAAAAAAA, 0x1, 0x2, {1, 1, 1, 1, 1, 1, 1, 1}};

class ClassTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override {
    if (cookie_) CoRevokeClassObject(cookie_);
    CoUninitialize();
    platform::faults::ClearAll();
  }
  void Register(DWORD flags) {
    made_ = 0;
    auto factory = MakeComObject<ClassFactory>([this] {
      ++made_;
      return ComPtr<IUnknown>(MakeComObject<DispatchObject>());
    });
    ASSERT_EQ(CoRegisterClassObject(kClass, factory.get(), CLSCTX_INPROC_SERVER, flags, &cookie_), S_OK);
  }
  DWORD cookie_ = 0;
  int made_ = 0;
};

TEST_F(ClassTableTest, InitialisationIsCountedPerThreadAndModel) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  EXPECT_TRUE(platform::com::IsComInitialized());
  std::thread other([] {
    EXPECT_FALSE(platform::com::IsComInitialized());
    ComPtr<IDispatch> object;
    EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
  });
  other.join();
}

TEST_F(ClassTableTest, CreatesRegisteredClassesInMatchingContexts) {
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), REGDB_E_CLASSNOTREG);
  Register(REGCLS_MULTIPLEUSE);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                             object.PutVoid()),
            S_OK);
  EXPECT_TRUE(object);
  ComPtr<IDispatch> second;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, second.PutVoid()), S_OK);
  EXPECT_FALSE(platform::com::IsSameObject(object.get(), second.get()));
  EXPECT_EQ(made_, 2);
  ComPtr<IUnknown> aggregate;
  EXPECT_EQ(CoCreateInstance(kClass, object.get(), CLSCTX_ALL, IID_IUnknown, aggregate.PutVoid()),
            CLASS_E_NOAGGREGATION);
}

TEST_F(ClassTableTest, SingleUseServesOnce) {
  Register(REGCLS_SINGLEUSE);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), S_OK);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoRevokeClassObject(cookie_), E_INVALIDARG);
  cookie_ = 0;
}

TEST_F(ClassTableTest, RevokedClassIsGoneAndPlannedFailuresAnswerTheirError) {
  Register(REGCLS_MULTIPLEUSE);
  platform::faults::FailNext("CoCreateInstance", 1, ERROR_OUTOFMEMORY);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), E_OUTOFMEMORY);
  EXPECT_EQ(made_, 0);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie_), S_OK);
  cookie_ = 0;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(object);
}

}  // namespace

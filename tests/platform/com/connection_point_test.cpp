#include <gtest/gtest.h>

#include <thread>

#include "platform/com/connection_point.h"

namespace {

using platform::com::ComPtr;
using platform::com::ConnectionPoint;
using platform::com::DispatchObject;
using platform::com::MakeComObject;

constexpr IID kEvents = {0x22222222, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr DISPID kChanged = 5;

ComPtr<DispatchObject> Sink(std::vector<LONG>& seen, std::thread::id* thread = nullptr) {
  auto sink = MakeComObject<DispatchObject>(std::initializer_list<IID>{kEvents});
  sink->AddMember(u"", kChanged, [&seen, thread](WORD, DISPPARAMS* params, VARIANT* result) {
    seen.push_back(platform::com::Argument(params, 0)->lVal);
    if (thread) *thread = std::this_thread::get_id();
    // Ask the source to go on by answering false through the by-reference flag.
    *platform::com::Argument(params, 1)->pboolVal = VARIANT_TRUE;
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_FALSE;
    return S_OK;
  });
  return sink;
}

void FireChanged(ConnectionPoint& point, LONG value, VARIANT_BOOL& flag, int* falseAnswers = nullptr) {
  std::vector<VARIANT> args(2);
  VariantInit(&args[0]);
  args[0].vt = VT_I4;
  args[0].lVal = value;
  VariantInit(&args[1]);
  args[1].vt = VT_BYREF | VT_BOOL;
  args[1].pboolVal = &flag;
  point.Fire(kChanged, args, [falseAnswers](const VARIANT& result) {
    if (falseAnswers && result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) ++*falseAnswers;
  });
}

TEST(ConnectionPoint, DeliversToEverySinkUntilUnadvised) {
  auto point = MakeComObject<ConnectionPoint>(kEvents, nullptr);
  std::vector<LONG> first, second;
  DWORD cookieA = 0, cookieB = 0;
  ASSERT_EQ(point->Advise(Sink(first).get(), &cookieA), S_OK);
  ASSERT_EQ(point->Advise(Sink(second).get(), &cookieB), S_OK);
  EXPECT_NE(cookieA, cookieB);
  VARIANT_BOOL flag = VARIANT_FALSE;
  int falseAnswers = 0;
  FireChanged(*point, 1, flag, &falseAnswers);
  EXPECT_EQ(flag, VARIANT_TRUE);
  EXPECT_EQ(falseAnswers, 2);
  EXPECT_EQ(point->Unadvise(cookieA), S_OK);
  EXPECT_EQ(point->Unadvise(cookieA), CONNECT_E_NOCONNECTION);
  FireChanged(*point, 2, flag);
  EXPECT_EQ(first, std::vector<LONG>{1});
  EXPECT_EQ(second, (std::vector<LONG>{1, 2}));
}

TEST(ConnectionPoint, RefusesSinksOfAnotherInterface) {
  auto point = MakeComObject<ConnectionPoint>(kEvents, nullptr);
  auto plain = MakeComObject<DispatchObject>();
  DWORD cookie = 7;
  EXPECT_EQ(point->Advise(plain.get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_FALSE(point->HasSinks());
}

TEST(ConnectionPoint, SinkMayUnadviseItselfWhileCalled) {
  auto point = MakeComObject<ConnectionPoint>(kEvents, nullptr);
  DWORD cookie = 0;
  int calls = 0;
  auto sink = MakeComObject<DispatchObject>(std::initializer_list<IID>{kEvents});
  sink->AddMember(u"", kChanged, [&](WORD, DISPPARAMS*, VARIANT*) {
    ++calls;
    return point->Unadvise(cookie);
  });
  ASSERT_EQ(point->Advise(sink.get(), &cookie), S_OK);
  sink.Reset();  // the point holds the only reference now
  VARIANT_BOOL flag = VARIANT_FALSE;
  FireChanged(*point, 1, flag);
  FireChanged(*point, 2, flag);
  EXPECT_EQ(calls, 1);
}

TEST(ConnectionPoint, EventsArriveOnTheFiringThread) {
  auto point = MakeComObject<ConnectionPoint>(kEvents, nullptr);
  std::vector<LONG> seen;
  std::thread::id where;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(Sink(seen, &where).get(), &cookie), S_OK);
  std::thread::id firing;
  std::thread source([&] {
    firing = std::this_thread::get_id();
    VARIANT_BOOL flag = VARIANT_FALSE;
    FireChanged(*point, 3, flag);
  });
  source.join();
  EXPECT_EQ(where, firing);
  EXPECT_NE(where, std::this_thread::get_id());
}

}  // namespace

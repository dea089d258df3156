// Containers: capacity rule, hash growth and deletion, list/tree/vector order,
// assignment and handler guards.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/htmllabel/mk_containers.h"
#include "controls/htmllabel/mk_handlers.h"
#include "controls/htmllabel/mk_typed_containers.h"

namespace {

std::vector<std::u16string> Strings(const TMkContainer& c) {
  std::vector<std::u16string> out;
  c.Iterate([&](void* item) { out.push_back(MkStringAt(item)); });
  return out;
}

bool SameString(const void* item, const void* caller) {
  return MkStringAt(item) == *static_cast<const std::u16string*>(caller);
}

void ExpectError(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const EMkContainerError& e) {
    EXPECT_EQ(e.what(), message);
  }
}

TEST(MkCapacityRule, RoundAndShrink) {
  struct Case {
    std::int32_t n, round, shrink;
  };
  for (const Case& c : {Case{5, 6, 5}, Case{9, 10, 9}, Case{17, 20, 17}, Case{33, 40, 33}}) {
    EXPECT_EQ(RoundCapacity(c.n), c.round) << c.n;
  }
  EXPECT_EQ(RoundCapacity(0), 0);
  EXPECT_EQ(RoundCapacity(16), 16);
  EXPECT_EQ(ShrinkLimit(16), 15);
  EXPECT_EQ(ShrinkLimit(20), 17);
  EXPECT_EQ(ShrinkLimit(32), 29);
  EXPECT_EQ(ShrinkLimit(2), 2);
}

TEST(MkHash, BucketCountGrowsAndClearResets) {
  TMkCardinalHash hash(MkWideStringCIKeyHandler());
  EXPECT_EQ(hash.HashCount(), 7);
  std::vector<std::int32_t> seen;
  for (int i = 1; i <= 23; ++i) {
    hash.SetValue(u"k" + std::u16string(1, char16_t(u'a' + i)), static_cast<std::uint32_t>(i));
    if (i == 6 || i == 7 || i == 14 || i == 15 || i == 22 || i == 23) seen.push_back(hash.HashCount());
  }
  EXPECT_EQ(seen, (std::vector<std::int32_t>{7, 15, 15, 23, 23, 31}));
  for (int i = 1; i <= 23; ++i) EXPECT_EQ(hash.ValueOf(u"K" + std::u16string(1, char16_t(u'a' + i))), std::uint32_t(i));
  hash.SetHashCount(40);
  EXPECT_EQ(hash.HashCount(), 47);
  ExpectError([&] { hash.SetHashCount(3); }, "Class TMkCardinalHash: Invalid HashCount (3)");
  hash.Clear();
  EXPECT_EQ(hash.HashCount(), 7);
  EXPECT_EQ(hash.Count(), 0);
}

TEST(MkHash, SetHashCountRoundsUpToEightKPlusSeven) {
  TMkCardinalHash hash(MkCardinalKeyHandler());
  hash.SetHashCount(8);
  EXPECT_EQ(hash.HashCount(), 15);
  hash.SetHashCount(16);
  EXPECT_EQ(hash.HashCount(), 23);
}

TEST(MkHash, InsertFindOrInsertAndAbsentDelete) {
  TMkCardinalHash hash(MkWideStringCSKeyHandler());
  std::u16string key = u"alpha";
  void* item = hash.Insert(MkStringKey(key).Ptr());
  ASSERT_NE(item, nullptr);
  MkSetCardinalAt(item, 5);
  EXPECT_EQ(hash.Insert(MkStringKey(key).Ptr()), nullptr);
  EXPECT_EQ(hash.FindOrInsert(MkStringKey(key).Ptr()), item);
  EXPECT_EQ(MkCardinalAt(item), 5u);
  std::u16string other = u"ALPHA";
  EXPECT_EQ(hash.Find(MkStringKey(other).Ptr()), nullptr);  // case-sensitive keys
  hash.Delete(MkStringKey(other).Ptr());
  EXPECT_EQ(hash.Count(), 1);
}

TEST(MkHash, DeletionReusesSlotThenPacksKeepingOrder) {
  TMkCardinalHash hash(MkWideStringCSKeyHandler());
  std::vector<std::u16string> keys = {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h"};
  for (std::size_t i = 0; i < keys.size(); ++i) hash.SetValue(keys[i], static_cast<std::uint32_t>(i));
  hash.Delete(MkStringKey(keys[2]).Ptr());
  EXPECT_EQ(hash.EntryCount(), 8);
  EXPECT_TRUE(hash.IsDeleted(2));
  ExpectError([&] { hash.EntryKey(2); }, "Class TMkCardinalHash: Item is deleted");
  ExpectError([&] { hash.IsDeleted(8); }, "Class TMkCardinalHash: List index out of bounds (8)");
  std::u16string fresh = u"z";
  hash.SetValue(fresh, 99);
  EXPECT_EQ(hash.EntryCount(), 8);
  EXPECT_EQ(MkStringAt(hash.EntryKey(2)), u"z");

  TMkCardinalHash packed(MkWideStringCSKeyHandler());
  for (std::size_t i = 0; i < keys.size(); ++i) packed.SetValue(keys[i], static_cast<std::uint32_t>(i));
  packed.Delete(MkStringKey(keys[1]).Ptr());
  packed.Delete(MkStringKey(keys[5]).Ptr());
  ASSERT_EQ(packed.EntryCount(), 6);
  std::vector<std::u16string> order;
  for (std::int32_t i = 0; i < packed.EntryCount(); ++i) order.push_back(MkStringAt(packed.EntryKey(i)));
  EXPECT_EQ(order, (std::vector<std::u16string>{u"a", u"c", u"d", u"e", u"g", u"h"}));
  for (const auto& k : order) EXPECT_NE(packed.Find(MkStringKey(k).Ptr()), nullptr) << "lost after pack";
}

TEST(MkHash, ManyInsertsAndDeletesStayConsistent) {
  TMkCardinalHash hash(MkCardinalKeyHandler());
  for (std::uint32_t i = 0; i < 2000; ++i) MkSetCardinalAt(hash.FindOrInsert(&i), i * 3);
  for (std::uint32_t i = 0; i < 2000; i += 2) hash.Delete(&i);
  EXPECT_EQ(hash.Count(), 1000);
  for (std::uint32_t i = 0; i < 2000; ++i) {
    void* item = hash.Find(&i);
    if (i % 2) {
      ASSERT_NE(item, nullptr) << i;
      EXPECT_EQ(MkCardinalAt(item), i * 3);
    } else {
      EXPECT_EQ(item, nullptr) << i;
    }
  }
}

TEST(MkHash, MissingKeyCallbacksRaiseNamingTheKeyHandler) {
  auto* keys = new TMkKeyHandler;
  {
    TMkHash hash(MkCardinalItemHandler(), keys);
    std::uint32_t k = 1;
    ExpectError([&] { hash.Find(&k); }, "Class TMkKeyHandler: OnHashKey not assigned");
    ExpectError([&] { hash.FindByBuffer(u"a", 1); }, "Class TMkKeyHandler: OnHashKeyBuf not assigned");
    ExpectError([&] { keys->Free(); }, "Class TMkKeyHandler: ItemHandler in use during destruction");
    ExpectError([&] { keys->SetOnHashKey(nullptr); },
                "Class TMkKeyHandler: ItemHandler in use while assigning OnHashKey");
  }
  keys->Free();
  ExpectError([] { TMkHash hash(MkCardinalItemHandler(), nullptr); }, "Class TMkHash: KeyHandler is nil");
  ExpectError([] { TMkVector vector(nullptr); }, "Class TMkVector: ItemHandler is nil");
}

TEST(MkHandlers, ChangingAUsedHandlerRaisesAndKeepsTheField) {
  auto* handler = new TMkItemHandler;
  handler->SetItemSize(4);
  {
    TMkVector vector(handler);
    EXPECT_EQ(handler->UseCount(), 1);
    ExpectError([&] { handler->SetItemSize(8); }, "Class TMkItemHandler: ItemHandler in use while setting ItemSize");
    EXPECT_EQ(handler->ItemSize(), 4);
  }
  EXPECT_EQ(handler->UseCount(), 0);
  handler->SetItemSize(8);
  handler->Free();
}

TEST(MkVector, OrderRangeChecksAndSetCount) {
  TMkWideStringVector v;
  ExpectError([&] { v.First(); }, "Class TMkWideStringVector: List index out of bounds (0)");
  v.Add(u"b");
  MkSetStringAt(v.InsertFirst(), u"a");
  v.Add(u"c");
  EXPECT_EQ(Strings(v), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  std::u16string b = u"b";
  EXPECT_EQ(v.IndexOf(&b, SameString), 1);
  v.Delete(1);
  EXPECT_EQ(Strings(v), (std::vector<std::u16string>{u"a", u"c"}));
  ExpectError([&] { v.Delete(2); }, "Class TMkWideStringVector: List index out of bounds (2)");
  ExpectError([&] { v.SetCount(-1); }, "Class TMkWideStringVector: List index out of bounds (-1)");
  v.SetCount(40);
  EXPECT_EQ(v.StringAt(39), u"");
  v.SetCount(1);
  EXPECT_EQ(Strings(v), (std::vector<std::u16string>{u"a"}));
}

TEST(MkSearches, FromBothEndsAndNilArguments) {
  TMkWideStringVector v;
  std::u16string x = u"x";
  EXPECT_FALSE(v.HasItemFromEnd(&x, SameString));
  EXPECT_EQ(v.LocateItemFromEnd(&x, SameString), nullptr);
  v.Add(u"x");
  EXPECT_TRUE(v.HasItemFromEnd(&x, SameString));
  EXPECT_EQ(v.LocateItemFromEnd(&x, SameString), v.First());
  v.Add(u"x");
  EXPECT_EQ(v.LocateItem(&x, SameString), v.ItemAt(0));
  EXPECT_EQ(v.LocateItemFromEnd(&x, SameString), v.ItemAt(1));
  ExpectError([&] { v.HasItem(&x, nullptr); }, "Class TMkWideStringVector: SameItems not assigned");
  ExpectError([&] { v.Iterate(nullptr); }, "Class TMkWideStringVector: IterateItems not assigned");
}

TEST(MkList, EndsNextAndDeleteLast) {
  TMkList list(MkWideStringItemHandler());
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Next(nullptr), nullptr);
  ExpectError([&] { list.DeleteLast(); }, "Class TMkList: Container is empty");
  MkSetStringAt(list.InsertLast(), u"b");
  MkSetStringAt(list.InsertFirst(), u"a");
  MkSetStringAt(list.InsertLast(), u"c");
  EXPECT_EQ(MkStringAt(list.Next(list.First())), u"b");
  list.DeleteLast();
  EXPECT_EQ(Strings(list), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(MkStringAt(list.Last()), u"b");
}

// Builds: a(b(c), d), e
void BuildTree(TMkTree& tree) {
  void* a = tree.InsertLast();
  MkSetStringAt(a, u"a");
  void* b = tree.AddChild(a);
  MkSetStringAt(b, u"b");
  MkSetStringAt(tree.AddChild(b), u"c");
  MkSetStringAt(tree.AddChild(a), u"d");
  MkSetStringAt(tree.AddChild(nullptr), u"e");
}

TEST(MkTree, PreOrderFirstLastAndCount) {
  TMkTree tree(MkWideStringItemHandler());
  BuildTree(tree);
  EXPECT_EQ(tree.Count(), 5);
  EXPECT_EQ(Strings(tree), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"e"}));
  MkSetStringAt(tree.AddChild(tree.Last()), u"f");
  EXPECT_EQ(MkStringAt(tree.Last()), u"f");
  std::u16string c = u"c";
  EXPECT_EQ(MkStringAt(tree.Parent(tree.LocateItemFromEnd(&c, SameString))), u"b");
  // Backwards search visits reverse pre-order.
  static std::vector<std::u16string> backwards;
  backwards.clear();
  std::u16string none = u"?";
  tree.LocateItemFromEnd(&none, [](const void* item, const void*) {
    backwards.push_back(MkStringAt(item));
    return false;
  });
  EXPECT_EQ(backwards, (std::vector<std::u16string>{u"f", u"e", u"d", u"c", u"b", u"a"}));
  EXPECT_EQ(tree.ChildCount(nullptr), 2);
}

TEST(MkAssign, CopiesInSourceOrderAndGuardsHandlers) {
  TMkTree tree(MkWideStringItemHandler());
  BuildTree(tree);
  TMkWideStringVector vector;
  vector.Add(u"old1");
  vector.Assign(&tree);
  EXPECT_EQ(Strings(vector), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"e"}));

  TMkTree copy(MkWideStringItemHandler());
  copy.Assign(&tree);
  EXPECT_EQ(Strings(copy), Strings(tree));
  EXPECT_EQ(copy.ChildCount(copy.First()), 2);

  TMkList list(MkWideStringItemHandler());
  list.Assign(&vector);
  EXPECT_EQ(Strings(list), Strings(vector));
  list.Assign(&list);  // to itself: nothing lost
  EXPECT_EQ(list.Count(), 5);

  TMkWideString2CardinalVector pairs;
  ExpectError([&] { pairs.Assign(&vector); }, "Class TMkWideString2CardinalVector: Itemhandlers do not match");
  TMkCardinalHash hash(MkCardinalKeyHandler());
  EXPECT_THROW(list.Assign(&hash), EConvertError);
}

TEST(MkAssign, VectorFromVectorOverwritesInPlace) {
  TMkWideStringVector source, target;
  source.Add(u"x");
  source.Add(u"y");
  target.Add(u"old1");
  target.Add(u"old2");
  target.Add(u"old3");
  target.Assign(&source);
  EXPECT_EQ(Strings(target), (std::vector<std::u16string>{u"x", u"y"}));
}

// An owning handler: the vector frees the objects it holds.
int liveObjects = 0;
struct Counted {
  Counted() { ++liveObjects; }
  ~Counted() { --liveObjects; }
};

TEST(MkTypedContainers, ObjectVectorWithAnOwningHandler) {
  auto* owning = new TMkItemHandler;
  owning->SetItemSize(sizeof(void*));
  owning->SetOnInitItem([](void* item) { std::memset(item, 0, sizeof(void*)); });
  owning->SetOnFreeItem([](void* item) {
    Counted* object;
    std::memcpy(&object, item, sizeof object);
    delete object;
  });
  {
    TMkObjectVector objects(owning);
    auto* first = new Counted;
    objects.AddObject(first);
    objects.AddObject(new Counted);
    EXPECT_EQ(objects.GetObject(0), first);
    EXPECT_EQ(liveObjects, 2);
    objects.Delete(0);
    EXPECT_EQ(liveObjects, 1);
    EXPECT_THROW(objects.GetObject(1), EMkContainerError);
  }
  EXPECT_EQ(liveObjects, 0);
  owning->Free();
}

TEST(MkTypedContainers, PairVectorLookupsByData) {
  TMkWideString2CardinalVector v;
  v.Add(u"href", u"x.html", 52);
  v.Add(u"title", u"T", 119);
  EXPECT_EQ(v.IndexOfData(119), 1);
  EXPECT_EQ(v.IndexOfData(7), -1);
  EXPECT_EQ(v.ValueOfData(52), u"x.html");
  EXPECT_EQ(v.ValueOfData(7), u"");
  EXPECT_EQ(v.FindData(7), nullptr);
  EXPECT_EQ(v.ValueAt(1), u"T");
  ExpectError([&] { v.ValueAt(2); }, "Class TMkWideString2CardinalVector: List index out of bounds (2)");
  TMkCardinalHash names(MkWideStringCIKeyHandler());
  EXPECT_EQ(names.ValueByBuffer(u"nothing", 7), 0u);
}

TEST(MkKeyHashes, StringAndCaseInsensitiveHashes) {
  EXPECT_EQ(MkStringHash(u"", 0), 0u);
  EXPECT_EQ(MkStringHash(u"a", 1), 97u);
  EXPECT_EQ(MkStringHash(u"ab", 2), 3105u);
  EXPECT_EQ(MkStringHashNoCase(u"TABLE", 5), MkStringHashNoCase(u"table", 5));
  EXPECT_NE(MkStringHash(u"TABLE", 5), MkStringHash(u"table", 5));
  std::u16string table = u"TABLE";
  EXPECT_EQ(MkWideStringCIKeyHandler()->OnHashKey()(MkStringKey(table).Ptr()), MkStringHashNoCase(u"table", 5));
}

}  // namespace

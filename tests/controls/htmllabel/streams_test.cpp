// Binary filer: byte-exact values, refusals, damaged and truncated streams, and
// round trips of every container kind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/htmllabel/mk_handlers.h"
#include "controls/htmllabel/mk_streams.h"
#include "controls/htmllabel/mk_typed_containers.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Write>
Bytes Written(Write write) {
  TMemoryStream stream;
  {
    TMkBinaryWriter writer(&stream, 16);
    write(writer);
    writer.Flush();
  }
  return stream.Memory();
}

TMemoryStream StreamOf(const Bytes& bytes) {
  TMemoryStream stream;
  stream.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  stream.SetPosition(0);
  return stream;
}

TEST(MkWriter, IntegersUseTheFewestBytes) {
  struct Case {
    std::int32_t value;
    Bytes bytes;
  };
  const Case cases[] = {
      {0, {2, 0}},          {127, {2, 127}},         {128, {3, 128}},         {255, {3, 255}},
      {256, {5, 0, 1}},     {-1, {1, 0xFF}},         {-128, {1, 0x80}},       {-129, {4, 0x7F, 0xFF}},
      {32767, {5, 0xFF, 0x7F}}, {INT32_MIN, {10, 0, 0, 0, 0x80}}, {INT32_MAX, {11, 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Written([&](TMkBinaryWriter& w) { w.WriteInteger(c.value); }), c.bytes) << c.value;
    TMemoryStream in = StreamOf(c.bytes);
    TMkBinaryReader reader(&in, 16);
    EXPECT_EQ(reader.ReadInteger(), c.value);
  }
  EXPECT_EQ(Written([](TMkBinaryWriter& w) { w.WriteCardinal(4294967295u); }), (Bytes{12, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Written([](TMkBinaryWriter& w) { w.WriteByte(1); }), (Bytes{3, 1}));
}

TEST(MkReader, RefusesTypesItDoesNotAccept) {
  Bytes big = {12, 0xFF, 0xFF, 0xFF, 0xFF};
  {
    TMemoryStream in = StreamOf(big);
    TMkBinaryReader reader(&in, 16);
    try {
      reader.ReadInteger();
      ADD_FAILURE();
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), "Invalid Element Type");
    }
  }
  TMemoryStream in = StreamOf(big);
  TMkBinaryReader reader(&in, 16);
  EXPECT_EQ(reader.ReadCardinal(), 4294967295u);
  for (std::uint8_t type : {0, 1, 4, 13, 25, 29, 39, 255}) {
    TMemoryStream s = StreamOf({type, 0, 0, 0, 0, 0, 0, 0, 0});
    TMkBinaryReader r(&s, 16);
    EXPECT_THROW(r.ReadCardinal(), EReadError) << int(type);
  }
}

TEST(MkStrings, WideAndEightBitElements) {
  EXPECT_EQ(Written([](TMkBinaryWriter& w) { w.WriteWideString(u""); }), (Bytes{34}));
  EXPECT_EQ(Written([](TMkBinaryWriter& w) { w.WriteWideString(u"abc"); }),
            (Bytes{35, 6, 'a', 0, 'b', 0, 'c', 0}));
  TMemoryStream ansi = StreamOf({31, 3, 0, 'x', 0xE9, 0x80});
  TMkBinaryReader reader(&ansi, 16);
  EXPECT_EQ(reader.ReadWideString(), u"x\u00E9\u20AC");  // through code page 1252
  std::u16string long_text(5000, u'\u4E2D');
  Bytes bytes = Written([&](TMkBinaryWriter& w) { w.WriteWideString(long_text); });
  EXPECT_EQ(bytes[0], 36);  // two length bytes
  TMemoryStream in = StreamOf(bytes);
  TMkBinaryReader back(&in, 16);
  EXPECT_EQ(back.ReadWideString(), long_text);
}

TEST(MkStrings, DamagedLengthsFailWithoutHugeAllocations) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"odd UTF-16 byte length", {35, 3, 'a', 0, 'b'}},
      {"length beyond the stream", {38, 0xFE, 0xFF, 0xFF, 0x7F, 'a', 0}},
      {"8-bit length beyond the stream", {33, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
      {"truncated length", {37, 0x10}},
      {"empty stream", {}},
  };
  for (const Case& c : cases) {
    TMemoryStream in = StreamOf(c.bytes);
    TMkBinaryReader reader(&in, 16);
    EXPECT_THROW(reader.ReadWideString(), EReadError) << c.what;
  }
}

TEST(MkReader, GivesBackUnreadBytes) {
  Bytes bytes = Written([](TMkBinaryWriter& w) {
    w.WriteInteger(1);
    w.WriteInteger(2);
  });
  TMemoryStream in = StreamOf(bytes);
  {
    TMkBinaryReader reader(&in, 4096);
    EXPECT_EQ(reader.ReadInteger(), 1);
  }
  EXPECT_EQ(in.Position(), 2);
}

// A stream whose writes fail, to see that a save reports the failed flush.
class FailingStream : public TMemoryStream {
 public:
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
};

TEST(MkSave, AFailedFlushIsReported) {
  TMkWideStringVector v;
  v.Add(u"x");
  FailingStream stream;
  EXPECT_THROW(v.SaveToStream(&stream, kAllStreamOptions, 0), EWriteError);
}

TEST(MkRoundTrip, EveryContainerKind) {
  TMkWideString2CardinalVector pairs;
  pairs.Add(u"name", u"value", 7);
  pairs.Add(u"", u"\u00E9\u4E2D", 0xFFFFFFFFu);
  TMemoryStream stream;
  pairs.SaveToStream(&stream, kAllStreamOptions, 0);
  const Bytes& raw = stream.Memory();
  EXPECT_EQ(std::string(raw.begin(), raw.begin() + 4), "MKVC");
  EXPECT_EQ(raw[4], 2);   // version 1
  EXPECT_EQ(raw[5], 1);   // version value
  EXPECT_EQ(raw[6], 2);   // logical item size 12
  EXPECT_EQ(raw[7], 12);
  stream.SetPosition(0);
  TMkWideString2CardinalVector pairsBack;
  pairsBack.LoadFromStream(&stream, kAllStreamOptions, 0);
  ASSERT_EQ(pairsBack.Count(), 2);
  EXPECT_EQ(pairsBack.ValueAt(1), u"\u00E9\u4E2D");
  EXPECT_EQ(pairsBack.DataAt(1), 0xFFFFFFFFu);

  TMkList list(MkWideStringItemHandler());
  MkSetStringAt(list.InsertLast(), u"one");
  MkSetStringAt(list.InsertLast(), u"two");
  stream.Clear();
  list.SaveToStream(&stream, kAllStreamOptions, 0);
  stream.SetPosition(0);
  TMkList listBack(MkWideStringItemHandler());
  listBack.LoadFromStream(&stream, kAllStreamOptions, 0);
  EXPECT_EQ(MkStringAt(listBack.Last()), u"two");

  TMkTree tree(MkCardinalItemHandler());
  void* a = tree.InsertLast();
  MkSetCardinalAt(a, 1);
  MkSetCardinalAt(tree.AddChild(tree.AddChild(a)), 3);
  MkSetCardinalAt(tree.InsertLast(), 4);
  stream.Clear();
  tree.SaveToStream(&stream, kAllStreamOptions, 0);
  stream.SetPosition(0);
  TMkTree treeBack(MkCardinalItemHandler());
  treeBack.LoadFromStream(&stream, kAllStreamOptions, 0);
  std::vector<std::uint32_t> order;
  treeBack.Iterate([&](void* item) { order.push_back(MkCardinalAt(item)); });
  EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 0, 3, 4}));
  EXPECT_EQ(treeBack.Parent(treeBack.Last()), nullptr);
  EXPECT_EQ(MkCardinalAt(treeBack.FirstChild(treeBack.FirstChild(treeBack.First()))), 3u);
  EXPECT_EQ(treeBack.ChildCount(nullptr), 2);
}

TEST(MkRoundTrip, HashAfterDeletionsHoldsOnlyLiveEntries) {
  TMkCardinalHash hash(MkWideStringCIKeyHandler());
  for (int i = 0; i < 20; ++i) hash.SetValue(u"key" + std::u16string(1, char16_t(u'A' + i)), static_cast<std::uint32_t>(i));
  for (int i = 0; i < 20; i += 3) {
    std::u16string k = u"key" + std::u16string(1, char16_t(u'A' + i));
    hash.Delete(MkStringKey(k).Ptr());
  }
  TMemoryStream stream;
  hash.SaveToStream(&stream, kAllStreamOptions, 0);
  stream.SetPosition(0);
  TMkCardinalHash back(MkWideStringCIKeyHandler());
  back.LoadFromStream(&stream, kAllStreamOptions, 0);
  EXPECT_EQ(back.Count(), hash.Count());
  for (int i = 0; i < 20; ++i) {
    std::u16string k = u"KEY" + std::u16string(1, char16_t(u'a' + i));
    EXPECT_EQ(back.Find(MkStringKey(k).Ptr()) != nullptr, i % 3 != 0) << i;
    if (i % 3 != 0) {
      EXPECT_EQ(back.ValueOf(k), std::uint32_t(i));
    }
  }
}

TEST(MkLoad, WrongMagicVersionOrItemSizeIsRefused) {
  TMkWideStringVector v;
  v.Add(u"x");
  TMemoryStream stream;
  v.SaveToStream(&stream, kAllStreamOptions, 0);
  stream.SetPosition(0);
  TMkList list(MkWideStringItemHandler());
  try {
    list.LoadFromStream(&stream, kAllStreamOptions, 0);
    ADD_FAILURE();
  } catch (const EMkContainerError& e) {
    EXPECT_STREQ(e.what(), "Class TMkList: Invalid stream format");
  }
  stream.SetPosition(0);
  TMkWideString2CardinalVector pairs;
  try {
    pairs.LoadFromStream(&stream, StreamVersion | StreamHeader, 0);
    ADD_FAILURE();
  } catch (const EReadError&) {
    // "MKVC" read as a version: an invalid element type
  }
  Bytes wrongSize = {'M', 'K', 'V', 'C', 2, 1, 2, 4, 2, 0};
  TMemoryStream s = StreamOf(wrongSize);
  try {
    pairs.LoadFromStream(&s, kAllStreamOptions, 0);
    ADD_FAILURE();
  } catch (const EMkContainerError& e) {
    EXPECT_STREQ(e.what(), "Class TMkItemHandler: Invalid ItemSize (4)");
  }
  EXPECT_THROW(v.LoadFromStream(nullptr, 0, 0), EMkContainerError);
}

TEST(MkLoad, TruncatedAndHostileStreamsLeaveUsableContainers) {
  // Every prefix of a valid hash stream fails cleanly or loads; the hash stays usable.
  TMkCardinalHash hash(MkWideStringCSKeyHandler());
  for (int i = 0; i < 30; ++i) hash.SetValue(u"n" + std::u16string(1, char16_t(u'A' + i)), static_cast<std::uint32_t>(i));
  TMemoryStream full;
  hash.SaveToStream(&full, kAllStreamOptions, 0);
  const Bytes bytes = full.Memory();
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    TMemoryStream s = StreamOf(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
    TMkCardinalHash back(MkWideStringCSKeyHandler());
    EXPECT_THROW(back.LoadFromStream(&s, kAllStreamOptions, 0), EStreamError) << cut;
    back.SetValue(u"after", 1);
    EXPECT_EQ(back.ValueOf(u"after"), 1u);
  }
  // A tree stream nested 200000 levels deep (one child each) loads without recursion.
  Bytes deep = {2, 1};
  for (int i = 0; i < 200000; ++i) deep.insert(deep.end(), {2, 1, 2, 0});
  deep.insert(deep.end(), {2, 0, 2, 0});
  TMemoryStream s = StreamOf(deep);
  TMkTree tree(MkCardinalItemHandler());
  tree.LoadFromStream(&s, 0, 0);
  EXPECT_EQ(tree.Count(), 200001);
}

// The component streaming hook: one binary property named after the class, stored
// only when the container holds items, that saves and loads with every option.
class RecordingFiler : public TFiler {
 public:
  void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& read,
                            const std::function<void(TStream&)>& write, bool hasData) override {
    this->name = name;
    this->hasData = hasData;
    reader = read;
    writer = write;
  }
  std::string name;
  bool hasData = false;
  std::function<void(TStream&)> reader, writer;
};

TEST(MkDefineProperties, BinaryPropertyNamedAfterTheClass) {
  TMkList empty(MkWideStringItemHandler());
  RecordingFiler filer;
  empty.DefineProperties(filer);
  EXPECT_EQ(filer.name, "TMkList");
  EXPECT_FALSE(filer.hasData);
  TMkWideStringVector v;
  v.Add(u"kept");
  v.DefineProperties(filer);
  EXPECT_EQ(filer.name, "TMkWideStringVector");
  EXPECT_TRUE(filer.hasData);
  TMemoryStream stream;
  filer.writer(stream);
  EXPECT_EQ(std::string(stream.Memory().begin(), stream.Memory().begin() + 4), "MKVC");
  stream.SetPosition(0);
  TMkWideStringVector back;
  back.DefineProperties(filer);
  filer.reader(stream);
  EXPECT_EQ(back.StringAt(0), u"kept");
}

}  // namespace

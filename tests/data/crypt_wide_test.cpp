#include "data/crypt_wide.h"

#include <gtest/gtest.h>

#include "platform/base/clock.h"

namespace {

const std::u16string kHostile[] = {
    u"",
    u"plain",
    u"line\r\nbreaks\r\n\r\n",
    u"\ttabs\t\tand\rCR",
    u"\n1\n2\n3 escapes look-alikes \n",
    u"\U0001F510 non-BMP \U00020000 and \u00e9",
    u"=+/ base64 chars _CRC\t12",
};

TCryptKey KeyOf(std::u16string_view text) {
  TCryptKey key;
  for (char16_t c : text) key.push_back(static_cast<std::uint8_t>(c & 0xFF));
  return key;
}

TEST(WideCryptTest, EncodeDecodeRoundTripsHostileValuesWithUpperCasedNames) {
  TWideCrypt source(true);
  for (std::size_t i = 0; i < std::size(kHostile); ++i) {
    source.SetValue(u"name" + std::u16string(1, u'a' + i), kHostile[i]);
  }
  std::string text = source.Encode();
  ASSERT_FALSE(text.empty());

  TWideCrypt target(true);
  ASSERT_TRUE(target.Decode(text));
  EXPECT_TRUE(target.Valid());
  for (std::size_t i = 0; i < std::size(kHostile); ++i) {
    std::u16string name = u"NAME" + std::u16string(1, u'A' + i);
    ASSERT_GE(target.IndexOfName(name), 0);
    EXPECT_EQ(target.GetValue(name), kHostile[i]) << i;
  }
  EXPECT_EQ(target.Params().size(), std::size(kHostile) + 1);
  EXPECT_EQ(target.Params().back().first, u"RANDOMIZER");
  EXPECT_EQ(target.GetValue(u"randomizer"), source.GetValue(u"RANDOMIZER"));
}

TEST(WideCryptTest, NamesAreFoundInAnyCaseAndSetValueReplaces) {
  TWideCrypt bag(false);
  bag.SetValue(u"Url", u"one");
  bag.SetValue(u"URL", u"two");
  bag.SetValue(u"caption", u"three");
  EXPECT_EQ(bag.Params().size(), 2u);
  EXPECT_EQ(bag.IndexOfName(u"uRl"), 0);
  EXPECT_EQ(bag.GetValue(u"url"), u"two");
  EXPECT_EQ(bag.GetValue(u"missing"), u"");
  EXPECT_EQ(bag.IndexOfName(u"missing"), -1);
  bag.ClearParams();
  EXPECT_TRUE(bag.Params().empty());
}

TEST(WideCryptTest, TwoEncodingsOfOneBagDifferAndBothDecode) {
  platform::test_clock::Freeze(5000, 45000.0);
  TWideCrypt bag(true);
  bag.SetValue(u"A", u"same");
  std::string first = bag.Encode();
  platform::test_clock::Advance(1);
  std::string second = bag.Encode();
  platform::test_clock::Release();
  EXPECT_NE(first, second);
  TWideCrypt check(true);
  EXPECT_TRUE(check.Decode(first));
  EXPECT_TRUE(check.Decode(second));
  EXPECT_EQ(check.GetValue(u"RANDOMIZER"), u"5001");
}

// Every way an enciphered text can be wrong must fail as a wrong key does: Decode
// answers false, the bag keeps exactly what it held, DecryptString answers empty.
TEST(WideCryptTest, DamagedOrForeignTextIsRejectedWithTheBagUnchanged) {
  TWideCrypt source(true);
  source.SetValue(u"SECRET", u"value");
  const std::string good = source.Encode();
  TWideCrypt single(true);
  const std::string goodString = single.EncryptString(u"a password");
  ASSERT_EQ(single.DecryptString(goodString), u"a password");

  auto flipByte = [](const std::string& text, std::size_t at) {
    std::string bytes = Base64Decode(text);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    return Base64Encode(bytes);
  };
  auto setVersion = [](const std::string& text, char version) {
    std::string bytes = Base64Decode(text);
    bytes[0] = version;
    return Base64Encode(bytes);
  };
  struct Case {
    const char* what;
    std::string bag;
    std::string single;
    bool otherKey = false;
  };
  const Case cases[] = {
      {"other key", good, goodString, true},
      {"flipped version byte", setVersion(good, 2), setVersion(goodString, 2)},
      {"flipped nonce byte", flipByte(good, 5), flipByte(goodString, 5)},
      {"flipped body byte", flipByte(good, 30), flipByte(goodString, 30)},
      {"flipped tag byte", flipByte(good, Base64Decode(good).size() - 1),
       flipByte(goodString, Base64Decode(goodString).size() - 1)},
      {"one Base64 group cut", good.substr(0, good.size() - 4),
       goodString.substr(0, goodString.size() - 4)},
      {"one character cut", good.substr(0, good.size() - 1),
       goodString.substr(0, goodString.size() - 1)},
      {"only the header left", good.substr(0, 32), goodString.substr(0, 32)},
      {"character outside the alphabet", "!" + good.substr(1), "!" + goodString.substr(1)},
      {"empty", "", ""},
      {"five characters", "abcde", "abcde"},
  };
  for (const Case& c : cases) {
    TWideCrypt bag(true);
    if (c.otherKey) bag.SetKey(u"some other key");
    bag.SetValue(u"KEPT", u"before");
    EXPECT_FALSE(bag.Decode(c.bag)) << c.what;
    EXPECT_FALSE(bag.Valid()) << c.what;
    ASSERT_EQ(bag.Params().size(), 1u) << c.what;
    EXPECT_EQ(bag.GetValue(u"KEPT"), u"before") << c.what;
    EXPECT_EQ(bag.DecryptString(c.single), u"") << c.what;
  }
}

TEST(WideCryptTest, WideTextOutsideAsciiIsRejected) {
  TWideCrypt bag(true);
  bag.SetValue(u"A", u"b");
  std::string text = bag.Encode();
  std::u16string wide(text.begin(), text.end());
  TWideCrypt target(true);
  EXPECT_TRUE(target.Decode(wide));
  wide[3] = u'\u0141';
  EXPECT_FALSE(target.Decode(wide));
  EXPECT_FALSE(target.Valid());
}

// Plain texts that decipher correctly but are not a well-formed bag.
TEST(WideCryptTest, AuthenticPlainTextMustCarryAMatchingChecksum) {
  const std::u16string keyText = u"bag key";
  struct Case {
    std::u16string plain;
    bool accepted;
    std::size_t pairs;
  };
  const std::u16string body = u"\rA\tB";
  const std::u16string sum = u"153";  // CR, A, TAB, B
  const Case cases[] = {
      {u"_CRC\t" + sum + body, true, 1},
      {u"_CRC\t154" + body, false, 0},
      {u"_crc\t" + sum + body, false, 0},
      {u"_CRC\t15x" + body, false, 0},
      {u"_CRC\t" + body, false, 0},
      {u"_CRC\t0", true, 0},
      {u"_CRC\t0\r", true, 0},
      {u"", false, 0},
  };
  for (const Case& c : cases) {
    std::string sealed;
    ASSERT_TRUE(EncipherWithKey(WideToBytes(c.plain), KeyOf(keyText), sealed));
    TWideCrypt bag(false);
    bag.SetKey(keyText);
    EXPECT_EQ(bag.Decode(Base64Encode(sealed)), c.accepted);
    EXPECT_EQ(bag.Params().size(), c.pairs);
  }
}

TEST(WideCryptTest, DecodeKeepsPairsTheTextDoesNotSet) {
  TWideCrypt source(true);
  source.SetValue(u"URL", u"new");
  std::string text = source.Encode();
  TWideCrypt target(true);
  target.SetValue(u"URL", u"old");
  target.SetValue(u"OTHER", u"kept");
  ASSERT_TRUE(target.Decode(text));
  EXPECT_EQ(target.GetValue(u"URL"), u"new");
  EXPECT_EQ(target.GetValue(u"OTHER"), u"kept");
}

TEST(WideCryptTest, AnEmptyKeyNeverEnciphers) {
  TWideCrypt keyed(true);
  keyed.SetValue(u"A", u"b");
  const std::string text = keyed.Encode();
  const std::string single = keyed.EncryptString(u"word");

  TWideCrypt bag(false);
  bag.SetValue(u"A", u"b");
  EXPECT_EQ(bag.Encode(), "");
  EXPECT_EQ(bag.EncryptString(u"word"), "");
  EXPECT_FALSE(bag.Decode(text));
  EXPECT_EQ(bag.DecryptString(single), u"");

  keyed.SetKey(u"");
  EXPECT_EQ(keyed.EncryptString(u"word"), "");
  keyed.SetKey(u"k");
  keyed.ClearKey();
  EXPECT_EQ(keyed.Encode(), "");
}

TEST(WideCryptTest, EncryptStringIsDeterministicPerKeyAndRoundTrips) {
  TWideCrypt a(false), b(false);
  a.SetKey(u"first key");
  b.SetKey(u"second key");
  for (const std::u16string& text : kHostile) {
    std::string sealed = a.EncryptString(text);
    if (text.empty()) {
      EXPECT_EQ(sealed, "");
      continue;
    }
    EXPECT_EQ(sealed, a.EncryptString(text));
    EXPECT_NE(sealed, b.EncryptString(text));
    EXPECT_EQ(a.DecryptString(sealed), text);
    EXPECT_EQ(b.DecryptString(sealed), u"");
  }
  EXPECT_NE(a.EncryptString(u"one"), a.EncryptString(u"two"));
}

TEST(WideCryptTest, SetKeyKeepsTheLowByteOfEachCharacter) {
  TWideCrypt low(false), wide(false);
  low.SetKey(u"\u0041\u0042");
  wide.SetKey(u"\u0141\uFF42");
  std::string sealed = low.EncryptString(u"text");
  EXPECT_EQ(wide.DecryptString(sealed), u"text");
}

TEST(WideCryptTest, ChecksumAddsCodeUnitsAndWrapsAbove65535) {
  EXPECT_EQ(TWideCrypt::Checksum(u"\rA\tB"), 153);
  EXPECT_EQ(TWideCrypt::Checksum(u""), 0);
  EXPECT_EQ(TWideCrypt::Checksum(u"\uFFFF"), 65535);
  EXPECT_EQ(TWideCrypt::Checksum(u"\uFFFF\u0002"), 2);
  EXPECT_EQ(TWideCrypt::Checksum(u"\uFFFF\uFFFF\uFFFF"), 65535);
}

TEST(WideCryptTest, EscapesAreExactAndUndone) {
  struct Case {
    std::u16string value, escaped;
  };
  const Case cases[] = {
      {u"a\nb", u"a\n1b"},
      {u"a\rb", u"a\n3b"},
      {u"a\tb", u"a\n2b"},
      {u"\n2", u"\n12"},
      {u"\r\n\t", u"\n3\n1\n2"},
      {u"plain", u"plain"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeValue(c.value), c.escaped);
    EXPECT_EQ(UnescapeValue(c.escaped), c.value);
  }
}

// Text that no escaping made (a damaged or foreign record) is undone where it holds an
// escape and kept as it stands elsewhere, up to its last character.
TEST(WideCryptTest, UnescapingKeepsWhatIsNoEscape) {
  struct Case {
    std::u16string text, value;
  };
  const Case cases[] = {
      {u"", u""},           {u"\n", u"\n"},         {u"a\n", u"a\n"},       {u"\n\n1", u"\n\n"},
      {u"\n4x", u"\n4x"},   {u"\n1\n", u"\n\n"},    {u"x\n3\n2y\n", u"x\r\ty\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnescapeValue(c.text), c.value);
}

TEST(WideCryptTest, Base64FollowsTheStandardAlphabetAndPadding) {
  struct Case {
    std::string bytes, text;
  };
  const Case cases[] = {
      {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFB\xFF", "+/8="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Base64Encode(c.bytes), c.text);
    EXPECT_EQ(Base64Decode(c.text), c.bytes);
  }
  EXPECT_EQ(Base64Encode(""), "");
  for (const char* bad : {"", "Zg=", "Z===", "====", "Zg==Zg==", "Zm9v!A==", "Zm=v"}) {
    EXPECT_EQ(Base64Decode(bad), "") << bad;
  }
}

TEST(WideCryptTest, BytesAndWideTextConvertAsLittleEndian) {
  EXPECT_EQ(WideToBytes(u"A\u0142"), std::string("A\0\x42\x01", 4));
  EXPECT_EQ(BytesToWide(std::string("A\0\x42\x01", 4)), u"A\u0142");
  EXPECT_EQ(BytesToWide(std::string("A\0B", 3)), u"AB");
}

TEST(WideCryptTest, NextTokenWalksSeparatorsWithOneBasedPositions) {
  std::u16string text = u"ab\rc\r\rd";
  int pos = 0;
  std::vector<std::u16string> tokens;
  while (pos >= 0) tokens.push_back(NextToken(text, pos, u'\r'));
  EXPECT_EQ(tokens, (std::vector<std::u16string>{u"ab", u"c", u"", u"d"}));

  std::u16string name, value;
  SplitNameValue(u"N\tv\tw", u'\t', name, value);
  EXPECT_EQ(name, u"N");
  EXPECT_EQ(value, u"v\tw");
  SplitNameValue(u"alone", u'\t', name, value);
  EXPECT_EQ(name, u"alone");
  EXPECT_EQ(value, u"");
}

}  // namespace

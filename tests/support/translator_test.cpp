#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/data_resources.h"
#include "common/test_env.h"
#include "platform/base/text.h"
#include "platform/cab/cabinet_maker.h"
#include "platform/kernel/debug_output.h"
#include "platform/kernel/registry.h"
#include "support/registry_access.h"
#include "support/translator.h"
#include "tools/langpack/language_pack_builder.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::ReadFile;
using pellix_test::WriteFile;

TEST(TextHash, MatchesTheFrozenTable) {
  EXPECT_EQ(HashText("", true), 1u);
  EXPECT_EQ(HashText("a", false), 0xCF66C4D6u);
  EXPECT_EQ(HashText("Cancel", true), 0xA3D8DFE1u);
  EXPECT_EQ(HashText("CANCEL", true), HashText("cancel", false));
  EXPECT_EQ(HashText("CAF\xC9", true), 0xBE07DBD9u) << "code-page letters are lower-cased too";
  EXPECT_NE(HashText("Cancel", false), HashText("Cancel", true));
}

TEST(Unescape, ReplacesInTheFixedOrder) {
  EXPECT_EQ(UnescapeText("a#61b#13#10c"), "a=b\r\nc");
  EXPECT_EQ(UnescapeText("#3561"), "#61") << "the escape for # comes last";
}

TEST(IniTexts, StripsSkipsAndComparesWithoutCase) {
  TIniTexts ini;
  ini.SetText("before=ignored\r\n ; comment\n  [Main]  \r\n Key = value with = sign \n\x01" "Other=x\n[B]\nk=\n");
  EXPECT_EQ(ini.Value("MAIN", "key"), "value with = sign");
  EXPECT_EQ(ini.Value("main", "other"), "x");
  EXPECT_EQ(ini.Value("main", "before"), "");
  EXPECT_EQ(ini.Value("b", "k"), "");
}

// Lookups through the program-wide translator with texts set directly.
class Lookup : public ::testing::Test {
 protected:
  void SetUp() override {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", HashText("Cancel", true));
    Translator().SetTexts(std::string("[main]\r\n") + key + "=Abbrechen\r\n" + "00000002=a#61b#13#10c\r\n" +
                          "[TMainForm]\r\nbtnOK_Caption=G\xC3\xA9n\xC3\xA9rer\r\n");
    Translator().ShowHash = false;
    Translator().TraceMode = false;
  }
  void TearDown() override {
    Translator().Texts.Clear();
    Translator().ShowHash = false;
    Translator().TraceMode = false;
    platform::SetDebugOutputSink(nullptr);
  }
};

TEST_F(Lookup, FindsByHashByExplicitKeyAndFallsBackToEnglish) {
  struct Case {
    std::string text, key;
    std::u16string wide;
    std::string ansi;
  };
  const Case cases[] = {
      {"Cancel", "", u"Abbrechen", "Abbrechen"},
      {"CANCEL", "", u"Abbrechen", "Abbrechen"},
      {"anything", "00000002", u"a=b\r\nc", "a=b\r\nc"},
      {"OK", "TMainForm.btnOK_Caption", u"G\u00E9n\u00E9rer", "G\xE9n\xE9rer"},
      {"OK", "TMainForm.btnOK_Hint", u"OK", "OK"},
      {"Caf\xE9 missing", "", u"Caf\u00E9 missing", "Caf\xE9 missing"},  // ANSI, never UTF-8
      {"", "", u"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Translate(c.text, c.key), c.wide) << c.text << " " << c.key;
    EXPECT_EQ(TranslateA(c.text, c.key), c.ansi) << c.text << " " << c.key;
  }
}

TEST_F(Lookup, ShowHashPutsTheKeyInFrontOfFoundTextsOnly) {
  Translator().ShowHash = true;
  EXPECT_EQ(TranslateA("Cancel"), "A3D8DFE1-Abbrechen");
  EXPECT_EQ(TranslateA("Not there"), "Not there");
}

TEST_F(Lookup, TraceModeWritesEachLookupButNotEmptyTexts) {
  std::vector<std::string> lines;
  platform::SetDebugOutputSink([&](std::string_view text) { lines.emplace_back(text); });
  Translator().TraceMode = true;
  TranslateA("Cancel");
  TranslateA("");
  _TranslateOld("old");
  EXPECT_EQ(lines, (std::vector<std::string>{"_Translate A3D8DFE1, Cancel, Abbrechen", "_TranslateOld old"}));
}

// A pack folder with the two fixture packs, an active-language folder and registry
// keys of the test's own.
class Languages : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }

  // A new folder and new keys; the packs in place.
  void Fresh() {
    static int counter = 0;
    keys = "Software\\Quindle\\Test" + std::to_string(++counter) + "\\";
    folder = std::make_unique<pellix_test::TempDir>();
    dir = folder->path();
    fs::create_directories(dir / "Languages");
    for (const char* pack : {"PX_de.cab", "PX_fr.cab"}) {
      fs::copy_file(pellix_test::Fixture(std::string("langpacks/") + pack), dir / "Languages" / pack);
    }
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "fr_FR.UTF-8", 1);
  }
  void TearDown() override { unsetenv("LANG"); }

  void Configure(TTranslator2& translator) {
    translator.UserKey = keys;
    translator.MachineKey = keys + "Machine\\";
    translator.PackDir = (dir / "Languages").string() + "/";
    translator.LangDir = (dir / "LangAct").string() + "/";
    translator.Prefix = "PX";
  }

  std::string User(const std::string& name) { return RegReadStringDef(HKEY_CURRENT_USER, keys, name, ""); }
  std::string Machine(const std::string& name) {
    return RegReadStringDef(HKEY_LOCAL_MACHINE, keys + "Machine\\", name, "");
  }

  std::vector<std::string> ShortNames(const TTranslator2& translator) {
    std::vector<std::string> names;
    for (const TLangInfo& info : translator.Languages) names.push_back(info.ShortName);
    return names;
  }

  std::unique_ptr<pellix_test::TempDir> folder;
  fs::path dir;
  std::string keys;
};

TEST_F(Languages, DroppedPacksAreListedSortedAndCached) {
  TTranslator2 translator;
  Configure(translator);
  translator.InitLang();
  EXPECT_EQ(ShortNames(translator), (std::vector<std::string>{"en", "de", "fr"}));
  EXPECT_EQ(translator.Languages[2].LongName, "Fran\xC3\xA7" "ais");
  EXPECT_EQ(Machine("lng_PX_de_ShortName"), "de");
  EXPECT_EQ(Machine("lng_PX_de_LongName"), "Deutsch");
  EXPECT_EQ(Machine("lng_PX_de_SortID"), "100");
  EXPECT_EQ(Machine("lng_PX_de_UTF8"), "1");

  // Once cached, a pack is listed from the registry without being opened.
  WriteFile(dir / "Languages" / "PX_de.cab", "no longer a cabinet");
  TTranslator2 again;
  Configure(again);
  again.InitLang();
  EXPECT_EQ(ShortNames(again), (std::vector<std::string>{"en", "de", "fr"}));
}

TEST_F(Languages, ChoiceFollowsTheStoredSettingElseTheLocale) {
  struct Case {
    const char* label;
    const char* stored;  // "Language" before the start; empty for none
    const char* locale;
    const char* active;  // ShortName of the active entry, empty when nothing was chosen
    std::u16string cancel;
  };
  const Case cases[] = {
      {"locale", "", "fr_FR.UTF-8", "fr", u"Annuler"},
      {"stored", "de", "fr_FR.UTF-8", "de", u"Abbrechen"},
      {"stored_unknown", "it", "fr_FR.UTF-8", "", u"Cancel"},
      {"locale_unknown", "", "it_IT", "", u"Cancel"},
      {"c_locale", "", "C", "", u"Cancel"},  // "en" picks the built-in English: nothing to load
  };
  for (const Case& c : cases) {
    Fresh();
    if (c.stored[0] != 0) RegWriteString(HKEY_CURRENT_USER, keys, "Language", c.stored);
    setenv("LANG", c.locale, 1);
    TTranslator2 translator;
    Configure(translator);
    translator.InitLang();
    translator.LoadLanguage();
    std::string active = translator.LangIndex > 0 ? translator.Languages[translator.LangIndex].ShortName : "";
    EXPECT_EQ(active, c.active) << c.label;
    std::string found = translator.Texts.Value("main", "A3D8DFE1");
    std::u16string cancel = found.empty() ? u"Cancel" : platform::Utf8ToWide(found);
    EXPECT_EQ(cancel, c.cancel) << c.label;
    if (c.active[0] != 0) {
      EXPECT_EQ(User("Language"), c.active) << c.label;
      EXPECT_EQ(User("PX_Language_Ver"), "1.0.0.0") << c.label;
    }
  }
}

TEST_F(Languages, SwitchingBackToEnglishClearsTheTextsAndStoresTheChoice) {
  TTranslator2 translator;
  Configure(translator);
  translator.InitLang();
  ASSERT_TRUE(translator.SetLangByName("DE"));
  EXPECT_EQ(translator.Texts.Value("TMainForm", "btnOK_Caption"), "Ja, gut");
  EXPECT_EQ(translator.Texts.Value("TMainForm", "btnOK_Hint"), "Leerzeichen bleiben nicht");
  EXPECT_TRUE(fs::exists(dir / "LangAct" / "language.ini"));

  ASSERT_TRUE(translator.SetLangID(0));
  EXPECT_EQ(translator.LangIndex, 0);
  EXPECT_TRUE(translator.Texts.Empty());
  EXPECT_EQ(User("Language"), "en");

  TTranslator2 restarted;
  Configure(restarted);
  restarted.InitLang();
  restarted.LoadLanguage();
  EXPECT_EQ(restarted.LangIndex, 0);
  EXPECT_TRUE(restarted.Texts.Empty());
}

TEST_F(Languages, SameLanguageAgainIsNotExtractedAgain) {
  TTranslator2 first;
  Configure(first);
  first.InitLang();
  ASSERT_TRUE(first.SetLangByName("de"));
  WriteFile(dir / "LangAct" / "language.ini", "[main]\r\nA3D8DFE1=changed on disk\r\n");

  TTranslator2 second;
  Configure(second);
  second.InitLang();
  second.LoadLanguage();
  EXPECT_EQ(second.Texts.Value("main", "A3D8DFE1"), "changed on disk");
}

TEST_F(Languages, MissingPackFileLeavesEnglish) {
  TTranslator2 translator;
  Configure(translator);
  translator.InitLang();
  fs::remove(dir / "Languages" / "PX_fr.cab");
  EXPECT_FALSE(translator.SetLangByName("fr"));
  EXPECT_EQ(translator.LangIndex, 0);
  EXPECT_TRUE(translator.Texts.Empty());
}

TEST_F(Languages, NoPackFolderListsOnlyEnglishAndIgnoresTransMode) {
  RegWriteString(HKEY_CURRENT_USER, keys, "TransMode", "ShowHash");
  TTranslator2 translator;
  Configure(translator);
  translator.PackDir = (dir / "nowhere").string() + "/";
  translator.InitLang();
  EXPECT_EQ(ShortNames(translator), std::vector<std::string>{"en"});
  EXPECT_FALSE(translator.ShowHash);

  TTranslator2 withPacks;
  Configure(withPacks);
  withPacks.InitLang();
  EXPECT_TRUE(withPacks.ShowHash);
}

TEST_F(Languages, AnEnglishPackReplacesTheBuiltInEntry) {
  langpack::BuiltPack pack;
  std::string error;
  ASSERT_TRUE(langpack::ParseTable("ShortName=en\nLongName=English (UK)\nSortID=5\n\nColor\tColour\n", pack, error));
  ASSERT_TRUE(langpack::WritePack(pack, (dir / "Languages" / "PX_en-GB.cab").string(), error)) << error;
  TTranslator2 translator;
  Configure(translator);
  translator.InitLang();
  EXPECT_EQ(ShortNames(translator), (std::vector<std::string>{"en", "de", "fr"}));
  EXPECT_EQ(translator.Languages[0].LongName, "English (UK)");
  EXPECT_EQ(translator.Languages[0].FileName, "PX_en-GB.cab");
  ASSERT_TRUE(translator.SetLangID(0));
  EXPECT_EQ(translator.Texts.Value("main", "Color").empty(), true);
  char key[9];
  std::snprintf(key, sizeof key, "%08X", HashText("Color", true));
  EXPECT_EQ(translator.Texts.Value("main", key), "Colour");
}

// The program may carry its packs as data resources listed by a pack-list resource:
// they are written into the pack folder (made when missing) once per listed version,
// and the active-language folder is emptied before each extraction.
TEST_F(Languages, CarriedPacksAreWrittenOncePerVersion) {
  const std::string de = ReadFile(pellix_test::Fixture("langpacks/PX_de.cab"));
  pellix_test::RegisterDataResource("PX_de_CAB", de);
  pellix_test::RegisterDataResource("PX_frCH_CAB", ReadFile(pellix_test::Fixture("langpacks/PX_fr.cab")));
  pellix_test::RegisterDataResource("CARRIED_PACKS", "PX_de_CAB=2.0.0.0\r\nOTHER_it_CAB=1.0\nPX_frCH_CAB=\r\n");
  auto init = [&](TTranslator2& translator) {
    Configure(translator);
    translator.PackListName = "CARRIED_PACKS";
    translator.PackDir = (dir / "Carried").string() + "/";
    translator.InitLang();
  };
  TTranslator2 translator;
  init(translator);
  EXPECT_TRUE(translator.OwnPacks);
  EXPECT_EQ(ReadFile(dir / "Carried" / "PX_de.cab"), de);
  EXPECT_TRUE(fs::exists(dir / "Carried" / "PX_fr-CH.cab")) << "a four-letter language part is split";
  EXPECT_FALSE(fs::exists(dir / "Carried" / "OTHER_it.cab")) << "only packs of this prefix";
  EXPECT_EQ(ShortNames(translator), (std::vector<std::string>{"en", "de", "fr"}));
  EXPECT_EQ(Machine("lng_PX_de_Version"), "2.0.0.0");
  EXPECT_EQ(Machine("lng_PX_fr-CH_Version"), "1.0.0.0");

  WriteFile(dir / "Carried" / "PX_de.cab", "kept");
  TTranslator2 again;
  init(again);
  EXPECT_EQ(ReadFile(dir / "Carried" / "PX_de.cab"), "kept") << "the listed version is already there";

  pellix_test::RegisterDataResource("CARRIED_PACKS", "PX_de_CAB=3.0.0.0\r\n");
  TTranslator2 newer;
  init(newer);
  EXPECT_EQ(ReadFile(dir / "Carried" / "PX_de.cab"), de) << "a new version is written again";
  EXPECT_EQ(Machine("lng_PX_de_Version"), "3.0.0.0");

  WriteFile(dir / "LangAct" / "stray.ini", "from an earlier language");
  ASSERT_TRUE(newer.SetLangByName("de"));
  EXPECT_FALSE(fs::exists(dir / "LangAct" / "stray.ini"));
  EXPECT_TRUE(fs::exists(dir / "LangAct" / "language.ini"));
}

TEST(LanguagePackBuilder, RefusesBrokenTablesAndMatchesTheFixtures) {
  langpack::BuiltPack pack;
  std::string error;
  EXPECT_FALSE(langpack::ParseTable("ShortName=de\n\nno tab here\n", pack, error));
  EXPECT_EQ(error, "line 3: expected English<TAB>translation");
  EXPECT_FALSE(langpack::ParseTable("ShortName=de\n\nCancel\tAbbrechen\n", pack, error));
  EXPECT_FALSE(langpack::ParseTable("just text\n", pack, error));

  // The fixture packs are what the builder makes of their tables.
  pellix_test::TempDir dir;
  for (const char* language : {"de", "fr"}) {
    std::string table = ReadFile(pellix_test::Fixture(std::string("langpacks/PX_") + language + ".txt"));
    ASSERT_TRUE(langpack::ParseTable(table, pack, error)) << error;
    fs::path built = dir / (std::string(language) + ".cab");
    ASSERT_TRUE(langpack::WritePack(pack, built.string(), error)) << error;
    EXPECT_EQ(ReadFile(built), ReadFile(pellix_test::Fixture(std::string("langpacks/PX_") + language + ".cab")))
        << language;
  }
}

}  // namespace

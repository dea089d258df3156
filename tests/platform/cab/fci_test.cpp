#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "platform/cab/cab_callbacks.h"
#include "platform/cab/cabinet_maker.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::CabClose;
using pellix_test::CabOpen;
using pellix_test::CabRead;
using pellix_test::CabSeek;
using pellix_test::CabWrite;

using pellix_test::ReadFile;
using pellix_test::WriteFile;

struct Builder {
  std::vector<std::string> placed;
  std::vector<UINT> statuses;
  int abortStatus = -1;  // the status kind answered with -1
};

int Placed(PCCAB, char* file, LONG, BOOL, void* pv) {
  static_cast<Builder*>(pv)->placed.push_back(file);
  return 0;
}
INT_PTR Open(char* file, int oflag, int pmode, int* err, void*) {
  INT_PTR hf = CabOpen(file, oflag, pmode);
  if (hf == -1) *err = errno;
  return hf;
}
UINT Read(INT_PTR hf, void* memory, UINT cb, int*, void*) { return CabRead(hf, memory, cb); }
UINT Write(INT_PTR hf, void* memory, UINT cb, int*, void*) { return CabWrite(hf, memory, cb); }
int Close(INT_PTR hf, int*, void*) { return CabClose(hf); }
LONG Seek(INT_PTR hf, LONG distance, int origin, int*, void*) { return CabSeek(hf, distance, origin); }
int Delete(char* file, int*, void*) { return std::remove(file); }
BOOL TempFile(char*, int, void*) { return FALSE; }
BOOL NextCabinet(PCCAB, ULONG, void*) { return TRUE; }
LONG Status(UINT type, ULONG, ULONG, void* pv) {
  auto* builder = static_cast<Builder*>(pv);
  builder->statuses.push_back(type);
  return static_cast<int>(type) == builder->abortStatus ? -1 : 0;
}
INT_PTR OpenInfo(char* name, WORD* date, WORD* time, WORD* attribs, int* err, void*) {
  *date = 0x5B8A;   // 2025-12-10
  *time = 0x6A2F;   // 13:17:30
  *attribs = _A_ARCH | _A_RDONLY;
  INT_PTR hf = CabOpen(name, _O_RDONLY | _O_BINARY, 0);
  if (hf == -1) *err = errno;
  return hf;
}

class FciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = dir.path().string() + "/";
    std::snprintf(ccab.szCabPath, sizeof ccab.szCabPath, "%s", folder.c_str());
    std::snprintf(ccab.szCab, sizeof ccab.szCab, "made.cab");
    ccab.setID = 4242;
  }

  HFCI Create() {
    return FCICreate(&error, Placed, pellix_test::CabAlloc, pellix_test::CabFree, Open, Read, Write, Close, Seek,
                     Delete, TempFile, &ccab, &builder);
  }

  bool Add(HFCI fci, const std::string& name, const std::string& data, TCOMP compression) {
    fs::path source = dir.path() / "source" / std::to_string(sources++);
    WriteFile(source, data);
    std::string path = source.string(), stored = name;
    return FCIAddFile(fci, path.data(), stored.data(), FALSE, NextCabinet, Status, OpenInfo, compression) == TRUE;
  }

  pellix_test::TempDir dir;
  CCAB ccab{};
  ERF error{};
  Builder builder;
  int sources = 0;
};

const std::map<std::string, std::string> kFiles = {
    {"info.ini", "[main]\r\nShortName=fr\r\nLongName=Fran\xE7" "ais\r\n"},
    {"texts\\language.ini", std::string(50000, 'a') + std::string(50000, 'b')},
    {"texts\\empty.txt", ""},
};

class FciCompression : public FciTest, public ::testing::WithParamInterface<TCOMP> {};

TEST_P(FciCompression, CabextractReadsWhatIsWritten) {
  HFCI fci = Create();
  ASSERT_NE(fci, nullptr);
  for (const auto& [name, data] : kFiles) ASSERT_TRUE(Add(fci, name, data, GetParam())) << error.erfOper;
  ASSERT_EQ(FCIFlushCabinet(fci, FALSE, NextCabinet, Status), TRUE) << error.erfOper;
  EXPECT_EQ(FCIDestroy(fci), TRUE);
  EXPECT_EQ(builder.placed.size(), kFiles.size());
  EXPECT_EQ(pellix_test::OpenDescriptors(), 0);

  fs::path out = dir.path() / "out";
  std::string command = "cabextract -q -d '" + out.string() + "' '" + (dir.path() / "made.cab").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const auto& [name, data] : kFiles) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    EXPECT_EQ(ReadFile(out / path), data) << name;
  }
  std::string header = ReadFile(dir.path() / "made.cab").substr(0, 36);
  EXPECT_EQ(static_cast<unsigned char>(header[32]) | (static_cast<unsigned char>(header[33]) << 8), 4242);
}

INSTANTIATE_TEST_SUITE_P(Compression, FciCompression, ::testing::Values(tcompTYPE_NONE, tcompTYPE_MSZIP));

TEST_F(FciTest, DatesAndAttributesSurviveTheRoundTrip) {
  HFCI fci = Create();
  ASSERT_TRUE(Add(fci, "a.txt", "alpha", tcompTYPE_MSZIP));
  ASSERT_EQ(FCIFlushCabinet(fci, FALSE, NextCabinet, Status), TRUE);
  FCIDestroy(fci);

  pellix_test::FdiContext fdi;
  struct Seen {
    WORD date = 0, time = 0, attribs = 0;
  } seen;
  auto notify = [](FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) -> INT_PTR {
    auto* s = static_cast<Seen*>(note->pv);
    if (type == fdintCOPY_FILE) *s = Seen{note->date, note->time, note->attribs};
    return 0;
  };
  std::string name = "made.cab", folder = dir.path().string() + "/";
  ASSERT_EQ(FDICopy(fdi.handle(), name.data(), folder.data(), 0, notify, nullptr, &seen), TRUE);
  EXPECT_EQ(seen.date, 0x5B8A);
  EXPECT_EQ(seen.time, 0x6A2F);
  EXPECT_EQ(seen.attribs, _A_ARCH | _A_RDONLY);
}

TEST_F(FciTest, AfterAFlushTheNextCabinetIsAskedForAndWritten) {
  HFCI fci = Create();
  ASSERT_TRUE(Add(fci, "a", "first", tcompTYPE_NONE));
  ASSERT_EQ(FCIFlushCabinet(fci, FALSE, NextCabinet, Status), TRUE);
  std::snprintf(ccab.szCab, sizeof ccab.szCab, "ignored.cab");  // the context keeps its own copy
  ASSERT_TRUE(Add(fci, "b", "second", tcompTYPE_MSZIP));
  ASSERT_EQ(FCIFlushCabinet(fci, FALSE, NextCabinet, Status), TRUE);
  FCIDestroy(fci);
  std::string header = ReadFile(dir.path() / "made.cab").substr(0, 36);
  EXPECT_EQ(header[34], 1) << "the second cabinet of the set";
  EXPECT_FALSE(fs::exists(dir.path() / "ignored.cab"));
}

struct FciFailure {
  const char* label;
  FCIERROR expected;
  ULONG mediaSize;
  bool (*run)(FciTest& test, HFCI fci);
};

class FciFailures : public FciTest, public ::testing::WithParamInterface<FciFailure> {
 public:
  using FciTest::Add;
  using FciTest::builder;
  using FciTest::ccab;
  using FciTest::dir;
};

TEST_P(FciFailures, AreReportedInTheErrorRecord) {
  ccab.cb = GetParam().mediaSize;
  HFCI fci = Create();
  ASSERT_NE(fci, nullptr);
  EXPECT_FALSE(GetParam().run(*this, fci));
  EXPECT_EQ(error.erfOper, GetParam().expected);
  EXPECT_EQ(error.fError, TRUE);
  FCIDestroy(fci);
  EXPECT_EQ(pellix_test::OpenDescriptors(), 0);
}

bool AddMissingSource(FciTest&, HFCI fci) {
  std::string source = "/nonexistent/source", name = "x";
  return FCIAddFile(fci, source.data(), name.data(), FALSE, NextCabinet, Status, OpenInfo, tcompTYPE_NONE);
}

const FciFailure kFciFailures[] = {
    {"lzx_is_not_available", FCIERR_BAD_COMPR_TYPE, 0,
     [](FciTest& t, HFCI fci) { return static_cast<FciFailures&>(t).Add(fci, "a", "x", tcompTYPE_LZX); }},
    {"name_too_long", FCIERR_CAB_FORMAT_LIMIT, 0,
     [](FciTest& t, HFCI fci) { return static_cast<FciFailures&>(t).Add(fci, std::string(256, 'n'), "x", 0); }},
    {"missing_source", FCIERR_OPEN_SRC, 0, AddMissingSource},
    {"status_abort", FCIERR_USER_ABORT, 0,
     [](FciTest& t, HFCI fci) {
       static_cast<FciFailures&>(t).builder.abortStatus = statusFile;
       return static_cast<FciFailures&>(t).Add(fci, "a", "x", 0);
     }},
    {"over_media_size", FCIERR_CAB_FORMAT_LIMIT, 1000,
     [](FciTest& t, HFCI fci) {
       return static_cast<FciFailures&>(t).Add(fci, "a", std::string(5000, 'z'), tcompTYPE_NONE) &&
              FCIFlushCabinet(fci, FALSE, NextCabinet, Status) == TRUE;
     }},
    {"second_folder", FCIERR_CAB_FORMAT_LIMIT, 0,
     [](FciTest& t, HFCI fci) {
       auto& test = static_cast<FciFailures&>(t);
       return test.Add(fci, "a", "x", tcompTYPE_NONE) && test.Add(fci, "b", "y", tcompTYPE_MSZIP);
     }},
    {"unwritable_cabinet", FCIERR_CAB_FILE, 0,
     [](FciTest& t, HFCI fci) {
       auto& test = static_cast<FciFailures&>(t);
       fs::create_directories(test.dir.path() / "made.cab");  // a folder stands where the file goes
       return test.Add(fci, "a", "x", 0) && FCIFlushCabinet(fci, FALSE, NextCabinet, Status) == TRUE;
     }},
};

INSTANTIATE_TEST_SUITE_P(Failure, FciFailures, ::testing::ValuesIn(kFciFailures),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace

// Tile names and path helpers: separators, double-byte folder names in code page 932 and
// in UTF-8 (each named explicitly, whatever the world's), tile kinds.
#include "hgt/paths.h"

#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/hgt/hgt_test_util.h"
#include "tests/support/test_support.h"

namespace srtm {
namespace {

using test::MakeFolder;
constexpr PathCodePage kSjis = PathCodePage::kShiftJis;
constexpr PathCodePage kUtf8 = PathCodePage::kUtf8;

// A folder name whose second character is the double-byte 0x95 0x5C (its trail byte
// is the code of a backslash).
const std::string kDbcsFolder = "C:\\\x95\x5C";
// "テスト" in UTF-8: its last byte, 0x88, is a lead byte in code page 932, which would
// take a backslash after it for its trail byte.
const std::string kUtf8Folder = "Z:\\\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";

TEST(EndsWithBackslash, OnlyASingleByteBackslashAtTheEndCounts) {
  for (PathCodePage cp : {kSjis, kUtf8}) {
    EXPECT_TRUE(EndsWithBackslash("C:\\data\\", cp));
    EXPECT_TRUE(EndsWithBackslash("\\", cp));
    EXPECT_FALSE(EndsWithBackslash("", cp));
    EXPECT_FALSE(EndsWithBackslash("C:\\data", cp));
    EXPECT_FALSE(EndsWithBackslash("C:", cp));
  }
  // The trail byte of a double-byte character is not a separator.
  EXPECT_FALSE(EndsWithBackslash(kDbcsFolder.c_str(), kSjis));
  EXPECT_TRUE(EndsWithBackslash((kDbcsFolder + "\\").c_str(), kSjis));
  // Half-width katakana are single bytes, so a backslash after one still counts.
  EXPECT_TRUE(EndsWithBackslash("C:\\\xB1\\", kSjis));
  // A lead byte cut off by the terminator ends the walk without reading past it.
  EXPECT_FALSE(EndsWithBackslash("C:\\x\\\x95", kSjis));
  // In UTF-8 no byte of a character pairs with the separator after it.
  EXPECT_TRUE(EndsWithBackslash((kUtf8Folder + "\\").c_str(), kUtf8));
  EXPECT_FALSE(EndsWithBackslash((kUtf8Folder + "\\").c_str(), kSjis));
}

TEST(AppendPath, MakesExactlyOneSeparator) {
  char buffer[kPathBufferSize] = "C:\\data";
  ASSERT_TRUE(AppendPath(buffer, "\\N35E139.hgt", kSjis));
  EXPECT_STREQ(buffer, "C:\\data\\N35E139.hgt");

  std::strcpy(buffer, "C:\\data\\");
  ASSERT_TRUE(AppendPath(buffer, "N35E139.hgt", kSjis));
  EXPECT_STREQ(buffer, "C:\\data\\N35E139.hgt");

  buffer[0] = '\0';
  ASSERT_TRUE(AppendPath(buffer, "x", kSjis));
  EXPECT_STREQ(buffer, "\\x");

  // Only one leading backslash of the name is dropped.
  std::strcpy(buffer, "C:\\data\\");
  ASSERT_TRUE(AppendPath(buffer, "\\\\x", kSjis));
  EXPECT_STREQ(buffer, "C:\\data\\\\x");

  // A folder ending in the double-byte 0x95 0x5C gets its own separator; in UTF-8 a
  // folder ending in its separator gets none more.
  std::string path = kDbcsFolder;
  ASSERT_TRUE(AppendPath(path, "N35E139.hgt", kSjis));
  EXPECT_EQ(path, kDbcsFolder + "\\N35E139.hgt");
  path = kUtf8Folder + "\\";
  ASSERT_TRUE(AppendPath(path, "N35E139.hgt", kUtf8));
  EXPECT_EQ(path, kUtf8Folder + "\\N35E139.hgt");
}

TEST(AppendPath, RefusesWhatDoesNotFitAndLeavesTheBufferAlone) {
  // The buffer holds kPathBufferSize - 1 bytes and the terminator (259 in the Windows
  // world): a folder of 2 fewer takes a separator and one byte, one more does not fit.
  std::string folder(kPathBufferSize - 2, 'a');
  char buffer[kPathBufferSize];
  std::strcpy(buffer, folder.c_str());
  EXPECT_FALSE(AppendPath(buffer, "b"));
  EXPECT_EQ(std::string(buffer), folder);
  std::string exact(kPathBufferSize - 3, 'a');
  std::strcpy(buffer, exact.c_str());
  ASSERT_TRUE(AppendPath(buffer, "b"));
  EXPECT_EQ(std::strlen(buffer), kPathBufferSize - 1);

  // A buffer that holds no terminator at all is refused, not scanned past its end.
  std::memset(buffer, 'a', sizeof buffer);
  EXPECT_FALSE(AppendPath(buffer, "b"));

  std::string path(kPathBufferSize + 40, 'a');
  EXPECT_FALSE(AppendPath(path, "b"));
  EXPECT_EQ(path.size(), kPathBufferSize + 40);
  std::string nearlyFull(kPathBufferSize - 10, 'a');
  EXPECT_FALSE(AppendPath(nearlyFull, "N35E139.hgt"));
  EXPECT_EQ(nearlyFull, std::string(kPathBufferSize - 10, 'a'));
}

TEST(FindFileName, AfterLastBackslashElseColonElseStart) {
  const char* path = "C:\\a\\N35E139.hgt";
  EXPECT_EQ(FindFileName(path, kSjis), path + 5);
  const char* drive = "C:N35E139.HGT";
  EXPECT_EQ(FindFileName(drive, kSjis), drive + 2);
  const char* bare = "N35E139.HGT";
  EXPECT_EQ(FindFileName(bare, kSjis), bare);
  // The 0x5C trail bytes are not separators: the name starts after "C:\".
  std::string dbcs = kDbcsFolder + "\x95\x5Cname.hgt";
  EXPECT_STREQ(FindFileName(dbcs.c_str(), kSjis), "\x95\x5C\x95\x5Cname.hgt");
  // In UTF-8 the separator after a character is one, whatever that character's bytes.
  const std::string utf8 = kUtf8Folder + "\\N35E139.hgt";
  EXPECT_STREQ(FindFileName(utf8.c_str(), kUtf8), "N35E139.hgt");
}

TEST(SplitPath, FolderKeepsItsSeparatorAndMayBeThePathItself) {
  std::string folder, name;
  ASSERT_TRUE(SplitPath("C:N35E139.HGT", &folder, &name, kSjis));
  EXPECT_EQ(folder, "C:");
  EXPECT_EQ(name, "N35E139.HGT");

  std::string path = kDbcsFolder + "\\N57E011.hgt";
  ASSERT_TRUE(SplitPath(path, &path, &name, kSjis));
  EXPECT_EQ(path, kDbcsFolder + "\\");
  EXPECT_EQ(name, "N57E011.hgt");
  path = kUtf8Folder + "\\N57E011.hgt";
  ASSERT_TRUE(SplitPath(path, &folder, &name, kUtf8));
  EXPECT_EQ(folder, kUtf8Folder + "\\");
  EXPECT_EQ(name, "N57E011.hgt");

  ASSERT_TRUE(SplitPath("C:\\x\\y", nullptr, &name));
  EXPECT_EQ(name, "y");
  ASSERT_TRUE(SplitPath("C:\\x\\y", &folder, nullptr));
  EXPECT_EQ(folder, "C:\\x\\");

  // Too long for a path buffer: refused, outputs untouched.
  folder = name = "keep";
  EXPECT_FALSE(SplitPath(std::string(kPathBufferSize, 'a'), &folder, &name));
  EXPECT_EQ(folder, "keep");
  EXPECT_EQ(name, "keep");
  EXPECT_TRUE(SplitPath(std::string(kPathBufferSize - 1, 'a'), &folder, &name));
}

TEST(FormatTilePath, HemisphereLettersAndZeroPadding) {
  EXPECT_EQ(FormatTilePath("C:\\srtm", -1, -72), "C:\\srtm\\S01W072.hgt");
  EXPECT_EQ(FormatTilePath("C:\\srtm", 35, 139), "C:\\srtm\\N35E139.hgt");
  EXPECT_EQ(FormatTilePath("C:\\srtm", 0, 0), "C:\\srtm\\N00E000.hgt");
  EXPECT_EQ(FormatTilePath("C:\\srtm", -90, -180), "C:\\srtm\\S90W180.hgt");
  EXPECT_EQ(FormatTilePath("C:\\srtm", 90, 180), "C:\\srtm\\N90E180.hgt");
}

class ClassifyTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, std::size_t size) {
    std::string path = folder_.File(name);
    EXPECT_TRUE(test::WriteBytes(path, std::vector<std::uint8_t>(size)));
    return path;
  }
  test::TempFolder folder_;
};

TEST_F(ClassifyTest, KindComesFromTheSizeOnly) {
  EXPECT_EQ(ClassifyHgtFile(Put("N35E139.hgt", kSrtm3FileSize)), kSrtm3);
  EXPECT_EQ(ClassifyHgtFile(Put("N36E139.hgt", kSrtm1FileSize)), kSrtm1);
  EXPECT_EQ(ClassifyHgtFile(Put("N37E139.hgt", kSrtm3FileSize - 1)), kNotTile);
  EXPECT_EQ(ClassifyHgtFile(Put("N38E139.hgt", kSrtm3FileSize + 1)), kNotTile);
  EXPECT_EQ(ClassifyHgtFile(folder_.File("N39E139.hgt")), kNotTile);  // no such file
}

TEST_F(ClassifyTest, NamePatternIsCaseBlindAndLooksAtElevenCharacters) {
  double lat = 99, lon = 99;
  EXPECT_EQ(ClassifyHgtFile(Put("n35e139.hgt", kSrtm3FileSize), &lat, &lon), kSrtm3);
  EXPECT_EQ(lat, 35.0);
  EXPECT_EQ(lon, 139.0);
  EXPECT_EQ(ClassifyHgtFile(Put("N35E139.HGT.BAK", kSrtm3FileSize)), kSrtm3);
  EXPECT_EQ(ClassifyHgtFile(Put("S00E010.HGT", kSrtm3FileSize), &lat, &lon), kSrtm3);
  EXPECT_EQ(lat, 0.0);
  EXPECT_EQ(lon, 10.0);
  EXPECT_EQ(ClassifyHgtFile(Put("S01W072.hgt", kSrtm3FileSize), &lat, &lon), kSrtm3);
  EXPECT_EQ(lat, -1.0);
  EXPECT_EQ(lon, -72.0);
  // No range check: the name alone is a pattern.
  EXPECT_EQ(ClassifyHgtFile(Put("N95E999.hgt", kSrtm3FileSize)), kSrtm3);

  for (const char* bad : {"XN35E139.HGT", "N3E139.HGT", "N35E139.HG", "N35X139.HGT", "N35E1A9.HGT", "N35E139_HGT"}) {
    EXPECT_EQ(ClassifyHgtFile(Put(bad, kSrtm3FileSize)), kNotTile) << bad;
  }
}

TEST_F(ClassifyTest, CornerIsWrittenEvenWhenTheSizeIsWrong) {
  double lat = 0, lon = 0;
  EXPECT_EQ(ClassifyHgtFile(Put("S12W034.hgt", 100), &lat, &lon), kNotTile);
  EXPECT_EQ(lat, -12.0);
  EXPECT_EQ(lon, -34.0);
  // Both outputs are needed for either to be written.
  double only = 5;
  EXPECT_EQ(ClassifyHgtFile(Put("S12W035.hgt", kSrtm3FileSize), &only, nullptr), kSrtm3);
  EXPECT_EQ(only, 5.0);
}

TEST_F(ClassifyTest, DoubleByteFolderAndOverlongPaths) {
  // A real folder whose name's last byte pairs with the separator in the other code page
  // (0x95 0x5C in code page 932, "テスト" in UTF-8): the tile in it is still found by name.
  const bool sjis = platform::kPathCodePage == kSjis;
  std::string folder = folder_.File(sjis ? "\x95\x5C" : "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
  ASSERT_TRUE(MakeFolder(folder));
  std::string path = folder + "\\N35E139.hgt";
  ASSERT_TRUE(test::WriteBytes(path, std::vector<std::uint8_t>(kSrtm3FileSize)));
  EXPECT_EQ(ClassifyHgtFile(path), kSrtm3);

  // A path that does not fit a path buffer is never a tile.
  std::string longPath = "C:\\" + std::string(kPathBufferSize + 40, 'a') + "\\N35E139.hgt";
  double lat = 7, lon = 7;
  EXPECT_EQ(ClassifyHgtFile(longPath, &lat, &lon), kNotTile);
  EXPECT_EQ(lat, 7.0);
}

}  // namespace
}  // namespace srtm

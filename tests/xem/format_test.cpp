// The XEM file: header and index bytes at their offsets, the writer and its failures
// (never a partial file), and the reader's checks on damaged files.
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/fault_injector.h"
#include "tests/support/test_support.h"
#include "xem/codec.h"
#include "xem/xem_reader.h"
#include "xem/xem_writer.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace srtm {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::int32_t Int32At(const Bytes& b, std::size_t at) { return GetInt32LE(&b[at]); }

TEST(XemHeaderBytes, EveryFieldAtItsOffset) {
  XemHeader h;
  std::memcpy(h.magic, kXemMagic, 4);
  h.formatNumber = 1000;
  h.firstBlockOffset = 1908;
  CopyTextField(h.description, 80, "desc");
  CopyTextField(h.noticeText, 80, "note");
  const std::uint8_t id[5] = {0x09, 0xB8, 0x74, 0x48, 0x03};
  std::memcpy(h.mapSetId, id, 5);
  h.reserved177 = 0x01020304;
  h.southEdge = 12599850;
  h.westEdge = -43200149;
  CopyTextField(h.datum, 20, "WGS84");
  h.resolutionX = 120000;
  h.resolutionY = 360000;
  h.gridWidth = 1200;
  h.gridHeight = 3600;
  h.blockWidth = 120;
  h.blockHeight = 121;
  h.blockCount = 100;
  h.blockColumns = 10;
  h.blockRows = 11;
  h.seaValue = -30000;
  h.constant257 = 1;
  h.sampleBytes = 2;
  h.constant260 = 1;
  h.codec = 3;
  h.flags = 7;
  h.sectionSizeC = 5;
  h.sectionSizeA = 6;
  std::memcpy(h.publisherId, "ZOZORUDO", 9);
  h.sectionSizeB = 8;
  h.headerChecksum = h.ComputeChecksum();

  Bytes b(kXemHeaderBytes);
  h.EncodeTo(b.data());
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "XEM0");
  EXPECT_EQ(Int32At(b, 4), 1000);
  EXPECT_EQ(Int32At(b, 8), 1908);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[12])), "desc");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[92])), "note");
  EXPECT_EQ(Bytes(b.begin() + 172, b.begin() + 177), Bytes(id, id + 5));
  EXPECT_EQ(Int32At(b, 177), 0x01020304);
  EXPECT_EQ(Int32At(b, 181), 12599850);
  EXPECT_EQ(Int32At(b, 185), -43200149);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[189])), "WGS84");
  const std::pair<std::size_t, std::int32_t> ints[] = {{209, 120000}, {213, 360000}, {217, 1200}, {221, 3600},
                                                       {225, 120},    {229, 121},    {233, 100},  {237, 10},
                                                       {241, 11},     {262, 7},      {287, 5},    {291, 6},
                                                       {304, 8}};
  for (const auto& [at, value] : ints) EXPECT_EQ(Int32At(b, at), value) << "offset " << at;
  EXPECT_EQ(b[245], 0xD0);
  EXPECT_EQ(b[246], 0x8A);
  EXPECT_EQ(Bytes(b.begin() + 257, b.begin() + 262), (Bytes{1, 0, 2, 1, 3}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[295])), "ZOZORUDO");
  EXPECT_EQ(b[303], 0);
  unsigned sum = 0;
  for (std::uint8_t x : b) sum += x;
  EXPECT_EQ(sum % 256, 0u);
  EXPECT_EQ(b[266], h.headerChecksum);

  XemHeader back;
  back.DecodeFrom(b.data());
  Bytes again(kXemHeaderBytes);
  back.EncodeTo(again.data());
  EXPECT_EQ(again, b);

  XemIndexEntry e{3, -2, 0x7FFFFFFF, 28800};
  Bytes eb(kXemIndexEntryBytes);
  e.EncodeTo(eb.data());
  EXPECT_EQ(eb, (Bytes{3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x80, 0x70, 0, 0}));
}

TEST(XemHeaderBytes, TextFieldsCutWithoutTerminator) {
  char field[80];
  const std::string long100(100, 'x');
  CopyTextField(field, 80, long100.c_str());
  EXPECT_EQ(std::string(field, 80), std::string(80, 'x'));
  CopyTextField(field, 80, "ab");
  EXPECT_EQ(std::string(field, 4), std::string("ab\0\0", 4));
  EXPECT_EQ(std::string(field + 2, 78), std::string(78, '\0'));
}

// A small file: blocks of 2 x 2 samples, 3 x 2 of them, each compressed with codec 3.
class XemFileTest : public ::testing::Test {
 protected:
  static constexpr int kColumns = 3, kRows = 2;

  std::vector<std::int16_t> BlockSamples(int column, int row) const {
    return {static_cast<std::int16_t>(100 * column + 10 * row), 1, -5, static_cast<std::int16_t>(column - row)};
  }

  int Write(XemFileWriter& writer, const std::string& path) {
    writer.Prepare(kColumns * kRows);
    XemHeader& h = writer.header();
    h.gridWidth = 2 * kColumns;
    h.gridHeight = 2 * kRows;
    h.blockWidth = 2;
    h.blockHeight = 2;
    h.sampleBytes = 2;
    h.codec = 3;
    std::memcpy(h.publisherId, kXemPublisherId, 9);
    if (!writer.StartFile(path, nullptr, nullptr, nullptr)) return 0;
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kColumns; ++c) {
        const auto block = BlockSamples(c, r);
        std::uint8_t out[16];
        std::uint32_t length = sizeof out;
        TileCodec::CompressBlock(out, &length, block.data(), 8, 3, 2);
        if (!writer.AppendBlock(c, r, out, static_cast<std::int32_t>(length))) return 0;
      }
    }
    return writer.Finish();
  }

  Status Reopen(const Bytes& bytes) {
    test::WriteBytes(path_, bytes);
    return reader_.Open(path_);
  }

  test::TempFolder folder_;
  std::string path_ = folder_.File("a.xem");
  XemReader reader_;
};

TEST_F(XemFileTest, WrittenFileHasItsIndexAndBlocksWhereTheHeaderSays) {
  XemFileWriter writer;
  ASSERT_EQ(Write(writer, path_), 1);
  EXPECT_TRUE(writer.path().empty());
  const Bytes b = test::ReadBytes(path_);
  EXPECT_EQ(Int32At(b, 8), 308 + 16 * 6);
  EXPECT_EQ(Int32At(b, 233), 6);
  EXPECT_EQ(Int32At(b, 237), 3);  // from the index, not from blockCount
  EXPECT_EQ(Int32At(b, 241), 2);
  std::int32_t expectedOffset = 308 + 16 * 6;
  for (int i = 0; i < 6; ++i) {
    const std::size_t at = 308 + 16 * static_cast<std::size_t>(i);
    EXPECT_EQ(Int32At(b, at), i % 3);
    EXPECT_EQ(Int32At(b, at + 4), i / 3);
    EXPECT_EQ(Int32At(b, at + 8), expectedOffset);
    expectedOffset += Int32At(b, at + 12);
  }
  EXPECT_EQ(static_cast<std::size_t>(expectedOffset), b.size());

  ASSERT_TRUE(reader_.Open(path_).ok());
  std::vector<std::int16_t> block;
  ASSERT_TRUE(reader_.ReadBlock(2, 1, &block).ok());
  EXPECT_EQ(block, BlockSamples(2, 1));
  std::vector<std::int16_t> grid;
  ASSERT_TRUE(reader_.ReadGrid(&grid).ok());
  ASSERT_EQ(grid.size(), 24u);
  EXPECT_EQ(grid[6 * 3 + 5], BlockSamples(2, 1)[3]);  // grid (5, 3): block (2, 1), position (1, 1)
  EXPECT_EQ(reader_.ReadBlock(3, 0, &block).code(), Status::kNotFound);
}

TEST_F(XemFileTest, EmptyIndexGivesOneByOne) {
  XemFileWriter writer;
  writer.Prepare(0);
  ASSERT_EQ(writer.StartFile(path_, nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(writer.Finish(), 1);
  const Bytes b = test::ReadBytes(path_);
  ASSERT_EQ(b.size(), 308u);
  EXPECT_EQ(Int32At(b, 237), 1);
  EXPECT_EQ(Int32At(b, 241), 1);
}

TEST_F(XemFileTest, SectionsLieBetweenIndexAndBlocks) {
  XemFileWriter writer;
  writer.Prepare(1);
  writer.header().sectionSizeA = 3;
  writer.header().sectionSizeC = 2;
  const std::uint8_t a[3] = {0xA1, 0xA2, 0xA3};
  ASSERT_EQ(writer.StartFile(path_, a, nullptr, nullptr), 1);
  const std::uint8_t block[2] = {0x42, 0x43};
  ASSERT_EQ(writer.AppendBlock(0, 0, block, 2), 1);
  ASSERT_EQ(writer.Finish(), 1);
  const Bytes b = test::ReadBytes(path_);
  EXPECT_EQ(Int32At(b, 8), 308 + 16 + 5);
  EXPECT_EQ(Bytes(b.begin() + 324, b.end()), (Bytes{0xA1, 0xA2, 0xA3, 0, 0, 0x42, 0x43}));
  EXPECT_EQ(Int32At(b, 308 + 8), 329);
}

TEST_F(XemFileTest, EveryWriteFailureLeavesNoFile) {
  // Writes: header, index placeholder, six blocks, then the final header and index.
  for (int n = 1; n <= 9; ++n) {
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    test::FaultInjector env;
    env.failWrite = n;
    XemFileWriter writer;
    EXPECT_EQ(Write(writer, path_), 0);
    EXPECT_FALSE(test::Exists(path_));
    EXPECT_TRUE(writer.path().empty());
  }
  for (bool seek : {true, false}) {
    test::FaultInjector env;
    env.failSeek = seek;
    env.failClose = seek ? 0 : 1;
    XemFileWriter writer;
    EXPECT_EQ(Write(writer, path_), 0);
    EXPECT_FALSE(test::Exists(path_)) << (seek ? "seek" : "close") << " failed in Finish";
  }
  test::FaultInjector env;
  env.failCreate = 1;
  XemFileWriter writer;
  EXPECT_EQ(Write(writer, path_), 0);
}

TEST_F(XemFileTest, AFileThereIsReplacedOnlyByACompleteOne) {
  // Only the XEM file is in the folder; its temporary file is gone.
  const auto onlyTheFile = [this] {
    std::vector<platform::DirEntry> entries;
    platform::FindFiles(folder_.path().c_str(), "*", &entries);
    return entries.size() == 1 && entries[0].name == "a.xem";
  };
  const Bytes old = {'o', 'l', 'd'};
  for (int n = 1; n <= 9; ++n) {
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    test::WriteBytes(path_, old);
    test::FaultInjector env;
    env.failWrite = n;
    XemFileWriter writer;
    EXPECT_EQ(Write(writer, path_), 0);
    EXPECT_EQ(test::ReadBytes(path_), old);
    EXPECT_TRUE(onlyTheFile());
    EXPECT_FALSE(writer.error().empty());
  }
  XemFileWriter writer;
  writer.Prepare(1);
  ASSERT_EQ(writer.StartFile(path_, nullptr, nullptr, nullptr), 1);
  EXPECT_FALSE(onlyTheFile());
  EXPECT_EQ(test::ReadBytes(path_), old);  // still the old file while the new one is written
  writer.Abandon();
  EXPECT_EQ(test::ReadBytes(path_), old);
  EXPECT_TRUE(onlyTheFile());
  ASSERT_EQ(Write(writer, path_), 1);
  EXPECT_NE(test::ReadBytes(path_), old);
  EXPECT_TRUE(onlyTheFile());
  EXPECT_TRUE(reader_.Open(path_).ok());
  // The file it is written from is never the one replaced.
  writer.Prepare(1);
  EXPECT_EQ(writer.StartFile(path_, nullptr, nullptr, nullptr, path_), 0);
  EXPECT_NE(writer.error().find("is the input"), std::string::npos) << writer.error();
}

TEST_F(XemFileTest, BlocksMustMatchBlockCount) {
  const std::uint8_t block[2] = {1, 2};
  XemFileWriter writer;
  writer.Prepare(1);
  ASSERT_EQ(writer.StartFile(path_, nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(writer.AppendBlock(0, 0, block, 2), 1);
  EXPECT_EQ(writer.AppendBlock(1, 0, block, 2), 0);  // would overwrite the first block at Finish
  EXPECT_FALSE(test::Exists(path_));

  writer.Prepare(2);
  ASSERT_EQ(writer.StartFile(path_, nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(writer.AppendBlock(0, 0, block, 2), 1);
  EXPECT_EQ(writer.Finish(), 0);  // an index entry would stay zero
  EXPECT_FALSE(test::Exists(path_));

  writer.Prepare(1);
  ASSERT_EQ(writer.StartFile(path_, nullptr, nullptr, nullptr), 1);
  writer.Abandon();
  EXPECT_FALSE(test::Exists(path_));
  {
    XemFileWriter dropped;
    dropped.Prepare(1);
    ASSERT_EQ(dropped.StartFile(path_, nullptr, nullptr, nullptr), 1);
  }
  EXPECT_FALSE(test::Exists(path_));
}

TEST_F(XemFileTest, ReaderNamesEachDamage) {
  XemFileWriter writer;
  ASSERT_EQ(Write(writer, path_), 1);
  const Bytes good = test::ReadBytes(path_);

  // Changes a header field and fixes the checksum, so the field's own check answers.
  auto withHeader = [&](auto change) {
    Bytes b = good;
    XemHeader h;
    h.DecodeFrom(b.data());
    change(h);
    h.headerChecksum = h.ComputeChecksum();
    h.EncodeTo(b.data());
    return b;
  };
  auto withEntry = [&](int i, std::size_t field, std::int32_t value) {
    Bytes b = good;
    PutInt32LE(&b[308 + 16 * static_cast<std::size_t>(i) + field], value);
    return b;
  };
  Bytes badMagic = good;
  badMagic[3] = '1';
  Bytes badSum = good;
  badSum[100] ^= 1;
  const struct {
    Bytes bytes;
    const char* message;
  } cases[] = {
      {Bytes(good.begin(), good.begin() + 307), "shorter than the 308-byte header"},
      {badMagic, "magic"},
      {badSum, "checksum"},
      {withHeader([](XemHeader& h) { h.blockCount = 1000000; }), "index of 1000000 entries passes the end"},
      {withHeader([](XemHeader& h) { h.blockCount = -1; }), "index of -1 entries"},
      {withHeader([](XemHeader& h) { h.firstBlockOffset += 1; }), "firstBlockOffset"},
      {withHeader([](XemHeader& h) { h.sampleBytes = 1; }), "sampleBytes"},
      {withHeader([](XemHeader& h) { h.codec = 7; }), "codec 7"},
      {withHeader([](XemHeader& h) { h.blockWidth = 0; }), "block size"},
      {withHeader([](XemHeader& h) { h.gridHeight = 1 << 30; }), "grid size"},
      {withHeader([](XemHeader& h) { h.blockColumns = 0; }), "block grid"},
      {withHeader([](XemHeader& h) { h.sectionSizeB = -4; }), "section size"},
      {withEntry(2, 0, 3), "index entry 2, block (3, 0): outside"},
      {withEntry(4, 4, -1), "outside the 3 x 2 block grid"},
      {withEntry(1, 8, 10), "lie outside the block data"},
      {withEntry(5, 12, 1000), "lie outside the block data"},
      {withEntry(5, 12, -1), "lie outside the block data"},
      {withEntry(1, 0, 0), "appears twice"},
  };
  for (const auto& c : cases) {
    const Status s = Reopen(c.bytes);
    EXPECT_FALSE(s.ok()) << c.message;
    EXPECT_NE(s.message().find(c.message), std::string::npos) << s.ToString();
  }
  // A block whose bytes do not decode is found when it is read.
  Bytes badBlock = good;
  badBlock[static_cast<std::size_t>(Int32At(good, 308 + 8)) + 2] = 0xFF;
  ASSERT_TRUE(Reopen(badBlock).ok());
  std::vector<std::int16_t> samples;
  const Status s = reader_.ReadBlock(0, 0, &samples);
  EXPECT_EQ(s.code(), Status::kCorrupt);
  EXPECT_NE(s.message().find("block (0, 0)"), std::string::npos) << s.ToString();
  EXPECT_EQ(reader_.Open(folder_.File("none.xem")).code(), Status::kNotFound);
}

// A header may claim a block grid or a sample grid far larger than the file's index:
// the reader's memory follows the index, and a grid with blocks missing is refused
// before it is allocated.
TEST_F(XemFileTest, ClaimedSizesCostNothingUntilTheIndexBacksThem) {
  XemFileWriter writer;
  ASSERT_EQ(Write(writer, path_), 1);
  Bytes b = test::ReadBytes(path_);
  XemHeader h;
  h.DecodeFrom(b.data());
  h.blockColumns = 8000;
  h.blockRows = 8000;
  h.gridWidth = 8000;
  h.gridHeight = 8000;
  h.headerChecksum = h.ComputeChecksum();
  h.EncodeTo(b.data());
  PutInt32LE(&b[308 + 16 * 5], 7999);  // the last entry moves to the far corner
  PutInt32LE(&b[308 + 16 * 5 + 4], 7999);
#ifdef __GLIBC__
  const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
#endif
  ASSERT_TRUE(Reopen(b).ok());
#ifdef __GLIBC__
  EXPECT_LT(mallinfo2().uordblks + mallinfo2().hblkhd, before + (1u << 20));
#endif
  ASSERT_NE(reader_.FindBlock(7999, 7999), nullptr);
  EXPECT_EQ(reader_.FindBlock(7998, 7999), nullptr);
  EXPECT_EQ(reader_.FindBlock(2, 1), nullptr);
  std::vector<std::int16_t> block;
  ASSERT_TRUE(reader_.ReadBlock(7999, 7999, &block).ok());
  EXPECT_EQ(block, BlockSamples(2, 1));
  std::vector<std::int16_t> grid;
  const Status s = reader_.ReadGrid(&grid);
  EXPECT_EQ(s.code(), Status::kCorrupt);
  EXPECT_NE(s.message().find("not in the index"), std::string::npos) << s.ToString();
  EXPECT_TRUE(grid.empty());
}

TEST_F(XemFileTest, TruncatedOrFlippedFilesNeverCrash) {
  XemFileWriter writer;
  ASSERT_EQ(Write(writer, path_), 1);
  const Bytes good = test::ReadBytes(path_);
  std::vector<std::int16_t> grid;
  for (std::size_t size = 0; size < good.size(); ++size) {
    const Status s = Reopen(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)));
    EXPECT_TRUE(!s.ok() || !reader_.ReadGrid(&grid).ok()) << "cut to " << size << " bytes";
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    Bytes b = good;
    b[at] ^= 0x10;
    if (Reopen(b).ok()) reader_.ReadGrid(&grid);  // any outcome but a crash
  }
}

#if !defined(_WIN32)
// A named pipe cannot go back for the header: the file goes through it in order, the
// same bytes as a regular file, and a failed write leaves the pipe as it was.
TEST_F(XemFileTest, APipeGetsTheFileInOrderAndStays) {
  XemFileWriter writer;
  ASSERT_EQ(Write(writer, path_), 1);
  const Bytes regular = test::ReadBytes(path_);
  const std::string pipe = folder_.File("pipe.xem");
  const std::string native = platform::ToNativePath(pipe);
  ASSERT_EQ(::mkfifo(native.c_str(), 0600), 0);
  for (int failWrite : {0, 1}) {
    SCOPED_TRACE(failWrite ? "the write fails" : "all goes through");
    std::string received;
    std::thread reader([&] {
      std::ifstream in(native, std::ios::binary);
      received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    {
      test::FaultInjector env;
      env.failWrite = failWrite;
      EXPECT_EQ(Write(writer, pipe), failWrite ? 0 : 1);
      EXPECT_EQ(writer.error().empty(), failWrite == 0) << writer.error();
    }
    reader.join();
    if (!failWrite) {
      EXPECT_EQ(Bytes(received.begin(), received.end()), regular);
    }
    struct stat st;
    ASSERT_EQ(::lstat(native.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  }
}
#endif

}  // namespace
}  // namespace srtm

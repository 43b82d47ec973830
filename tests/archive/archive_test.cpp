// The archive readers on archives made in the test, shaped as the downloads ship them,
// then damaged, cut short, nested too deep and lying about their sizes.
#include "archive/archive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <thread>

#include "platform/platform.h"
#include "tests/archive/archive_writer.h"
#include "tests/support/test_support.h"

namespace srtm::test {
namespace {

using archive::Reader;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// Text as the system shows it: UTF-8 natively, code page 932 in the Windows world.
std::string Sys(const std::string& utf8) {
#if defined(_WIN32)
  return ToCp932(utf8);
#else
  return utf8;
#endif
}

Bytes Pattern(std::size_t n, unsigned seed) {  // compresses about as badly as terrain
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245 + 12345;
    b[i] = static_cast<std::uint8_t>((i / 7) ^ (seed >> 27));
  }
  return b;
}

class ArchiveTest : public ::testing::Test {
 protected:
  // Writes `bytes` as `name` in the folder and opens it, labelled `name`.
  Status Open(Reader* r, const std::string& name, const Bytes& bytes) {
    EXPECT_TRUE(WriteBytes(dir_.File(name), bytes));
    return r->Open(dir_.File(name), name);
  }
  // Every member's label and bytes, each read checked.
  std::map<std::string, Bytes> ReadAll(Reader& r) {
    std::map<std::string, Bytes> out;
    for (std::size_t i = 0; i < r.members().size(); ++i) {
      Bytes b;
      const Status s = r.Read(i, &b);
      EXPECT_TRUE(s.ok()) << s.ToString();
      EXPECT_EQ(b.size(), r.members()[i].size) << r.members()[i].label;
      out[r.members()[i].label] = b;
    }
    return out;
  }
  std::vector<std::string> Problems(const Reader& r) {
    std::vector<std::string> texts;
    for (const Status& s : r.problems()) texts.push_back(s.message());
    return texts;
  }
  TempFolder dir_;
};

TEST_F(ArchiveTest, EachDownloadLayoutGivesItsFilesByteForByte) {
  const Bytes tile = RealTile(), side = Pattern(5000, 1), other = Pattern(70000, 2);
  ZipWriter nasa, nasadem, bulk, folders, deep;
  nasa.Add({"N57E011.hgt", tile});
  nasadem.Add({"n57e011.hgt", tile});
  nasadem.Add({"n57e011.num", side});
  nasadem.Add({"n57e011.prj", Bytes{'W', 'G', 'S'}, false});
  bulk.Add({"N57E011.SRTMGL3.hgt.zip", nasa.Finish()});
  bulk.Add({"NASADEM_HGT_n57e011.zip", nasadem.Finish(), false});
  folders.Add({"N57/", {}, false});
  folders.Add({"N57/N57E011.hgt", tile});
  folders.Add({"S01/./s01w072.hgt", other});
  TarWriter tar;
  const std::string longFolder(120, 'd');
  tar.Add("N57/N57E011.hgt.gz", Gzip(tile));
  tar.Add(longFolder + "/N58E011.hgt", other);
  tar.AddPax("日本/N35E138.hgt", side);
  tar.Add("N57", {}, '5');
  deep.Add({"tiles.tar.gz", Gzip(tar.Finish())});

  Bytes multi = Gzip(side);  // members concatenated, as gzip reads them
  const Bytes more = Gzip(other);
  multi.insert(multi.end(), more.begin(), more.end());
  Bytes joined = side;
  joined.insert(joined.end(), other.begin(), other.end());
  const std::string g = Sys("地図\\表.hgt.gz");  // 表 ends in the byte of a backslash in code page 932
  const std::map<std::string, std::vector<std::pair<std::string, Bytes>>> expected = {
      {"N57E011.SRTMGL3.hgt.zip", {{"N57E011.SRTMGL3.hgt.zip/N57E011.hgt", tile}}},
      {"bulk.zip",
       {{"bulk.zip/N57E011.SRTMGL3.hgt.zip/N57E011.hgt", tile},
        {"bulk.zip/NASADEM_HGT_n57e011.zip/n57e011.hgt", tile},
        {"bulk.zip/NASADEM_HGT_n57e011.zip/n57e011.num", side},
        {"bulk.zip/NASADEM_HGT_n57e011.zip/n57e011.prj", Bytes{'W', 'G', 'S'}}}},
      {"folders.zip", {{"folders.zip/N57/N57E011.hgt", tile}, {"folders.zip/S01/s01w072.hgt", other}}},
      {g, {{g, tile}}},
      {"two.gz", {{"two.gz", joined}}},
      {"deep.zip",
       {{"deep.zip/tiles.tar.gz/N57/N57E011.hgt.gz", tile},
        {"deep.zip/tiles.tar.gz/" + longFolder + "/N58E011.hgt", other},
        {Sys("deep.zip/tiles.tar.gz/日本/N35E138.hgt"), side}}},
  };
  const std::map<std::string, Bytes> files = {
      {"N57E011.SRTMGL3.hgt.zip", nasa.Finish()}, {"two.gz", multi}, {"bulk.zip", bulk.Finish()},
      {"folders.zip", folders.Finish()},          {g, Gzip(tile)},   {"deep.zip", deep.Finish()}};
  for (const auto& [name, bytes] : files) {
    Reader r;
    const std::string stored = name == g ? "g.gz" : name;
    ASSERT_TRUE(WriteBytes(dir_.File(stored), bytes));
    const Status s = r.Open(dir_.File(stored), name);
    ASSERT_TRUE(s.ok()) << s.ToString();
    EXPECT_THAT(Problems(r), ::testing::IsEmpty()) << name;
    const std::map<std::string, Bytes> want(expected.at(name).begin(), expected.at(name).end());
    EXPECT_EQ(ReadAll(r), want) << name;
  }
  Reader r;
  ASSERT_TRUE(r.Open(dir_.File("g.gz"), g).ok());
  EXPECT_EQ(r.members()[0].name, Sys("表.hgt"));

  // A plain tile is its own member; a tar.gz says what it is.
  ASSERT_TRUE(Open(&r, "N57E011.hgt", tile).ok());
  EXPECT_EQ(r.format(), archive::Format::kNone);
  EXPECT_EQ(ReadAll(r), (std::map<std::string, Bytes>{{"N57E011.hgt", tile}}));
  ASSERT_TRUE(Open(&r, "tiles.tgz", Gzip(tar.Finish())).ok());
  EXPECT_EQ(r.format(), archive::Format::kTarGzip);
  EXPECT_EQ(r.members().size(), 3u);
}

TEST_F(ArchiveTest, ZipVariantsAndNamesInEitherEncoding) {
  const Bytes a = Pattern(100000, 3), b = Pattern(20, 4);
  ZipWriter zip;
  ZipMember descriptor{"dd.hgt", a};
  descriptor.descriptor = true;
  ZipMember zip64{"z64.hgt", a};
  zip64.zip64 = zip64.descriptor = true;
  ZipMember flagged{"日本/N35E139.hgt", b};
  flagged.utf8 = true;
  ZipMember badUtf8{
      "\xFF\x01"
      "bad.hgt",
      b, false};
  badUtf8.utf8 = true;
  zip.Add(descriptor);
  zip.Add(zip64);
  zip.Add({ToCp932("地図/N35E138.hgt"), b});  // what Japanese Windows writes: no flag
  zip.Add(flagged);
  zip.Add(badUtf8);
  zip.Add({"データ.hgt", b});  // what Linux writes: UTF-8, no flag
  Reader r;
  ASSERT_TRUE(Open(&r, "v.zip", zip.Finish(true)).ok());
  EXPECT_EQ(ReadAll(r), (std::map<std::string, Bytes>{{"v.zip/dd.hgt", a},
                                                      {"v.zip/z64.hgt", a},
                                                      {Sys("v.zip/地図/N35E138.hgt"), b},
                                                      {Sys("v.zip/日本/N35E139.hgt"), b},
                                                      {"v.zip/??bad.hgt", b},
                                                      {Sys("v.zip/データ.hgt"), b}}));

  // More than 65,535 members: the counts are ZIP64's.
  ZipWriter many;
  for (int i = 0; i < 70000; ++i) many.Add({"m" + std::to_string(i), Bytes{static_cast<std::uint8_t>(i)}, false});
  ASSERT_TRUE(Open(&r, "many.zip", many.Finish()).ok());
  ASSERT_EQ(r.members().size(), 70000u);
  Bytes one;
  ASSERT_TRUE(r.Read(69999, &one).ok());
  EXPECT_EQ(r.members()[69999].label, "many.zip/m69999");
  EXPECT_EQ(one, Bytes{static_cast<std::uint8_t>(69999)});
}

TEST_F(ArchiveTest, DamageIsNamedWithArchiveAndMember) {
  const Bytes tile = RealTile();
  ZipWriter stored, deflated;
  stored.Add({"N57E011.hgt", tile, false});
  deflated.Add({"N57E011.hgt", tile});
  Bytes flipped = stored.Finish(), inflated = deflated.Finish();
  flipped[1000] ^= 1;
  inflated[inflated.size() / 3] ^= 0x10;
  Reader r;
  Bytes b;
  for (const auto& [name, bytes, message] :
       {std::make_tuple("flip.zip", flipped, "flip.zip: a damaged zip: N57E011.hgt: CRC-32 is"),
        std::make_tuple("flip2.zip", inflated, "flip2.zip: a damaged zip: N57E011.hgt: ")}) {
    ASSERT_TRUE(Open(&r, name, bytes).ok());
    EXPECT_THAT(r.Read(0, &b).message(), HasSubstr(message));
  }

  TarWriter tar;
  tar.Add("N57E011.hgt", tile);
  const Bytes whole = deflated.Finish(), gz = Gzip(tile), t = tar.Finish();
  ZipWriter refused;
  ZipMember encrypted{"secret.hgt", tile}, lzma{"lzma.hgt", tile};
  encrypted.flags = 1;
  lzma.method = 14;
  refused.Add(encrypted);
  refused.Add(lzma);
  refused.Add({"inner.7z", Bytes{'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4}, false});
  refused.Add({"inner.zip", Bytes(whole.begin(), whole.begin() + 5000), false});
  refused.Add({"ok.hgt", Bytes{1, 2}});
  ASSERT_TRUE(Open(&r, "r.zip", refused.Finish()).ok());
  EXPECT_THAT(Problems(r), ElementsAreArray({"r.zip/secret.hgt: encrypted: not read; unpack it with its password first",
                                             "r.zip/lzma.hgt: compressed by method 14 (LZMA): not read; only stored "
                                             "and deflated members are",
                                             "r.zip/inner.7z: a 7z archive: not supported; unpack it first",
                                             "r.zip/inner.zip: a zip cut short: the directory at its end is missing"}));
  EXPECT_EQ(r.members().size(), 1u);

  for (const auto& [name, bytes, message] : {
           std::make_tuple("cut.zip", Bytes(whole.begin(), whole.begin() + whole.size() / 2),
                           "cut.zip: a zip cut short: the directory at its end is missing"),
           std::make_tuple("cut.hgt.gz", Bytes(gz.begin(), gz.begin() + gz.size() / 2),
                           "cut.hgt.gz: a gzip cut short: "),
           std::make_tuple("cut.tar", Bytes(t.begin(), t.begin() + 100000),
                           "cut.tar: a tar cut short: N57E011.hgt: its data ends before its 2,884,802 bytes"),
           std::make_tuple("empty.zip", ZipWriter().Finish(), "empty.zip: an empty zip"),
           std::make_tuple("a.7z", Bytes{'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4}, "a.7z: a 7z archive: not supported"),
           std::make_tuple("a.rar", Bytes{'R', 'a', 'r', '!', 0x1A, 7, 1, 0}, "a.rar: a rar archive: not supported"),
           std::make_tuple("a.xz", Bytes{0xFD, '7', 'z', 'X', 'Z', 0, 0, 4}, "a.xz: an xz file: not supported"),
           std::make_tuple("a.zst", Bytes{0x28, 0xB5, 0x2F, 0xFD, 0, 0}, "a.zst: a zstd file: not supported"),
           std::make_tuple("a.bz2", Bytes{'B', 'Z', 'h', '9', '1', 'A', 'Y', '&', 'S', 'Y'},
                           "a.bz2: a bzip2 file: not"),
       }) {
    EXPECT_THAT(Open(&r, name, bytes).message(), HasSubstr(message)) << name;
  }
}

TEST_F(ArchiveTest, NestingAndSizesAreBoundedNotFollowed) {
  Bytes inner;
  std::string label = "t.hgt";
  for (int depth = 1; depth <= 5; ++depth) {  // zips in zips: 1 to 5 deep
    ZipWriter z;
    z.Add({depth == 1 ? "t.hgt" : "z" + std::to_string(depth - 1) + ".zip", depth == 1 ? Bytes{9} : inner});
    inner = z.Finish();
    Reader r;
    ASSERT_TRUE(Open(&r, "z" + std::to_string(depth) + ".zip", inner).ok());
    label = "z" + std::to_string(depth) + ".zip/" + label;
    if (depth <= 4) {
      EXPECT_EQ(ReadAll(r), (std::map<std::string, Bytes>{{label, Bytes{9}}}));
    } else {
      EXPECT_THAT(Problems(r), ElementsAreArray({"z5.zip/z4.zip/z3.zip/z2.zip/z1.zip: a zip inside 4 archives: not "
                                                 "opened (archives are opened 4 deep at most)"}));
    }
  }

  const Bytes zeros(3 << 20, 0);
  ZipWriter overlapping, lying, big;
  overlapping.Add({"a.hgt", zeros});
  ZipMember liar{"liar.hgt", Bytes(100, 0)};
  liar.recordedSize = 100000000;
  lying.Add(liar);
  big.Add({"big.hgt", zeros});
  Reader r;
  EXPECT_THAT(Open(&r, "bomb.zip", overlapping.Finish(false, 1000)).message(),
              HasSubstr("bomb.zip: a damaged zip: a.hgt and a.hgt share bytes (a zip bomb?)"));
  ASSERT_TRUE(Open(&r, "liar.zip", lying.Finish()).ok());
  EXPECT_THAT(Problems(r),
              ElementsAre(HasSubstr("liar.zip: a damaged zip: liar.hgt: it records 100,000,000 bytes from")));
  Reader small(archive::Limits{4, 1 << 20, 1000});
  ASSERT_TRUE(Open(&small, "big.zip", big.Finish()).ok());
  Bytes b;
  EXPECT_THAT(small.Read(0, &b).message(),
              HasSubstr("big.zip/big.hgt: 3,145,728 bytes, more than the 1,048,576 bytes read of one member"));
  EXPECT_THAT(Open(&small, "big.gz", Gzip(zeros)).message(), HasSubstr("big.gz: it holds more than 1,048,576 bytes"));
}

TEST_F(ArchiveTest, ReadersReadATarGzInAnyOrderOnThreadsOfTheirOwn) {
  TarWriter tar;
  std::vector<Bytes> data;
  for (int i = 0; i < 40; ++i) {
    data.push_back(Pattern(100000 + 1000 * i, i));
    tar.Add("m" + std::to_string(i), data.back());
  }
  Reader first;
  ASSERT_TRUE(Open(&first, "m.tar.gz", Gzip(tar.Finish())).ok());
  ASSERT_EQ(first.members().size(), data.size());
  Reader second = first;  // the listing shared, reading on its own
  std::vector<Bytes> forward(data.size()), backward(data.size());
  std::thread other([&] {
    for (std::size_t i = data.size(); i-- > 0;) EXPECT_TRUE(second.Read(i, &backward[i]).ok());
  });
  for (std::size_t i = 0; i < data.size(); ++i) EXPECT_TRUE(first.Read(i, &forward[i]).ok());
  other.join();
  EXPECT_EQ(forward, data);
  EXPECT_EQ(backward, data);
}

#if !defined(_WIN32)
// The same shapes from another writer: Python's zipfile, tarfile and gzip.
TEST_F(ArchiveTest, ArchivesMadeByPythonRead) {
  if (std::system("python3 -c 'import zipfile, tarfile, gzip' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
  const std::string folder = platform::ToNativePath(dir_.path());
  const std::string script =
      "import zipfile, tarfile, gzip, io, sys\n"
      "d = sys.argv[1]; t = bytes(range(256)) * 5000\n"
      "class Pipe(io.RawIOBase):\n"
      "  def __init__(s): s.b = bytearray()\n"
      "  def writable(s): return True\n"
      "  def write(s, b): s.b += b; return len(b)\n"
      "p = Pipe()\n"
      "with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z: z.writestr('N35/N35E138.hgt', t)\n"
      "open(d + '/dd.zip', 'wb').write(p.b)\n"
      "with zipfile.ZipFile(d + '/z64.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "  with z.open('N35E138.hgt', 'w', force_zip64=True) as f: f.write(t)\n"
      "for fmt, mode, name in ((tarfile.GNU_FORMAT, 'w', 'gnu.tar'), (tarfile.PAX_FORMAT, 'w:gz', 'pax.tgz'),\n"
      "                        (tarfile.USTAR_FORMAT, 'w', 'ustar.tar')):\n"
      "  with tarfile.open(d + '/' + name, mode, format=fmt) as a:\n"
      "    i = tarfile.TarInfo('x' * 150 + '/N35E138.hgt.gz'); g = gzip.compress(t); i.size = len(g)\n"
      "    a.addfile(i, io.BytesIO(g))\n";
  ASSERT_TRUE(WriteBytes(dir_.File("make.py"), Bytes(script.begin(), script.end())));
  ASSERT_EQ(std::system(("python3 '" + folder + "/make.py' '" + folder + "'").c_str()), 0);
  Bytes t;
  for (int i = 0; i < 5000; ++i) {
    for (int v = 0; v < 256; ++v) t.push_back(static_cast<std::uint8_t>(v));
  }
  const std::string gzipped = std::string(150, 'x') + "/N35E138.hgt.gz";
  const std::vector<std::pair<std::string, std::string>> cases = {{"dd.zip", "dd.zip/N35/N35E138.hgt"},
                                                                  {"z64.zip", "z64.zip/N35E138.hgt"},
                                                                  {"gnu.tar", "gnu.tar/" + gzipped},
                                                                  {"pax.tgz", "pax.tgz/" + gzipped},
                                                                  {"ustar.tar", "ustar.tar/" + gzipped}};
  for (const auto& [name, label] : cases) {
    Reader r;
    const Status s = r.Open(dir_.File(name), name);
    ASSERT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(ReadAll(r), (std::map<std::string, Bytes>{{label, t}})) << name;
  }
}
#endif

}  // namespace
}  // namespace srtm::test

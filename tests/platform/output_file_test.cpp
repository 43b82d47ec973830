// The output rule: a regular file is replaced only when the new one is complete, and
// nothing the writer did not create is ever removed.
#include "platform/output_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/fault_injector.h"
#include "tests/support/test_support.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace srtm {
namespace {

using platform::OutputFile;

// Whole files by plug-in path, as text.
std::string ReadAll(const std::string& path) {
  const std::vector<std::uint8_t> bytes = test::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}
void WriteAll(const std::string& path, const std::string& text) {
  ASSERT_TRUE(test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()))) << path;
}

class OutputFileTest : public ::testing::Test {
 protected:
  std::string Plugin(const std::string& name) const { return folder_.File(name); }
  std::string Native(const std::string& name) const { return platform::ToNativePath(folder_.File(name)); }
  std::vector<std::string> Names() const {
    std::vector<platform::DirEntry> entries;
    EXPECT_TRUE(platform::FindFiles(folder_.path().c_str(), "*", &entries));
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
  }

  test::TempFolder folder_;
};

TEST_F(OutputFileTest, ReplacesARegularFileOnlyWhenComplete) {
  const std::string big(300000, 'n');
  WriteAll(Plugin("out.raw"), "old contents");

  // A write that fails part-way, a close that fails and a rename that fails each leave
  // the old file byte for byte and no temporary file, and tell the system's reason (not
  // that of removing the temporary file after it).
  const platform::Failure reasons[] = {platform::Failure::kDiskFull, platform::Failure::kIoError,
                                       platform::Failure::kAccessDenied};
  for (int fault = 0; fault < 3; ++fault) {
    test::FaultInjector faults;
    if (fault == 0) faults.diskSpace = 1000;
    if (fault == 1) faults.failClose = 1;
    if (fault == 2) faults.failRename = 1;
    OutputFile out;
    ASSERT_TRUE(out.Open(Plugin("out.raw")));
    EXPECT_EQ(out.kind(), OutputFile::Kind::kReplaced);
    EXPECT_NE(out.temporary(), out.target());
    out.Write(big.data(), big.size());
    out.Write("x", 1);
    EXPECT_FALSE(out.Commit()) << "fault " << fault;
    EXPECT_EQ(out.error(), platform::ErrorText(reasons[fault])) << "fault " << fault;
    EXPECT_EQ(ReadAll(Plugin("out.raw")), "old contents") << "fault " << fault;
    EXPECT_EQ(Names(), std::vector<std::string>{"out.raw"}) << "fault " << fault;
  }

  // An output abandoned (the command stopped) is the same; a complete one replaces it.
  {
    OutputFile out;
    ASSERT_TRUE(out.Open(Plugin("out.raw")));
    out.Write("new", 3);
  }
  EXPECT_EQ(ReadAll(Plugin("out.raw")), "old contents");
  EXPECT_EQ(Names(), std::vector<std::string>{"out.raw"});
  ASSERT_TRUE(platform::WriteOutputFile(Plugin("out.raw"), big.data(), big.size()));
  EXPECT_EQ(ReadAll(Plugin("out.raw")), big);
  ASSERT_TRUE(platform::WriteOutputFile(Plugin("new.raw"), "n", 1));
  EXPECT_EQ(ReadAll(Plugin("new.raw")), "n");
}

TEST_F(OutputFileTest, ATemporaryNameTakenByAUserFileIsPassedOver) {
  // Every name the writer tries is taken first: the files stay, the output goes elsewhere.
  test::FaultInjector faults;
  std::vector<std::string> planted;
  bool planting = false;
  faults.beforeCreate = [&](const std::string& path) {
    if (planted.size() >= 3 || planting) return;
    planting = true;  // the planting itself creates a file
    WriteAll(path, "user's file");
    planting = false;
    planted.push_back(path);
  };
  ASSERT_TRUE(platform::WriteOutputFile(Plugin("out.raw"), "new", 3));
  ASSERT_EQ(planted.size(), 3u);
  for (const std::string& p : planted) EXPECT_EQ(ReadAll(p), "user's file") << p;
  EXPECT_EQ(ReadAll(Plugin("out.raw")), "new");
}

TEST_F(OutputFileTest, RefusesFoldersMissingFoldersAndInputsCreatingNothing) {
  OutputFile out;
  EXPECT_FALSE(out.Open(folder_.path()));
  EXPECT_EQ(out.error(), platform::ErrorText(platform::Failure::kIsADirectory));
  EXPECT_FALSE(out.Open(Plugin("no\\such\\out.raw")));
  EXPECT_FALSE(out.error().empty());
  EXPECT_TRUE(Names().empty());
  EXPECT_FALSE(out.Commit());

  // An input is refused by whatever path names it.
  WriteAll(Plugin("in.raw"), "input");
  EXPECT_FALSE(out.Open(Plugin(".\\in.raw"), {Plugin("in.raw")}));
  EXPECT_TRUE(out.isAnInput());
  EXPECT_EQ(Names(), std::vector<std::string>{"in.raw"});
  EXPECT_EQ(ReadAll(Plugin("in.raw")), "input");
  ASSERT_TRUE(out.Open(Plugin("out.raw"), {Plugin("in.raw")}));
  EXPECT_FALSE(out.isAnInput());
  EXPECT_TRUE(out.Write("o", 1) && out.Commit());
}

#if defined(_WIN32)
TEST_F(OutputFileTest, TheNulDeviceIsWrittenInPlace) {
  OutputFile out;
  ASSERT_TRUE(out.Open("NUL"));
  EXPECT_EQ(out.kind(), OutputFile::Kind::kInPlace);
  EXPECT_TRUE(out.Write("x", 1));
  EXPECT_TRUE(out.Commit());
}
#else
TEST_F(OutputFileTest, ASymbolicLinkIsFollowedAndKept) {
  WriteAll(Plugin("real.raw"), "old");
  ASSERT_EQ(::symlink("real.raw", Native("link.raw").c_str()), 0);
  ASSERT_EQ(::symlink("link.raw", Native("chain.raw").c_str()), 0);
  ASSERT_TRUE(platform::WriteOutputFile(Plugin("chain.raw"), "new", 3));
  struct stat st;
  ASSERT_EQ(::lstat(Native("chain.raw").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat(Native("link.raw").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadAll(Plugin("real.raw")), "new");

  // A link to nothing yet: the file it names is created.
  ASSERT_EQ(::symlink("later.raw", Native("dangling.raw").c_str()), 0);
  ASSERT_TRUE(platform::WriteOutputFile(Plugin("dangling.raw"), "made", 4));
  EXPECT_EQ(ReadAll(Plugin("later.raw")), "made");
  ASSERT_EQ(::lstat(Native("dangling.raw").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(OutputFileTest, DevicesAndPipesAreWrittenInPlaceAndNeverRemoved) {
  // A failed write to a device: reported, and the device stays.
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full on this system";
  {
    OutputFile out;
    ASSERT_TRUE(out.Open(platform::FromUserPath("/dev/full")));
    EXPECT_EQ(out.kind(), OutputFile::Kind::kInPlace);
    out.Write("x", 1);
    EXPECT_FALSE(out.Commit());
  }
  EXPECT_EQ(::access("/dev/full", F_OK), 0);

  // A named pipe: the reader gets the bytes, and the pipe stays.
  ASSERT_EQ(::mkfifo(Native("pipe").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(Native("pipe"), std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  });
  ASSERT_TRUE(platform::WriteOutputFile(Plugin("pipe"), "through the pipe", 16));
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat st;
  ASSERT_EQ(::lstat(Native("pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Names(), std::vector<std::string>{"pipe"});
}
#endif

}  // namespace
}  // namespace srtm

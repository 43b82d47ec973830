// The compression wizard and the registration of its files under a failing system: a
// batch whose writes, reads or memory fail shows the documented outcome and messages
// and leaves no partial file; XEM files that can no longer be registered are left out
// silently; and the next run of the wizard works.
#include <algorithm>
#include <string>
#include <vector>

#include "res/resource.h"
#include "res/srtm_texts.h"
#include "tests/support/fault_injector.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_fixture.h"
#include "testhost/host.h"

namespace srtm::test {
namespace {

class UiFaults : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    OpenFourTiles();
  }

  // Runs the batch from the menu up to the finish page.
  void RunBatch() {
    Run("menu " + Quoted("地形データ圧縮") + "\ntype 30710 " + Quoted(out_) +
        "\nclick 30705\nwait dialog 30716\nclick 30705\nwait dialog 30717\n");
  }
  std::string Outcome() const { return Control(IDD_WIZARD_FINISH, IDC_MAIN_TEXT).text; }
  bool OpenMapsChecked() const { return Control(IDD_WIZARD_FINISH, IDC_OPEN_MAPS).check != 0; }

  std::vector<std::string> XemFilesOnDisk() const {
    std::vector<platform::DirEntry> found;
    platform::DefaultEnv()->FindFiles(out_.c_str(), "*", &found);
    std::vector<std::string> names;
    for (const auto& entry : found) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& box : host::ShownMessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  // After a fault: the wizard again, without one, compresses all four tiles.
  void ExpectNextRunWorks(FaultInjector& env) {
    env.Heal();
    host::ClearShownMessageBoxes();
    RunBatch();
    EXPECT_EQ(Outcome(), kTextResultDone);
    Run("check 30719 off\nclick 30705\nwait gone 30717\n");
    EXPECT_EQ(XemFilesOnDisk().size(), 4u);
    EXPECT_TRUE(Messages().empty());
  }
};

TEST_F(UiFaults, FullDiskMakesTheWizardReportFailureWithNoFileLeft) {
  FaultInjector env;
  env.diskSpace = 5000;
  RunBatch();
  EXPECT_EQ(Outcome(), kTextResultFailed);
  EXPECT_FALSE(OpenMapsChecked());
  EXPECT_TRUE(XemFilesOnDisk().empty());
  EXPECT_TRUE(Messages().empty());  // write failures have no message of their own
  Run("click 30705\nwait gone 30717\n");
  EXPECT_TRUE(Calls({"QLP_XEM_AppendDynamicXem", "QLP_OpenMap"}).empty());
  ExpectNextRunWorks(env);
}

TEST_F(UiFaults, UnreadableTileIsReportedAndTheOthersAreRegistered) {
  FaultInjector env;
  env.failRead = 2;
  RunBatch();
  EXPECT_EQ(Outcome(), kTextResultPartial);
  EXPECT_TRUE(OpenMapsChecked());
  EXPECT_EQ(Messages(), std::vector<std::string>{kTextCannotRead});
  EXPECT_EQ(XemFilesOnDisk().size(), 3u);
  Run("click 30705\nwait gone 30717\n");
  EXPECT_EQ(Calls({"QLP_XEM_AppendDynamicXem"}).size(), 3u);
  EXPECT_EQ(Calls({"QLP_OpenMap"}).size(), 1u);
}

TEST_F(UiFaults, NoMemoryForTheTileBuffersIsReportedAndNothingIsWritten) {
  FaultInjector env;
  env.failAllocation = 1;
  RunBatch();
  EXPECT_EQ(Outcome(), kTextResultFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{kTextNoMemory});
  EXPECT_TRUE(XemFilesOnDisk().empty());
  Run("click 30705\nwait gone 30717\n");
  ExpectNextRunWorks(env);
}

TEST_F(UiFaults, XemFilesThatCannotBeRegisteredAreLeftOutSilently) {
  RunBatch();
  ASSERT_EQ(Outcome(), kTextResultDone);
  const std::vector<std::string> files = XemFilesOnDisk();
  ASSERT_EQ(files.size(), 4u);
  // Between the batch and Finish, one file is damaged and another cannot be read.
  const std::string damaged = out_ + "\\" + files[0], unreadable = out_ + "\\" + files[1];
  ASSERT_TRUE(WriteBytes(damaged, {'X', 'E', 'M', '0'}));
  FaultInjector env;
  env.beforeOpen = [&](const std::string& path) {
    if (path == unreadable) env.failRead = env.reads + 1;
  };
  host::ClearCallLog();
  Run("click 30705\nwait gone 30717\n");
  const auto appended = Calls({"QLP_XEM_AppendDynamicXem"});
  EXPECT_EQ(appended.size(), 4u);  // every file is offered; the host refuses two
  EXPECT_EQ(Calls({"  refused"}).size(), 2u);
  EXPECT_EQ(Calls({"QLP_OpenMap"}).size(), 1u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(UiFaults, NoMapOpensWhenNoFileCanBeRegistered) {
  RunBatch();
  ASSERT_EQ(Outcome(), kTextResultDone);
  for (const std::string& name : XemFilesOnDisk()) platform::DefaultEnv()->Delete((out_ + "\\" + name).c_str());
  host::ClearCallLog();
  Run("click 30705\nwait gone 30717\n");
  EXPECT_EQ(Calls({"QLP_XEM_AppendDynamicXem"}).size(), 4u);
  EXPECT_TRUE(Calls({"QLP_OpenMap", "QLP_ClearMapCache", "QLP_ClearAllMapCache"}).empty());
  EXPECT_TRUE(Messages().empty());
  // The next run of the wizard works.
  FaultInjector env;
  ExpectNextRunWorks(env);
}

}  // namespace
}  // namespace srtm::test

// The compression wizard as a user meets it: opened from the host's menu, driven by the
// scripted user on the headless window system, with the real batch on copies of the
// real tile or a stand-in batch where the outcome must be chosen.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "shell/menu_commands.h"
#include "shell/plugin.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_fixture.h"
#include "tests/ui/ui_texts.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "ui/compress_wizard.h"
#include "xem/progress.h"

namespace srtm::test {
namespace {

using ui::headless::Store;

const std::string& kDone = kResultDone;
const std::string& kPartial = kResultPartial;
const std::string& kFailed = kResultFailed;

// A stand-in batch: reports like the real one (begin, a text and 0 % per file, pumps)
// and returns what the test chose. `duringPump` runs at every pump.
struct FakeBatch {
  std::int32_t result = -1;
  std::vector<std::string> files;
  std::function<void()> duringPump;
  std::string reference, outputFolder;
  int overwrite = -1;
  int calls = 0;
};
FakeBatch* g_fake = nullptr;

std::int32_t RunFake(const std::string& reference, const std::string& outputFolder, std::vector<std::string>* list,
                     int overwrite) {
  FakeBatch& fake = *g_fake;
  ++fake.calls;
  fake.reference = reference;
  fake.outputFolder = outputFolder;
  fake.overwrite = overwrite;
  ProgressBegin(ToCp932("圧縮中..").c_str(), 1);
  list->clear();
  for (std::size_t i = 0; i < fake.files.size(); ++i) {
    const std::string count = ToCp932("処理対象 ") + std::to_string(i + 1) + "/" + std::to_string(fake.files.size());
    ProgressSetText("file", count.c_str());
    ProgressSetPercent(50);
    ProgressPump();
    if (fake.duringPump) fake.duringPump();
    if (ProgressIsCancelled()) return static_cast<std::int32_t>(list->size());
    list->push_back(fake.files[i]);
  }
  ProgressEnd();
  return fake.result;
}

class WizardTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    OpenFourTiles();
  }
  void UseFake(FakeBatch* fake) {
    g_fake = fake;
    ui::SetCompressBatch(&RunFake);
  }
  ui::CompressWizard* Wizard() const { return CurrentWizard(); }
  std::vector<std::string> XemFilesOnDisk() const {
    std::vector<platform::DirEntry> found;
    platform::FindFiles(out_.c_str(), "*.xem", &found);
    std::vector<std::string> names;
    for (const auto& entry : found) names.push_back(entry.name);
    return names;
  }
  // Opens the wizard and brings it to the idle run page with the output folder.
  std::string ToRunPage() const {
    return "menu " + Quoted("地形データ圧縮") + "\ntype 30710 " + Quoted(out_) + "\nclick 30705\nwait dialog 30716\n";
  }
};

// ---- Opening, one at a time, closing ----

TEST_F(WizardTest, OneWizardAtATimeAndAFreshOneAfterItWasClosed) {
  std::int32_t answer = -1;
  ASSERT_EQ(host::ClickMenu(ToCp932("地形データ圧縮"), &answer), host::MenuClick::kRan);
  EXPECT_EQ(answer, 0);
  ui::CompressWizard* first = Wizard();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(Shown(IDD_WIZARD_FOLDER), nullptr);
  EXPECT_FALSE(host::MainWindowEnabled());
  // The user cannot reach the greyed host; the command itself answers 1 and opens nothing.
  EXPECT_EQ(host::ClickMenu(ToCp932("地形データ圧縮")), host::MenuClick::kMainWindowDisabled);
  EXPECT_EQ(CompressCommand(QLP_MSG_MENU_RUN, 0, 0), 1);
  EXPECT_EQ(Wizard(), first);
  int wizards = 0;
  for (ui::Handle top : Store().TopLevelWindows()) wizards += Info(top).className == "SrtmCompressWizard";
  EXPECT_EQ(wizards, 1);

  Run("type 30710 " + Quoted(out_) + "\ncheck 30718 on\nkey esc\n");
  EXPECT_EQ(Shown(IDD_WIZARD_FOLDER), nullptr);
  EXPECT_TRUE(host::MainWindowEnabled());
  EXPECT_EQ(Wizard(), first);  // the object outlives its window until the next query
  std::int32_t enabled = 0;
  CompressCommand(QLP_MSG_MENU_QUERY_ENABLED, 0, reinterpret_cast<QLP_DATA>(&enabled));
  EXPECT_EQ(enabled, 1);
  EXPECT_EQ(Wizard(), nullptr);

  Run("menu " + Quoted("地形データ圧縮") + "\nexpect text 30710 \"\"\nexpect check 30718 off\nexpect focus 30710\n");
}

TEST_F(WizardTest, ReleaseDeletesTheWizardOnlyOnceItsWindowIsGone) {
  Run("menu " + Quoted("地形データ圧縮"));
  srtm::Release();
  EXPECT_NE(Wizard(), nullptr);
  EXPECT_NE(Shown(IDD_WIZARD_FOLDER), nullptr);
  Run("key esc");
  srtm::Release();
  EXPECT_EQ(Wizard(), nullptr);
}

TEST_F(WizardTest, WindowIsOnePageLargeCentredTitledAndRaisesTheHostWhenItCloses) {
  Store().SetScreenSize(1025, 769);  // odd sizes: the halves truncate
  Run("menu " + Quoted("地形データ圧縮"));
  const ui::Handle wizard = Wizard()->handle();
  ui::Rect window, client, page;
  Store().WindowRect(wizard, &window);
  Store().ClientRect(wizard, &client);
  Store().WindowRect(Shown(IDD_WIZARD_FOLDER), &page);
  EXPECT_EQ(client.width(), page.width());
  EXPECT_EQ(client.height(), page.height());
  EXPECT_EQ(window.left, 1025 / 2 - page.width() / 2);
  EXPECT_EQ(window.top, 769 / 2 - page.height() / 2);
  EXPECT_EQ(Info(wizard).text, ToCp932("SRTMの圧縮"));
  EXPECT_EQ(Info(wizard).style, 0x00C00000u);  // a caption, no system menu (so no close box)
  EXPECT_EQ(Info(wizard).owner, host::MainWindow());

  host::ClearCallLog();
  Run("key esc");
  const auto calls = Calls({"ui enable window QLPHostMain", "ui SetWindowPos window QLPHostMain", "ui destroy"});
  EXPECT_EQ(calls, (std::vector<std::string>{"ui destroy window SrtmCompressWizard", "ui enable window QLPHostMain 1",
                                             "ui SetWindowPos window QLPHostMain 0 0 0 0 flags=0x3 top",
                                             "ui destroy dialog 30715", "ui destroy dialog 30716",
                                             "ui destroy dialog 30717"}));
}

// ---- The folder page ----

TEST_F(WizardTest, EmptyFolderKeepsThePageWithItsMessageAndBlanksAreAccepted) {
  Run("menu " + Quoted("地形データ圧縮") +
      "\nclick 30705\n"
      "expect message " + Quoted("出力先が指定されていません.") +
      "\nexpect dialog 30715\nexpect no dialog 30716\n"
      "type 30710 \"   \"\nclick 30705\nexpect dialog 30716\nexpect no dialog 30715\n");
  const auto boxes = host::ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, ToCp932("スペースシャトル地図"));
  EXPECT_EQ(boxes[0].type, 0x30u);  // OK with the exclamation icon
}

TEST_F(WizardTest, BackKeepsTheFolderPageAsTheUserLeftItAndNextReturnsToTheIdleRunPage) {
  Run(ToRunPage() +
      "expect text 30705 " + Quoted("次へ") +  // the run page's Next has no mnemonic
      "\nexpect default 30705\nexpect focus 30705\nexpect visible 30713 no\nexpect visible 30714 yes\n");
  RunExpectingStop("check 30718@30715 on", 1);  // the folder page is hidden now
  Run("click 30706\nwait dialog 30715\n"
      "expect text 30710 " + Quoted(out_) +
      "\nexpect text 30705 " + Quoted("次へ(&N)") +
      "\nexpect enabled 30706 no\nexpect default 30705\nexpect focus 30705\ncheck 30718 on\n");
  RunExpectingStop("click 30706", 1);  // Back is greyed on the folder page
  Run("expect check 30718 on\nclick 30705\nexpect dialog 30716\nexpect visible 30713 no\nexpect text 30714@30716 " +
      Quoted("\u3000準備ができました。\n\n\u3000[次へ]を押すと、変換を開始します。"));
  Run("click 30706\nexpect check 30718 on\nexpect text 30710 " + Quoted(out_));
}

TEST_F(WizardTest, EscClosesTheFolderAndIdleRunPagesButNotTheFinishPage) {
  Run("menu " + Quoted("地形データ圧縮") + "\nkey esc\nexpect no dialog 30715\nexpect main enabled\n");
  Run(ToRunPage() + "key esc\nexpect no dialog 30716\nexpect main enabled\n");
  FakeBatch fake;
  UseFake(&fake);
  Run(ToRunPage() + "click 30705\nwait dialog 30717\nkey esc\nexpect dialog 30717\nexpect main disabled\n");
}

TEST_F(WizardTest, BrowseStartsFromTheFolderCutToTheBufferAndKeepsItOnCancel) {
  // 150 double-byte characters after "Z:\" (303 bytes): the chooser gets the 128 whole
  // characters that fit 259 bytes, never half of one.
  std::string longFolder = "Z:\\";
  for (int i = 0; i < 150; ++i) longFolder += ToCp932("ソ");
  Run("menu " + Quoted("地形データ圧縮") + "\nfolder cancel\nclick 30707\n");
  EXPECT_EQ(host::LastFolderChooserStart(), "");
  ui::WizardFolderPage* page = Wizard()->folderPage();
  Store().SetText(Store().Item(page->handle(), IDC_OUTPUT_FOLDER), longFolder);
  Run("folder cancel\nclick 30707\n");
  const std::string start = host::LastFolderChooserStart();
  EXPECT_EQ(start.size(), 3u + 128u * 2u);
  EXPECT_EQ(start, longFolder.substr(0, start.size()));
  EXPECT_EQ(Control(IDD_WIZARD_FOLDER, IDC_OUTPUT_FOLDER).text, longFolder);  // cancelled: unchanged

  Run("folder " + Quoted(out_) + "\nclick 30707\nexpect text 30710 " + Quoted(out_) + "\n");
  EXPECT_EQ(host::LastFolderChooserStart(), longFolder.substr(0, start.size()));
  EXPECT_EQ(page->outputFolder, out_);

  // An ASCII folder: 259 bytes fit with the terminator, from 260 on the text is cut there.
  for (const std::size_t length : {259u, 260u, 300u}) {
    const std::string ascii = "Z:\\" + std::string(length - 3, 'a');
    Store().SetText(Store().Item(page->handle(), IDC_OUTPUT_FOLDER), ascii);
    Run("folder cancel\nclick 30707\n");
    EXPECT_EQ(host::LastFolderChooserStart(), ascii.substr(0, 259)) << length;
  }
}

// ---- Running the batch ----

TEST_F(WizardTest, TheBatchGetsTheBaseMapTheFolderTheListAndTheOverwriteChoice) {
  FakeBatch fake;
  fake.files = {"a.xem"};
  UseFake(&fake);
  Run(ToRunPage() + "click 30705\nwait dialog 30717\n");
  EXPECT_EQ(fake.reference, TilePath("N57E011.hgt"));
  EXPECT_EQ(fake.outputFolder, out_);
  EXPECT_EQ(fake.overwrite, 1);
  EXPECT_EQ(Wizard()->finishPage()->xemFiles, fake.files);
  Run("key enter\n" + ToRunPage() + "click 30706\ncheck 30718 on\nclick 30705\nclick 30705\nwait dialog 30717\n");
  EXPECT_EQ(fake.overwrite, 0);
}

TEST_F(WizardTest, TheRunningLookDisablesBackAndNextAndTurnsCancelIntoAbort) {
  FakeBatch fake;
  fake.files = {"a.xem", "b.xem"};
  UseFake(&fake);
  Run(ToRunPage() +
      "click 30705\n"
      "wait text 30709 " + Quoted("処理対象 2/2") +
      "\nexpect text 2@30716 " + Quoted("中止") +
      "\nexpect enabled 2@30716 yes\nexpect enabled 30706@30716 no\nexpect enabled 30705@30716 no\n"
      "expect visible 30714@30716 no\nexpect visible 30713@30716 yes\nexpect visible 30709@30716 yes\n"
      "expect text 30712@30716 file\nexpect progress 30713@30716 50\n"
      "wait dialog 30717\nexpect default 30705\nexpect focus 30705\n");
  EXPECT_FALSE(Wizard()->runPage()->HasWindow() && Info(Wizard()->runPage()->handle()).visible);
}

struct Outcome {
  std::int32_t result;
  std::vector<std::string> files;
  const std::string* text;
  bool openMaps;
  bool openFolderEnabled;
};

TEST_F(WizardTest, TheThreeOutcomesSetTheirTextAndBoxes) {
  const Outcome outcomes[] = {
      {-1, {"a.xem", "b.xem"}, &kDone, true, true},
      {3, {"a.xem", "b.xem", "c.xem"}, &kPartial, true, true},
      {0, {}, &kFailed, false, false},
      // "Finished normally" without a single file written is not a success.
      {-1, {}, &kFailed, false, false},
  };
  for (const Outcome& o : outcomes) {
    SCOPED_TRACE("result " + std::to_string(o.result) + ", files " + std::to_string(o.files.size()));
    FakeBatch fake;
    fake.result = o.result;
    fake.files = o.files;
    UseFake(&fake);
    Run(ToRunPage() + "click 30705\nwait dialog 30717\nexpect text 30714@30717 " + Quoted(*o.text) +
        "\nexpect check 30719 " + (o.openMaps ? "on" : "off") + "\nexpect check 30708 off\nexpect enabled 30708 " +
        (o.openFolderEnabled ? "yes" : "no") + "\ncheck 30719 off\nclick 30705\n");
    EXPECT_EQ(Shown(IDD_WIZARD_FINISH), nullptr);
  }
}

TEST_F(WizardTest, AbortDuringTheSecondOfFourTilesRegistersOnlyTheFirstFile) {
  Run(ToRunPage() +
      "click 30705\n"
      "wait text 30709 " + Quoted("処理対象 2/4") +
      "\nclick 2\n"
      "wait dialog 30717\n"
      "expect text 30714 " + Quoted(kPartial) +
      "\nexpect check 30719 on\nexpect enabled 30708 yes\nclick 30705\n");
  const auto files = Wizard()->finishPage()->xemFiles;
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(XemFilesOnDisk().size(), 1u);  // no partial second file
  const auto appended = Calls({"QLP_XEM_AppendDynamicXem"});
  EXPECT_EQ(appended, (std::vector<std::string>{"QLP_XEM_AppendDynamicXem " + files[0]}));
  EXPECT_EQ(Calls({"QLP_OpenMap"}).size(), 1u);
}

TEST_F(WizardTest, AbortDuringTheFirstTileCompressesNothing) {
  Run(ToRunPage() + "click 30705\nwait text 30709 " + Quoted("処理対象 1/4") +
      "\nclick 2\nwait dialog 30717\nexpect text 30714 " + Quoted(kFailed) + "\nexpect check 30719 off\n");
  EXPECT_TRUE(XemFilesOnDisk().empty());
}

TEST_F(WizardTest, SkippingWithEveryFilePresentCompressesNothing) {
  for (const char* name : {"N57E011.xem", "N57E012.xem", "N58E011.xem", "N58E012.xem"}) {
    ASSERT_TRUE(WriteBytes(out_ + "\\" + name, {1, 2, 3}));
  }
  Run(ToRunPage() + "click 30706\ncheck 30718 on\nclick 30705\nclick 30705\nwait dialog 30717\nexpect text 30714 " +
      Quoted(kFailed) + "\n");
  EXPECT_EQ(ReadBytes(out_ + "\\N57E011.xem"), (std::vector<std::uint8_t>{1, 2, 3}));  // untouched
}

// ---- Finishing ----

TEST_F(WizardTest, FinishWithBothBoxesClosesFirstThenRegistersAt1To100ThenOpensTheFolder) {
  const QLP_HANDLE view = host::AddView(35.5, 139.25);
  host::SetActiveView(view);
  ASSERT_NE(host::OpenFile(TilePath("N57E011.hgt")), 0u);
  host::ClearCallLog();
  Run(ToRunPage() + "click 30705\nwait dialog 30717\nexpect text 30714 " + Quoted(kDone) +
      "\ncheck 30708 on\nclick 30705\n");
  const auto& files = Wizard()->finishPage()->xemFiles;
  ASSERT_EQ(files.size(), 4u);

  std::vector<std::string> expected = {"ui destroy window SrtmCompressWizard", "ui enable window QLPHostMain 1",
                                       "ui create dialog 30721", "ui progress dialog 30721 1"};
  for (std::size_t i = 0; i < 4; ++i) {
    expected.push_back("QLP_XEM_AppendDynamicXem " + files[i]);
    expected.push_back("ui progress dialog 30721 " + std::to_string(25 * (i + 1)));
  }
  auto calls = Calls({"ui destroy window", "ui enable", "ui create dialog 30721", "ui progress dialog 30721",
                      "QLP_XEM_AppendDynamicXem", "QLP_OpenMap", "QLP_Clear", "QLP_UpdateAllViews",
                      "ui destroy dialog 30721", "ui ShellExecute"});
  const auto finish = std::find(calls.begin(), calls.end(), expected[0]);
  ASSERT_NE(finish, calls.end());
  calls.erase(calls.begin(), finish);
  ASSERT_GE(calls.size(), expected.size() + 6);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())), expected);
  const std::vector<std::string> rest(calls.begin() + static_cast<long>(expected.size()), calls.end());
  ASSERT_EQ(rest.size(), 6u);
  EXPECT_EQ(rest[0].rfind("QLP_OpenMap " + std::to_string(view) + " ", 0), 0u) << rest[0];
  EXPECT_NE(rest[0].find("flag=1 35.500000 139.250000"), std::string::npos) << rest[0];
  EXPECT_EQ(rest[1].rfind("QLP_ClearMapCache ", 0), 0u);
  EXPECT_EQ(rest[2], "QLP_ClearAllViewCache");
  EXPECT_EQ(rest[3], "QLP_UpdateAllViews 1");
  EXPECT_EQ(rest[4], "ui destroy dialog 30721");
  EXPECT_EQ(rest[5], "ui ShellExecute explore " + out_);
}

TEST_F(WizardTest, FinishWithNoFileShowsTheRegistrationAt1PercentAndOpensNothing) {
  FakeBatch fake;
  fake.result = 0;
  UseFake(&fake);
  Run(ToRunPage() + "click 30705\nwait dialog 30717\ncheck 30719 on\nclick 30705\n");
  EXPECT_EQ(Calls({"ui create dialog 30721", "ui progress dialog 30721", "ui destroy dialog 30721", "QLP_OpenMap",
                   "QLP_Clear", "QLP_UpdateAllViews", "ui ShellExecute"}),
            (std::vector<std::string>{"ui create dialog 30721", "ui progress dialog 30721 1",
                                      "ui destroy dialog 30721"}));
}

TEST_F(WizardTest, RegistrationDialogIsCentredWithoutAbortAndItsTextSet) {
  FakeBatch fake;
  fake.result = 0;
  UseFake(&fake);
  // The dialog only lives inside Finish: look at it when it shows its first percent.
  host::MainWindow();  // created first: the desktop sets its own listener then
  ui::headless::WindowInfo seen;
  ui::headless::WindowInfo abort;
  Store().SetEventListener([&](const std::string& line) {
    if (line != "progress dialog 30721 1") return;
    seen = Info(Shown(IDD_PROGRESS));
    abort = Control(IDD_PROGRESS, IDC_ABORT);
    EXPECT_EQ(Control(IDD_PROGRESS, IDC_STATUS_TEXT).text, ToCp932("地図を登録しています.."));
  });
  Run(ToRunPage() + "click 30705\nwait dialog 30717\ncheck 30719 on\nclick 30705\n");
  EXPECT_EQ(seen.rect.left, 1280 / 2 - seen.rect.width() / 2);
  EXPECT_EQ(seen.rect.top, 1024 / 2 - seen.rect.height() / 2);
  EXPECT_EQ(seen.owner, host::MainWindow());
  EXPECT_FALSE(abort.visible);
}

// ---- Faults that must not happen ----

TEST_F(WizardTest, ACloseRequestDuringTheBatchIsAnAbortAndKeepsThePages) {
  FakeBatch fake;
  fake.files = {"a.xem", "b.xem", "c.xem"};
  UseFake(&fake);
  int pumps = 0;
  fake.duringPump = [&] {
    if (++pumps == 2) Store().Send(Wizard()->handle(), ui::kWmClose, 0, 0);
  };
  Run(ToRunPage() + "click 30705\nwait dialog 30717\nexpect text 30714 " + Quoted(kPartial) + "\n");
  EXPECT_EQ(Wizard()->finishPage()->xemFiles, (std::vector<std::string>{"a.xem"}));
  EXPECT_TRUE(Wizard()->HasWindow());
  EXPECT_FALSE(host::MainWindowEnabled());
}

TEST_F(WizardTest, AWizardWhoseWindowWentDuringTheBatchIsNotDeletedUnderIt) {
  FakeBatch fake;
  fake.files = {"a.xem", "b.xem"};
  UseFake(&fake);
  ui::CompressWizard* during = nullptr;
  fake.duringPump = [&] {
    if (during) return;
    Store().Destroy(Wizard()->handle());  // as when the host's window goes and takes it along
    EXPECT_TRUE(host::MainWindowEnabled());
    // The menus are reachable again: their queries must not free the running wizard, and
    // the command must not open a second one.
    std::int32_t enabled = 0;
    CompressCommand(QLP_MSG_MENU_QUERY_ENABLED, 0, reinterpret_cast<QLP_DATA>(&enabled));
    EXPECT_EQ(CompressCommand(QLP_MSG_MENU_RUN, 0, 0), 1);
    during = Wizard();
  };
  Run(ToRunPage() + "click 30705\n");
  ASSERT_NE(during, nullptr);
  EXPECT_EQ(Wizard(), during);
  EXPECT_EQ(ActiveRunPage(), nullptr);
  // The batch was asked to stop when the window went.
  EXPECT_TRUE(Wizard()->finishPage()->xemFiles.empty());
  std::int32_t enabled = 0;
  CompressCommand(QLP_MSG_MENU_QUERY_ENABLED, 0, reinterpret_cast<QLP_DATA>(&enabled));
  EXPECT_EQ(Wizard(), nullptr);
}

}  // namespace
}  // namespace srtm::test

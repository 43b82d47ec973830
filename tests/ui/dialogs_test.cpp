// The progress dialog and the file dialog on their own, and the dialog manager's
// behaviour the plug-in relies on (modal owners, Enter and Esc, default buttons).
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/test_support.h"
#include "tests/ui/ui_fixture.h"
#include "testhost/desktop.h"
#include "ui/compress_wizard.h"
#include "ui/file_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/settings_dialog.h"

namespace srtm::test {
namespace {

using ui::headless::Store;

class DialogsTest : public UiTest {};

// ---- Progress dialog ----

TEST_F(DialogsTest, ProgressDialogIsCentredOnTheScreenWithItsTextAndAnEmptyBar) {
  for (auto screen : {std::pair<int, int>{1280, 1024}, {1001, 767}}) {
    Store().SetScreenSize(screen.first, screen.second);
    ui::ProgressDialog dialog(ToCp932("地図を登録しています.."), 0, host::MainWindow());
    ASSERT_TRUE(dialog.Create());
    const auto info = Info(dialog.handle());
    EXPECT_TRUE(info.visible);  // the template makes it visible at once
    EXPECT_EQ(info.rect.left, screen.first / 2 - info.rect.width() / 2);
    EXPECT_EQ(info.rect.top, screen.second / 2 - info.rect.height() / 2);
    // The host's window lies elsewhere: the dialog is not placed relative to it.
    EXPECT_EQ(Info(host::MainWindow()).rect.left, 100);
    EXPECT_EQ(Control(IDD_PROGRESS, IDC_STATUS_TEXT).text, ToCp932("地図を登録しています.."));
    const auto bar = Control(IDD_PROGRESS, IDC_PROGRESS);
    EXPECT_EQ(bar.rangeLow, 0);
    EXPECT_EQ(bar.rangeHigh, 100);
    EXPECT_EQ(bar.position, 0);
  }
}

TEST_F(DialogsTest, ProgressDialogShowsAbortOnlyWhenAllowedAndAbortLeavesItOpen) {
  ui::ProgressDialog hidden("text", 0, host::MainWindow());
  ASSERT_TRUE(hidden.Create());
  EXPECT_FALSE(Control(IDD_PROGRESS, IDC_ABORT).visible);
  hidden.DestroyWindow();

  ui::ProgressDialog dialog("text", 1, host::MainWindow());
  ASSERT_TRUE(dialog.Create());
  EXPECT_TRUE(Control(IDD_PROGRESS, IDC_ABORT).visible);
  Run("click 30720\nexpect dialog 30721\n");
  EXPECT_EQ(dialog.cancelRequested, 1);
  EXPECT_TRUE(dialog.HasWindow());
}

TEST_F(DialogsTest, ProgressAbove100ShowsAFullBar) {
  ui::ProgressDialog dialog("text", 0, host::MainWindow());
  ASSERT_TRUE(dialog.Create());
  dialog.SetPercent(37);
  EXPECT_EQ(Control(IDD_PROGRESS, IDC_PROGRESS).position, 37);
  dialog.SetPercent(250);
  EXPECT_EQ(Control(IDD_PROGRESS, IDC_PROGRESS).position, 100);
}

TEST_F(DialogsTest, ADestroyedProgressDialogIgnoresFurtherProgress) {
  auto dialog = std::make_unique<ui::ProgressDialog>("text", 0, host::MainWindow());
  ASSERT_TRUE(dialog->Create());
  const ui::Handle window = dialog->handle();
  dialog->SetPercent(10);
  dialog.reset();  // the object takes its window along
  EXPECT_FALSE(Store().Exists(window));
  ui::ProgressDialog again("text", 0, host::MainWindow());
  EXPECT_FALSE(again.HasWindow());
  again.SetPercent(50);  // no window yet: nothing happens
  EXPECT_TRUE(Store().VisibleDialogs().empty());
}

// ---- The wizard's run page as the progress target ----

TEST_F(DialogsTest, RunPageTakesItsRunningLookAndKeepsTheCountWithoutANewOne) {
  Store().RegisterWindowClass("Frame", 0);
  const ui::Handle frame = Store().CreatePlainWindow("Frame", "", 0x10C00000u, 0, 0, 600, 500, nullptr, nullptr);
  ui::WizardRunPage page(frame);
  ASSERT_TRUE(page.Create());
  page.Show(true);
  // Idle: the progress parts hidden, Next without its mnemonic, Cancel as it was.
  EXPECT_FALSE(Control(IDD_WIZARD_RUN, IDC_PROGRESS).visible);
  EXPECT_EQ(Control(IDD_WIZARD_RUN, IDC_NEXT).text, ToCp932("次へ"));
  EXPECT_EQ(Control(IDD_WIZARD_RUN, 2).text, ToCp932("ｷｬﾝｾﾙ"));
  EXPECT_EQ(page.running, 0);

  page.SetMode(1, 0);
  EXPECT_EQ(Control(IDD_WIZARD_RUN, 2).text, ToCp932("中止"));
  EXPECT_FALSE(Control(IDD_WIZARD_RUN, 2).enabled);
  EXPECT_FALSE(Control(IDD_WIZARD_RUN, IDC_BACK).enabled);
  EXPECT_FALSE(Control(IDD_WIZARD_RUN, IDC_NEXT).enabled);
  EXPECT_FALSE(Control(IDD_WIZARD_RUN, IDC_MAIN_TEXT).visible);
  EXPECT_TRUE(Control(IDD_WIZARD_RUN, IDC_STATUS_TEXT).visible);
  EXPECT_EQ(page.running, 1);
  page.SetMode(1, 1);
  EXPECT_TRUE(Control(IDD_WIZARD_RUN, 2).enabled);

  page.SetTexts("status", "count");
  page.SetTexts("next status", nullptr);
  EXPECT_EQ(Control(IDD_WIZARD_RUN, IDC_STATUS_TEXT).text, "next status");
  EXPECT_EQ(Control(IDD_WIZARD_RUN, IDC_COUNT_TEXT).text, "count");
  EXPECT_EQ(page.countText, "count");
  page.SetPercent(250);
  EXPECT_EQ(Control(IDD_WIZARD_RUN, IDC_PROGRESS).position, 100);

  // Cancel while running only asks for a stop; the page stays.
  Store().PressEscape();
  EXPECT_EQ(page.cancelRequested, 1);
  EXPECT_TRUE(page.HasWindow());
}

// ---- File dialog ----

TEST(FilterList, PipesBecomeNulsAndTheListAlwaysEndsWithTwo) {
  const std::string open = ToCp932("スペースシャトル地形データ [*.HGT]|*.HGT|すべて|*.*||");
  EXPECT_EQ(ui::FilterList(open.c_str()),
            ToCp932("スペースシャトル地形データ [*.HGT]") + std::string(1, '\0') + "*.HGT" + std::string(1, '\0') +
                ToCp932("すべて") + std::string(1, '\0') + "*.*" + std::string(4, '\0'));
  // Without the closing '|' the list is still closed by two NULs.
  EXPECT_EQ(ui::FilterList("A|*.a"), std::string("A\0*.a\0\0", 7));
  EXPECT_EQ(ui::FilterList("A|*.a|"), std::string("A\0*.a\0\0\0", 8));
  EXPECT_EQ(ui::FilterList(nullptr), std::string(2, '\0'));
  // "ポ" is 0x83 0x7C: its second byte is not a separator.
  const std::string po = ToCp932("ポ");
  ASSERT_EQ(po, "\x83\x7C");
  EXPECT_EQ(ui::FilterList((po + "|*.p|").c_str()), po + std::string(1, '\0') + "*.p" + std::string(3, '\0'));
}

TEST_F(DialogsTest, FileDialogAddsExplorerAndHandsItsRecordToTheCommonDialog) {
  ui::FileDialog dialog(1, "hgt", "N57E011.hgt", 6, "T|*.HGT||", host::MainWindow());
  EXPECT_EQ(dialog.ofn.flags, 0x80006u);
  EXPECT_EQ(dialog.ofn.filterIndex, 1u);
  Run("file cancel");
  EXPECT_EQ(dialog.Run(), 2);
  const auto shown = Store().FileDialogsShown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].filters, (std::vector<std::string>{"T", "*.HGT"}));
  EXPECT_EQ(shown[0].initialName, "N57E011.hgt");
  EXPECT_EQ(dialog.ofn.structSize, 76u);
  EXPECT_EQ(dialog.ofn.maxFile, 260u);
  EXPECT_EQ(dialog.ofn.fileTitle, nullptr);
  EXPECT_EQ(dialog.ofn.filter, nullptr);  // the converted list went with the call
  // Cancel leaves the initial name in the buffer.
  EXPECT_EQ(dialog.GetPathName(), "N57E011.hgt");
}

TEST_F(DialogsTest, FileDialogRunsAgainFromItsInitialName) {
  ui::FileDialog dialog(1, "hgt", "first", 6, "T|*.HGT||", host::MainWindow());
  Run("file " + Quoted("Z:\\a\\b.hgt"));
  ASSERT_EQ(dialog.Run(), 1);
  EXPECT_EQ(dialog.GetPathName(), "Z:\\a\\b.hgt");
  Run("file cancel");
  EXPECT_EQ(dialog.Run(), 2);
  EXPECT_EQ(dialog.GetPathName(), "first");
  EXPECT_EQ(Store().FileDialogsShown().at(1).initialName, "first");
  EXPECT_EQ(Store().FileDialogsShown().at(1).filters.size(), 2u);
}

TEST_F(DialogsTest, AnInitialNameThatDoesNotFitTheBufferStartsTheDialogEmpty) {
  const std::string name(300, 'n');
  ui::FileDialog dialog(1, "hgt", name.c_str(), 6, "T|*.HGT||", host::MainWindow());
  Run("file cancel");
  EXPECT_EQ(dialog.Run(), 2);
  EXPECT_EQ(Store().FileDialogsShown().at(0).initialName, "");
  EXPECT_EQ(dialog.GetPathName(), "");
  // 259 bytes still fit with the terminator.
  const std::string fits(259, 'f');
  ui::FileDialog exact(1, "hgt", fits.c_str(), 6, "T|*.HGT||", host::MainWindow());
  Run("file cancel");
  exact.Run();
  EXPECT_EQ(exact.GetPathName(), fits);
}

TEST_F(DialogsTest, SaveModeAsksBeforeOverwritingWhenTheFlagsSaySo) {
  const std::string existing = tiles_.File("old.xem");
  ASSERT_TRUE(WriteBytes(existing, {1}));
  ui::FileDialog dialog(0, "xem", "", 6, "X|*.xem||", host::MainWindow());
  platform::SetMessageBoxResponder([](const platform::MessageBoxRecord&, void*) -> int { return platform::kIdNo; }, nullptr);
  Run("file " + Quoted(existing));
  EXPECT_EQ(dialog.Run(), 2);
  ASSERT_EQ(host::ShownMessageBoxes().size(), 1u);
  EXPECT_EQ(host::ShownMessageBoxes()[0].type & 0xFu, platform::kMbYesNo);
  platform::SetMessageBoxResponder(nullptr, nullptr);
  Run("file " + Quoted(existing));
  EXPECT_EQ(dialog.Run(), 1);
  EXPECT_EQ(dialog.GetPathName(), existing);
}

// ---- The dialog manager ----

TEST_F(DialogsTest, AModalDialogDisablesItsOwnerAndEnablesItAgain) {
  ui::SettingsDialog dialog(host::MainWindow());
  Run("");
  bool ownerEnabledWhileOpen = true;
  struct Peek : host::User {
    bool* seen;
    bool RunDue() override {
      *seen = host::MainWindowEnabled();
      Store().PressEscape();
      return true;
    }
  } peek;
  peek.seen = &ownerEnabledWhileOpen;
  host::SetUser(&peek);
  EXPECT_EQ(dialog.DoModal(), ui::kIdCancel);
  host::SetUser(nullptr);
  EXPECT_FALSE(ownerEnabledWhileOpen);
  EXPECT_TRUE(host::MainWindowEnabled());
  EXPECT_FALSE(dialog.HasWindow());
}

TEST_F(DialogsTest, EnterPressesTheDefaultButtonOrOkWhenItIsGreyedAndEscIsCancel) {
  // The wizard's folder page as a plain child dialog of a frame.
  struct Page : ui::Dialog {
    explicit Page(ui::Handle parent) : Dialog(IDD_WIZARD_FOLDER, parent) {
      OnClick(IDC_NEXT, [this] { commands.push_back(IDC_NEXT); });
      OnClick(IDC_BROWSE, [this] { commands.push_back(IDC_BROWSE); });
    }
    void OnOK() override { commands.push_back(ui::kIdOk); }
    void OnCancel() override { commands.push_back(ui::kIdCancel); }
    std::vector<int> commands;
  };
  Store().RegisterWindowClass("Frame", 0);
  const ui::Handle frame = Store().CreatePlainWindow("Frame", "", 0x10C00000u, 0, 0, 600, 500, nullptr, nullptr);
  Page page(frame);
  ASSERT_TRUE(page.Create());
  EXPECT_FALSE(Info(page.handle()).visible);  // child pages are created hidden
  page.Show(true);
  Store().PressEnter();
  Store().PressEscape();
  Store().Enable(page.Item(IDC_NEXT), false);
  Store().PressEnter();
  Store().Enable(page.Item(IDC_NEXT), true);
  // A new default button takes the style from the old one; Enter follows it.
  page.SendToSelf(ui::kDmSetDefId, IDC_BROWSE, 0);
  EXPECT_EQ(Info(page.Item(IDC_BROWSE)).style & 0xFu, 1u);
  EXPECT_EQ(Info(page.Item(IDC_NEXT)).style & 0xFu, 0u);
  Store().PressEnter();
  // Focusing a button with WM_NEXTDLGCTL makes it the default, too.
  page.SendToSelf(ui::kWmNextDlgCtl, reinterpret_cast<std::uintptr_t>(page.Item(IDC_NEXT)), 1);
  EXPECT_EQ(Store().FocusedWindow(), page.Item(IDC_NEXT));
  Store().PressEnter();
  EXPECT_EQ(page.commands,
            (std::vector<int>{IDC_NEXT, ui::kIdCancel, ui::kIdOk, IDC_BROWSE, IDC_NEXT}));
  // Destroying the frame takes the page's window along; the object stays usable.
  Store().Destroy(frame);
  EXPECT_FALSE(page.HasWindow());
  page.SetItemText(IDC_OUTPUT_FOLDER, "ignored");
  EXPECT_EQ(page.ItemText(IDC_OUTPUT_FOLDER), "");
}

}  // namespace
}  // namespace srtm::test

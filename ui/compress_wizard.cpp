#include "ui/compress_wizard.h"

#include <cstring>
#include <new>

#include "platform/platform.h"
#include "res/resource.h"
#include "res/srtm_texts.h"
#include "shell/pluginif.h"
#include "ui/progress_dialog.h"
#include "xem/batch.h"

namespace srtm::ui {
namespace {

CompressBatch g_batch = &BatchCompressor::CompressFolder;

constexpr char kWizardClass[] = "SrtmCompressWizard";
constexpr unsigned kWizardStyle = kWsVisible | kWsCaption;  // 0x10C00000: no system menu, no close box
constexpr std::size_t kFolderBuffer = 260;

Handle MainWindow() { return QLP_GetMainWnd(); }

// Sends a page's private message to its parent, the wizard.
void Notify(Dialog& page, unsigned message) {
  if (!page.HasWindow()) return;
  sys::Send(sys::Parent(page.handle()), message, 0, reinterpret_cast<std::intptr_t>(&page));
}

// The longest prefix of `text` that fits a buffer of `size` bytes with its terminator,
// never ending inside a double-byte character.
std::string FitBuffer(const std::string& text, std::size_t size) {
  std::size_t end = 0;
  while (end < text.size()) {
    const auto byte = static_cast<unsigned char>(text[end]);
    const std::size_t width = platform::IsPathLeadByte(byte, platform::kPathCodePage) ? 2 : 1;
    if (end + width > size - 1 || end + width > text.size()) break;
    end += width;
  }
  return text.substr(0, end);
}

}  // namespace

CompressBatch SetCompressBatch(CompressBatch batch) {
  const CompressBatch previous = g_batch;
  g_batch = batch ? batch : &BatchCompressor::CompressFolder;
  return previous;
}

// ---- Folder page ----

WizardFolderPage::WizardFolderPage(Handle wizard) : Dialog(IDD_WIZARD_FOLDER, wizard) {
  OnClick(IDC_NEXT, [this] { OnNext(); });
  OnClick(IDC_BROWSE, [this] { OnBrowse(); });
}

void WizardFolderPage::DoDataExchange(DataExchange& dx) {
  dx.Check(IDC_SKIP_COMPRESSED, skipCompressed);
  dx.Text(IDC_OUTPUT_FOLDER, outputFolder);
}

void WizardFolderPage::OnCancel() { Notify(*this, WM_WIZARD_CANCEL); }

void WizardFolderPage::OnNext() {
  UpdateData(true);
  if (outputFolder.empty()) {
    // A folder of blanks is accepted: where it leads shows up as the batch's failure.
    platform::ShowMessageBox(handle(), kTextNoOutputFolder, kTextMessageCaption,
                             platform::kMbOk | platform::kMbIconExclamation);
    return;
  }
  Notify(*this, WM_WIZARD_NEXT);
}

void WizardFolderPage::OnBrowse() {
  UpdateData(true);
  // The chooser works on a 260-byte buffer: a longer text starts it from the part that
  // fits, cut at a character boundary.
  char buffer[kFolderBuffer] = {};
  const std::string start = FitBuffer(outputFolder, sizeof buffer);
  std::memcpy(buffer, start.c_str(), start.size() + 1);
  if (QLP_ShellFolder(handle(), buffer)) {
    buffer[sizeof buffer - 1] = '\0';
    outputFolder = buffer;
    UpdateData(false);
  }
}

// ---- Run page ----

WizardRunPage::WizardRunPage(Handle wizard) : Dialog(IDD_WIZARD_RUN, wizard) {
  OnClick(IDC_BACK, [this] { Notify(*this, WM_WIZARD_BACK); });
  OnClick(IDC_NEXT, [this] { Notify(*this, WM_WIZARD_NEXT); });
}

void WizardRunPage::DoDataExchange(DataExchange& dx) {
  dx.Control(IDC_PROGRESS, progress);
  dx.Text(IDC_COUNT_TEXT, countText);
}

int WizardRunPage::OnInitDialog() {
  Dialog::OnInitDialog();
  SetMode(0, 0);
  progress.SetRange(0, 100);
  progress.SetPos(0);
  return 1;
}

void WizardRunPage::OnCancel() {
  if (running) {
    cancelRequested = 1;  // seen by the batch at its next poll
  } else {
    Notify(*this, WM_WIZARD_CANCEL);
  }
}

void WizardRunPage::SetMode(int runningLook, int allowCancel) {
  if (!runningLook) {
    ShowItem(IDC_COUNT_TEXT, false);
    ShowItem(IDC_STATUS_TEXT, false);
    ShowItem(IDC_PROGRESS, false);
    SetItemText(IDC_NEXT, kTextNext);
    return;
  }
  ShowItem(IDC_MAIN_TEXT, false);
  ShowItem(IDC_COUNT_TEXT, true);
  ShowItem(IDC_STATUS_TEXT, true);
  ShowItem(IDC_PROGRESS, true);
  SetItemText(kIdCancel, kTextAbort);
  EnableItem(kIdCancel, allowCancel != 0);
  EnableItem(IDC_BACK, false);
  EnableItem(IDC_NEXT, false);
  running = 1;
}

void WizardRunPage::SetTexts(const char* text, const char* count) {
  SetItemText(IDC_STATUS_TEXT, text ? text : "");
  if (count) {
    countText = count;
    UpdateData(false);
  }
}

void WizardRunPage::SetPercent(int percent) { ShowPercent(*this, progress, percent); }

void WizardRunPage::PumpHost() { QLP_Pump(); }

// ---- Finish page ----

WizardFinishPage::WizardFinishPage(Handle wizard) : Dialog(IDD_WIZARD_FINISH, wizard) {
  OnClick(IDC_NEXT, [this] {
    UpdateData(true);
    Notify(*this, WM_WIZARD_NEXT);
  });
}

void WizardFinishPage::DoDataExchange(DataExchange& dx) {
  dx.Check(IDC_OPEN_FOLDER, openFolder);
  dx.Check(IDC_OPEN_MAPS, openMaps);
  dx.Text(IDC_MAIN_TEXT, resultText);
}

// ---- The wizard ----

CompressWizard::CompressWizard() {
  OnPrivateMessage(WM_WIZARD_NEXT, [this](std::uintptr_t, std::intptr_t page) {
    OnNext(reinterpret_cast<const Dialog*>(page));
  });
  OnPrivateMessage(WM_WIZARD_BACK, [this](std::uintptr_t, std::intptr_t page) {
    OnBack(reinterpret_cast<const Dialog*>(page));
  });
  OnPrivateMessage(WM_WIZARD_CANCEL, [this](std::uintptr_t, std::intptr_t page) {
    OnCancel(reinterpret_cast<const Dialog*>(page));
  });
}

CompressWizard::~CompressWizard() {
  // The window first (its destruction handler still sees the pages), then the pages.
  DestroyWindow();
}

bool CompressWizard::Open(Handle owner) {
  return Create(kWizardClass, kCsHRedraw | kCsVRedraw, kTextWizardClassTitle, kWizardStyle, 0, 0, 10, 10, owner);
}

int CompressWizard::OnCreate() {
  if (Window::OnCreate() == -1) return -1;
  sys::Enable(MainWindow(), false);
  sys::SetText(handle(), kTextWizardTitle);

  folderPage_ = std::make_unique<WizardFolderPage>(handle());
  runPage_ = std::make_unique<WizardRunPage>(handle());
  finishPage_ = std::make_unique<WizardFinishPage>(handle());
  // A page that cannot be created fails the creation: the window is destroyed again
  // (and the host's window enabled) rather than showing a wizard with a missing page.
  if (!folderPage_->Create() || !runPage_->Create() || !finishPage_->Create()) return -1;

  // The client area becomes exactly one page, and the window sits where a page centred
  // on the screen would.
  Rect client, window, page;
  sys::ClientRect(handle(), &client);
  sys::WindowRect(handle(), &window);
  sys::WindowRect(folderPage_->handle(), &page);
  const int left = sys::Metric(kSmCxScreen) / 2 - page.width() / 2;
  const int top = sys::Metric(kSmCyScreen) / 2 - page.height() / 2;
  sys::SetPos(handle(), nullptr, left, top, window.width() - client.width() + page.width(),
              window.height() - client.height() + page.height(), kSwpNoZOrder);

  ShowPage(*folderPage_, false);
  return 0;
}

void CompressWizard::OnDestroy() {
  // A window destroyed under a running batch: nobody could see the outcome, so the
  // batch is asked to stop at its next poll.
  if (batchRunning_ && runPage_) runPage_->cancelRequested = 1;
  sys::Enable(MainWindow(), true);
  sys::SetPos(MainWindow(), kHwndTop, 0, 0, 0, 0, kSwpNoMove | kSwpNoSize);
}

bool CompressWizard::OnClose() {
  // A close request from the system while the batch runs is an Abort: the window and
  // its pages stay until the batch has returned and the outcome is shown.
  if (batchRunning_ && runPage_) {
    runPage_->cancelRequested = 1;
    return true;
  }
  return false;
}

void CompressWizard::ShowPage(Dialog& page, bool focusNext) {
  page.Show(true);
  page.SetFocus();
  if (focusNext) {
    // The Next (or Finish) button becomes the default button and takes the focus.
    page.SendToSelf(kDmSetDefId, IDC_NEXT, 0);
    page.SendToSelf(kWmNextDlgCtl, reinterpret_cast<std::uintptr_t>(page.Item(IDC_NEXT)), 1);
  }
}

void CompressWizard::OnNext(const Dialog* page) {
  if (page == folderPage_.get()) {
    ShowPage(*runPage_, true);
    folderPage_->Show(false);
  } else if (page == runPage_.get()) {
    RunBatch();
  } else if (page == finishPage_.get()) {
    Finish();
  } else if (page) {
    const_cast<Dialog*>(page)->Show(false);
  }
}

void CompressWizard::OnBack(const Dialog* page) {
  if (page == runPage_.get()) ShowPage(*folderPage_, true);
  if (page) const_cast<Dialog*>(page)->Show(false);
}

void CompressWizard::OnCancel(const Dialog* page) {
  if (page) const_cast<Dialog*>(page)->Show(false);
  DestroyWindow();
}

void CompressWizard::RunBatch() {
  if (batchRunning_) return;
  const char* reference = QLP_GetMapFile(QLP_GetActiveBaseMap());
  std::int32_t result = 0;
  batchRunning_ = true;
  SetActiveRunPage(runPage_.get());
  try {
    result = g_batch(reference ? reference : "", folderPage_->outputFolder, &finishPage_->xemFiles,
                     folderPage_->skipCompressed ? 0 : 1);
  } catch (const std::bad_alloc&) {
    platform::ShowMessageBox(handle(), kTextNoMemory, kTextMessageCaption, platform::kMbOk | platform::kMbIconError);
    result = 0;
  } catch (...) {
    result = 0;
  }
  SetActiveRunPage(nullptr);
  batchRunning_ = false;
  runPage_->Show(false);

  // "Finished normally" with no file written (the reference tile was gone or not a
  // tile) would report a success that did not happen: it is told as a failure.
  if (result == -1 && finishPage_->xemFiles.empty()) result = 0;
  const bool converted = result == -1 || result > 0;
  finishPage_->resultText = result == -1 ? kTextResultDone : result > 0 ? kTextResultPartial : kTextResultFailed;
  finishPage_->openMaps = converted ? 1 : 0;
  finishPage_->UpdateData(false);
  finishPage_->EnableItem(IDC_OPEN_FOLDER, converted);
  ShowPage(*finishPage_, true);
}

void CompressWizard::Finish() {
  DestroyWindow();  // the host's window is enabled again; the pages stay

  if (finishPage_->openMaps) {
    tagGEOPOS centre{};
    QLP_GetViewCenter(QLP_GetActiveView(), &centre);
    ProgressDialog dialog(kTextRegisteringMaps, 0, MainWindow());
    dialog.Create();
    dialog.SetPercent(1);
    char name[QLP_MAX_PATH] = {};
    bool added = false;
    const std::vector<std::string>& files = finishPage_->xemFiles;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (QLP_XEM_AppendDynamicXem(files[i].c_str(), name, QLP_MAX_PATH)) added = true;
      dialog.SetPercent(static_cast<int>(100 * (i + 1) / files.size()));
    }
    name[QLP_MAX_PATH - 1] = '\0';  // the host's answer is used as a path: always terminated
    if (added) {
      tagOPENMAPINFO info;
      std::memset(&info, 0, sizeof info);
      info.size = sizeof info;
      info.path = name;
      info.positionFlag = 1;
      info.latitude = centre.latitude;
      info.longitude = centre.longitude;
      QLP_OpenMap(QLP_GetActiveView(), &info);
      QLP_ClearMapCache(QLP_GetActiveCoverMap());
      QLP_ClearAllViewCache();
      QLP_UpdateAllViews(1);
    }
    dialog.DestroyWindow();
  }
  if (finishPage_->openFolder) {
    sys::Execute(MainWindow(), "explore", folderPage_->outputFolder.c_str(), nullptr, nullptr, kSwShowNormal);
  }
}

}  // namespace srtm::ui

// The compression wizard: a small top-level window owned by the host's main window,
// hosting three child dialog pages shown one at a time.
//
//   WizardFolderPage  the output folder, and whether to skip tiles already compressed;
//   WizardRunPage     ready; its Next runs the batch, showing its progress with Abort;
//   WizardFinishPage  the outcome, and whether to open the maps and the folder.
//
// The host's main window is disabled while the wizard's window exists, so the wizard is
// modal without a loop of its own. The batch runs inside the run page's Next click; the
// host stays alive through the pumping the compression code does through the progress
// interface (xem/progress.h), whose target is the run page for the batch's duration.
//
// Destroying the window does not delete the object: the pages and their data stay valid
// (the finish actions rely on that) until the compress command or Release delete it,
// which they only do once the window is gone and no handler of the wizard is running.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/window.h"
#include "xem/progress.h"

namespace srtm::ui {

// Private messages from a page to the wizard: word parameter 0, long parameter the page
// (as its Dialog).
constexpr unsigned WM_WIZARD_NEXT = kWmUser + 101;
constexpr unsigned WM_WIZARD_BACK = kWmUser + 102;
constexpr unsigned WM_WIZARD_CANCEL = kWmUser + 103;

// The batch the wizard runs: BatchCompressor::CompressFolder's shape.
using CompressBatch = std::int32_t (*)(const std::string& referencePath, const std::string& outputFolder,
                                       std::vector<std::string>* outputList, int overwrite);
// Replaces the batch (tests); null restores the real one. Returns the one replaced.
CompressBatch SetCompressBatch(CompressBatch batch);

class WizardFolderPage : public Dialog {
 public:
  explicit WizardFolderPage(Handle wizard);

  int skipCompressed = 0;
  std::string outputFolder;

 protected:
  void DoDataExchange(DataExchange& dx) override;
  void OnOK() override {}
  void OnCancel() override;

 private:
  void OnNext();
  void OnBrowse();
};

class WizardRunPage : public Dialog, public ProgressTarget {
 public:
  explicit WizardRunPage(Handle wizard);

  // The running look (1) or the idle look (0); allowCancel enables the Abort button.
  void SetMode(int running, int allowCancel) override;
  // The status text, and the count text when countText is not null.
  void SetTexts(const char* text, const char* countText) override;
  void SetPercent(int percent) override;
  // One pass of the host's message pump.
  void PumpHost() override;

  ProgressBar progress;
  std::string countText;
  int running = 0;
  // cancelRequested (ProgressTarget): 1 once Cancel (Abort) was pressed while running.

 protected:
  void DoDataExchange(DataExchange& dx) override;
  int OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override;
};

class WizardFinishPage : public Dialog {
 public:
  explicit WizardFinishPage(Handle wizard);

  int openFolder = 0;
  int openMaps = 1;
  std::string resultText;
  std::vector<std::string> xemFiles;  // the XEM files the batch wrote, in order

 protected:
  void DoDataExchange(DataExchange& dx) override;
  void OnOK() override {}
  void OnCancel() override {}  // Esc on the last page does nothing
};

class CompressWizard : public Window {
 public:
  CompressWizard();
  ~CompressWizard() override;

  // Creates the wizard's window as the compress command does: a class registered on the
  // spot, the title "Create Wizard", visible with a caption only, at 0,0 and 10 x 10
  // (the creation handler sizes and centres it), owned by `owner`.
  bool Open(Handle owner);

  WizardFolderPage* folderPage() const { return folderPage_.get(); }
  WizardRunPage* runPage() const { return runPage_.get(); }
  WizardFinishPage* finishPage() const { return finishPage_.get(); }
  // True while the batch runs.
  bool batchRunning() const { return batchRunning_; }

 protected:
  int OnCreate() override;
  void OnDestroy() override;
  bool OnClose() override;

 private:
  void OnNext(const Dialog* page);
  void OnBack(const Dialog* page);
  void OnCancel(const Dialog* page);
  void RunBatch();
  void Finish();
  void ShowPage(Dialog& page, bool focusNext);

  std::unique_ptr<WizardFolderPage> folderPage_;
  std::unique_ptr<WizardRunPage> runPage_;
  std::unique_ptr<WizardFinishPage> finishPage_;
  bool batchRunning_ = false;
};

}  // namespace srtm::ui

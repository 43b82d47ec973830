// The small modeless progress dialog (template IDD_PROGRESS): a status text, a progress
// bar and an Abort button that can be hidden. It has no message loop of its own: it is
// shown, advanced with SetPercent and destroyed by its user.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace srtm::ui {

// Refreshes the dialog's members from its controls, then shows `percent` on the bar
// (above 100 as 100). The run page of the wizard and the progress dialog share it.
void ShowPercent(Dialog& dialog, ProgressBar& bar, int percent);

class ProgressDialog : public Dialog {
 public:
  // `message`: the status text; `allowCancel` 0 hides the Abort button; `parent`: the
  // owner window.
  ProgressDialog(const std::string& message, int allowCancel, Handle parent);

  void SetPercent(int percent) { ShowPercent(*this, progress, percent); }

  ProgressBar progress;
  std::string message;
  int allowCancel;
  int cancelRequested = 0;  // 1 once Abort was pressed

 protected:
  void DoDataExchange(DataExchange& dx) override;
  int OnInitDialog() override;
};

}  // namespace srtm::ui

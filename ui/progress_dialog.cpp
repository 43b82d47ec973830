#include "ui/progress_dialog.h"

#include "res/resource.h"

namespace srtm::ui {

void ShowPercent(Dialog& dialog, ProgressBar& bar, int percent) {
  dialog.UpdateData(true);
  bar.SetPos(percent > 100 ? 100 : percent);
}

ProgressDialog::ProgressDialog(const std::string& text, int cancel, Handle parent)
    : Dialog(IDD_PROGRESS, parent), message(text), allowCancel(cancel) {
  OnClick(IDC_ABORT, [this] { cancelRequested = 1; });
}

void ProgressDialog::DoDataExchange(DataExchange& dx) { dx.Control(IDC_PROGRESS, progress); }

int ProgressDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  SetItemText(IDC_STATUS_TEXT, message);
  progress.SetRange(0, 100);
  progress.SetPos(0);
  if (!allowCancel) ShowItem(IDC_ABORT, false);

  // Centred on the screen, whatever the owner's position; the size stays.
  Rect rect;
  if (sys::WindowRect(handle(), &rect)) {
    const int x = sys::Metric(kSmCxScreen) / 2 - rect.width() / 2;
    const int y = sys::Metric(kSmCyScreen) / 2 - rect.height() / 2;
    sys::SetPos(handle(), nullptr, x, y, rect.width(), rect.height(), kSwpNoZOrder);
  }
  return 1;
}

}  // namespace srtm::ui

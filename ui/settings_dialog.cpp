#include "ui/settings_dialog.h"

#include "res/resource.h"

namespace srtm::ui {

SettingsDialog::SettingsDialog(Handle parent) : Dialog(IDD_SETTINGS, parent) {
  // The fill box is left alone here: its lock lasts as long as the dialog.
  OnClick(IDC_SEA_ON, [this] {
    UpdateData(true);
    EnableSeaControls();
  });
}

void SettingsDialog::DoDataExchange(DataExchange& dx) {
  dx.Check(IDC_FILL_VOIDS, fillVoids);
  dx.Check(IDC_SEA_ON, seaOn);
  dx.Text(IDC_SEA_LEVEL, seaLevelText);
}

int SettingsDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  EnableItem(IDC_FILL_VOIDS, lockFillVoids == 0);
  EnableSeaControls();
  return 1;
}

void SettingsDialog::EnableSeaControls() {
  EnableItem(IDC_SEA_LABEL, seaOn != 0);
  EnableItem(IDC_SEA_LEVEL, seaOn != 0);
}

}  // namespace srtm::ui

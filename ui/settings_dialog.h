// The terrain data settings dialog (template IDD_SETTINGS): fill voids, sea on or off,
// and the sea level as text. It only shows and collects values; the settings command
// fills it from the plug-in's settings and stores what comes back on OK.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace srtm::ui {

class SettingsDialog : public Dialog {
 public:
  explicit SettingsDialog(Handle parent);

  int fillVoids = 0;
  int seaOn = 0;
  std::string seaLevelText;  // any text the user types; the caller converts it
  int lockFillVoids = 0;     // non-zero: the fill box shows its value but is greyed

 protected:
  void DoDataExchange(DataExchange& dx) override;
  int OnInitDialog() override;

 private:
  void EnableSeaControls();
};

}  // namespace srtm::ui

// The scripted user's screen in the native world: the headless window store.
#include "testhost/screen.h"
#include "ui/headless/window_store.h"

namespace srtm::host {
namespace {

using ui::headless::Store;
using ui::headless::WindowInfo;

class HeadlessScreen : public Screen {
 public:
  std::vector<std::pair<Window, int>> Dialogs() override {
    std::vector<std::pair<Window, int>> out;
    for (ui::Handle dialog : Store().VisibleDialogs()) out.emplace_back(dialog, Info(dialog).templateId);
    return out;
  }
  Window Control(Window dialog, int id) override { return Store().Item(dialog, id); }
  Window ActiveDialog() override { return Store().ActiveDialog(); }
  std::string Text(Window window) override { return Store().Text(window); }
  int Check(Window control) override { return Info(control).check; }
  bool Enabled(Window window) override { return Store().IsEnabled(window); }
  bool Visible(Window window) override { return Store().IsVisible(window); }
  bool Reachable(Window window) override { return Store().Reachable(window); }
  int Position(Window progressBar) override { return Info(progressBar).position; }
  int DefaultId(Window dialog) override {
    const std::intptr_t answer = Store().Send(dialog, ui::kDmGetDefId, 0, 0);
    return ui::HighWord(static_cast<std::uintptr_t>(answer)) == ui::kDcHasDefId
               ? static_cast<int>(ui::LowWord(static_cast<std::uintptr_t>(answer)))
               : 0;
  }
  int FocusId() override {
    const ui::Handle focus = Store().FocusedWindow();
    return focus ? Info(focus).id : 0;
  }

  void Type(Window edit, const std::string& text) override { Store().SetText(edit, text); }
  void Click(Window control) override { Store().Send(control, ui::kBmClick, 0, 0); }
  void PressEscape() override { Store().PressEscape(); }
  void PressEnter() override { Store().PressEnter(); }
  bool AnswerFileDialog(bool chosen, const std::string& path) override {
    Store().QueueFileAnswer(chosen ? path.c_str() : nullptr);
    return true;
  }
  bool AnswerShownFileDialog() override { return false; }  // answered as it opens
  bool HasPixels() const override { return false; }
  std::vector<std::string> Shoot(Window, const std::string&) override { return {}; }
  bool DrawnIn(Window, const std::string&, std::string*) override { return true; }
  bool Idle() override { return false; }

 private:
  static WindowInfo Info(Window window) {
    WindowInfo info;
    Store().Info(window, &info);
    return info;
  }
};

}  // namespace

std::unique_ptr<Screen> MakeScreen() { return std::make_unique<HeadlessScreen>(); }

}  // namespace srtm::host

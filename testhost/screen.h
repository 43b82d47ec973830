// What the scripted user sees and does: the plug-in's dialogs on the screen. Natively
// the headless window store; in the Win32 world the thread's real windows, reached with
// Win32 messages (dialogs are told apart by the template ID the plug-in's window layer
// attaches to them), and the pixels the display shows of them.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace srtm::host {

class Screen {
 public:
  using Window = void*;
  virtual ~Screen() = default;

  // The visible dialogs with their template IDs, topmost first.
  virtual std::vector<std::pair<Window, int>> Dialogs() = 0;
  virtual Window Control(Window dialog, int id) = 0;
  // The dialog that takes key presses.
  virtual Window ActiveDialog() = 0;
  virtual std::string Text(Window window) = 0;
  virtual int Check(Window control) = 0;
  virtual bool Enabled(Window window) = 0;
  virtual bool Visible(Window window) = 0;  // the window and its parents
  // A person can use it: visible and enabled, up to its top-level window.
  virtual bool Reachable(Window window) = 0;
  virtual int Position(Window progressBar) = 0;
  virtual int DefaultId(Window dialog) = 0;
  virtual int FocusId() = 0;  // the control ID of the focused window; 0 for none

  virtual void Type(Window edit, const std::string& text) = 0;
  virtual void Click(Window control) = 0;
  virtual void PressEscape() = 0;
  virtual void PressEnter() = 0;
  // Queues the answer of the next common file dialog; false when this world cannot.
  virtual bool AnswerFileDialog(bool chosen, const std::string& path) = 0;
  // Answers a common file dialog that is shown and waits for the user with the next
  // queued answer (Cancel when none is queued). False when no such dialog is shown, as
  // in a world that answers its file dialogs as they open.
  virtual bool AnswerShownFileDialog() = 0;

  // Whether this world draws pixels: the headless world has none to look at.
  virtual bool HasPixels() const = 0;
  // Takes a picture of the top-level window that holds `dialog`, writes it as a PNG
  // file when `path` is not empty, and looks at it: one line per thing that is not
  // legible (a blank picture, mangled text, a missing glyph, clipped text).
  virtual std::vector<std::string> Shoot(Window dialog, const std::string& path) = 0;
  // True when the dialog's text is drawn in the installed font of `family`; otherwise
  // false with the reason in `why`.
  virtual bool DrawnIn(Window dialog, const std::string& family, std::string* why) = 0;
  // At the top level, between steps: lets the system run. False when nothing can change
  // any more (the headless world has no events of its own) or waiting timed out.
  virtual bool Idle() = 0;
};

// The screen of this world.
std::unique_ptr<Screen> MakeScreen();

}  // namespace srtm::host

// The headless window system: windows and controls held in memory, with the behaviour of
// user32 that the plug-in's dialogs rely on (dialog templates, the dialog manager's
// default button and focus, check boxes, edits, statics, progress bars, owner disabling
// in modal loops, window destruction and its messages), and a scripted user in place of
// a person.
//
// It is a shared library so that the plug-in (loaded with dlopen) and the stand-in host
// and tests see one set of windows, as processes share user32 on Windows. All of it runs
// on the calling thread.
//
// Geometry: a 1280 x 1024 screen (settable), dialog units at fixed base units per font
// size, a caption of 19 pixels, frames of 3 (dialog frame) or 1 (border) pixels, and a
// minimum size of 136 x 39 for overlapped windows when they are created.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/system.h"
#include "ui/templates.h"

#define SRTM_HEADLESS_API __attribute__((visibility("default")))

namespace srtm::ui::headless {

enum class Kind { kFrame, kDialog, kButton, kCheckBox, kEdit, kStatic, kProgress, kOther };

// A window as tests and the scripted user see it.
struct WindowInfo {
  Handle handle = nullptr;
  Kind kind = Kind::kOther;
  std::string className;
  int id = 0;           // control ID
  int templateId = 0;   // dialogs: the template they were built from
  std::string text;
  unsigned style = 0;
  bool enabled = true;  // its own state (IsWindowEnabled)
  bool visible = false; // its own WS_VISIBLE
  int check = 0;
  int rangeLow = 0, rangeHigh = 100, position = 0;  // progress bars
  Rect rect;            // screen coordinates
  Handle parent = nullptr;
  Handle owner = nullptr;
};

// The person in front of the screen. The store asks it to act while a modal loop waits
// for input and whenever the host pumps its messages.
class User {
 public:
  virtual ~User() = default;
  // Does whatever is due now; false when it did nothing (it has nothing to do, or waits
  // for something that has not happened).
  virtual bool RunDue() = 0;
};

class SRTM_HEADLESS_API WindowStore {
 public:
  WindowStore();
  ~WindowStore();
  WindowStore(const WindowStore&) = delete;
  WindowStore& operator=(const WindowStore&) = delete;

  // ---- The window system (what ui/system_headless.cpp forwards to) ----
  int RunModal(const DialogTemplate& dialog, Handle owner, MessageTarget* target);
  Handle CreateModeless(const DialogTemplate& dialog, Handle parent, MessageTarget* target);
  bool EndModal(Handle dialog, int result);
  bool RegisterWindowClass(const std::string& name, unsigned classStyle);
  Handle CreatePlainWindow(const std::string& className, const std::string& title, unsigned style, int x, int y,
                           int width, int height, Handle owner, MessageTarget* target);
  void DetachTarget(Handle window);
  bool Destroy(Handle window);
  bool Exists(Handle window) const;
  Handle Item(Handle dialog, int id) const;
  Handle Parent(Handle window) const;
  bool SetText(Handle window, const std::string& text);
  std::string Text(Handle window) const;
  bool Enable(Handle window, bool enable);
  bool IsEnabled(Handle window) const;
  bool Show(Handle window, int command);
  bool IsVisible(Handle window) const;  // the window and all its parents
  Handle Focus(Handle window);
  Handle FocusedWindow() const;
  std::intptr_t Send(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);
  bool WindowRect(Handle window, Rect* rect) const;
  bool ClientRect(Handle window, Rect* rect) const;
  bool SetPos(Handle window, Handle insertAfter, int x, int y, int width, int height, unsigned flags);
  int Metric(int index) const;
  bool FileNameDialog(OpenFileNameRecord* record, bool open);
  void Execute(Handle owner, const std::string& verb, const std::string& file);

  // ---- The user's side ----
  // The dialog that takes key presses: the one holding the focus, else the topmost
  // visible one.
  Handle ActiveDialog() const;
  // Visible dialogs, topmost first (child dialogs right after their top-level window).
  std::vector<Handle> VisibleDialogs() const;
  // True when a user can reach the window: it, its parents and its top-level window are
  // visible and enabled.
  bool Reachable(Handle window) const;
  // Esc and Enter as the dialog manager turns them into commands of the active dialog.
  void PressEscape();
  void PressEnter();
  // Answers of the common file dialog, in order: a path, or nullptr for Cancel.
  void QueueFileAnswer(const char* path);

  // ---- Tests and the host ----
  // Forgets every window, class, answer and event (without sending messages).
  void Reset();
  void SetScreenSize(int width, int height);
  void SetUser(User* user);
  User* user() const { return user_; }
  // One pass of the host's message pump: the user does what is due.
  void Pump();
  int pumpCount() const { return pumpCount_; }
  bool Info(Handle window, WindowInfo* info) const;
  std::vector<Handle> Children(Handle window) const;
  std::vector<Handle> TopLevelWindows() const;  // topmost first
  // Notable events, one line each ("create dialog 30700", "enable window X 0", "destroy
  // dialog 30716", "show dialog 30715", "progress dialog 30721 25", "SetWindowPos ...",
  // "ShellExecute explore Z:\out", "modal 30700 left open by the user"...). The listener,
  // when set, sees each line as it happens (the host copies them into its call log).
  std::vector<std::string> Events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  void SetEventListener(std::function<void(const std::string&)> listener);
  // What the last common file dialog showed (its record at the time of the call, the
  // filter list as separate strings).
  struct FileDialogShown {
    bool open = false;
    std::uint32_t flags = 0;
    std::uint32_t filterIndex = 0;
    std::vector<std::string> filters;
    std::string initialName;
    std::string defaultExtension;
    Handle owner = nullptr;
    std::uint32_t maxFile = 0;
  };
  std::vector<FileDialogShown> FileDialogsShown() const { return fileDialogs_; }

  struct Window;

 private:
  Window* Find(Handle window);
  const Window* Find(Handle window) const;
  Handle NewWindow(std::unique_ptr<Window> window);
  Handle CreateDialogWindow(const DialogTemplate& dialog, Handle parent, MessageTarget* target, bool modal);
  std::intptr_t Deliver(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam, bool* handled);
  std::intptr_t DialogDefault(Handle dialog, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);
  void Command(Handle dialog, int id, Handle control);
  Handle FirstTabStop(Handle dialog) const;
  void FocusFirstTabStop(Handle dialog);
  int DefaultId(Handle dialog) const;
  void SetDefaultButton(Handle dialog, int id);
  void BringToTop(Handle window);
  Handle TopLevelOf(Handle window) const;
  Handle DialogOf(Handle window) const;
  void Event(const std::string& line);
  std::string Name(Handle window) const;

  std::map<std::uintptr_t, std::unique_ptr<Window>> windows_;  // by handle: creation order
  std::map<std::string, unsigned> classes_;
  std::uintptr_t nextHandle_ = 0x10;
  std::uint64_t zCounter_ = 0;
  Handle focus_ = nullptr;
  int screenWidth_ = 1280, screenHeight_ = 1024;
  User* user_ = nullptr;
  int pumpCount_ = 0;
  std::vector<std::string> events_;
  std::function<void(const std::string&)> listener_;
  std::vector<std::pair<bool, std::string>> fileAnswers_;  // (chosen, path)
  std::vector<FileDialogShown> fileDialogs_;
};

// The one store of the process.
SRTM_HEADLESS_API WindowStore& Store();

// Pixels of dialog units for a template's font, as MapDialogRect gives them.
SRTM_HEADLESS_API Rect DialogUnitsToPixels(int pointSize, int x, int y, int cx, int cy);

}  // namespace srtm::ui::headless

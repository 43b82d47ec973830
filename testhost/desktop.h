// The stand-in host's desktop: its main window (the owner of the plug-in's dialogs), its
// message pump, its folder chooser, and its menus as a user clicks them.
//
// Natively the main window is a window of the headless window store (ui/headless), which
// the plug-in shares; in the Win32 world it is a real top-level window. A scripted user
// (testhost/script.h) stands in for the person: it acts whenever the host pumps its
// messages (QLP_Pump) and whenever a modal loop of the plug-in waits for input.
#pragma once

#include <cstdint>
#include <string>

#include "testhost/host.h"

namespace srtm::host {

// The person in front of the host.
class User {
 public:
  virtual ~User() = default;
  // Does whatever is due now; false when it did nothing.
  virtual bool RunDue() = 0;
  // Looks at the screen while the system is busy and cannot take input (a progress bar
  // moved); false when there was nothing to look at now.
  virtual bool Look() { return false; }
};

// Forgets the desktop: windows, answers, the user (natively the whole window store).
QLP_HOST_API void ResetDesktop();
// The host's main window (QLP_GetMainWnd), created on first use.
QLP_HOST_API QLP_HWND MainWindow();
QLP_HOST_API bool MainWindowEnabled();
// The user who acts during pumps and modal loops; null for nobody. Returns the previous one.
QLP_HOST_API User* SetUser(User* user);
// How often QLP_Pump was called since the last reset.
QLP_HOST_API int PumpCount();

// The answers of the next folder choosers (QLP_ShellFolder), in order: a folder, or
// cancel. Without an answer the chooser is cancelled.
QLP_HOST_API void QueueFolderAnswer(const std::string& folder);
QLP_HOST_API void QueueFolderCancel();
// What the plug-in's last folder chooser started from (the buffer it passed).
QLP_HOST_API std::string LastFolderChooserStart();

// The plug-in's menu items as a user clicks them: the host asks the item's callback
// whether it is enabled (message 101) and runs it (message 100) only when it is.
enum class MenuClick { kRan, kGreyed, kNotFound, kMainWindowDisabled };
// `text` is matched (code page 932) against the item's text, whole or as its beginning.
QLP_HOST_API MenuClick ClickMenu(const std::string& text, std::int32_t* answer = nullptr);
// The enabled state the item reports (message 101); false when there is no such item.
QLP_HOST_API bool MenuEnabled(const std::string& text, bool* enabled);

}  // namespace srtm::host

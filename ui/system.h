// The window system under the plug-in's dialogs: the few user32, comctl32, comdlg32 and
// shell32 services they use, behind one small interface with two implementations.
//
// - Win32 (system_win32.cpp): the real thing; dialogs come from the templates compiled
//   into the module (windres), messages are the Win32 messages.
// - Headless (system_headless.cpp): the headless window store of ui/headless, a shared
//   library that the plug-in and the stand-in host both use, as both use user32 on
//   Windows. Dialogs are built from the same templates, read from res/srtm.rc.
//
// Messages, styles and results keep their Win32 values in both worlds, so the dialog and
// wizard code is the same code everywhere. Texts are code-page-932 byte strings.
#pragma once

#include <cstdint>
#include <string>

namespace srtm::ui {

// A window: an HWND in the Win32 world, a window of the headless store natively.
using Handle = void*;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Messages (Win32 values).
enum : unsigned {
  kWmCreate = 0x0001,
  kWmDestroy = 0x0002,
  kWmSetText = 0x000C,
  kWmGetText = 0x000D,
  kWmClose = 0x0010,
  kWmNextDlgCtl = 0x0028,
  kWmInitDialog = 0x0110,
  kWmCommand = 0x0111,
  kWmEnterIdle = 0x0121,
  kWmUser = 0x0400,
  kDmGetDefId = kWmUser + 0,
  kDmSetDefId = kWmUser + 1,
  kPbmSetRange = kWmUser + 1,
  kPbmSetPos = kWmUser + 2,
  kPbmGetPos = kWmUser + 8,
  kBmGetCheck = 0x00F0,
  kBmSetCheck = 0x00F1,
  kBmClick = 0x00F5,
};
constexpr unsigned kBnClicked = 0;
constexpr int kDcHasDefId = 0x534B;

// Styles used by the code (templates carry their own).
constexpr unsigned kWsPopup = 0x80000000u;
constexpr unsigned kWsChild = 0x40000000u;
constexpr unsigned kWsVisible = 0x10000000u;
constexpr unsigned kWsDisabled = 0x08000000u;
constexpr unsigned kWsCaption = 0x00C00000u;
constexpr unsigned kWsBorder = 0x00800000u;
constexpr unsigned kWsDlgFrame = 0x00400000u;
constexpr unsigned kWsSysMenu = 0x00080000u;
constexpr unsigned kWsThickFrame = 0x00040000u;
constexpr unsigned kWsTabStop = 0x00010000u;
constexpr unsigned kDsModalFrame = 0x80u;
constexpr unsigned kBsDefPushButton = 0x1u;
constexpr unsigned kCsVRedraw = 0x1u;
constexpr unsigned kCsHRedraw = 0x2u;

// ShowWindow commands, SetWindowPos flags, system metrics.
enum : int { kSwHide = 0, kSwShowNormal = 1, kSwShow = 5 };
enum : unsigned { kSwpNoSize = 0x1, kSwpNoMove = 0x2, kSwpNoZOrder = 0x4 };
enum : int { kSmCxScreen = 0, kSmCyScreen = 1, kSmCxMinTrack = 34, kSmCyMinTrack = 35 };
inline constexpr Handle kHwndTop = nullptr;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

constexpr std::uintptr_t MakeWParam(unsigned low, unsigned high) {
  return static_cast<std::uintptr_t>((low & 0xFFFFu) | (high & 0xFFFFu) << 16);
}
constexpr std::intptr_t MakeLParam(unsigned low, unsigned high) {
  return static_cast<std::intptr_t>(static_cast<std::uint32_t>((low & 0xFFFFu) | (high & 0xFFFFu) << 16));
}
constexpr unsigned LowWord(std::uintptr_t v) { return static_cast<unsigned>(v & 0xFFFFu); }
constexpr unsigned HighWord(std::uintptr_t v) { return static_cast<unsigned>((v >> 16) & 0xFFFFu); }

// What receives a window's messages: the framework's Dialog and Window (ui/dialog.h,
// ui/window.h). `handled` false lets the system's default processing run (for a dialog,
// the dialog manager's; for a window, DefWindowProc's).
class MessageTarget {
 public:
  virtual std::intptr_t OnMessage(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam,
                                  bool* handled) = 0;

 protected:
  ~MessageTarget() = default;
};

// The common open and save dialogs' record: the fields of OPENFILENAMEA in its form up
// to lpTemplateName (76 bytes in 32-bit Windows), under their Win32 meanings.
struct OpenFileNameRecord {
  std::uint32_t structSize = 0;
  Handle owner = nullptr;
  void* instance = nullptr;
  const char* filter = nullptr;  // NUL-separated pairs, ending with two NULs
  char* customFilter = nullptr;
  std::uint32_t maxCustomFilter = 0;
  std::uint32_t filterIndex = 0;
  char* file = nullptr;  // in: initial name; out: the chosen path
  std::uint32_t maxFile = 0;
  char* fileTitle = nullptr;
  std::uint32_t maxFileTitle = 0;
  const char* initialDir = nullptr;
  const char* title = nullptr;
  std::uint32_t flags = 0;
  std::uint16_t fileOffset = 0;
  std::uint16_t fileExtension = 0;
  const char* defaultExtension = nullptr;
  std::intptr_t customData = 0;
  void* hook = nullptr;
  const char* templateName = nullptr;
};
// OPENFILENAME_SIZE_VERSION_400A: 136 bytes with the 8-byte pointers of 64-bit Windows.
#if defined(_WIN64)
constexpr std::uint32_t kOpenFileNameSize = 136;
#else
constexpr std::uint32_t kOpenFileNameSize = 76;
#endif
constexpr std::uint32_t kOfnOverwritePrompt = 0x2;
constexpr std::uint32_t kOfnHideReadOnly = 0x4;
constexpr std::uint32_t kOfnExplorer = 0x80000;

namespace sys {

// Runs the dialog of template `templateId` modally, owned by `owner` (disabled meanwhile);
// its result, or -1 when it cannot be created.
int RunModal(int templateId, Handle owner, MessageTarget* target);
// Creates the dialog of template `templateId` modeless (a child dialog when the template
// has the child style); null when it cannot be created.
Handle CreateModeless(int templateId, Handle parent, MessageTarget* target);
// Ends a modal dialog with `result` (a modeless one is hidden).
bool EndModal(Handle dialog, int result);

// Registers a window class of this module; true when it exists afterwards.
bool RegisterWindowClass(const char* name, unsigned classStyle);
// Creates a window of a registered class; null when creation failed (its creation
// handler answered -1).
Handle CreatePlainWindow(const char* className, const char* title, unsigned style, int x, int y, int width,
                         int height, Handle owner, MessageTarget* target);
// Stops sending messages to the window's target (before the target goes away).
void DetachTarget(Handle window);

bool Destroy(Handle window);
bool Exists(Handle window);
Handle Item(Handle dialog, int id);
Handle Parent(Handle window);
bool SetText(Handle window, const std::string& text);
std::string Text(Handle window);
bool Enable(Handle window, bool enable);
bool IsEnabled(Handle window);
bool Show(Handle window, int command);
bool IsVisible(Handle window);
Handle Focus(Handle window);
std::intptr_t Send(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam);
bool WindowRect(Handle window, Rect* rect);
bool ClientRect(Handle window, Rect* rect);
bool SetPos(Handle window, Handle insertAfter, int x, int y, int width, int height, unsigned flags);
int Metric(int index);

// GetOpenFileNameA (open) or GetSaveFileNameA; true when the user chose a file.
bool FileNameDialog(OpenFileNameRecord* record, bool open);
// ShellExecuteA; the result is not examined by the plug-in.
void Execute(Handle owner, const char* verb, const char* file, const char* parameters, const char* directory,
             int show);

}  // namespace sys
}  // namespace srtm::ui

// The window system of the Win32 world: user32, comctl32, comdlg32 and shell32, with
// the dialog templates compiled into the module.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "ui/module.h"
#include "ui/system.h"

namespace srtm::ui {

static_assert(kWmCreate == WM_CREATE && kWmDestroy == WM_DESTROY && kWmClose == WM_CLOSE, "messages");
static_assert(kWmSetText == WM_SETTEXT && kWmGetText == WM_GETTEXT && kWmNextDlgCtl == WM_NEXTDLGCTL, "messages");
static_assert(kWmInitDialog == WM_INITDIALOG && kWmCommand == WM_COMMAND && kWmEnterIdle == WM_ENTERIDLE, "messages");
static_assert(kDmGetDefId == DM_GETDEFID && kDmSetDefId == DM_SETDEFID && kDcHasDefId == DC_HASDEFID, "dialog");
static_assert(kPbmSetRange == PBM_SETRANGE && kPbmSetPos == PBM_SETPOS && kPbmGetPos == PBM_GETPOS, "progress");
static_assert(kBmGetCheck == BM_GETCHECK && kBmSetCheck == BM_SETCHECK && kBmClick == BM_CLICK, "buttons");
static_assert(kWsCaption == WS_CAPTION && kWsVisible == WS_VISIBLE && kWsChild == WS_CHILD, "styles");
static_assert(kSwpNoZOrder == SWP_NOZORDER && kSwpNoMove == SWP_NOMOVE && kSwpNoSize == SWP_NOSIZE, "flags");
static_assert(kSmCxScreen == SM_CXSCREEN && kSmCyScreen == SM_CYSCREEN && kSmCxMinTrack == SM_CXMINTRACK, "metrics");
static_assert(kSwShowNormal == SW_SHOWNORMAL && kSwHide == SW_HIDE && kSwShow == SW_SHOW, "show");
static_assert(kOfnExplorer == OFN_EXPLORER && kOfnHideReadOnly == OFN_HIDEREADONLY, "file dialog");
static_assert(kOpenFileNameSize == offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR), "OPENFILENAMEA up to lpTemplateName");

namespace {

HINSTANCE g_instance = nullptr;
std::vector<std::string> g_classes;  // registered by this module
// Dialogs carry their template ID as a window property, so a scripted user can tell
// the plug-in's dialogs apart on a real screen.
const char kTemplateProperty[] = "srtm.template";
const char kDialogClass[] = "#32770";

struct DialogStart {
  MessageTarget* target;
  int templateId;
};

HWND H(Handle window) { return static_cast<HWND>(window); }

bool IsDialogWindow(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return std::strcmp(name, kDialogClass) == 0;
}

// The progress bar's class must be registered before a template that uses it is loaded.
void NeedCommonControls() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)done;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  MessageTarget* target;
  if (message == WM_INITDIALOG) {
    const auto* start = reinterpret_cast<const DialogStart*>(lparam);
    target = start->target;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(target));
    SetPropA(window, kTemplateProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(start->templateId)));
  } else {
    target = reinterpret_cast<MessageTarget*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kTemplateProperty);
    SetWindowLongPtrA(window, DWLP_USER, 0);
  }
  if (!target) return FALSE;
  bool handled = false;
  const std::intptr_t result = target->OnMessage(window, message, wparam, message == WM_INITDIALOG ? 0 : lparam, &handled);
  if (message == WM_INITDIALOG) return result;
  if (handled) SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return handled ? TRUE : FALSE;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* target = reinterpret_cast<MessageTarget*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (target) {
    bool handled = false;
    const std::intptr_t result = target->OnMessage(window, message, wparam, lparam, &handled);
    if (handled) return result;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

void SetModuleInstance(void* instance) { g_instance = static_cast<HINSTANCE>(instance); }

void ReleaseModule() {
  for (const std::string& name : g_classes) UnregisterClassA(name.c_str(), g_instance);
  g_classes.clear();
}

namespace sys {

int RunModal(int templateId, Handle owner, MessageTarget* target) {
  NeedCommonControls();
  DialogStart start{target, templateId};
  return static_cast<int>(DialogBoxParamA(g_instance, MAKEINTRESOURCEA(templateId), H(owner), DialogProc,
                                          reinterpret_cast<LPARAM>(&start)));
}

Handle CreateModeless(int templateId, Handle parent, MessageTarget* target) {
  NeedCommonControls();
  DialogStart start{target, templateId};
  return CreateDialogParamA(g_instance, MAKEINTRESOURCEA(templateId), H(parent), DialogProc,
                            reinterpret_cast<LPARAM>(&start));
}

bool EndModal(Handle dialog, int result) { return EndDialog(H(dialog), result) != FALSE; }

bool RegisterWindowClass(const char* name, unsigned classStyle) {
  WNDCLASSA windowClass{};
  windowClass.style = classStyle;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = g_instance;
  windowClass.lpszClassName = name;
  if (RegisterClassA(&windowClass)) {
    g_classes.emplace_back(name);
    return true;
  }
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

Handle CreatePlainWindow(const char* className, const char* title, unsigned style, int x, int y, int width,
                         int height, Handle owner, MessageTarget* target) {
  return CreateWindowExA(0, className, title, style, x, y, width, height, H(owner), nullptr, g_instance, target);
}

void DetachTarget(Handle window) {
  if (!IsWindow(H(window))) return;
  if (IsDialogWindow(H(window))) {
    SetWindowLongPtrA(H(window), DWLP_USER, 0);
  } else {
    SetWindowLongPtrA(H(window), GWLP_USERDATA, 0);
  }
}

bool Destroy(Handle window) { return DestroyWindow(H(window)) != FALSE; }
bool Exists(Handle window) { return window && IsWindow(H(window)) != FALSE; }
Handle Item(Handle dialog, int id) { return GetDlgItem(H(dialog), id); }
Handle Parent(Handle window) { return GetParent(H(window)); }
bool SetText(Handle window, const std::string& text) { return SetWindowTextA(H(window), text.c_str()) != FALSE; }

std::string Text(Handle window) {
  const int length = GetWindowTextLengthA(H(window));
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(H(window), &text[0], length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

bool Enable(Handle window, bool enable) { return EnableWindow(H(window), enable ? TRUE : FALSE) != FALSE; }
bool IsEnabled(Handle window) { return IsWindowEnabled(H(window)) != FALSE; }
bool Show(Handle window, int command) { return ShowWindow(H(window), command) != FALSE; }
bool IsVisible(Handle window) { return IsWindowVisible(H(window)) != FALSE; }
Handle Focus(Handle window) { return SetFocus(H(window)); }

std::intptr_t Send(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
  return SendMessageA(H(window), message, wparam, lparam);
}

bool WindowRect(Handle window, Rect* rect) {
  RECT r;
  if (!GetWindowRect(H(window), &r)) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

bool ClientRect(Handle window, Rect* rect) {
  RECT r;
  if (!GetClientRect(H(window), &r)) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

bool SetPos(Handle window, Handle insertAfter, int x, int y, int width, int height, unsigned flags) {
  return SetWindowPos(H(window), H(insertAfter), x, y, width, height, flags) != FALSE;
}

int Metric(int index) { return GetSystemMetrics(index); }

bool FileNameDialog(OpenFileNameRecord* record, bool open) {
  OPENFILENAMEA ofn;
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = record->structSize;
  ofn.hwndOwner = H(record->owner);
  ofn.hInstance = static_cast<HINSTANCE>(record->instance);
  ofn.lpstrFilter = record->filter;
  ofn.lpstrCustomFilter = record->customFilter;
  ofn.nMaxCustFilter = record->maxCustomFilter;
  ofn.nFilterIndex = record->filterIndex;
  ofn.lpstrFile = record->file;
  ofn.nMaxFile = record->maxFile;
  ofn.lpstrFileTitle = record->fileTitle;
  ofn.nMaxFileTitle = record->maxFileTitle;
  ofn.lpstrInitialDir = record->initialDir;
  ofn.lpstrTitle = record->title;
  ofn.Flags = record->flags;
  ofn.lpstrDefExt = record->defaultExtension;
  ofn.lCustData = record->customData;
  ofn.lpTemplateName = record->templateName;
  const BOOL chosen = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
  record->filterIndex = ofn.nFilterIndex;
  record->flags = ofn.Flags;
  record->fileOffset = ofn.nFileOffset;
  record->fileExtension = ofn.nFileExtension;
  return chosen != FALSE;
}

void Execute(Handle owner, const char* verb, const char* file, const char* parameters, const char* directory,
             int show) {
  ShellExecuteA(H(owner), verb, file, parameters, directory, show);
}

}  // namespace sys
}  // namespace srtm::ui

// The scripted user's screen in the Win32 world: the thread's real windows, read and
// driven with Win32 messages as a person's clicks and keys reach them.
#include <windows.h>
#include <commctrl.h>

#include "testhost/screen.h"

namespace srtm::host {
namespace {

// The plug-in's window layer attaches each dialog's template ID under this name.
const char kTemplateProperty[] = "srtm.template";
constexpr DWORD kIdleLimitMs = 10000;

HWND H(void* window) { return static_cast<HWND>(window); }

int TemplateOf(HWND window) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(window, kTemplateProperty)));
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectChildDialogs(HWND window, LPARAM param) {
  if (TemplateOf(window) && IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

class Win32Screen : public Screen {
 public:
  std::vector<std::pair<Window, int>> Dialogs() override {
    std::vector<HWND> tops;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&tops));  // topmost first
    std::vector<std::pair<Window, int>> out;
    for (HWND top : tops) {
      if (!IsWindowVisible(top)) continue;
      std::vector<HWND> children;
      EnumChildWindows(top, CollectChildDialogs, reinterpret_cast<LPARAM>(&children));
      for (HWND child : children) out.emplace_back(child, TemplateOf(child));
      if (TemplateOf(top)) out.emplace_back(top, TemplateOf(top));
    }
    return out;
  }
  Window Control(Window dialog, int id) override { return GetDlgItem(H(dialog), id); }
  Window ActiveDialog() override {
    for (HWND w = GetFocus(); w; w = GetParent(w)) {
      if (TemplateOf(w)) return w;
    }
    for (const auto& dialog : Dialogs()) {
      if (Reachable(dialog.first)) return dialog.first;
    }
    return nullptr;
  }
  std::string Text(Window window) override {
    char text[4096] = {};
    GetWindowTextA(H(window), text, sizeof text);
    return text;
  }
  int Check(Window control) override { return static_cast<int>(SendMessageA(H(control), BM_GETCHECK, 0, 0)); }
  bool Enabled(Window window) override { return IsWindowEnabled(H(window)) != FALSE; }
  bool Visible(Window window) override { return IsWindowVisible(H(window)) != FALSE; }
  bool Reachable(Window window) override {
    for (HWND w = H(window); w; w = (GetWindowLongA(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr) {
      if (!IsWindowVisible(w) || !IsWindowEnabled(w)) return false;
    }
    return true;
  }
  int Position(Window progressBar) override {
    return static_cast<int>(SendMessageA(H(progressBar), PBM_GETPOS, 0, 0));
  }
  int DefaultId(Window dialog) override {
    const LRESULT answer = SendMessageA(H(dialog), DM_GETDEFID, 0, 0);
    return HIWORD(answer) == DC_HASDEFID ? LOWORD(answer) : 0;
  }
  int FocusId() override {
    HWND focus = GetFocus();
    return focus ? GetDlgCtrlID(focus) : 0;
  }

  void Type(Window edit, const std::string& text) override { SetWindowTextA(H(edit), text.c_str()); }
  void Click(Window control) override { SendMessageA(H(control), BM_CLICK, 0, 0); }
  // What the dialog manager makes of Esc and Enter (IsDialogMessage).
  void PressEscape() override {
    if (HWND dialog = H(ActiveDialog())) {
      SendMessageA(dialog, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    }
  }
  void PressEnter() override {
    HWND dialog = H(ActiveDialog());
    if (!dialog) return;
    const int id = DefaultId(dialog);
    HWND button = id ? GetDlgItem(dialog, id) : nullptr;
    if (button && IsWindowEnabled(button)) {
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else {
      SendMessageA(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    }
  }
  bool AnswerFileDialog(bool, const std::string&) override { return false; }
  bool Idle() override {
    if (idleSince_ == 0) idleSince_ = GetTickCount();
    if (GetTickCount() - idleSince_ > kIdleLimitMs) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
    return true;
  }

 private:
  DWORD idleSince_ = 0;
};

}  // namespace

std::unique_ptr<Screen> MakeScreen() { return std::make_unique<Win32Screen>(); }

}  // namespace srtm::host

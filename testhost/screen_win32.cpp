// The scripted user's screen in the Win32 world: the thread's real windows, read and
// driven with Win32 messages as a person's clicks and keys reach them.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <deque>

#include "testhost/host_state.h"
#include "testhost/screen.h"
#include "testhost/shot_win32.h"
#include "testhost/win32_windows.h"

namespace srtm::host {
namespace {

constexpr DWORD kIdleLimitMs = 10000;

HWND H(void* window) { return static_cast<HWND>(window); }

// The common open and save dialogs: a system dialog with the file-name box (cmb13) and
// the file-type list (cmb1).
BOOL CALLBACK FindFileDialog(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && IsWindowEnabled(window) && !TemplateOf(window) && ClassOf(window) == "#32770" &&
      GetDlgItem(window, cmb13) && GetDlgItem(window, cmb1)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

HWND ShownFileDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindFileDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string ItemText(HWND combo, int index) {
  const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return "";
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<std::size_t>(length));
  return text;
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
  bool AnswerFileDialog(bool chosen, const std::string& path) override {
    fileAnswers_.push_back({chosen, path});
    return true;
  }
  // As a person does: types the path into the file-name box and presses the dialog's
  // Open (or Save) button, or presses Cancel. What the dialog offered goes into the
  // call log first: its file types, the selected one marked.
  bool AnswerShownFileDialog() override {
    HWND dialog = ShownFileDialog();
    if (!dialog) return false;
    HWND types = GetDlgItem(dialog, cmb1);
    const LRESULT selected = SendMessageA(types, CB_GETCURSEL, 0, 0);
    std::string offered;
    for (LRESULT i = 0, n = SendMessageA(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
      offered += std::string(i ? " | " : "") + (i == selected ? "*" : "") + ItemText(types, static_cast<int>(i));
    }
    Log("ui file dialog types %s", offered.c_str());
    const FileAnswer answer = fileAnswers_.empty() ? FileAnswer{false, ""} : fileAnswers_.front();
    if (!fileAnswers_.empty()) fileAnswers_.pop_front();
    if (answer.chosen) {
      SetDlgItemTextA(dialog, cmb13, answer.path.c_str());
      SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    } else {
      SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    }
    return true;
  }

  bool HasPixels() const override { return true; }
  std::vector<std::string> Shoot(Window dialog, const std::string& path) override {
    const RgbImage image = CaptureTopLevel(H(dialog));
    std::vector<std::string> problems = CheckLegible(GetAncestor(H(dialog), GA_ROOT), image);
    if (!path.empty()) {
      const std::string problem = picture::WritePng(image, path);
      if (!problem.empty()) problems.push_back(problem);
    }
    return problems;
  }
  bool DrawnIn(Window dialog, const std::string& family, std::string* why) override {
    return DrawnInFamily(H(dialog), family, why);
  }
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
  struct FileAnswer {
    bool chosen;
    std::string path;
  };
  DWORD idleSince_ = 0;
  std::deque<FileAnswer> fileAnswers_;
};

}  // namespace

std::unique_ptr<Screen> MakeScreen() { return std::make_unique<Win32Screen>(); }

}  // namespace srtm::host

// The stand-in host's desktop and the QLP_ operations that belong to it: QLP_GetMainWnd,
// QLP_Pump and QLP_ShellFolder.
#include "testhost/desktop.h"

#include <cstring>
#include <deque>

#include "testhost/host_state.h"

#if defined(_WIN32)
#include <windows.h>
#include <commctrl.h>

#include "testhost/win32_windows.h"
#else
#include "ui/headless/window_store.h"
#endif

namespace srtm::host {
namespace {

struct FolderAnswer {
  bool chosen;
  std::string folder;
};

struct Desktop {
  User* user = nullptr;
  int pumps = 0;
  std::deque<FolderAnswer> folderAnswers;
  std::string lastFolderStart;
};

Desktop& Here() {
  static Desktop desktop;
  return desktop;
}

constexpr char kMainClass[] = "QLPHostMain";

#if defined(_WIN32)

HWND g_main = nullptr;
// While a user is at the desktop a timer ticks, so that modal loops waiting for input
// wake up, go idle again and let the user look once more.
constexpr UINT_PTR kUserTimer = 0x5155;
constexpr DWORD kStallMs = 10000;
DWORD g_lastAct = 0;

// Modal loops owned by the main window (the plug-in's dialogs, message boxes) tell it
// when they wait for input: the user acts then. A dialog nobody acts on for long is
// closed as a user would close it.
LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ENTERIDLE && wparam == MSGF_DIALOGBOX) {
    if (Here().user && Here().user->RunDue()) {
      g_lastAct = GetTickCount();
    } else if (GetTickCount() - g_lastAct > kStallMs) {
      PostMessageA(reinterpret_cast<HWND>(lparam), WM_COMMAND, IDCANCEL, 0);
      g_lastAct = GetTickCount();
    }
    return 0;
  }
  if (message == WM_TIMER && wparam == kUserTimer) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

// The window system's notable events go into the host's call log, in order with the
// QLP_ calls and named as the headless window system names them: dialogs and top-level
// windows created and destroyed, shown and hidden, top-level windows enabled, progress
// bars moved. A moved progress bar also lets the user look at the screen.
LRESULT CALLBACK BeforeProc(int code, WPARAM wparam, LPARAM lparam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION) {
    const std::string name = WindowName(call->hwnd);
    if (!name.empty()) {
      switch (call->message) {
        case WM_DESTROY:
          Log("ui destroy %s", name.c_str());
          break;
        case WM_ENABLE:
          Log("ui enable %s %d", name.c_str(), call->wParam ? 1 : 0);
          break;
        case WM_SHOWWINDOW:
          if (TemplateOf(call->hwnd) && (call->wParam != 0) != (IsWindowVisible(call->hwnd) != 0)) {
            Log("ui %s %s", call->wParam ? "show" : "hide", name.c_str());
          }
          break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK AfterProc(int code, WPARAM wparam, LPARAM lparam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION) {
    if ((call->message == WM_INITDIALOG || call->message == WM_CREATE) && call->lResult != -1) {
      const std::string name = WindowName(call->hwnd);
      if (!name.empty()) Log("ui create %s", name.c_str());
    } else if (call->message == PBM_SETPOS) {
      const std::string name = WindowName(GetParent(call->hwnd));
      const LRESULT now = SendMessageA(call->hwnd, PBM_GETPOS, 0, 0);
      if (!name.empty() && now != call->lResult) {
        Log("ui progress %s %d", name.c_str(), static_cast<int>(now));
        if (Here().user) Here().user->Look();
      }
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void WatchWindows() {
  static const bool hooked = [] {
    SetWindowsHookExA(WH_CALLWNDPROC, BeforeProc, nullptr, GetCurrentThreadId());
    SetWindowsHookExA(WH_CALLWNDPROCRET, AfterProc, nullptr, GetCurrentThreadId());
    return true;
  }();
  (void)hooked;
}

HWND Main() {
  if (g_main && IsWindow(g_main)) return g_main;
  WatchWindows();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = MainProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kMainClass;
  RegisterClassA(&windowClass);
  g_main = CreateWindowExA(0, kMainClass, "QUELMAR (stand-in)", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 800, 600,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return g_main;
}

// What the host's loop does with a message: dialogs (and the wizard's pages, which are
// child dialogs) get their keyboard handling first.
void DispatchOne(MSG& msg) {
  HWND dialog = nullptr;
  char name[16];
  for (HWND w = msg.hwnd; w; w = (GetWindowLongA(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr) {
    if (GetClassNameA(w, name, sizeof name) && std::strcmp(name, "#32770") == 0) dialog = w;
  }
  if (dialog && IsDialogMessageA(dialog, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

#else

using ui::headless::Store;

QLP_HWND g_main = nullptr;

// Adapts the host's user to the window store's.
class StoreUser : public ui::headless::User {
 public:
  bool RunDue() override { return Here().user && Here().user->RunDue(); }
} g_storeUser;

QLP_HWND Main() {
  if (g_main && Store().Exists(g_main)) return g_main;
  Store().RegisterWindowClass(kMainClass, 0);
  g_main = Store().CreatePlainWindow(kMainClass, "QUELMAR (stand-in)", 0x10CF0000u /* WS_OVERLAPPEDWINDOW | WS_VISIBLE */,
                                     100, 80, 800, 600, nullptr, nullptr);
  Store().SetUser(&g_storeUser);
  // The window system's notable events go into the host's call log, in order with the
  // QLP_ calls.
  Store().SetEventListener([](const std::string& line) {
    Log("ui %s", line.c_str());
    // A moved progress bar lets the user look at the screen.
    if (line.rfind("progress ", 0) == 0 && Here().user) Here().user->Look();
  });
  return g_main;
}

#endif

const MenuItem* FindMenu(const std::string& text) {
  for (const MenuItem& item : State().menuItems) {
    if (!item.callback) continue;
    if (item.text == text || (!text.empty() && item.text.compare(0, text.size(), text) == 0)) return &item;
  }
  return nullptr;
}

}  // namespace

void ResetDesktop() {
  Here() = Desktop();
#if defined(_WIN32)
  if (g_main && IsWindow(g_main)) DestroyWindow(g_main);
  g_main = nullptr;
#else
  Store().Reset();
  g_main = nullptr;
#endif
}

QLP_HWND MainWindow() { return Main(); }

bool MainWindowEnabled() {
#if defined(_WIN32)
  return IsWindowEnabled(Main()) != FALSE;
#else
  return Store().IsEnabled(Main());
#endif
}

User* SetUser(User* user) {
  Main();
  User* previous = Here().user;
  Here().user = user;
#if defined(_WIN32)
  g_lastAct = GetTickCount();
  if (user) {
    SetTimer(Main(), kUserTimer, 20, nullptr);
  } else {
    KillTimer(Main(), kUserTimer);
  }
#endif
  return previous;
}

int PumpCount() { return Here().pumps; }

void QueueFolderAnswer(const std::string& folder) { Here().folderAnswers.push_back({true, folder}); }
void QueueFolderCancel() { Here().folderAnswers.push_back({false, ""}); }
std::string LastFolderChooserStart() { return Here().lastFolderStart; }

MenuClick ClickMenu(const std::string& text, std::int32_t* answer) {
  const MenuItem* item = FindMenu(text);
  if (!item) return MenuClick::kNotFound;
  if (!MainWindowEnabled()) return MenuClick::kMainWindowDisabled;
  const QLP_CALLBACK callback = item->callback;  // the item may move while the command runs
  std::int32_t enabled = 0;
  callback(QLP_MSG_MENU_QUERY_ENABLED, 0, reinterpret_cast<QLP_DATA>(&enabled));
  if (!enabled) return MenuClick::kGreyed;
  const std::int32_t result = callback(QLP_MSG_MENU_RUN, 0, 0);
  if (answer) *answer = result;
  return MenuClick::kRan;
}

bool MenuEnabled(const std::string& text, bool* enabled) {
  const MenuItem* item = FindMenu(text);
  if (!item) return false;
  std::int32_t state = 0;
  item->callback(QLP_MSG_MENU_QUERY_ENABLED, 0, reinterpret_cast<QLP_DATA>(&state));
  *enabled = state != 0;
  return true;
}

}  // namespace srtm::host

extern "C" {

QLP_HWND QLPAPI QLP_GetMainWnd(void) { return srtm::host::Main(); }

// The folder chooser is the scripted user's: the next queued answer, or Cancel.
int32_t QLPAPI QLP_ShellFolder(QLP_HWND owner, char* path) {
  using srtm::host::Here;
  if (!path) return 0;
  Here().lastFolderStart.assign(path, strnlen(path, QLP_MAX_PATH));
  srtm::host::Log("QLP_ShellFolder %s", Here().lastFolderStart.c_str());
  if (Here().folderAnswers.empty()) return 0;
  const auto answer = Here().folderAnswers.front();
  Here().folderAnswers.pop_front();
  if (!answer.chosen || answer.folder.size() >= QLP_MAX_PATH) return 0;
  std::memcpy(path, answer.folder.c_str(), answer.folder.size() + 1);
  return 1;
}

int32_t QLPAPI QLP_Pump(void) {
  using srtm::host::Here;
  ++Here().pumps;
#if defined(_WIN32)
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) srtm::host::DispatchOne(msg);
  if (Here().user) Here().user->RunDue();
#else
  srtm::ui::headless::Store().Pump();
#endif
  return 1;
}

}  // extern "C"

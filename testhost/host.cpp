// The host side of the stand-in host: its state, the record, loading a plug-in, and
// catching the plug-in's message boxes.
#include "testhost/host.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "testhost/host_state.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace srtm::host {

HostState& State() {
  static HostState state;
  return state;
}

void Log(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  State().callLog.push_back(line);
}

std::string HexBytes(const void* data, std::size_t size) {
  std::string out;
  const auto* p = static_cast<const std::uint8_t*>(data);
  char hex[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", p[i]);
    out += hex;
  }
  return out;
}

void Reset() { State() = HostState(); }
void SetVersion(std::int32_t version) { State().version = version; }

std::vector<HookRegistration> MapSourceHooks() { return Hooks(0); }

std::vector<HookRegistration> Hooks(std::int32_t kind) {
  std::vector<HookRegistration> out;
  for (const auto& hook : State().hooks) {
    if (hook.kind == kind) out.push_back(hook);
  }
  return out;
}

std::vector<MapSetIdRequest> MapSetIdRequests() { return State().mapSetIdRequests; }
std::vector<XemHookRegistration> XemHooks() { return State().xemHooks; }
std::vector<UserIdInfoRegistration> UserIdInfos() { return State().userIdInfos; }
std::vector<DiskLimit> DiskLimits() { return State().diskLimits; }
std::vector<MenuItem> MenuItems() { return State().menuItems; }
std::vector<std::string> CallLog() { return State().callLog; }
void ClearCallLog() { State().callLog.clear(); }

QLP_HANDLE AddMap(const MapDescription& map) {
  QLP_HANDLE handle = State().nextMap++;
  State().maps[handle] = MapState{map};
  return handle;
}
void SetActiveBaseMap(QLP_HANDLE map) { State().activeBaseMap = map; }
void SetActiveCoverMap(QLP_HANDLE map) { State().activeCoverMap = map; }

QLP_HANDLE AddView(double latitude, double longitude) {
  QLP_HANDLE handle = State().nextView++;
  State().views[handle].center = tagGEOPOS{latitude, longitude};
  return handle;
}
void SetActiveView(QLP_HANDLE view) { State().activeView = view; }

// ---- Message boxes ----

#if defined(_WIN32)
namespace {
std::mutex g_boxMutex;
std::vector<platform::MessageBoxRecord> g_boxes;
HHOOK g_cbtHook = nullptr;

BOOL CALLBACK FindIcon(HWND child, LPARAM param) {
  HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  if (!icon) return TRUE;
  *reinterpret_cast<HICON*>(param) = icon;
  return FALSE;
}

BOOL CALLBACK FindLongestStatic(HWND child, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    char text[2048] = {};
    GetWindowTextA(child, text, sizeof text);
    auto* best = reinterpret_cast<std::string*>(param);
    if (std::strlen(text) > best->size()) *best = text;
  }
  return TRUE;
}

// The icon of a message box, told from the shared system icon its icon control shows.
unsigned IconOf(HWND box) {
  struct Candidate {
    LPCSTR id;
    unsigned type;
  } candidates[] = {{IDI_HAND, platform::kMbIconError},
                    {IDI_QUESTION, platform::kMbIconQuestion},
                    {IDI_EXCLAMATION, platform::kMbIconExclamation},
                    {IDI_ASTERISK, platform::kMbIconInformation}};
  HICON shown = nullptr;
  EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&shown));
  for (const auto& c : candidates) {
    if (shown && LoadIconA(nullptr, c.id) == shown) return c.type;
  }
  return 0;
}

// Answers every message box of the thread with its default button, after noting what
// it showed: the caption, the longest static text and the icon.
LRESULT CALLBACK CbtProc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wparam);
    char className[32] = {};
    GetClassNameA(box, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && ((GetDlgItem(box, IDOK) == nullptr &&
        GetDlgItem(box, IDYES) == nullptr) || GetPropA(box, "srtm.template") != nullptr)) {
      // Not a message box (those have OK or Yes; the plug-in's own dialogs carry their
      // template ID); dialogs are the scripted user's.
    } else if (std::strcmp(className, "#32770") == 0) {
      platform::MessageBoxRecord record;
      char caption[512] = {};
      GetWindowTextA(box, caption, sizeof caption);
      record.caption = caption;
      std::string longest;
      EnumChildWindows(box, FindLongestStatic, reinterpret_cast<LPARAM>(&longest));
      record.text = longest;
      record.type = IconOf(box);
      {
        std::lock_guard<std::mutex> lock(g_boxMutex);
        g_boxes.push_back(record);
      }
      HWND button = GetDlgItem(box, IDOK) ? GetDlgItem(box, IDOK) : GetDlgItem(box, IDYES);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }
  }
  return CallNextHookEx(g_cbtHook, code, wparam, lparam);
}
}  // namespace

void StartCapturingMessageBoxes() {
  if (!g_cbtHook) g_cbtHook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}
std::vector<platform::MessageBoxRecord> ShownMessageBoxes() {
  std::lock_guard<std::mutex> lock(g_boxMutex);
  return g_boxes;
}
void ClearShownMessageBoxes() {
  std::lock_guard<std::mutex> lock(g_boxMutex);
  g_boxes.clear();
}
#else
void StartCapturingMessageBoxes() {}
std::vector<platform::MessageBoxRecord> ShownMessageBoxes() { return platform::RecordedMessageBoxes(); }
void ClearShownMessageBoxes() { platform::ClearRecordedMessageBoxes(); }
#endif

// ---- Plugin ----

namespace {
#if defined(_WIN32)
void* OpenModule(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) *error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return module;
}
void* FindEntry(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
void CloseModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
#else
void* OpenModule(const std::string& path, std::string* error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) *error = dlerror();
  return module;
}
void* FindEntry(void* module, const char* name) { return dlsym(module, name); }
void CloseModule(void* module) { dlclose(module); }
#endif

template <typename Proc>
bool Bind(void* module, const char* name, Proc* proc, std::string* error) {
  *proc = reinterpret_cast<Proc>(FindEntry(module, name));
  if (!*proc) *error = std::string("the plug-in has no entry point ") + name;
  return *proc != nullptr;
}
}  // namespace

Plugin::~Plugin() { Unload(); }

bool Plugin::Load(const std::string& path) {
  Unload();
  error_.clear();
  module_ = OpenModule(path, &error_);
  if (!module_) return false;
  if (!Bind(module_, "Create", &create_, &error_) || !Bind(module_, "Load", &load_, &error_) ||
      !Bind(module_, "Close", &close_, &error_) || !Bind(module_, "Release", &release_, &error_) ||
      !Bind(module_, "About", &about_, &error_)) {
    Unload();
    return false;
  }
  return true;
}

void Plugin::Unload() {
  if (module_) CloseModule(module_);
  module_ = nullptr;
  create_ = nullptr;
  load_ = nullptr;
  close_ = nullptr;
  release_ = nullptr;
  about_ = nullptr;
}

std::int32_t Plugin::Create(PluginInfo* info, QLP_HANDLE handle) { return create_(info, handle); }
std::int32_t Plugin::LoadMenus() { return load_(); }
std::int32_t Plugin::Close() { return close_(); }
void Plugin::Release() { release_(); }
std::int32_t Plugin::About() { return about_(); }

}  // namespace srtm::host

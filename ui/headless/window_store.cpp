#include "ui/headless/window_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/platform.h"

namespace srtm::ui::headless {

// A window: what tests see of it (its rect relative to the parent's client area for
// children), and the store's own bookkeeping.
struct WindowStore::Window : WindowInfo {
  MessageTarget* target = nullptr;
  bool modal = false;
  bool ended = false;
  int result = 0;
  int defId = 0;
  bool destroying = false;
  std::uint64_t z = 0;
};

namespace {

constexpr int kCaptionHeight = 19;
constexpr int kMinTrackWidth = 136;
constexpr int kMinTrackHeight = 39;
constexpr unsigned kButtonTypeMask = 0xF;
constexpr unsigned kBsPushButton = 0x0;
constexpr unsigned kBsCheckBox = 0x2;
constexpr unsigned kBsAutoCheckBox = 0x3;
constexpr unsigned kBs3State = 0x5;
constexpr unsigned kBsAuto3State = 0x6;
constexpr unsigned kBsGroupBox = 0x7;

Handle ToHandle(std::uintptr_t value) { return reinterpret_cast<Handle>(value); }
std::uintptr_t FromHandle(Handle handle) { return reinterpret_cast<std::uintptr_t>(handle); }

int MulDivRound(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  return static_cast<int>(product >= 0 ? (product + denominator / 2) / denominator
                                       : -((-product + denominator / 2) / denominator));
}

Kind KindOf(const std::string& className, unsigned style) {
  if (strcasecmp(className.c_str(), "Button") == 0) {
    switch (style & kButtonTypeMask) {
      case kBsCheckBox:
      case kBsAutoCheckBox:
      case kBs3State:
      case kBsAuto3State:
        return Kind::kCheckBox;
      case kBsGroupBox:
        return Kind::kOther;
      default:
        return Kind::kButton;
    }
  }
  if (strcasecmp(className.c_str(), "Edit") == 0) return Kind::kEdit;
  if (strcasecmp(className.c_str(), "Static") == 0) return Kind::kStatic;
  if (strcasecmp(className.c_str(), "msctls_progress32") == 0) return Kind::kProgress;
  return Kind::kOther;
}

// Width of the frame on each side, and of the caption, for a window's style.
int BorderOf(Kind kind, unsigned style) {
  if (style & kWsThickFrame) return 4;
  if ((style & kWsDlgFrame) || (kind == Kind::kDialog && (style & kDsModalFrame))) return 3;
  if (style & kWsBorder) return 1;
  return 0;
}
int CaptionOf(unsigned style) { return (style & kWsCaption) == kWsCaption ? kCaptionHeight : 0; }

std::string Hex(Handle handle) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(FromHandle(handle)));
  return text;
}

}  // namespace

Rect DialogUnitsToPixels(int pointSize, int x, int y, int cx, int cy) {
  // Base units of the dialog font: the average character width and the height.
  const int baseX = pointSize > 0 ? (pointSize * 2 + 1) / 3 : 8;
  const int baseY = pointSize > 0 ? pointSize * 4 / 3 : 16;
  Rect r;
  r.left = MulDivRound(x, baseX, 4);
  r.top = MulDivRound(y, baseY, 8);
  r.right = r.left + MulDivRound(cx, baseX, 4);
  r.bottom = r.top + MulDivRound(cy, baseY, 8);
  return r;
}

WindowStore::WindowStore() = default;
WindowStore::~WindowStore() = default;

WindowStore& Store() {
  static WindowStore store;
  return store;
}

// ---- Lookup and bookkeeping ----

WindowStore::Window* WindowStore::Find(Handle window) {
  auto it = windows_.find(FromHandle(window));
  return it == windows_.end() ? nullptr : it->second.get();
}

const WindowStore::Window* WindowStore::Find(Handle window) const {
  auto it = windows_.find(FromHandle(window));
  return it == windows_.end() ? nullptr : it->second.get();
}

Handle WindowStore::NewWindow(std::unique_ptr<Window> window) {
  const std::uintptr_t handle = nextHandle_++;
  windows_[handle] = std::move(window);
  return ToHandle(handle);
}

void WindowStore::Event(const std::string& line) {
  events_.push_back(line);
  if (listener_) listener_(line);
}

void WindowStore::SetEventListener(std::function<void(const std::string&)> listener) { listener_ = std::move(listener); }

std::string WindowStore::Name(Handle window) const {
  const Window* w = Find(window);
  if (!w) return Hex(window);
  if (w->kind == Kind::kDialog) return "dialog " + std::to_string(w->templateId);
  if (w->kind == Kind::kFrame) return "window " + w->className;
  return "control " + std::to_string(w->id);
}

Handle WindowStore::TopLevelOf(Handle window) const {
  const Window* w = Find(window);
  while (w && w->parent) {
    window = w->parent;
    w = Find(window);
  }
  return w ? window : nullptr;
}

Handle WindowStore::DialogOf(Handle window) const {
  for (const Window* w = Find(window); w; w = Find(window)) {
    if (w->kind == Kind::kDialog) return window;
    window = w->parent;
  }
  return nullptr;
}

void WindowStore::BringToTop(Handle window) {
  if (Window* w = Find(TopLevelOf(window))) w->z = ++zCounter_;
}

void WindowStore::Reset() {
  windows_.clear();
  classes_.clear();
  focus_ = nullptr;
  screenWidth_ = 1280;
  screenHeight_ = 1024;
  user_ = nullptr;
  pumpCount_ = 0;
  events_.clear();
  listener_ = nullptr;
  fileAnswers_.clear();
  fileDialogs_.clear();
}

void WindowStore::SetScreenSize(int width, int height) {
  screenWidth_ = width;
  screenHeight_ = height;
}

void WindowStore::SetUser(User* user) { user_ = user; }

void WindowStore::Pump() {
  ++pumpCount_;
  if (user_) user_->RunDue();
}

// ---- Messages ----

std::intptr_t WindowStore::Deliver(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam,
                                   bool* handled) {
  *handled = false;
  Window* w = Find(window);
  if (!w || !w->target) return 0;
  // The window may be gone when the target returns: nothing of it is touched afterwards.
  return w->target->OnMessage(window, message, wparam, lparam, handled);
}

std::intptr_t WindowStore::Send(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
  Window* w = Find(window);
  if (!w) return 0;
  if (message == kWmSetText) {
    w->text = lparam ? reinterpret_cast<const char*>(lparam) : "";
    return 1;
  }
  if (message == kWmGetText) {
    if (wparam == 0 || !lparam) return 0;
    const std::size_t n = std::min<std::size_t>(w->text.size(), wparam - 1);
    std::memcpy(reinterpret_cast<char*>(lparam), w->text.data(), n);
    reinterpret_cast<char*>(lparam)[n] = '\0';
    return static_cast<std::intptr_t>(n);
  }
  switch (w->kind) {
    case Kind::kCheckBox:
    case Kind::kButton:
      if (message == kBmGetCheck) return w->check;
      if (message == kBmSetCheck) {
        w->check = static_cast<int>(wparam);
        return 0;
      }
      if (message == kBmClick) {
        if (!w->enabled) return 0;
        if (w->kind == Kind::kCheckBox && (w->style & kButtonTypeMask) == kBsAutoCheckBox) w->check = w->check ? 0 : 1;
        const Handle parent = w->parent;
        const int id = w->id;
        Focus(window);
        Send(parent, kWmCommand, MakeWParam(static_cast<unsigned>(id), kBnClicked), reinterpret_cast<std::intptr_t>(window));
      }
      return 0;
    case Kind::kProgress:
      if (message == kPbmSetRange) {
        const std::intptr_t previous = MakeLParam(static_cast<unsigned>(w->rangeLow), static_cast<unsigned>(w->rangeHigh));
        w->rangeLow = static_cast<int>(LowWord(static_cast<std::uintptr_t>(lparam)));
        w->rangeHigh = static_cast<int>(HighWord(static_cast<std::uintptr_t>(lparam)));
        w->position = std::clamp(w->position, w->rangeLow, std::max(w->rangeLow, w->rangeHigh));
        return previous;
      }
      if (message == kPbmSetPos) {
        const int previous = w->position;
        w->position = std::clamp(static_cast<int>(static_cast<std::intptr_t>(wparam)), w->rangeLow,
                                 std::max(w->rangeLow, w->rangeHigh));
        if (w->position != previous) Event("progress " + Name(w->parent) + " " + std::to_string(w->position));
        return previous;
      }
      if (message == kPbmGetPos) return w->position;
      return 0;
    case Kind::kDialog: {
      bool handled = false;
      const std::intptr_t result = Deliver(window, message, wparam, lparam, &handled);
      return handled ? result : DialogDefault(window, message, wparam, lparam);
    }
    case Kind::kFrame: {
      bool handled = false;
      const std::intptr_t result = Deliver(window, message, wparam, lparam, &handled);
      if (!handled && message == kWmClose) Destroy(window);
      return result;
    }
    default:
      return 0;
  }
}

// What the dialog manager does with the messages a dialog's code leaves to it.
std::intptr_t WindowStore::DialogDefault(Handle dialog, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
  switch (message) {
    case kDmGetDefId: {
      const int id = DefaultId(dialog);
      return id ? MakeLParam(static_cast<unsigned>(id), kDcHasDefId) : 0;
    }
    case kDmSetDefId:
      SetDefaultButton(dialog, static_cast<int>(wparam));
      return 1;
    case kWmNextDlgCtl: {
      Handle target = nullptr;
      if (lparam) {
        target = reinterpret_cast<Handle>(wparam);
      } else {
        // The next (wparam 0) or previous tab stop after the focus.
        std::vector<Handle> stops;
        for (Handle child : Children(dialog)) {
          const Window* c = Find(child);
          if (c->visible && c->enabled && (c->style & kWsTabStop)) stops.push_back(child);
        }
        if (stops.empty()) return 0;
        auto at = std::find(stops.begin(), stops.end(), focus_);
        std::size_t index = at == stops.end() ? 0 : static_cast<std::size_t>(at - stops.begin());
        if (at != stops.end()) index = wparam ? (index + stops.size() - 1) % stops.size() : (index + 1) % stops.size();
        target = stops[index];
      }
      const Window* t = Find(target);
      if (!t) return 0;
      Focus(target);
      if (t->kind == Kind::kButton) SetDefaultButton(dialog, t->id);
      return 0;
    }
    case kWmClose:
      Command(dialog, kIdCancel, Item(dialog, kIdCancel));
      return 0;
    default:
      return 0;
  }
}

void WindowStore::Command(Handle dialog, int id, Handle control) {
  Send(dialog, kWmCommand, MakeWParam(static_cast<unsigned>(id), kBnClicked), reinterpret_cast<std::intptr_t>(control));
}

int WindowStore::DefaultId(Handle dialog) const {
  const Window* d = Find(dialog);
  if (!d) return 0;
  if (d->defId) return d->defId;
  for (Handle child : Children(dialog)) {
    const Window* c = Find(child);
    if (c->kind == Kind::kButton && (c->style & kButtonTypeMask) == kBsDefPushButton) return c->id;
  }
  return 0;
}

void WindowStore::SetDefaultButton(Handle dialog, int id) {
  Window* d = Find(dialog);
  if (!d) return;
  for (Handle child : Children(dialog)) {
    Window* c = Find(child);
    if (c->kind != Kind::kButton) continue;
    const unsigned type = c->style & kButtonTypeMask;
    if (c->id == id && type == kBsPushButton) c->style = (c->style & ~kButtonTypeMask) | kBsDefPushButton;
    if (c->id != id && type == kBsDefPushButton) c->style = (c->style & ~kButtonTypeMask) | kBsPushButton;
  }
  d->defId = id;
}

// ---- Dialogs ----

Handle WindowStore::CreateDialogWindow(const DialogTemplate& dialog, Handle parent, MessageTarget* target, bool modal) {
  const bool child = (dialog.style & kWsChild) != 0;
  if (child && !Find(parent)) return nullptr;
  auto w = std::make_unique<Window>();
  w->kind = Kind::kDialog;
  w->className = "#32770";
  w->templateId = dialog.id;
  w->text = dialog.caption;
  w->style = dialog.style & ~kWsVisible;
  w->enabled = (dialog.style & kWsDisabled) == 0;
  w->target = target;
  w->modal = modal;
  (child ? w->parent : w->owner) = parent;

  // The client area is the template's size; the frame adds its borders and caption.
  const Rect client = DialogUnitsToPixels(dialog.pointSize, dialog.x, dialog.y, dialog.cx, dialog.cy);
  const int border = BorderOf(Kind::kDialog, dialog.style);
  const int caption = CaptionOf(dialog.style);
  int originX = 0, originY = 0;
  if (!child && Find(parent)) {
    // A pop-up's template position is relative to its owner's client area.
    Rect ownerRect;
    WindowRect(parent, &ownerRect);
    const Window* o = Find(parent);
    originX = ownerRect.left + BorderOf(o->kind, o->style);
    originY = ownerRect.top + BorderOf(o->kind, o->style) + CaptionOf(o->style);
  }
  w->rect.left = originX + client.left;
  w->rect.top = originY + client.top;
  w->rect.right = w->rect.left + client.width() + 2 * border;
  w->rect.bottom = w->rect.top + client.height() + 2 * border + caption;
  const Handle handle = NewWindow(std::move(w));

  for (const ControlTemplate& control : dialog.controls) {
    auto c = std::make_unique<Window>();
    c->kind = KindOf(control.className, control.style);
    c->className = control.className;
    c->id = control.id;
    c->text = control.text;
    c->style = control.style;
    c->visible = (control.style & kWsVisible) != 0;
    c->enabled = (control.style & kWsDisabled) == 0;
    c->parent = handle;
    c->rect = DialogUnitsToPixels(dialog.pointSize, control.x, control.y, control.cx, control.cy);
    NewWindow(std::move(c));
  }
  if (!child) BringToTop(handle);
  Event("create " + Name(handle));

  bool handled = false;
  const std::intptr_t focusDefault = Deliver(handle, kWmInitDialog, 0, 0, &handled);
  if (!Exists(handle)) return nullptr;
  if (focusDefault) FocusFirstTabStop(handle);
  if (dialog.style & kWsVisible) Show(handle, kSwShowNormal);
  return handle;
}

Handle WindowStore::FirstTabStop(Handle dialog) const {
  for (Handle child : Children(dialog)) {
    const Window* c = Find(child);
    if (c->visible && c->enabled && (c->style & kWsTabStop)) return child;
  }
  return nullptr;
}

void WindowStore::FocusFirstTabStop(Handle dialog) {
  const Window* d = Find(dialog);
  if (FirstTabStop(dialog) || (d && !(d->style & kWsChild))) Focus(dialog);
}

int WindowStore::RunModal(const DialogTemplate& dialog, Handle owner, MessageTarget* target) {
  // As DialogBox does: the owner is disabled while the dialog runs.
  const bool disableOwner = Find(owner) && Find(owner)->enabled;
  if (disableOwner) Enable(owner, false);
  const Handle handle = CreateDialogWindow(dialog, owner, target, true);
  int result = -1;
  if (handle) {
    Show(handle, kSwShowNormal);
    while (true) {
      const Window* w = Find(handle);
      if (!w) {
        result = 0;
        break;
      }
      if (w->ended) {
        result = w->result;
        break;
      }
      if (!user_ || !user_->RunDue()) {
        // Nobody will press anything: the dialog is closed as a user would close it.
        Event("modal " + std::to_string(dialog.id) + " left open by the user");
        if (Window* open = Find(handle)) {
          open->ended = true;
          open->result = kIdCancel;
        }
      }
    }
  }
  if (disableOwner && Find(owner)) Enable(owner, true);
  if (handle) Destroy(handle);
  return result;
}

Handle WindowStore::CreateModeless(const DialogTemplate& dialog, Handle parent, MessageTarget* target) {
  return CreateDialogWindow(dialog, parent, target, false);
}

bool WindowStore::EndModal(Handle dialog, int result) {
  Window* w = Find(dialog);
  if (!w || w->kind != Kind::kDialog) return false;
  w->ended = true;
  w->result = result;
  if (!w->modal) Show(dialog, kSwHide);
  return true;
}

// ---- Plain windows ----

bool WindowStore::RegisterWindowClass(const std::string& name, unsigned classStyle) {
  return classes_.emplace(name, classStyle).second;
}

Handle WindowStore::CreatePlainWindow(const std::string& className, const std::string& title, unsigned style, int x,
                                      int y, int width, int height, Handle owner, MessageTarget* target) {
  if (!classes_.count(className)) return nullptr;
  const bool child = (style & kWsChild) != 0;
  if (child && !Find(owner)) return nullptr;
  if (!child && !(style & kWsPopup)) {
    // Overlapped windows are created at least as large as the minimum tracking size.
    width = std::max(width, kMinTrackWidth);
    height = std::max(height, kMinTrackHeight);
  }
  auto w = std::make_unique<Window>();
  w->kind = Kind::kFrame;
  w->className = className;
  w->text = title;
  w->style = style & ~kWsVisible;
  w->enabled = (style & kWsDisabled) == 0;
  w->target = target;
  (child ? w->parent : w->owner) = owner;
  w->rect = Rect{x, y, x + width, y + height};
  const Handle handle = NewWindow(std::move(w));
  if (!child) BringToTop(handle);
  Event("create " + Name(handle));

  bool handled = false;
  const std::intptr_t created = Deliver(handle, kWmCreate, 0, 0, &handled);
  if (created == -1) {
    Destroy(handle);
    return nullptr;
  }
  if (!Exists(handle)) return nullptr;
  if (style & kWsVisible) Show(handle, kSwShow);
  return handle;
}

void WindowStore::DetachTarget(Handle window) {
  if (Window* w = Find(window)) w->target = nullptr;
}

bool WindowStore::Destroy(Handle window) {
  Window* w = Find(window);
  if (!w || w->destroying) return false;
  w->destroying = true;
  w->visible = false;
  Event("destroy " + Name(window));
  // Owned windows go first; then WM_DESTROY reaches the window and, after it, its children.
  for (Handle top : TopLevelWindows()) {
    const Window* t = Find(top);
    if (t && t->owner == window) Destroy(top);
  }
  std::vector<Handle> family{window};
  for (std::size_t i = 0; i < family.size(); ++i) {
    for (Handle child : Children(family[i])) family.push_back(child);
  }
  for (Handle member : family) {
    Window* m = Find(member);
    if (!m) continue;
    m->destroying = true;
    if (member != window && (m->kind == Kind::kDialog || m->kind == Kind::kFrame)) Event("destroy " + Name(member));
    bool handled = false;
    Deliver(member, kWmDestroy, 0, 0, &handled);
  }
  for (Handle member : family) {
    if (focus_ == member) focus_ = nullptr;
    windows_.erase(FromHandle(member));
  }
  return true;
}

bool WindowStore::Exists(Handle window) const { return Find(window) != nullptr; }

Handle WindowStore::Item(Handle dialog, int id) const {
  for (Handle child : Children(dialog)) {
    if (Find(child)->id == id) return child;
  }
  return nullptr;
}

Handle WindowStore::Parent(Handle window) const {
  const Window* w = Find(window);
  if (!w) return nullptr;
  if (w->parent) return w->parent;
  return (w->style & kWsPopup) ? w->owner : nullptr;
}

bool WindowStore::SetText(Handle window, const std::string& text) {
  return Send(window, kWmSetText, 0, reinterpret_cast<std::intptr_t>(text.c_str())) != 0;
}

std::string WindowStore::Text(Handle window) const {
  const Window* w = Find(window);
  return w ? w->text : std::string();
}

bool WindowStore::Enable(Handle window, bool enable) {
  Window* w = Find(window);
  if (!w) return false;
  const bool wasDisabled = !w->enabled;
  w->enabled = enable;
  if (!w->parent) Event(std::string("enable ") + Name(window) + (enable ? " 1" : " 0"));
  if (!enable) {
    // A disabled window loses the focus, as do its children.
    for (Handle f = focus_; f; f = Find(f) ? Find(f)->parent : nullptr) {
      if (f == window) {
        focus_ = nullptr;
        break;
      }
    }
  }
  return wasDisabled;
}

bool WindowStore::IsEnabled(Handle window) const {
  const Window* w = Find(window);
  return w && w->enabled;
}

bool WindowStore::Show(Handle window, int command) {
  Window* w = Find(window);
  if (!w) return false;
  const bool wasVisible = w->visible;
  w->visible = command != kSwHide;
  if (w->visible && !w->parent) BringToTop(window);
  if (!w->visible) {
    // Hiding the window that holds the focus (or one of its parents) moves the focus to
    // the hidden window's parent.
    for (Handle f = focus_; f; f = Find(f) ? Find(f)->parent : nullptr) {
      if (f == window) {
        focus_ = w->parent;
        break;
      }
    }
  }
  if (w->kind == Kind::kDialog && wasVisible != w->visible) Event((w->visible ? "show " : "hide ") + Name(window));
  return wasVisible;
}

bool WindowStore::IsVisible(Handle window) const {
  for (const Window* w = Find(window); w; w = Find(w->parent)) {
    if (!w->visible) return false;
    if (!w->parent) return true;
  }
  return false;
}

bool WindowStore::Reachable(Handle window) const {
  for (const Window* w = Find(window); w; w = Find(w->parent)) {
    if (!w->visible || !w->enabled) return false;
    if (!w->parent) return true;
  }
  return false;
}

Handle WindowStore::Focus(Handle window) {
  const Handle previous = focus_;
  if (!window) {
    focus_ = nullptr;
  } else if (const Window* w = Find(window); w && w->enabled) {
    // A dialog hands the focus on to its first tab stop, as the dialog manager does.
    const Handle control = w->kind == Kind::kDialog ? FirstTabStop(window) : nullptr;
    focus_ = control ? control : window;
  }
  return previous;
}

Handle WindowStore::FocusedWindow() const { return Find(focus_) ? focus_ : nullptr; }

// ---- Geometry ----

bool WindowStore::WindowRect(Handle window, Rect* rect) const {
  const Window* w = Find(window);
  if (!w) return false;
  *rect = w->rect;
  if (w->parent) {
    Rect parentRect;
    WindowRect(w->parent, &parentRect);
    const Window* p = Find(w->parent);
    const int dx = parentRect.left + BorderOf(p->kind, p->style);
    const int dy = parentRect.top + BorderOf(p->kind, p->style) + CaptionOf(p->style);
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
  }
  return true;
}

bool WindowStore::ClientRect(Handle window, Rect* rect) const {
  const Window* w = Find(window);
  if (!w) return false;
  const int border = BorderOf(w->kind, w->style);
  *rect = Rect{0, 0, std::max(0, w->rect.width() - 2 * border),
               std::max(0, w->rect.height() - 2 * border - CaptionOf(w->style))};
  return true;
}

bool WindowStore::SetPos(Handle window, Handle insertAfter, int x, int y, int width, int height, unsigned flags) {
  Window* w = Find(window);
  if (!w) return false;
  if (!(flags & kSwpNoMove)) {
    const int cx = w->rect.width(), cy = w->rect.height();
    w->rect = Rect{x, y, x + cx, y + cy};
  }
  if (!(flags & kSwpNoSize)) {
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
  }
  if (!(flags & kSwpNoZOrder) && insertAfter == kHwndTop) BringToTop(window);
  if (!w->parent) {
    char line[160];
    std::snprintf(line, sizeof line, " %d %d %d %d flags=0x%x%s", x, y, width, height, flags,
                  !(flags & kSwpNoZOrder) && insertAfter == kHwndTop ? " top" : "");
    Event("SetWindowPos " + Name(window) + line);
  }
  return true;
}

int WindowStore::Metric(int index) const {
  switch (index) {
    case kSmCxScreen:
      return screenWidth_;
    case kSmCyScreen:
      return screenHeight_;
    case kSmCxMinTrack:
      return kMinTrackWidth;
    case kSmCyMinTrack:
      return kMinTrackHeight;
    default:
      return 0;
  }
}

// ---- Common dialogs and the shell ----

void WindowStore::QueueFileAnswer(const char* path) { fileAnswers_.emplace_back(path != nullptr, path ? path : ""); }

bool WindowStore::FileNameDialog(OpenFileNameRecord* record, bool open) {
  FileDialogShown shown;
  shown.open = open;
  shown.flags = record->flags;
  shown.filterIndex = record->filterIndex;
  shown.owner = record->owner;
  shown.maxFile = record->maxFile;
  shown.defaultExtension = record->defaultExtension ? record->defaultExtension : "";
  for (const char* p = record->filter; p && *p; p += std::strlen(p) + 1) shown.filters.emplace_back(p);
  if (record->file) shown.initialName.assign(record->file, strnlen(record->file, record->maxFile));
  fileDialogs_.push_back(shown);
  Event(std::string(open ? "GetOpenFileName" : "GetSaveFileName") + " " + shown.initialName);

  if (fileAnswers_.empty()) {
    Event("file dialog left open by the user");
    return false;
  }
  const auto answer = fileAnswers_.front();
  fileAnswers_.erase(fileAnswers_.begin());
  if (!answer.first) return false;

  std::string path = answer.second;
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (platform::IsPathLeadByte(static_cast<unsigned char>(path[i]), platform::kPathCodePage)) {
      ++i;
    } else if (path[i] == '\\') {
      nameStart = i + 1;
    }
  }
  std::size_t dot = path.find('.', nameStart);
  if (dot == std::string::npos && record->defaultExtension && *record->defaultExtension) {
    path += std::string(".") + record->defaultExtension;
    dot = path.find('.', nameStart);
  }
  if (!record->file || path.size() + 1 > record->maxFile) return false;  // the buffer is too small
  if (!open && (record->flags & kOfnOverwritePrompt) && platform::FileExists(path.c_str())) {
    const std::string text = path + " already exists.\nDo you want to replace it?";
    if (platform::ShowMessageBox(record->owner, text.c_str(), "Save As",
                                 platform::kMbYesNo | platform::kMbIconExclamation) != platform::kIdYes) {
      return false;
    }
  }
  std::memcpy(record->file, path.c_str(), path.size() + 1);
  record->fileOffset = static_cast<std::uint16_t>(nameStart);
  const std::size_t lastDot = path.rfind('.');
  record->fileExtension =
      static_cast<std::uint16_t>(lastDot != std::string::npos && lastDot >= nameStart ? lastDot + 1 : 0);
  return true;
}

void WindowStore::Execute(Handle owner, const std::string& verb, const std::string& file) {
  Event("ShellExecute " + verb + " " + file);
}

// ---- The user's side ----

std::vector<Handle> WindowStore::Children(Handle window) const {
  std::vector<Handle> out;
  for (const auto& [handle, w] : windows_) {
    if (w->parent == window && window) out.push_back(ToHandle(handle));
  }
  return out;
}

std::vector<Handle> WindowStore::TopLevelWindows() const {
  std::vector<std::pair<std::uint64_t, Handle>> tops;
  for (const auto& [handle, w] : windows_) {
    if (!w->parent) tops.emplace_back(w->z, ToHandle(handle));
  }
  std::sort(tops.begin(), tops.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<Handle> out;
  for (const auto& top : tops) out.push_back(top.second);
  return out;
}

std::vector<Handle> WindowStore::VisibleDialogs() const {
  std::vector<Handle> out;
  for (Handle top : TopLevelWindows()) {
    if (!IsVisible(top)) continue;
    std::vector<Handle> family{top};
    for (std::size_t i = 0; i < family.size(); ++i) {
      for (Handle child : Children(family[i])) family.push_back(child);
    }
    // Child dialogs first: they lie in front of their parent.
    for (std::size_t i = family.size(); i-- > 1;) {
      const Window* f = Find(family[i]);
      if (f->kind == Kind::kDialog && IsVisible(family[i])) out.push_back(family[i]);
    }
    if (Find(top)->kind == Kind::kDialog) out.push_back(top);
  }
  return out;
}

Handle WindowStore::ActiveDialog() const {
  const Handle focused = DialogOf(FocusedWindow());
  if (focused && Reachable(focused)) return focused;
  for (Handle dialog : VisibleDialogs()) {
    if (Reachable(dialog)) return dialog;
  }
  return nullptr;
}

void WindowStore::PressEscape() {
  const Handle dialog = ActiveDialog();
  if (dialog) Command(dialog, kIdCancel, Item(dialog, kIdCancel));
}

void WindowStore::PressEnter() {
  const Handle dialog = ActiveDialog();
  if (!dialog) return;
  // The default button when it is enabled, else IDOK, as the dialog manager does.
  const std::intptr_t def = Send(dialog, kDmGetDefId, 0, 0);
  const Handle button = HighWord(static_cast<std::uintptr_t>(def)) == kDcHasDefId
                            ? Item(dialog, static_cast<int>(LowWord(static_cast<std::uintptr_t>(def))))
                            : nullptr;
  if (button && IsEnabled(button)) {
    Command(dialog, Find(button)->id, button);
  } else {
    Command(dialog, kIdOk, Item(dialog, kIdOk));
  }
}

bool WindowStore::Info(Handle window, WindowInfo* info) const {
  const Window* w = Find(window);
  if (!w) return false;
  *info = static_cast<const WindowInfo&>(*w);
  info->handle = window;
  WindowRect(window, &info->rect);
  return true;
}

}  // namespace srtm::ui::headless

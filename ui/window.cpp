#include "ui/window.h"

#include "ui/guard.h"

namespace srtm::ui {

Window::~Window() {
  if (HasWindow()) {
    sys::DetachTarget(handle_);
    sys::Destroy(handle_);
  }
}

bool Window::Create(const char* className, unsigned classStyle, const std::string& title, unsigned style, int x,
                    int y, int width, int height, Handle owner) {
  if (HasWindow() || !sys::RegisterWindowClass(className, classStyle)) return false;
  // The creation handler runs inside this call and sees its handle (WM_CREATE).
  const Handle created = sys::CreatePlainWindow(className, title.c_str(), style, x, y, width, height, owner, this);
  if (!created) handle_ = nullptr;
  return created != nullptr;
}

void Window::DestroyWindow() {
  if (HasWindow()) sys::Destroy(handle_);
  handle_ = nullptr;
}

std::intptr_t Window::OnMessage(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam,
                                bool* handled) {
  struct Depth {
    explicit Depth(int& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
    int& depth;
  } inUse(depth_);
  switch (message) {
    case kWmCreate:
      handle_ = window;
      *handled = true;
      return Guarded([this] { return OnCreate(); }, -1);
    case kWmDestroy:
      if (window == handle_) {
        Guarded([this] {
          OnDestroy();
          return 0;
        });
        handle_ = nullptr;
      }
      return 0;
    case kWmClose:
      *handled = Guarded([this] { return OnClose() ? 1 : 0; }) != 0;
      return 0;
    default: {
      auto it = handlers_.find(message);
      if (it == handlers_.end()) return 0;
      *handled = true;
      const MessageHandler& handler = it->second;
      return Guarded([&handler, wparam, lparam] {
        handler(wparam, lparam);
        return 0;
      });
    }
  }
}

}  // namespace srtm::ui

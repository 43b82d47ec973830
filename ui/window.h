// A plain window of a class registered by the module, with creation and destruction
// handlers and handlers for private messages.
//
// Destroying the window does not delete the object. While one of the object's handlers
// runs (a private message may run long work that lets the host pump messages), InUse()
// is true, so whoever owns the object knows not to delete it even if its window is gone.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "ui/system.h"

namespace srtm::ui {

class Window : public MessageTarget {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Registers `className` (once per process) and creates the window; false when the
  // creation handler refused (-1) or the system could not create it.
  bool Create(const char* className, unsigned classStyle, const std::string& title, unsigned style, int x, int y,
              int width, int height, Handle owner);
  void DestroyWindow();
  Handle handle() const { return handle_; }
  bool HasWindow() const { return handle_ != nullptr && sys::Exists(handle_); }
  bool InUse() const { return depth_ > 0; }

 protected:
  // The default creation processing: 0 (go on); -1 makes creation fail.
  virtual int OnCreate() { return 0; }
  virtual void OnDestroy() {}
  // A close request from the system; the default destroys the window.
  virtual bool OnClose() { return false; }
  using MessageHandler = std::function<void(std::uintptr_t wparam, std::intptr_t lparam)>;
  // Registers the handler of a private message; it answers 0.
  void OnPrivateMessage(unsigned message, MessageHandler handler) { handlers_[message] = std::move(handler); }

 private:
  std::intptr_t OnMessage(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam,
                          bool* handled) override;

  Handle handle_ = nullptr;
  int depth_ = 0;
  std::map<unsigned, MessageHandler> handlers_;
};

}  // namespace srtm::ui

// The window system of the native world: the headless window store, with the dialog
// templates read from the embedded res/srtm.rc.
#include "ui/headless/window_store.h"
#include "ui/module.h"
#include "ui/system.h"
#include "ui/templates.h"

namespace srtm::ui::sys {

using headless::Store;

int RunModal(int templateId, Handle owner, MessageTarget* target) {
  const DialogTemplate* dialog = FindDialogTemplate(templateId);
  return dialog ? Store().RunModal(*dialog, owner, target) : -1;
}

Handle CreateModeless(int templateId, Handle parent, MessageTarget* target) {
  const DialogTemplate* dialog = FindDialogTemplate(templateId);
  return dialog ? Store().CreateModeless(*dialog, parent, target) : nullptr;
}

bool EndModal(Handle dialog, int result) { return Store().EndModal(dialog, result); }

bool RegisterWindowClass(const char* name, unsigned classStyle) {
  Store().RegisterWindowClass(name, classStyle);
  return true;
}

Handle CreatePlainWindow(const char* className, const char* title, unsigned style, int x, int y, int width,
                         int height, Handle owner, MessageTarget* target) {
  return Store().CreatePlainWindow(className, title, style, x, y, width, height, owner, target);
}

void DetachTarget(Handle window) { Store().DetachTarget(window); }
bool Destroy(Handle window) { return Store().Destroy(window); }
bool Exists(Handle window) { return Store().Exists(window); }
Handle Item(Handle dialog, int id) { return Store().Item(dialog, id); }
Handle Parent(Handle window) { return Store().Parent(window); }
bool SetText(Handle window, const std::string& text) { return Store().SetText(window, text); }
std::string Text(Handle window) { return Store().Text(window); }
bool Enable(Handle window, bool enable) { return Store().Enable(window, enable); }
bool IsEnabled(Handle window) { return Store().IsEnabled(window); }
bool Show(Handle window, int command) { return Store().Show(window, command); }
bool IsVisible(Handle window) { return Store().IsVisible(window); }
Handle Focus(Handle window) { return Store().Focus(window); }

std::intptr_t Send(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
  return Store().Send(window, message, wparam, lparam);
}

bool WindowRect(Handle window, Rect* rect) { return Store().WindowRect(window, rect); }
bool ClientRect(Handle window, Rect* rect) { return Store().ClientRect(window, rect); }

bool SetPos(Handle window, Handle insertAfter, int x, int y, int width, int height, unsigned flags) {
  return Store().SetPos(window, insertAfter, x, y, width, height, flags);
}

int Metric(int index) { return Store().Metric(index); }

bool FileNameDialog(OpenFileNameRecord* record, bool open) { return Store().FileNameDialog(record, open); }

void Execute(Handle owner, const char* verb, const char* file, const char* parameters, const char* directory,
             int show) {
  Store().Execute(owner, verb ? verb : "", file ? file : "");
}

}  // namespace srtm::ui::sys

namespace srtm::ui {

void SetModuleInstance(void*) {}
void ReleaseModule() {}

}  // namespace srtm::ui

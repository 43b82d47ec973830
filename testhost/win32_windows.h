// The stand-in host's view of the real windows of its thread (Win32 world only): which
// are the plug-in's dialogs, and how the call log names them.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace srtm::host {

// The plug-in's window layer attaches each dialog's template ID under this name; 0 for a
// window that is not one of the plug-in's dialogs.
inline int TemplateOf(HWND window) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(window, "srtm.template")));
}

inline std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// "dialog 30700" for a dialog of the plug-in, "window SrtmCompressWizard" for a
// top-level window of another class than a dialog's; empty for anything else (controls,
// the system's own dialogs), as the headless window system names them in its events.
inline std::string WindowName(HWND window) {
  if (const int id = TemplateOf(window)) return "dialog " + std::to_string(id);
  const std::string name = ClassOf(window);
  if (name == "#32770" || (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) return "";
  return "window " + name;
}

}  // namespace srtm::host

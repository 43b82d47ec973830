// The five entry points the host looks up by name. Each forwards inward and lets no
// exception escape into the host.
#include "shell/plugin.h"
#include "ui/module.h"

#if defined(_WIN32)
#include <windows.h>
#define SRTM_EXPORT
#else
#define SRTM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

SRTM_EXPORT std::int32_t QLPAPI Create(PluginInfo* info, QLP_HANDLE plugin) {
  try {
    return srtm::Create(info, plugin);
  } catch (...) {
    return 0;
  }
}

SRTM_EXPORT std::int32_t QLPAPI Load(void) {
  try {
    return srtm::Load();
  } catch (...) {
    return 0;
  }
}

SRTM_EXPORT std::int32_t QLPAPI Close(void) { return srtm::Close(); }

SRTM_EXPORT void QLPAPI Release(void) {
  try {
    srtm::Release();
  } catch (...) {
  }
}

SRTM_EXPORT std::int32_t QLPAPI About(void) {
  try {
    return srtm::About();
  } catch (...) {
    return 0;
  }
}

}  // extern "C"

#if defined(_WIN32)
// Records the module whose resources hold the dialog templates; at unload, unregisters
// the window classes the module registered (not at process exit, when nothing is left
// to protect).
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    srtm::ui::SetModuleInstance(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    srtm::ui::ReleaseModule();
  }
  return TRUE;
}
#endif

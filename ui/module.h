// The module that holds the dialog templates and registers the window classes: the
// plug-in's own instance, recorded when the process attaches it. Natively there is no
// module: the templates are embedded and both calls do nothing.
#pragma once

namespace srtm::ui {

// Records the module instance (DllMain, process attach).
void SetModuleInstance(void* instance);
// Unregisters the window classes the module registered (DllMain, process detach), so a
// reloaded module never meets a class whose procedure was unloaded.
void ReleaseModule();

}  // namespace srtm::ui

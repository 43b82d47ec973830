// The plug-in's dialog templates in the native world: res/srtm.rc and res/resource.h,
// converted to code page 932 and embedded at build time, read once.
#include <cstdio>

#include "ui/templates.h"
#include "ui/templates_data.h"

namespace srtm::ui {

const DialogTemplate* FindDialogTemplate(int id) {
  static const std::vector<DialogTemplate> templates = [] {
    std::vector<DialogTemplate> read;
    std::string error;
    if (!ParseDialogTemplates(kEmbeddedResourceScript, kEmbeddedResourceHeader, &read, &error)) {
      std::fprintf(stderr, "srtm: the dialog templates cannot be read: %s\n", error.c_str());
    }
    return read;
  }();
  for (const DialogTemplate& dialog : templates) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

}  // namespace srtm::ui

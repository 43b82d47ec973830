// The texts of res/srtm.rc (code page 932) and res/resource.h, embedded by the build
// (ui/cmake/EmbedTemplates.cmake) for the native world, which has no resource section.
#pragma once

namespace srtm::ui {

extern const char kEmbeddedResourceScript[];
extern const char kEmbeddedResourceHeader[];

}  // namespace srtm::ui

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/raster_engine.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace srtm::cli {

#if defined(_WIN32)

RasterEngine* LoadRasterEngine(std::string* why) {
  *why = "reading rasters and archives needs srtm's GDAL engine, which is in the Linux build of srtm only";
  return nullptr;
}

#else

namespace {

constexpr const char* kModule = "srtm-gdal.so";
constexpr const char* kInstall = "install the package srtm-gdal (sudo apt install srtm-gdal)";

std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "";
  const std::string path(buffer.data(), static_cast<std::size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

RasterEngine* Load(std::string* why) {
  std::vector<std::string> candidates;
  if (const char* chosen = std::getenv("SRTM_IMPORT_ENGINE"); chosen && *chosen) {
    candidates.push_back(chosen);
  } else {
    const std::string folder = ProgramFolder();
    candidates = {folder + "/" + kModule, folder + "/../lib/srtm/" + kModule};
  }
  for (const std::string& path : candidates) {
    if (::access(path.c_str(), F_OK) != 0) continue;
    // Never closed: GDAL's drivers and threads stay until the process ends.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* error = ::dlerror();
      *why = "srtm's GDAL engine " + path + " cannot be loaded (" + (error ? error : "?") + "): " + kInstall +
             " again, which brings the GDAL it needs";
      return nullptr;
    }
    auto entry = reinterpret_cast<RasterEngineEntry>(::dlsym(module, kRasterEngineEntry));
    RasterEngine* engine = entry ? entry(kRasterEngineInterface) : nullptr;
    if (!engine) *why = "srtm's GDAL engine " + path + " belongs to another version of srtm: " + kInstall + " of this one";
    return engine;
  }
  *why = std::string("reading rasters (GeoTIFF and the like) and archives needs srtm's GDAL engine, which is not "
                     "installed: ") + kInstall;
  return nullptr;
}

}  // namespace

RasterEngine* LoadRasterEngine(std::string* why) {
  static std::string failure;
  static RasterEngine* engine = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    engine = Load(&failure);
  }
  if (!engine) *why = failure;
  return engine;
}

#endif

}  // namespace srtm::cli

// srtm import in the Windows build: the import engine is GDAL, which only the Linux
// build of the tool links.
#include <cstdio>

#include "tools/commands.h"

namespace srtm::cli {

int Import(int, char**) {
  std::fprintf(stderr, "srtm import: import is in the Linux build of srtm (it reads its sources with GDAL)\n");
  return kExitUsage;
}

}  // namespace srtm::cli

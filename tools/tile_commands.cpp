#include <cstdio>

#include "tools/commands.h"

namespace srtm::cli {

int Classify(int, char**) {
  std::fprintf(stderr, "srtm classify: not built yet\n");
  return kExitUsage;
}

int Block(int, char**) {
  std::fprintf(stderr, "srtm block: not built yet\n");
  return kExitUsage;
}

}  // namespace srtm::cli

#include <cstdio>

#include "tools/commands.h"

namespace srtm::cli {

int Compress(int, char**) {
  std::fprintf(stderr, "srtm compress: not built yet\n");
  return kExitUsage;
}
int Info(int, char**) {
  std::fprintf(stderr, "srtm info: not built yet\n");
  return kExitUsage;
}
int Decode(int, char**) {
  std::fprintf(stderr, "srtm decode: not built yet\n");
  return kExitUsage;
}
int Verify(int, char**) {
  std::fprintf(stderr, "srtm verify: not built yet\n");
  return kExitUsage;
}

}  // namespace srtm::cli

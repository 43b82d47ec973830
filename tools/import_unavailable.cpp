// srtm import in the Windows build: the import engine is GDAL, which only the Linux
// build of the tool links.
#include <cstdio>

#include "tools/args.h"
#include "tools/commands.h"

namespace srtm::cli {
namespace {

void ImportDetails(FILE* out) {
  std::fprintf(out, "Import is in the Linux build of srtm: it reads its sources with GDAL.\n");
}
const CommandHelp kImportHelp = {"import", "SOURCE... -o FOLDER [OPTION]...", ImportDetails};

}  // namespace

int Import(int argc, char** argv) {
  Args args(kImportHelp, argc, argv);
  while (args.Next()) {
  }
  if (args.stopped()) return args.exitCode();
  std::fprintf(stderr, "srtm import: import is in the Linux build of srtm (it reads its sources with GDAL)\n");
  return kExitUsage;
}

}  // namespace srtm::cli

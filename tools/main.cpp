// srtm: converts and checks SRTM tiles outside the host, with the plug-in's own code.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/process.h"
#include "res/srtm_texts.h"
#include "tools/cli_util.h"
#include "tools/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Command kCommands[] = {
    {"classify", srtm::cli::Classify, "tell the kind and south-west corner of a tile"},
    {"block", srtm::cli::Block, "serve one 320 x 320 block of the whole-globe map of a tile"},
    {"compress", srtm::cli::Compress, "compress the tiles of a folder into XEM files, in parallel"},
    {"info", srtm::cli::Info, "print the header and index of an XEM file"},
    {"decode", srtm::cli::Decode, "write an XEM file back as an .hgt tile (or its raw grid)"},
    {"verify", srtm::cli::Verify, "check an XEM file against its source tile"},
    {"render", srtm::cli::Render, "draw a shaded-relief PNG of a tile's map or an XEM file"},
    {"import", srtm::cli::Import, "make tiles from other elevation data (archives, GeoTIFF; Linux build)"},
};

int Usage(FILE* out) {
  std::fprintf(out, "usage: srtm COMMAND [ARGS...]   (srtm COMMAND --help for its arguments)\n"
                    "       srtm --version\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-9s %s\n", c.name, c.summary);
  return out == stdout ? srtm::cli::kExitOk : srtm::cli::kExitUsage;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage(stderr);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) return Usage(stdout);
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("srtm %s\n", srtm::kTextPluginVersion);
    return srtm::cli::kExitOk;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "srtm: unknown command '%s'\n", argv[1]);
  return Usage(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  srtm::platform::StartProcess();
  std::setlocale(LC_CTYPE, "");  // the terminal's character set, for the Japanese texts
  return srtm::cli::FinishMain("srtm", Run(argc, argv));
}

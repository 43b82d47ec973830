// srtm: converts and checks SRTM tiles outside the host, with the plug-in's own code.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/process.h"
#include "tools/args.h"
#include "tools/cli_util.h"
#include "tools/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Command kCommands[] = {
    {"classify", srtm::cli::Classify, "tell whether files are SRTM tiles, of which kind and where"},
    {"block", srtm::cli::Block, "serve one 320 x 320 block of the whole-globe map of a tile"},
    {"compress", srtm::cli::Compress, "compress tiles into XEM files, in parallel"},
    {"info", srtm::cli::Info, "check XEM files block by block and say what they hold"},
    {"decode", srtm::cli::Decode, "write an XEM file back as an .hgt tile (or its raw grid)"},
    {"verify", srtm::cli::Verify, "check XEM files against their tiles, sample by sample"},
    {"render", srtm::cli::Render, "draw a shaded-relief PNG of a tile's map or an XEM file"},
    {"import", srtm::cli::Import, "make tiles from downloaded elevation data"},
};

void PrintForms(FILE* out) {
  std::fprintf(out, "Usage: srtm COMMAND [OPTION]... [ARGUMENT]...\n"
                    "  or:  srtm COMMAND --help\n"
                    "  or:  srtm --version\n");
}

int Help() {
  PrintForms(stdout);
  std::printf("Prepares SRTM elevation tiles (.hgt) for the srtm.qlp plug-in of QUELMAR outside the\n"
              "host, with the plug-in's own code: tells tiles apart, serves blocks of the whole-globe\n"
              "map as the host receives them, compresses tiles into XEM files byte for byte as the\n"
              "plug-in's wizard does, checks, decodes and draws them, and makes tiles from\n"
              "downloaded elevation data.\n\nCommands:\n");
  for (const Command& c : kCommands) std::printf("  %-9s %s\n", c.name, c.summary);
  const char* sep = srtm::cli::kPathSeparator;
  std::printf("\n"
              "Every command takes --opt=VALUE as well as --opt VALUE, -- to end its options (for a\n"
              "file whose name begins with -), and -h or --help (its help) and -V or --version\n"
              "anywhere among its arguments. Paths are the system's (folder%sN57E011.hgt).\n"
              "\n"
              "Exit status:\n"
              "  0    done\n"
              "  1    a file does not match its tile (verify)\n"
              "  2    wrong arguments (also an output that is one of the inputs)\n"
              "  3    an input that is missing, unreadable, damaged or not what it must be\n"
              "  4    an output that cannot be written (standard output too)\n"
              "  5    work that failed (tiles that were not converted)\n"
              "  128+N  stopped by signal N: 130 Ctrl-C, 129 SIGHUP, 141 SIGPIPE, 143 SIGTERM\n"
              "\n"
              "Examples:\n"
              "  $ srtm classify N57E011.hgt\n"
              "  $ srtm block N57E011.hgt --at 57.7,11.9 -o block.raw\n"
              "  $ srtm compress tiles -o xem --jobs 4\n"
              "  $ srtm info --json xem%sN57E011.xem\n"
              "  $ srtm verify xem%sN57E011.xem tiles%sN57E011.hgt\n"
              "  $ srtm render N57E011.hgt -o relief.png --te 11.5 57.5 12 58\n"
              "\n"
              "See also:\n"
              "gdalinfo(1), gdal_translate(1), gdalwarp(1); the plug-in's user guide, in the\n"
              "Windows release.\n",
              sep, sep, sep, sep);
  return srtm::cli::kExitOk;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "srtm: %s\n", message.c_str());
  PrintForms(stderr);
  std::fprintf(stderr, "Try 'srtm --help' for the commands.\n");
  return srtm::cli::kExitUsage;
}

int Run(int argc, char** argv) {
  if (argc < 2) return UsageError("no COMMAND given");
  const char* first = argv[1];
  if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) return Help();
  if (std::strcmp(first, "--version") == 0 || std::strcmp(first, "-V") == 0) {
    srtm::cli::PrintVersion();
    return srtm::cli::kExitOk;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(first, c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  return UsageError(std::string(first[0] == '-' ? "unknown option '" : "unknown command '") + first + "'");
}

}  // namespace

int main(int argc, char** argv) {
  srtm::platform::StartProcess();
  std::setlocale(LC_CTYPE, "");  // the terminal's character set, for the Japanese texts
  return srtm::cli::FinishMain("srtm", Run(argc, argv));
}

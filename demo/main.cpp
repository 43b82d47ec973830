// srtm-demo: the main job on one tile, as a person does it at the host. It drives the
// stand-in host as any host driver would: loads srtm.qlp (by default beside this
// program), then runs the demo (demo/demo.h).
//
//   srtm-demo [--plugin PATH] TILE.hgt --out FOLDER [--level N] [--region S,W,N,E]
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/demo.h"
#include "platform/process.h"
#include "testhost/host.h"
#include "tools/cli_util.h"
#include "tools/commands.h"

int main(int argc, char** argv) {
  srtm::platform::StartProcess();
  std::setlocale(LC_CTYPE, "");  // the terminal's character set, for the Japanese texts
  std::string self = argv[0];
  const std::size_t slash = self.find_last_of("/\\");
  std::string pluginPath = (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/srtm.qlp";
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--plugin") == 0) {
    pluginPath = argv[2];
    first = 3;
  }
  srtm::host::Plugin plugin;
  if (!plugin.Load(pluginPath)) {
    std::fprintf(stderr, "srtm-demo: cannot load %s: %s\n", pluginPath.c_str(), plugin.error().c_str());
    return srtm::cli::kExitInput;
  }
  return srtm::cli::FinishMain("srtm-demo", srtm::demo::Run(plugin, argc - first, argv + first));
}

// qlphost: the stand-in host as a program. Loads a plug-in, registers it as the host
// would and prints what it registered.
//
//   qlphost [--plugin PATH] [--version N] info
//   qlphost [--plugin PATH] block TILE.hgt BLOCK_NUMBER -o OUT.raw
//   qlphost [--plugin PATH] run SCRIPT [--open TILE.hgt]... [--path NAME=PATH]...
//                                       [--pictures FOLDER]
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "picture/raw_samples.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "testhost/script.h"

namespace {

using srtm::host::MenuItem;

// Exit codes, as the srtm tool has them.
enum ExitCode { kExitOk = 0, kExitUsage = 2, kExitInput = 3, kExitOutput = 4, kExitFailed = 5 };

std::string DefaultPluginPath(const char* argv0) {
  std::string self = argv0;
  std::size_t slash = self.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "." : self.substr(0, slash);
  return folder + "/srtm.qlp";
}

int Usage() {
  std::fprintf(stderr,
               "usage: qlphost [--plugin PATH] [--version N] info\n"
               "       qlphost [--plugin PATH] block TILE.hgt BLOCK_NUMBER -o OUT.raw\n"
               "       qlphost [--plugin PATH] run SCRIPT [--open TILE.hgt]... [--path NAME=PATH]...\n"
               "                                          [--pictures FOLDER]\n"
               "  info   load the plug-in, call Create and Load, print what it registered\n"
               "  block  open TILE.hgt as the host's open command does, read one block (see\n"
               "         qlphost block --help)\n"
               "  run    load the plug-in, call Create and Load, open the tiles as the host's\n"
               "         open command does, then act as the user the script describes\n"
               "         (testhost/script.h); prints each step done and every error.\n"
               "         --path NAME=PATH: $NAME in the script stands for PATH as the plug-in\n"
               "         writes it (a DOS-style path). --pictures: the folder where the\n"
               "         script's `shot` steps save their pictures (made when missing)\n");
  return 2;
}

// Prints a byte string that may hold Shift-JIS as hex plus its ASCII-safe form.
void PrintBytes(const char* label, const char* text, FILE* out = stdout) {
  std::fprintf(out, "  %-10s %s\n", label, srtm::host::HexBytes(text, std::strlen(text)).c_str());
}

int Info(srtm::host::Plugin& plugin) {
  PluginInfo info;
  std::memset(&info, 0xCD, sizeof info);  // the host's fill pattern
  srtm::host::StartCapturingMessageBoxes();
  std::int32_t created = plugin.Create(&info, srtm::host::kPluginHandle);
  std::printf("Create -> %d\n", created);
  for (const auto& box : srtm::host::ShownMessageBoxes()) {
    std::printf("message box (type 0x%X):\n", box.type);
    PrintBytes("text", box.text.c_str());
  }
  if (!created) return 1;

  std::printf("PluginInfo: size %d, reserved %d\n", info.size, info.reserved);
  PrintBytes("title", info.title);
  std::printf("  %-10s %s\n", "version", info.version);
  std::printf("  %-10s %s\n", "notice", info.notice);

  std::printf("map-source hooks: %zu, open hooks (kind 7): %zu\n", srtm::host::MapSourceHooks().size(),
              srtm::host::Hooks(QLP_HOOK_KIND_OPEN).size());
  for (const auto& request : srtm::host::MapSetIdRequests()) {
    std::printf("map-set ID made: %s (series %d, kind %d)\n",
                srtm::host::HexBytes(request.id, QLP_MAPSET_ID_BYTES).c_str(), request.info.seriesCode,
                request.info.idKind);
  }
  for (const auto& hook : srtm::host::XemHooks()) {
    std::printf("XEM hook: map set %s, user %s, count %d\n",
                srtm::host::HexBytes(hook.mapSetId, QLP_MAPSET_ID_BYTES).c_str(), hook.userId.c_str(), hook.count);
  }
  for (const auto& info2 : srtm::host::UserIdInfos()) std::printf("user-ID information: %s\n", info2.userId.c_str());
  for (const auto& limit : srtm::host::DiskLimits()) {
    std::printf("disk limit: %s %d\n", limit.userId.c_str(), limit.limit);
  }

  std::printf("Load -> %d\n", plugin.LoadMenus());
  for (const auto& item : srtm::host::MenuItems()) {
    switch (item.kind) {
      case MenuItem::kEntry:
        std::printf("menu entry (selector %d): %s\n", item.selector, srtm::host::HexBytes(item.text.data(), item.text.size()).c_str());
        break;
      case MenuItem::kPopup:
        std::printf("popup (selector %d): %s\n", item.selector, srtm::host::HexBytes(item.text.data(), item.text.size()).c_str());
        break;
      case MenuItem::kChild:
        std::printf("  command: %s\n", srtm::host::HexBytes(item.text.data(), item.text.size()).c_str());
        break;
      case MenuItem::kSeparator:
        std::printf("  separator\n");
        break;
    }
  }
  plugin.Close();
  plugin.Release();
  return 0;
}

// ---- block ----

int BlockUsage(FILE* out) {
  std::fprintf(out,
               "usage: qlphost [--plugin PATH] block TILE.hgt BLOCK_NUMBER -o OUT.raw\n"
               "  Loads the plug-in, has it register itself, opens TILE.hgt through its map\n"
               "  source as the host's own open command does (2003, 2004, 2002, 2011), reads\n"
               "  block BLOCK_NUMBER with 2012 under the settings at load, closes the map\n"
               "  (2021) and writes the block to OUT.raw as 320 x 320 little-endian signed\n"
               "  16-bit samples, row 0 south. Prints the map information the host received.\n");
  return out == stdout ? kExitOk : kExitUsage;
}

bool WantsHelp(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int Block(srtm::host::Plugin& plugin, int argc, char** argv) {
  using namespace srtm;
  const char* tile = nullptr;
  const char* number = nullptr;
  const char* output = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      output = argv[++i];
    } else if (!tile) {
      tile = argv[i];
    } else if (!number) {
      number = argv[i];
    } else {
      return BlockUsage(stderr);
    }
  }
  if (!tile || !number || !output) return BlockUsage(stderr);
  errno = 0;
  char* end = nullptr;
  const long long n = std::strtoll(number, &end, 10);
  if (errno != 0 || *number == '\0' || *end != '\0' || n < INT32_MIN || n > INT32_MAX) {
    std::fprintf(stderr, "qlphost block: '%s' is not a 32-bit block number\n", number);
    return kExitUsage;
  }

  PluginInfo info;
  std::memset(&info, 0xCD, sizeof info);
  if (!plugin.Create(&info, host::kPluginHandle)) {
    std::fprintf(stderr, "qlphost block: the plug-in refused the host\n");
    return kExitFailed;
  }
  plugin.LoadMenus();
  const QLP_HANDLE map = host::OpenFile(platform::FromUserPath(tile));
  if (!map) {
    std::fprintf(stderr, "qlphost block: no map source opens %s\n", tile);
    plugin.Release();
    return kExitInput;
  }
  host::OpenedMap opened;
  host::GetOpenedMap(map, &opened);
  std::vector<std::int16_t> block;
  const std::int32_t answer = host::ReadMapBlock(map, static_cast<std::int32_t>(n), &block);
  host::CloseMap(map);
  plugin.Close();
  plugin.Release();
  const std::vector<std::uint8_t> bytes = picture::EncodeRawSamples(block);
  // The host's lines go to standard error when the block goes to standard output.
  FILE* lines = platform::IsStandardOutput(platform::FromUserPath(output)) ? stderr : stdout;
  std::string why;
  if (!platform::WriteOutputFile(platform::FromUserPath(output), bytes.data(), bytes.size(), &why,
                                 {platform::FromUserPath(tile)})) {
    std::fprintf(stderr, "qlphost block: %s: %s\n", output, why.c_str());
    return kExitOutput;
  }

  std::fprintf(lines, "map %u: %s\n", map, opened.displayName.c_str());
  PrintBytes("type name", opened.typeName.c_str(), lines);
  std::fprintf(lines, "edges: south %.9f, west %.9f, north %.9f, east %.9f\n", opened.south, opened.west,
               opened.north, opened.east);
  std::fprintf(lines, "samples per degree: %g (latitude), %g (longitude)\n", opened.samplesPerDegreeY,
               opened.samplesPerDegreeX);
  std::fprintf(lines, "size: %d x %d samples (width x height)\n", opened.width, opened.height);
  std::fprintf(lines, "block %lld: 2012 -> %d\n", n, answer);
  return answer ? kExitOk : kExitFailed;
}

// The scripted user at the host: natively on the headless window system, in the Win32
// world on the plug-in's real dialogs.
int RunScript(srtm::host::Plugin& plugin, int argc, char** argv) {
  using namespace srtm;
  const char* scriptPath = nullptr;
  std::vector<std::string> tiles;
  std::vector<std::pair<std::string, std::string>> paths;
  std::string pictures;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--open") == 0 && i + 1 < argc) {
      tiles.push_back(argv[++i]);
    } else if (std::strcmp(argv[i], "--path") == 0 && i + 1 < argc) {
      const std::string definition = argv[++i];
      const std::size_t equals = definition.find('=');
      if (equals == std::string::npos || equals == 0) return Usage();
      paths.emplace_back(definition.substr(0, equals), platform::FromUserPath(definition.substr(equals + 1)));
    } else if (std::strcmp(argv[i], "--pictures") == 0 && i + 1 < argc) {
      pictures = platform::FromUserPath(argv[++i]);
    } else if (!scriptPath && argv[i][0] != '-') {
      scriptPath = argv[i];
    } else {
      return Usage();
    }
  }
  if (!scriptPath) return Usage();
  std::ifstream file(scriptPath, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "qlphost run: cannot read %s\n", scriptPath);
    return kExitInput;
  }
  std::ostringstream text;
  text << file.rdbuf();

  PluginInfo info;
  std::memset(&info, 0xCD, sizeof info);
  host::StartCapturingMessageBoxes();
  if (!plugin.Create(&info, host::kPluginHandle)) {
    std::fprintf(stderr, "qlphost run: the plug-in refused the host\n");
    return kExitFailed;
  }
  plugin.LoadMenus();
  for (const std::string& tile : tiles) {
    if (!host::OpenFile(platform::FromUserPath(tile))) {
      std::fprintf(stderr, "qlphost run: no map source opens %s\n", tile.c_str());
      plugin.Release();
      return kExitInput;
    }
  }
  host::Script user(text.str(), paths);
  if (!pictures.empty()) {
    std::error_code error;
    std::filesystem::create_directories(platform::ToNativePath(pictures), error);
    user.SetPictureFolder(pictures);
  }
  const bool ok = user.Run();
  for (const std::string& line : user.log()) std::printf("%s\n", line.c_str());
  for (const std::string& error : user.errors()) std::fprintf(stderr, "qlphost run: %s\n", error.c_str());
  plugin.Close();
  plugin.Release();
  return ok ? kExitOk : kExitFailed;
}

int Main(int argc, char** argv) {
  std::string pluginPath = DefaultPluginPath(argv[0]);
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
      pluginPath = argv[++i];
    } else if (std::strcmp(argv[i], "--version") == 0 && i + 1 < argc) {
      srtm::host::SetVersion(std::atoi(argv[++i]));
    } else {
      return Usage();
    }
  }
  if (i >= argc) return Usage();
  std::string command = argv[i];
  if (command == "block" && WantsHelp(argc - i - 1, argv + i + 1)) return BlockUsage(stdout);

  srtm::host::Plugin plugin;
  if (!plugin.Load(pluginPath)) {
    std::fprintf(stderr, "qlphost: cannot load %s: %s\n", pluginPath.c_str(), plugin.error().c_str());
    return kExitInput;
  }
  if (command == "info") return Info(plugin);
  if (command == "block") return Block(plugin, argc - i - 1, argv + i + 1);
  if (command == "run") return RunScript(plugin, argc - i - 1, argv + i + 1);
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  srtm::platform::StartProcess();
  const int code = Main(argc, argv);
  std::string why;
  if (srtm::platform::FlushStandardOutput(&why)) return code;
  std::fprintf(stderr, "qlphost: standard output: %s\n", why.c_str());
  return code == kExitOk ? kExitOutput : code;
}

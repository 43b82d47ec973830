// qlphost: the stand-in host as a program. Loads a plug-in, registers it as the host
// would and prints what it registered.
//
//   qlphost [--plugin PATH] [--version N] info
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "testhost/host.h"

namespace {

using srtm::host::MenuItem;

std::string DefaultPluginPath(const char* argv0) {
  std::string self = argv0;
  std::size_t slash = self.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "." : self.substr(0, slash);
  return folder + "/srtm.qlp";
}

int Usage() {
  std::fprintf(stderr,
               "usage: qlphost [--plugin PATH] [--version N] info\n"
               "  info   load the plug-in, call Create and Load, print what it registered\n");
  return 2;
}

// Prints a byte string that may hold Shift-JIS as hex plus its ASCII-safe form.
void PrintBytes(const char* label, const char* text) {
  std::printf("  %-10s %s\n", label, srtm::host::HexBytes(text, std::strlen(text)).c_str());
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

}  // namespace

int main(int argc, char** argv) {
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

  srtm::host::Plugin plugin;
  if (!plugin.Load(pluginPath)) {
    std::fprintf(stderr, "qlphost: cannot load %s: %s\n", pluginPath.c_str(), plugin.error().c_str());
    return 3;
  }
  if (command == "info") return Info(plugin);
  return Usage();
}

// The plug-in's whole life in the stand-in host, as a program for the leak checkers
// (valgrind natively, LeakSanitizer in the sanitizer build): load srtm.qlp, Create and
// Load, open tiles as the host's open command and by a drop, read blocks, change the
// settings, compress the folder through the wizard and open the XEM files it wrote,
// close every map, Close, Release and unload. Exits 0 when every step did what it should.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/pluginif.h"
#include "tests/support/test_support.h"
#include "testhost/desktop.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "testhost/script.h"

namespace srtm::test {
namespace {

bool Step(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "plugin life: %s failed\n", what);
  return ok;
}

bool RunScript(const std::string& text, const char* what) {
  host::Script user(text);
  const bool ok = user.Run();
  if (!ok) std::fprintf(stderr, "%s\n", user.Report().c_str());
  return Step(ok, what);
}

bool ReadBlocks(QLP_HANDLE map, int count) {
  std::vector<std::int16_t> block;
  // Block row 551, columns 717 on: across the tiles around 57 N 11 E.
  for (int i = 0; i < count; ++i) {
    const int row = 551 + i % 4, column = 717 + i / 4;
    const std::int32_t number = (row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 + (column % 100) * 100;
    if (host::ReadMapBlock(map, number, &block) != 1) return false;
  }
  return true;
}

int Life() {
  host::Reset();
  host::ResetDesktop();
  host::StartCapturingMessageBoxes();
  TempFolder folder;
  const std::vector<std::uint8_t> tile = RealTile();
  for (const char* name : {"N57E011.hgt", "N57E012.hgt", "N58E011.hgt", "N58E012.hgt"}) {
    if (!Step(WriteBytes(folder.File(name), tile), "writing the tiles")) return 1;
  }
  const std::string out = folder.MakeFolder("out");

  bool ok = true;
  {
    host::Plugin plugin;
    if (!Step(plugin.Load(BinaryDir() + "/srtm.qlp"), "loading srtm.qlp")) return 1;
    PluginInfo info{};
    ok = Step(plugin.Create(&info, host::kPluginHandle) == 1, "Create") &&
         Step(plugin.LoadMenus() == 1, "Load");

    const QLP_HANDLE base = ok ? host::OpenFile(folder.File("N57E011.hgt")) : 0;
    ok = ok && Step(base != 0, "opening a tile") && Step(ReadBlocks(base, 24), "reading blocks");
    const QLP_HANDLE dropped = ok ? host::DropFile(folder.File("N58E012.hgt")) : 0;
    ok = ok && Step(dropped != 0, "dropping a tile") && Step(ReadBlocks(dropped, 8), "reading blocks");

    ok = ok && RunScript("menu " + host::ScriptWord("地形データ設定") +
                             "\nwait dialog 30700\ncheck 30701 off\ntype 30703 12\nclick 1\nwait gone 30700\n",
                         "changing the settings") &&
         Step(ReadBlocks(base, 8), "reading blocks under the new settings");

    ok = ok && RunScript("menu " + host::ScriptWord("地形データ圧縮") + "\ntype 30710 " + host::ScriptWord(out) +
                             "\nclick 30705\nwait dialog 30716\nclick 30705\nwait dialog 30717\n"
                             "expect check 30719 on\nclick 30705\nwait gone 30717\n",
                         "compressing through the wizard");
    std::vector<platform::DirEntry> written;
    platform::FindFiles(out.c_str(), "*.xem", &written);
    ok = ok && Step(written.size() == 4, "writing four XEM files");

    for (QLP_HANDLE map : host::ViewMaps(1)) host::CloseMap(map);
    plugin.Close();
    plugin.Release();
    plugin.Unload();
  }
  host::SetUser(nullptr);
  host::ResetDesktop();
  host::Reset();
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace srtm::test

int main() {
  const int result = srtm::test::Life();
  std::printf(result == 0 ? "plugin life: every step done\n" : "plugin life: FAILED\n");
  return result;
}

#include "demo/demo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "hgt/paths.h"
#include "picture/map_picture.h"
#include "picture/relief.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "shell/pluginif.h"
#include "testhost/host.h"
#include "testhost/maps.h"
#include "testhost/script.h"
#include "testhost/xem_maps.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/xem_map.h"

namespace srtm::demo {
namespace {

using picture::ReliefGrid;
using picture::Surface;
using Clock = std::chrono::steady_clock;

constexpr int kMaxPictureSide = 1250;
constexpr char kRunPage[] = "dialog 30716";

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Usage(FILE* out) {
  std::fprintf(out,
               "usage: srtm-demo [--plugin PATH] TILE.hgt --out FOLDER [--level N] [--region S,W,N,E]\n"
               "  Shows what the plug-in does, through the stand-in host and its scripted user:\n"
               "  opens TILE.hgt (copied alone into FOLDER/tiles) as a whole-globe map and draws\n"
               "  the served blocks around it; sets the sea level to N metres (default 25) in\n"
               "  the settings dialog and draws again; compresses the folder with the wizard\n"
               "  into FOLDER/xem, its progress bar drawn here; lets the wizard's Finish register\n"
               "  the XEM file and draws the map the host decodes from it through the plug-in's\n"
               "  XEM hook. The pictures go to FOLDER; a summary ends the run.\n"
               "  --region: the area drawn, in degrees (default: the tile and half a degree\n"
               "  around it).\n");
  return out == stdout ? cli::kExitOk : cli::kExitUsage;
}

// The scripted user of the demo, who also watches the progress bars the plug-in moves
// and draws them in the terminal, as a person watches the wizard.
class WatchingUser : public host::Script {
 public:
  WatchingUser(const std::string& text, std::vector<std::pair<std::string, std::string>> names)
      : Script(text, std::move(names)), terminal_(cli::IsTerminal(stdout)) {}

  bool Look() override {
    Watch();
    return Script::Look();
  }
  bool RunDue() override {
    Watch();
    return Script::RunDue();
  }
  // Ends the bar's line.
  void Done() {
    if (drawn_ >= 0) std::printf("\n");
    drawn_ = -1;
  }
  double compressionMs() const { return runPageMs_; }

 private:
  // The newest window event; a moved progress bar is "ui progress <dialog> <position>".
  void Watch() {
    const std::vector<std::string> log = host::CallLog();
    if (log.empty() || log.back() == lastLine_) return;
    lastLine_ = log.back();
    if (lastLine_.rfind("ui progress ", 0) != 0) return;
    const std::size_t space = lastLine_.rfind(' ');
    const std::string dialog = lastLine_.substr(12, space - 12);
    const int position = std::atoi(lastLine_.c_str() + space + 1);
    const char* what = dialog == kRunPage ? "compressing" : "registering";
    if (dialog == kRunPage) {
      if (runPageStart_ == Clock::time_point()) runPageStart_ = Clock::now();
      runPageMs_ = MsSince(runPageStart_);
    }
    Draw(what, position);
  }
  void Draw(const std::string& what, int position) {
    if (position == drawn_ && what == drawnWhat_) return;
    if (!drawnWhat_.empty() && what != drawnWhat_) Done();
    const int width = 40;
    const int filled = std::max(0, std::min(width, position * width / 100));
    // On a terminal the bar is redrawn in place; in a log every tenth step gets a line.
    if (terminal_) {
      std::printf("\r   %-12s [%s%s] %3d%%", what.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(width - filled), '.').c_str(), position);
    } else if (position / 10 != drawn_ / 10 || what != drawnWhat_) {
      std::printf("   %-12s [%s%s] %3d%%\n", what.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(width - filled), '.').c_str(), position);
    }
    std::fflush(stdout);
    drawn_ = position;
    drawnWhat_ = what;
    if (!terminal_ && position >= 100) drawn_ = -1;
  }

  bool terminal_;
  int drawn_ = -1;
  std::string drawnWhat_;
  std::string lastLine_;
  Clock::time_point runPageStart_;
  double runPageMs_ = 0;
};

// Runs a script as the user, $NAME in its texts standing for the paths of `names`; false,
// with the errors printed, when a step failed.
bool RunScript(const std::string& text, std::vector<std::pair<std::string, std::string>> names = {},
               double* compressionMs = nullptr) {
  WatchingUser user(text, std::move(names));
  const bool ok = user.Run();
  user.Done();
  if (compressionMs) *compressionMs = user.compressionMs();
  for (const std::string& error : user.errors()) std::fprintf(stderr, "demo: scripted user: %s\n", error.c_str());
  return ok;
}

struct Counts {
  std::size_t land = 0, sea = 0, missing = 0;
};
Counts Count(const ReliefGrid& grid) {
  Counts c;
  for (Surface s : grid.surface) {
    (s == Surface::kLand ? c.land : s == Surface::kSea ? c.sea : c.missing)++;
  }
  return c;
}
double Percent(std::size_t part, std::size_t whole) { return whole ? 100.0 * part / whole : 0.0; }

bool WritePicture(const ReliefGrid& grid, const std::string& folder, const char* name, std::vector<std::string>* written) {
  const std::string path = folder + "\\" + name;
  const std::string problem = picture::WriteReliefPng(grid, picture::ScaleToFit(grid, kMaxPictureSide), path);
  if (!problem.empty()) {
    std::fprintf(stderr, "demo: %s\n", problem.c_str());
    return false;
  }
  written->push_back(platform::ToNativePath(path));
  return true;
}

// Copies a file byte for byte by the output rule; false, with the reason, when it cannot.
bool CopyFile(const std::string& from, const std::string& to, std::string* why) {
  std::uint64_t size = 0;
  auto in = platform::OpenShared(from.c_str());
  if (!in || !platform::GetFileSize(from.c_str(), &size)) {
    *why = platform::ToNativePath(from) + ": " + platform::LastErrorText();
    return false;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t got = 0;
  if (!in->Read(bytes.data(), bytes.size(), &got) || got != bytes.size()) {
    *why = platform::ToNativePath(from) + ": cannot be read whole";
    return false;
  }
  if (platform::WriteOutputFile(to, bytes.data(), bytes.size(), why, {from})) return true;
  *why = platform::ToNativePath(to) + ": " + *why;
  return false;
}

// True when `folder` may be the demo's: missing, or holding nothing but the one regular
// file it writes there (`own`); else false, with the reason. The demo replaces only what
// it made there and removes nothing, so it refuses such a folder before it touches
// anything.
bool IsOwnFolder(const std::string& folder, const std::string& own, std::string* why) {
  platform::Destination at;
  if (platform::CurrentEnv()->Locate(folder.c_str(), &at) && at.kind == platform::PathKind::kMissing) return true;
  std::vector<platform::DirEntry> entries;
  if (!platform::FindFiles(folder.c_str(), "*", &entries)) {
    *why = platform::ToNativePath(folder) + " is not a folder the demo can read";
    return false;
  }
  for (const platform::DirEntry& entry : entries) {
    const std::string path = folder + "\\" + entry.name;
    platform::Destination to;
    if (entry.name == own && platform::CurrentEnv()->Locate(path.c_str(), &to) &&
        to.kind == platform::PathKind::kRegular && to.path == path && to.descriptor < 0) {
      continue;
    }
    *why = platform::ToNativePath(folder) + " holds " + entry.name;
    if (platform::IsTemporaryName(entry.name)) {
      *why += ", a temporary file left by a run that was killed (remove it)";
    } else {
      *why += entry.name == own ? ", which is not a file the demo made" : ", which the demo did not make there";
    }
    return false;
  }
  return true;
}

std::string Thousands(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

int Run(host::Plugin& plugin, int argc, char** argv) {
  std::string tileArg, outArg;
  std::int32_t level = 25;
  picture::Region region;
  bool regionGiven = false;
  for (int i = 0; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (cli::IsHelp(argv[i])) return Usage(stdout);
    if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
      outArg = argv[++i];
    } else if (std::strcmp(argv[i], "--level") == 0 && hasValue) {
      if (!cli::ParseInt32(argv[++i], &level)) return Usage(stderr);
    } else if (std::strcmp(argv[i], "--region") == 0 && hasValue) {
      if (!picture::ParseRegion(argv[++i], &region)) return Usage(stderr);
      regionGiven = true;
    } else if (!cli::LooksLikeOption(argv[i]) && tileArg.empty()) {
      tileArg = argv[i];
    } else {
      return Usage(stderr);
    }
  }
  if (tileArg.empty() || outArg.empty()) return Usage(stderr);
  const Clock::time_point demoStart = Clock::now();

  // ---- The folder: the tile alone, an empty output folder ----
  const std::string source = platform::FromUserPath(tileArg);
  const std::string out = platform::FromUserPath(outArg);
  const std::string tiles = out + "\\tiles";
  const std::string xemFolder = out + "\\xem";
  std::string tileName;
  double latD = 0, lonD = 0;
  const std::int32_t kind = ClassifyHgtFile(source, &latD, &lonD);
  if (kind == kNotTile || !SplitPath(source, nullptr, &tileName)) {
    std::fprintf(stderr, "demo: %s is not an SRTM tile\n", tileArg.c_str());
    return cli::kExitInput;
  }
  const int lat = static_cast<int>(latD), lon = static_cast<int>(lonD);
  const std::string xemName = tileName.substr(0, tileName.size() - 4) + ".xem";  // a tile's name ends in .hgt
  const std::string tile = tiles + "\\" + tileName;
  // The host takes the paths of the maps it opens in buffers of its own size.
  if (xemFolder.size() + 1 + xemName.size() >= QLP_MAX_PATH || tile.size() >= QLP_MAX_PATH) {
    std::fprintf(stderr, "demo: %s: the host takes paths of at most %d bytes, and the demo's files there would "
                 "have longer ones; choose a shorter --out folder\n", outArg.c_str(), QLP_MAX_PATH - 1);
    return cli::kExitOutput;
  }
  std::string refused;
  if (!IsOwnFolder(tiles, tileName, &refused) || !IsOwnFolder(xemFolder, xemName, &refused)) {
    std::fprintf(stderr, "demo: %s; choose another --out folder\n", refused.c_str());
    return cli::kExitOutput;
  }
  std::error_code made;
  std::filesystem::create_directories(platform::ToNativePath(tiles), made);
  std::filesystem::create_directories(platform::ToNativePath(xemFolder), made);
  platform::FileId from, to;
  const bool inPlace = platform::CurrentEnv()->Identify(source.c_str(), &from) &&
                       platform::CurrentEnv()->Identify(tile.c_str(), &to) && from == to;
  if (!inPlace && !CopyFile(source, tile, &refused)) {
    std::fprintf(stderr, "demo: %s\n", refused.c_str());
    return cli::kExitOutput;
  }
  if (!regionGiven) region = picture::Region{lat - 0.5, lon - 0.5, lat + 1.5, lon + 1.5};

  PluginInfo info;
  std::memset(&info, 0xCD, sizeof info);
  host::StartCapturingMessageBoxes();
  if (!plugin.Create(&info, host::kPluginHandle)) {
    std::fprintf(stderr, "demo: the plug-in refused the host\n");
    return cli::kExitFailed;
  }
  plugin.LoadMenus();
  std::vector<std::string> pictures;
  bool ok = true;

  // ---- 1. The tile opened as a whole-globe map ----
  std::printf("1. The host opens %s through the plug-in's map source\n", tileName.c_str());
  Clock::time_point t = Clock::now();
  const QLP_HANDLE map = host::OpenFile(tile);
  const double openMs = MsSince(t);
  host::OpenedMap opened;
  if (!map || !host::GetOpenedMap(map, &opened)) {
    std::fprintf(stderr, "demo: no map source opens %s\n", platform::ToNativePath(tile).c_str());
    plugin.Release();
    return cli::kExitFailed;
  }
  std::printf("   %s: %d x %d samples, %g per degree, edges %.4f S to %.4f N, %.4f W to %.4f E\n",
              cli::ToTerminal(opened.typeName).c_str(), opened.width, opened.height, opened.samplesPerDegreeY,
              opened.south, opened.north, opened.west, opened.east);

  picture::ServedMap served;
  served.originLat = static_cast<int>(std::lround(opened.south + 0.5 / opened.samplesPerDegreeY));
  served.originLon = static_cast<int>(std::lround(opened.west + 0.5 / opened.samplesPerDegreeX));
  served.tileSpan = static_cast<int>(opened.samplesPerDegreeY);
  served.width = opened.width;
  served.height = opened.height;
  int blocksRead = 0;
  served.readBlock = [map, &blocksRead](std::int32_t number, std::vector<std::int16_t>* samples) {
    ++blocksRead;
    return host::ReadMapBlock(map, number, samples) == 1;
  };
  served.hasTile = [&tiles, kind](int la, int lo) { return ClassifyHgtFile(FormatTilePath(tiles, la, lo)) == kind; };
  picture::Lattice lattice;
  if (!picture::RegionLattice(region, opened.samplesPerDegreeY, std::int64_t{64} << 20, &lattice)) {
    std::fprintf(stderr, "demo: the region holds no samples or too many\n");
    plugin.Release();
    return cli::kExitUsage;
  }
  std::string error;
  ReliefGrid before, after;
  t = Clock::now();
  ok = picture::ServedRelief(served, lattice, true, &before, &error) && ok;
  const double renderMs = MsSince(t);
  const int blocksPerPicture = blocksRead;
  ok = WritePicture(before, out, "1-served-sea-0m.png", &pictures) && ok;
  const Counts c0 = Count(before);
  std::printf("   %d served blocks drawn in %.0f ms: sea %.1f%%, land %.1f%%, tiles not in the folder %.1f%%\n",
              blocksPerPicture, renderMs, Percent(c0.sea, before.surface.size()),
              Percent(c0.land, before.surface.size()), Percent(c0.missing, before.surface.size()));

  // ---- 2. The sea level changed in the settings dialog ----
  std::printf("2. The user sets the sea level to %d m in the settings dialog\n", level);
  const std::string settings = "menu \"地形データ設定\"\n"
                               "wait dialog 30700\n"
                               "expect check 30702 on\n"
                               "type 30703 " + host::ScriptWord(std::to_string(level)) + "\n"
                               "click 1\n"
                               "wait gone 30700\n";
  t = Clock::now();
  ok = RunScript(settings) && ok;
  const double settingsMs = MsSince(t);
  ok = picture::ServedRelief(served, lattice, true, &after, &error) && ok;
  ok = WritePicture(after, out, ("2-served-sea-" + std::to_string(level) + "m.png").c_str(), &pictures) && ok;
  const Counts c1 = Count(after);
  std::printf("   drawn again: sea %.1f%% (was %.1f%%); %s samples went under water\n",
              Percent(c1.sea, after.surface.size()), Percent(c0.sea, before.surface.size()),
              Thousands(c1.sea >= c0.sea ? c1.sea - c0.sea : 0).c_str());

  // ---- 3. The folder compressed with the wizard ----
  std::printf("3. The user compresses the folder with the wizard into %s\n",
              platform::ToNativePath(xemFolder).c_str());
  const std::string wizard = "menu \"地形データ圧縮\"\n"
                             "wait dialog 30715\n"
                             "type 30710 $XEM\n"  // a path, not a text of the script to convert
                             "click 30705\n"
                             "wait dialog 30716\n"
                             "click 30705\n"
                             "wait dialog 30717\n"
                             "expect check 30719 on\n"
                             "click 30705\n"
                             "wait gone 30717\n"
                             "expect main enabled\n";
  double compressionMs = 0;
  t = Clock::now();
  ok = RunScript(wizard, {{"XEM", xemFolder}}, &compressionMs) && ok;
  const double wizardMs = MsSince(t);

  // ---- 4. The XEM file registered and decoded by the host ----
  const std::vector<std::string> registered = host::DynamicXemFiles();
  const QLP_HANDLE cover = QLP_GetActiveCoverMap();
  XemHeader header;
  std::uint64_t xemBytes = 0, tileBytes = 0;
  platform::GetFileSize(tile.c_str(), &tileBytes);
  if (registered.empty() || !host::GetXemHeader(cover, &header)) {
    std::fprintf(stderr, "demo: the wizard registered no XEM file with the host\n");
    plugin.Release();
    return cli::kExitFailed;
  }
  platform::GetFileSize(registered.front().c_str(), &xemBytes);
  std::printf("4. Finish registered %s with the host, which opened it as its cover map\n",
              platform::ToNativePath(registered.front()).c_str());
  picture::XemMap xem = cli::XemMapOf(header);
  xem.readBlock = [cover](int column, int row, std::vector<std::uint16_t>* samples, std::string* why) {
    return host::ReadXemBlock(cover, column, row, samples, why);
  };
  ReliefGrid decoded;
  t = Clock::now();
  ok = picture::XemRelief(xem, lattice, &decoded, &error) && ok;
  const double decodeMs = MsSince(t);
  ok = WritePicture(decoded, out, ("3-xem-sea-" + std::to_string(level) + "m.png").c_str(), &pictures) && ok;
  // Where the XEM file has data, the host shows what the plug-in served.
  std::size_t compared = 0, same = 0, belowZero = 0;
  for (std::size_t i = 0; i < decoded.surface.size(); ++i) {
    if (decoded.surface[i] == Surface::kMissing) continue;
    ++compared;
    if (decoded.surface[i] == after.surface[i] &&
        (decoded.surface[i] != Surface::kLand || decoded.heights[i] == after.heights[i])) {
      ++same;
    } else if (decoded.surface[i] == Surface::kLand && decoded.heights[i] < 0 && after.surface[i] == Surface::kSea) {
      ++belowZero;
    }
  }
  std::printf("   decoded through the XEM hook in %.0f ms; equal to the served map at %.2f%% of its %s samples\n",
              decodeMs, Percent(same, compared), Thousands(compared).c_str());
  if (belowZero) {
    std::printf("   (%s samples below 0 m are sea in the served map but land here: the XEM hook compares\n"
                "   heights unsigned, so it never makes a negative height sea)\n",
                Thousands(belowZero).c_str());
  }
  if (compared - same - belowZero) {
    std::printf("   %s samples differ otherwise\n", Thousands(compared - same - belowZero).c_str());
  }
  plugin.Close();
  plugin.Release();
  if (!error.empty()) std::fprintf(stderr, "demo: %s\n", error.c_str());

  // ---- Summary ----
  std::printf("\n== Summary\n");
  std::printf("tile           %s, %s, %s bytes\n", tileName.c_str(), kind == kSrtm1 ? "SRTM-1" : "SRTM-3",
              Thousands(tileBytes).c_str());
  std::printf("XEM file       %s bytes: %.1f times smaller than the tile (%.1f%% of its size)\n",
              Thousands(xemBytes).c_str(), xemBytes ? static_cast<double>(tileBytes) / xemBytes : 0.0,
              Percent(xemBytes, tileBytes));
  std::printf("times          open %.1f ms; %d blocks served and drawn %.0f ms; settings %.0f ms;\n"
              "               compression %.0f ms (wizard %.0f ms in all); XEM decoded and drawn %.0f ms;\n"
              "               whole demo %.1f s\n",
              openMs, blocksPerPicture, renderMs, settingsMs, compressionMs, wizardMs, decodeMs,
              MsSince(demoStart) / 1000);
  std::printf("sea level      0 m: %.1f%% of the picture sea; %d m: %.1f%%\n", Percent(c0.sea, before.surface.size()),
              level, Percent(c1.sea, after.surface.size()));
  std::printf("pictures       (grey hatching: no data there)\n");
  for (const std::string& p : pictures) std::printf("               %s\n", p.c_str());
  std::printf("%s\n", ok ? "demo finished" : "demo finished WITH ERRORS (see above)");
  return ok ? cli::kExitOk : cli::kExitFailed;
}

}  // namespace srtm::demo

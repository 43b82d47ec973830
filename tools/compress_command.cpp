// srtm compress: the tiles named, the tiles of a folder, or those of the wizard's rule
// into XEM files, on several threads, with progress on stderr and one line of outcome
// on stdout; Ctrl-C stops as the wizard's Abort button does.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tools/batch_cli.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/parallel_compress.h"
#include "tools/tile_check.h"

namespace srtm::cli {
namespace {

// Progress of a batch: per finished tile off a terminal, the bar on one.
class CompressDisplay {
 public:
  CompressDisplay(const std::vector<TileJob>& tiles, bool quiet) : tiles_(tiles), display_("compress", quiet) {}

  void Update(const CompressProgress& p) {
    const double fraction = p.blocksTotal > 0 ? static_cast<double>(p.blocksDone) / p.blocksTotal : 1.0;
    // Why a tile was not converted is told whatever the display, also with --quiet.
    for (const FinishedTile& f : p.finished) {
      if (f.outcome == TileOutcome::kFailed && !f.failure.empty()) {
        display_.Message(tiles_[f.index].name + ": not converted: " + f.failure);
      }
    }
    if (display_.terminal()) {
      display_.Bar(fraction, p.tilesDone, p.tilesTotal);
      return;
    }
    std::size_t done = p.tilesDone - p.finished.size();
    for (const FinishedTile& f : p.finished) {
      const char* what = f.outcome == TileOutcome::kConverted      ? "done"
                         : f.outcome == TileOutcome::kAlreadyThere ? "already there"
                         : f.outcome == TileOutcome::kStopped      ? "stopped"
                                                                   : "not converted";
      display_.Line(fraction, ++done, p.tilesTotal, tiles_[f.index].name, what);
    }
  }
  void Finish() { display_.Finish(); }
  double Seconds() const { return display_.Seconds(); }

 private:
  const std::vector<TileJob>& tiles_;
  ProgressDisplay display_;
};

void CompressDetails(FILE* out) {
  std::fprintf(out,
               "Compresses tiles into OUTDIR%s<tile>.xem, each file byte for byte what the\n"
               "plug-in's compression wizard writes: each TILE.hgt named, and only those; for a\n"
               "FOLDER, every tile of either kind in it (SRTM-1 and SRTM-3, each by its size;\n"
               "sub-folders are not searched); for --like REFERENCE.hgt, every tile of the kind\n"
               "of REFERENCE.hgt in its folder, as the wizard does. Files named *.hgt\n"
               "in a FOLDER that are not tiles are passed over with the reason; finding no tile\n"
               "at all is an error that says what the folder holds (sub-folders with tiles,\n"
               "downloads for srtm import). OUTDIR is made when missing, parents too. Voids are\n"
               "filled first (--fill, default on). Existing XEM files are replaced, or with\n"
               "--skip-existing left as they are and counted as already there (a resumed run\n"
               "succeeds). Progress goes to standard error: a bar on a terminal, a line per\n"
               "tile otherwise. A tile not converted is named with the reason, also with\n"
               "--quiet. At the end one line on standard output says what was done:\n"
               "  compress: 40 tiles converted, 2 already there, 0 failed -> xem%s\n"
               "\n"
               "Options:\n"
               "  -o OUTDIR         the folder the XEM files go to (made when missing)\n"
               "  --like REFERENCE.hgt\n"
               "                    also every tile of the kind of REFERENCE.hgt in its folder\n"
               "  --fill on|off     fill voids before compressing (default on)\n"
               "  --skip-existing   leave XEM files already in OUTDIR as they are\n"
               "  --list            print the path of each XEM file written on standard output\n"
               "  --jobs N          convert N tiles at a time (default: the number of cores)\n"
               "  --shard K/N       convert only part K of N of the tile list sorted by name\n"
               "                    (tiles K, K+N, K+2N, ...), so that N machines share one archive\n"
               "  --quiet           no progress on standard error (a tile not converted is still\n"
               "                    named, with the reason, and the last line still printed)\n"
               "\n"
               "Exit status: 0 when every tile was converted or already there; %d for wrong\n"
               "arguments (also one tile name given twice); %d for a missing or wrong input, or\n"
               "no tile found; %d when OUTDIR (also -o naming a file, or a folder that cannot\n"
               "be made) or an XEM file cannot be written; %d when some tiles failed otherwise;\n"
               "128 + the signal after Ctrl-C (%d) or a termination signal (no partial file is\n"
               "left).\n",
               kPathSeparator, kPathSeparator, kExitUsage, kExitInput, kExitOutput, kExitFailed, kExitInterrupted);
}
const CommandHelp kCompressHelp = {
    "compress", "(TILE.hgt | FOLDER)... -o OUTDIR [OPTION]...\n--like REFERENCE.hgt -o OUTDIR [OPTION]...",
    CompressDetails};

// The name of a tile's XEM file, as XemPathForTile makes it.
std::string XemName(const std::string& tileName) {
  return tileName.substr(0, std::min(tileName.rfind('.'), tileName.size())) + ".xem";
}

// A file of a folder as typed ("tiles" or "tiles/" and "N57E011.hgt").
std::string Join(const std::string& userFolder, const std::string& name) {
  const bool ends = !userFolder.empty() && (userFolder.back() == '/' || userFolder.back() == kPathSeparator[0]);
  return ends ? userFolder + name : userFolder + kPathSeparator + name;
}

// "srtm compress: TEXT" on stderr.
void Say(const std::string& text) { std::fprintf(stderr, "srtm compress: %s\n", text.c_str()); }

// At most a few names of a list, then how many more.
std::string Some(const std::vector<std::string>& names) {
  const std::size_t shown = std::min<std::size_t>(names.size(), 5);
  std::string text;
  for (std::size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more";
  return text;
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Why a folder without a tile is one: what it holds instead, so that a user sees where
// the tiles are (a level down, still in their downloads) or that it is the wrong folder.
void SayWhatIsThere(const std::string& userFolder, const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  platform::FindFiles(folder.c_str(), "*", &entries);
  std::vector<std::string> withTiles, downloads, others;
  for (const platform::DirEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    std::string path = folder;
    if (!AppendPath(path, entry.name.c_str())) continue;
    if (entry.isDirectory) {
      std::vector<TileJob> below;
      (ListTiles(path, true, &below) && !below.empty() ? withTiles : others).push_back(entry.name + kPathSeparator);
      continue;
    }
    const TileCheck check = CheckTile(Join(userFolder, entry.name));
    (check.download ? downloads : others).push_back(entry.name);
  }
  for (std::vector<std::string>* list : {&withTiles, &downloads, &others}) std::sort(list->begin(), list->end());
  Say("no tile in " + userFolder + " (a tile is named like N57E011.hgt and is " + std::to_string(kSrtm3FileSize) +
      " or " + std::to_string(kSrtm1FileSize) + " bytes long)");
  if (withTiles.empty() && downloads.empty() && others.empty()) Say(userFolder + " is empty");
  if (!withTiles.empty()) {
    Say(userFolder + " holds " + Count(withTiles.size(), "sub-folder", "sub-folders") + " with tiles: " +
        Some(withTiles) + " (name them: srtm compress " + Join(userFolder, withTiles.front()) + " ...)");
  }
  if (!downloads.empty()) {
    Say(userFolder + " holds " + Count(downloads.size(), "download", "downloads") + ": " + Some(downloads) +
        " (srtm import makes tiles of downloads)");
  }
  if (!others.empty()) Say(userFolder + " holds " + Count(others.size(), "other entry", "other entries") + ": " + Some(others));
}

// A named file that is not a tile, with the reason; downloads pointed to srtm import.
int NotATile(const std::string& userPath, const TileCheck& check) {
  Say(userPath + ": not a tile: " + check.problem +
      (check.download ? "; srtm import makes tiles of downloads" : ""));
  return kExitInput;
}

// The tiles the operands mean; an exit code when one of them is wrong (after the message).
int GatherTiles(const std::vector<std::string>& operands, const std::string& like, std::vector<TileJob>* tiles) {
  if (!like.empty()) {
    const TileCheck check = CheckTile(like);
    if (check.kind == kNotTile) return NotATile(like, check);
    std::vector<TileJob> same;
    if (!ListTiles(platform::FromUserPath(like), false, &same)) {
      Say("the folder of " + like + " cannot be read");
      return kExitInput;
    }
    tiles->insert(tiles->end(), same.begin(), same.end());
  }
  std::vector<std::pair<std::string, std::string>> empty;  // folders without a tile, as given and as paths
  for (const std::string& operand : operands) {
    const std::string path = platform::FromUserPath(operand);
    if (platform::Inspect(path.c_str()) == platform::PathKind::kFolder) {
      std::vector<TileJob> found;
      std::vector<std::string> notTiles;
      if (!ListTiles(path, true, &found, &notTiles)) {
        Say(operand + ": the folder cannot be read: " + platform::LastErrorText());
        return kExitInput;
      }
      for (const std::string& name : notTiles) {
        const std::string userPath = Join(operand, name);
        Say(userPath + " passed over: not a tile: " + CheckTile(userPath).problem);
      }
      if (found.empty()) empty.emplace_back(operand, path);
      tiles->insert(tiles->end(), found.begin(), found.end());
      continue;
    }
    const TileCheck check = CheckTile(operand);
    if (check.kind == kNotTile) return NotATile(operand, check);
    TileJob job;
    job.path = path;
    SplitPath(path, nullptr, &job.name);
    job.kind = check.kind;
    job.lat = check.lat;
    job.lon = check.lon;
    tiles->push_back(std::move(job));
  }
  if (tiles->empty()) {
    for (const auto& folder : empty) SayWhatIsThere(folder.first, folder.second);
    return kExitInput;
  }
  // One XEM file a name: the same tile twice is converted once, two tiles of one name
  // would overwrite each other.
  SortTiles(tiles);
  std::vector<TileJob> unique;
  for (TileJob& tile : *tiles) {
    if (!unique.empty() && SameTileName(unique.back().name, tile.name)) {
      if (unique.back().path == tile.path) continue;
      Say(platform::ToNativePath(unique.back().path) + " and " + platform::ToNativePath(tile.path) +
          " would both be written as " + XemName(tile.name) + ": name one of them");
      return kExitUsage;
    }
    unique.push_back(std::move(tile));
  }
  tiles->swap(unique);
  return kExitOk;
}

}  // namespace

int Compress(int argc, char** argv) {
  std::vector<std::string> operands;
  std::string outputFolder, like;
  std::int32_t fill = 1;
  bool list = false;
  BatchOptions batch;
  Args args(kCompressHelp, argc, argv);
  while (args.Next()) {
    if (ParseBatchOption(args, &batch) || args.Value("-o|--output", &outputFolder) || args.Switch("--fill", &fill) ||
        args.Value("--like", &like)) {
      continue;
    }
    if (args.Flag("--list")) {
      list = true;
    } else {
      args.MoreOperands(&operands);
    }
  }
  if (args.stopped()) return args.exitCode();
  if (operands.empty() && like.empty()) return args.Fail("no TILE.hgt, FOLDER or --like REFERENCE.hgt given");
  if (outputFolder.empty()) return args.Fail("no output folder given (-o OUTDIR)");

  std::vector<TileJob> all;
  const int gathered = GatherTiles(operands, like, &all);
  if (gathered != kExitOk) return gathered;

  // The longest path of an XEM file there must fit the paths this world takes.
  const std::string outputPath = platform::FromUserPath(outputFolder);
  if (outputPath.size() + sizeof "\\N00E000.xem" > kPathBufferSize) {
    Say(outputFolder + ": the paths of its files would be longer than the " + std::to_string(kPathBufferSize - 1) +
        " bytes paths may have");
    return kExitOutput;
  }
  if (!PrepareOutputFolder("compress", outputFolder)) return kExitOutput;

  const int part = batch.part, parts = batch.parts, jobs = batch.jobs;
  const bool quiet = batch.quiet;
  const int overwrite = batch.skipExisting ? 0 : 1;
  std::vector<TileJob> tiles = SelectPart(all, part, parts);
  for (TileJob& tile : tiles) tile.fillVoids = fill;
  if (!quiet) {
    std::fprintf(stderr, "compress: %zu tile%s", tiles.size(), tiles.size() == 1 ? "" : "s");
    if (parts > 1) std::fprintf(stderr, " (part %d of %d of %zu)", part, parts, all.size());
    std::fprintf(stderr, " into %s, fill %s, %d at a time\n", outputFolder.c_str(), fill ? "on" : "off",
                 std::min<int>(jobs, std::max<int>(1, static_cast<int>(tiles.size()))));
  }

  MessageBoxesToStderr boxes;
  InterruptGuard interrupts;
  CompressDisplay display(tiles, quiet);
  const CompressResult result = CompressTiles(tiles, outputPath, overwrite, jobs, [&](const CompressProgress& p) {
    display.Update(p);
    return !Interrupted();
  });
  display.Finish();
  const double seconds = display.Seconds();
  if (result.threads == 0 && !tiles.empty()) Say("no tile converted: the memory for one tile cannot be allocated");

  const std::size_t notStarted = static_cast<std::size_t>(
      std::count(result.outcomes.begin(), result.outcomes.end(), TileOutcome::kNotStarted));
  std::string summary = "compress: " + Count(result.converted, "tile", "tiles") + " converted, " +
                        std::to_string(result.alreadyThere) + " already there, " + std::to_string(result.failed) +
                        " failed";
  if (result.stopped) summary += ", stopped (no partial file is left)";
  if (notStarted > 0 && !tiles.empty() && result.threads > 0) summary += ", " + std::to_string(notStarted) + " not started";
  const std::string shown = Join(outputFolder, "");
  // The files written as the user named their folder, in the order of the list.
  for (std::size_t i = 0; list && i < tiles.size(); ++i) {
    if (result.outcomes[i] != TileOutcome::kConverted) continue;
    std::printf("%s%s\n", shown.c_str(), XemName(tiles[i].name).c_str());
  }
  std::printf("%s -> %s", summary.c_str(), shown.c_str());
  if (!quiet) {
    std::printf(" in %.2f s (%.1f tiles/s)", seconds, seconds > 0 ? static_cast<double>(result.converted) / seconds : 0.0);
  }
  std::printf("\n");
  platform::FlushStandardOutput();

  if (result.stopped) return InterruptedExitCode();
  if (result.outputFailed) return kExitOutput;
  return result.failed > 0 || (result.threads == 0 && !tiles.empty()) ? kExitFailed : kExitOk;
}

}  // namespace srtm::cli

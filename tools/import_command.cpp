// srtm import: elevation data as people download it (SRTM tiles under other names and
// inside archives, GeoTIFF and other rasters in any coordinate system) made into tiles
// the plug-in serves, on several threads, with progress on stderr.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "tools/args.h"
#include "tools/batch_cli.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/import.h"
#include "tools/raster_engine.h"

namespace srtm::cli {
namespace {

constexpr double kDefaultMinCover = 1;  // percent

void ImportDetails(FILE* out) {
  std::fprintf(out,
               "Writes the tiles that the SOURCEs cover into FOLDER (made when missing) as SRTM\n"
               "tiles: NsddEwddd.hgt, 3601 (srtm1) or 1201 (srtm3) samples square, big-endian,\n"
               "-32768 where nothing has data. Default kind: srtm1 when the finest source has\n"
               "1.5 arc-seconds or less between samples, else srtm3.\n"
               "\n"
               "SOURCE: an SRTM tile under any name that starts with its corner\n"
               "(N57E011.SRTMGL1.hgt, n57e011.hgt; its size tells its kind), any raster GDAL\n"
               "reads with a coordinate system (GeoTIFF, ...), a folder of them (all depths), or\n"
               "a .zip, .tar, .tar.gz or .gz holding them (archives inside archives opened\n"
               "through). Tiles and archives are read by srtm itself; rasters need its GDAL\n"
#if defined(_WIN32)
               "engine, which only the Linux build of srtm has.\n"
#else
               "engine (the package srtm-gdal).\n"
#endif
               "\n"
               "Every source that reaches a tile takes part in it, the first listed that has a\n"
               "value winning; sources one after another on one grid (a model's 1-degree files)\n"
               "are read as one mosaic. A tile of the kind asked for is taken sample by sample;\n"
               "others are resampled (a raster already on the tile grid is taken sample by\n"
               "sample). Heights are made metres (scale and offset, feet) and rounded; values no\n"
               "tile can hold (not finite, beyond +-32767 m) count as voids. Vertical datums are\n"
               "reported, never converted. A tile already in FOLDER takes part last: new values\n"
               "win, its other samples stay.\n"
               "\n"
               "Prints each source, then each tile: written, merged, replaced, left out or not\n"
               "written, with the samples taken from each source and the voids left.\n"
               "\n"
               "Options:\n"
               "  -o FOLDER           the folder the tiles go to\n"
               "  --kind srtm1|srtm3  the kind of tiles to make\n"
               "  --resampling bilinear|cubic|nearest|average\n"
               "                      how samples are resampled (default bilinear)\n"
               "  --replace           replace tiles already in FOLDER instead of merging into them\n"
               "  --skip-existing     leave tiles already in FOLDER as they are\n"
               "  --min-cover P       write a new tile only when the sources give values to at\n"
               "                      least P %% of its samples (default %g; 0: any value)\n"
               "  --jobs N            make N tiles at a time (default: the number of cores)\n"
               "  --shard K/N         make only part K of N of the tile list sorted by name\n"
               "  --quiet             no progress on standard error\n"
               "\n"
               "Exit status: 0 when all went through; %d when a source could not be used or\n"
               "read (the others still go through) or nothing was written; %d when FOLDER or a\n"
               "tile cannot be written; %d when a tile failed otherwise; 128 + the signal after\n"
               "Ctrl-C (%d) or a termination signal (no partial tile is left: each is written\n"
               "under a temporary name and renamed when complete). A FOLDER made by a run that\n"
               "writes no tile is removed again.\n",
               kDefaultMinCover, kExitInput, kExitOutput, kExitFailed, kExitInterrupted);
}
const CommandHelp kImportHelp = {"import", "SOURCE... -o FOLDER [OPTION]...", ImportDetails};

// The note on vertical datums when the sources name different ones.
void ReportDatums(const std::vector<ImportSource>& sources) {
  std::set<std::string> datums;
  for (const ImportSource& s : sources) {
    if (!s.raster.datum.empty()) datums.insert(s.raster.datum);
  }
  if (datums.size() < 2) return;
  std::string list;
  for (const std::string& d : datums) list += (list.empty() ? "" : ", ") + d;
  std::printf("note: the sources' heights refer to different vertical datums (%s), which can differ by a few "
              "metres; nothing is converted\n", list.c_str());
}

std::string Percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g%%", share * 100);
  return text;
}

std::string DescribeTile(const ImportTile& tile, const TileReport& r, const ImportOptions& options) {
  std::string text = tile.job.name + ": ";
  const char* kept = r.there ? "; the file there is kept" : "";
  switch (r.outcome) {
    case ImportOutcome::kSkipped: return text + "already there, left as it is";
    case ImportOutcome::kNotStarted: return text + "not started";
    case ImportOutcome::kEmpty: return text + "no source has a value in it, not written" + kept;
    case ImportOutcome::kLeftOut:
      return text + "left out: its sources give values to " + std::to_string(r.Taken()) + " of its " +
             std::to_string(r.samples) + " samples (" + Percent(static_cast<double>(r.Taken()) / r.samples) +
             ", below --min-cover " + Percent(options.minCover) + ")" + kept;
    case ImportOutcome::kUnchanged: return text + "unchanged: the tile there holds what the sources give";
    case ImportOutcome::kStopped: return text + "stopped, not written";
    case ImportOutcome::kFailed: return text + "NOT written: " + r.error;
    case ImportOutcome::kCopied: {  // every sample from one source, listed among the others that reach the tile
      const auto copied = std::max_element(r.from.begin(), r.from.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
      text += "copied byte for byte from " + copied->first + (r.there ? ", replacing the tile there: " : ": ");
      break;
    }
    case ImportOutcome::kWritten: text += "written: "; break;
    case ImportOutcome::kMerged: text += "merged into the tile there: "; break;
    case ImportOutcome::kReplaced: text += "replaced the tile there: "; break;
  }
  for (const auto& [label, count] : r.from) {
    if (count > 0 || r.from.size() == 1) text += std::to_string(count) + " samples from " + label + ", ";
  }
  if (r.kept > 0) text += std::to_string(r.kept) + " kept from the tile there, ";
  text += std::to_string(r.voids) + " void";
  if (r.invalid > 0) text += " (" + std::to_string(r.invalid) + " where a source holds values no tile can hold)";
  return text;
}

// Why nothing was written, when the sources gave nothing worth a tile; empty otherwise.
std::string NothingWritten(const std::vector<TileReport>& reports, const ImportOptions& options) {
  std::size_t empty = 0, leftOut = 0;
  for (const TileReport& r : reports) {
    switch (r.outcome) {
      case ImportOutcome::kEmpty: ++empty; break;
      case ImportOutcome::kLeftOut: ++leftOut; break;
      default: return "";
    }
  }
  if (leftOut == 0) return "the sources hold no value (only no-data) in the tiles they cover";
  return "the sources give values to less than " + Percent(options.minCover) + " of each tile they reach" +
         (empty > 0 ? " (or none)" : "") + "; --min-cover 0 writes such tiles";
}

}  // namespace

int Import(int argc, char** argv) {
  std::vector<std::string> files;
  std::string folder;
  std::int32_t kind = kNotTile;
  ImportOptions options;
  options.minCover = kDefaultMinCover / 100;
  BatchOptions batch;
  Args args(kImportHelp, argc, argv);
  std::string kindName, resamplingName, minCover;
  while (args.Next()) {
    if (ParseBatchOption(args, &batch) || args.Value("-o|--output", &folder)) continue;
    if (args.Value("--kind", &kindName)) {
      if (!args.stopped() && kindName != "srtm1" && kindName != "srtm3") {
        args.Fail("--kind wants srtm1 or srtm3, not '" + kindName + "'");
      }
      kind = kindName == "srtm1" ? kSrtm1 : kSrtm3;
    } else if (args.Value("--resampling", &resamplingName)) {
      if (!args.stopped() && !ParseResampling(resamplingName.c_str(), &options.resampling)) {
        args.Fail("--resampling wants bilinear, cubic, nearest or average, not '" + resamplingName + "'");
      }
    } else if (args.Flag("--replace")) {
      options.replace = true;
    } else if (args.Value("--min-cover", &minCover)) {
      double percent = -1;
      if (!args.stopped() && (!ParseDouble(minCover, &percent) || percent < 0 || percent > 100)) {
        args.Fail("--min-cover wants a percentage from 0 to 100, not '" + minCover + "'");
      }
      options.minCover = percent / 100;
    } else {
      args.MoreOperands(&files);
    }
  }
  if (args.stopped()) return args.exitCode();
  if (files.empty()) return args.Fail("no SOURCE given");
  if (folder.empty()) return args.Fail("no output folder given (-o FOLDER)");
  if (options.replace && batch.skipExisting) return args.Fail("--replace and --skip-existing exclude each other");
  options.skipExisting = batch.skipExisting;

  std::vector<ImportSource> sources;
  std::vector<std::string> errors, notes;
  ArchiveReader archives;
  FindSources(files, LoadRasterEngine, &archives, &sources, &errors, &notes);
  if (std::any_of(sources.begin(), sources.end(), [](const ImportSource& s) { return s.tileKind == 0; })) {
    std::string why;
    options.engine = LoadRasterEngine(&why);  // loaded already: a raster was measured with it
  }
  for (const std::string& n : notes) std::fprintf(stderr, "srtm import: %s\n", n.c_str());
  for (const ImportSource& s : sources) std::printf("source %s: %s\n", s.label.c_str(), s.Describe().c_str());
  ReportDatums(sources);
  if (kind == kNotTile) kind = DefaultKind(sources);
  const std::vector<ImportTile> all = PlanTiles(sources, kind, platform::FromUserPath(folder), &errors);
  for (const std::string& e : errors) std::fprintf(stderr, "srtm import: %s\n", e.c_str());
  if (all.empty()) {
    std::fprintf(stderr, "srtm import: no tile to write\n");
    return kExitInput;
  }
  std::vector<ImportTile> tiles;
  for (std::size_t i = static_cast<std::size_t>(batch.part - 1); i < all.size(); i += static_cast<std::size_t>(batch.parts)) {
    tiles.push_back(all[i]);
  }
  std::vector<std::filesystem::path> made;
  if (!PrepareOutputFolder("import", folder, &made)) return kExitOutput;
  const int jobs = std::max(1, std::min<int>(batch.jobs, static_cast<int>(tiles.size())));
  if (!batch.quiet) {
    std::fprintf(stderr, "import: %zu SRTM-%d tile%s", tiles.size(), kind, tiles.size() == 1 ? "" : "s");
    if (batch.parts > 1) std::fprintf(stderr, " (part %d of %d of %zu)", batch.part, batch.parts, all.size());
    std::fprintf(stderr, " into %s, %s, %d at a time\n", folder.c_str(), ResamplingName(options.resampling), jobs);
  }

  // Workers take the tiles in turn; this thread shows progress and watches for Ctrl-C.
  InterruptGuard interrupts;
  ProgressDisplay display("import", batch.quiet);
  std::vector<TileReport> reports(tiles.size());
  std::vector<std::atomic<double>> partial(static_cast<std::size_t>(jobs));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::size_t> finished;
  std::size_t done = 0;
  std::vector<std::thread> workers;
  for (int w = 0; w < jobs; ++w) {
    workers.emplace_back([&, w] {
      for (std::size_t i; !stop.load() && (i = next.fetch_add(1)) < tiles.size();) {
        partial[w].store(0);
        TileReport r = MakeTile(tiles[i], sources, options, [&](double share) {
          partial[w].store(share);
          return !stop.load();
        });
        partial[w].store(0);
        std::lock_guard<std::mutex> lock(mutex);
        reports[i] = std::move(r);
        finished.push_back(i);
        changed.notify_all();
      }
    });
  }
  while (done < tiles.size() && !stop.load()) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(100));
    if (Interrupted()) stop.store(true);
    double share = 0;
    for (const auto& p : partial) share += p.load();
    const double fraction = (static_cast<double>(done + finished.size()) + share) / static_cast<double>(tiles.size());
    if (display.terminal()) {
      done += finished.size();
      display.Bar(fraction, done, tiles.size());
    } else {
      for (std::size_t i : finished) {
        const ImportOutcome o = reports[i].outcome;
        const char* what = o == ImportOutcome::kFailed    ? "NOT written"
                           : o == ImportOutcome::kStopped ? "stopped"
                           : o == ImportOutcome::kSkipped ? "already there"
                           : o == ImportOutcome::kEmpty   ? "empty"
                           : o == ImportOutcome::kLeftOut ? "left out"
                                                          : "done";
        display.Line(fraction, ++done, tiles.size(), tiles[i].job.name, what);
      }
    }
    finished.clear();
  }
  for (std::thread& t : workers) t.join();
  display.Finish();
  const double seconds = display.Seconds();

  std::size_t written = 0, failed = 0, unreadable = 0, skipped = 0, stopped = 0, leftOut = 0;
  bool notWritten = false;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const TileReport& r = reports[i];
    std::printf("%s\n", DescribeTile(tiles[i], r, options).c_str());
    switch (r.outcome) {
      case ImportOutcome::kWritten:
      case ImportOutcome::kCopied:
      case ImportOutcome::kMerged:
      case ImportOutcome::kReplaced: ++written; break;
      case ImportOutcome::kFailed:
        ++failed;
        unreadable += r.unreadable;
        break;
      case ImportOutcome::kSkipped:
      case ImportOutcome::kUnchanged: ++skipped; break;
      case ImportOutcome::kStopped:
      case ImportOutcome::kNotStarted: ++stopped; break;
      case ImportOutcome::kEmpty:
      case ImportOutcome::kLeftOut: ++leftOut; break;
    }
    notWritten = notWritten || r.notWritten;
  }
  platform::FlushStandardOutput();
  if (written == 0) {  // nothing left in the folders this run made
    std::error_code kept;  // only an empty folder is removed
    for (auto f = made.rbegin(); f != made.rend(); ++f) std::filesystem::remove(*f, kept);
  }
  // Ctrl-C that came when every tile was done stops nothing.
  const bool interrupted = stop.load() && stopped > 0;
  if (!batch.quiet) {
    std::fprintf(stderr,
                 "import: %zu written, %zu left out or empty, %zu failed, %zu already there, %zu stopped or not "
                 "started in %.2f s\n",
                 written, leftOut, failed, skipped, stopped, seconds);
    if (interrupted) std::fprintf(stderr, "import: stopped; no partial tile is left\n");
  }
  if (interrupted) return InterruptedExitCode();
  if (notWritten) return kExitOutput;
  if (failed > unreadable) return kExitFailed;
  // A part of the tile list may hold only tiles left out where others hold the data.
  const std::string nothing = batch.parts == 1 ? NothingWritten(reports, options) : "";
  if (!nothing.empty()) {
    std::fprintf(stderr, "srtm import: nothing written: %s\n", nothing.c_str());
    return kExitInput;
  }
  return errors.empty() && unreadable == 0 ? kExitOk : kExitInput;
}

}  // namespace srtm::cli

// srtm import: elevation data as people download it (SRTM tiles under other names and
// inside archives, GeoTIFF and other rasters in any coordinate system) made into tiles
// the plug-in serves, on several threads, with progress on stderr.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
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
#include "tools/batch_cli.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/import.h"

namespace srtm::cli {
namespace {

void ImportDetails(FILE* out) {
  std::fprintf(out,
               "Writes the tiles that cover the SOURCEs into FOLDER (made when missing) as SRTM\n"
               "tiles: NsddEwddd.hgt, 3601 (srtm1) or 1201 (srtm3) samples square, big-endian,\n"
               "-32768 where no source has data. Default kind: srtm1 when the finest source has\n"
               "1.5 arc-seconds or less between samples, else srtm3.\n"
               "\n"
               "SOURCE: any raster GDAL reads with a coordinate system (GeoTIFF, ...), an SRTM\n"
               "tile under any name that starts with its corner (N57E011.SRTMGL1.hgt,\n"
               "n57e011.hgt), or a .zip, .tar, .tar.gz or .gz holding them. A tile of the kind\n"
               "asked for is copied byte for byte unless a later source fills its voids;\n"
               "otherwise GDAL resamples (a source already on the tile grid is taken sample by\n"
               "sample). Where sources overlap, the first listed that has a value wins. Heights\n"
               "are rounded to the metre; vertical datums are reported, never converted.\n"
               "\n"
               "Prints each source, then each tile with the samples taken from each source and\n"
               "the voids left.\n"
               "\n"
               "Options:\n"
               "  -o FOLDER           the folder the tiles go to\n"
               "  --kind srtm1|srtm3  the kind of tiles to make\n"
               "  --resampling bilinear|cubic|nearest|average\n"
               "                      how GDAL resamples (default bilinear)\n"
               "  --skip-existing     leave tiles already in FOLDER as they are\n"
               "  --jobs N            make N tiles at a time (default: the number of cores)\n"
               "  --shard K/N         make only part K of N of the tile list sorted by name\n"
               "  --quiet             no progress on standard error\n"
               "\n"
               "Exit status: 0 when all went through; %d when a source could not be used (the\n"
               "others still go through); %d when FOLDER or a tile cannot be written; %d when a\n"
               "tile failed; 128 + the signal after Ctrl-C (%d) or a termination signal (no\n"
               "partial tile is left: each is written under a temporary name and renamed when\n"
               "complete).\n",
               kExitInput, kExitOutput, kExitFailed, kExitInterrupted);
}
const CommandHelp kImportHelp = {"import", "SOURCE... -o FOLDER [OPTION]...", ImportDetails};

// Makes the output folder when missing; false with a message when it is not a folder
// that takes new files. (Nothing is opened where the tiles go: one of them may be a
// named pipe, which is to be opened once.)
bool PrepareFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::string why;
  if (!platform::FolderTakesFiles(platform::FromUserPath(folder), &why)) {
    std::fprintf(stderr, "srtm import: the output folder %s: %s\n", folder.c_str(), why.c_str());
    return false;
  }
  return true;
}

// The note on vertical datums when the sources name different ones.
void ReportDatums(const std::vector<ImportSource>& sources) {
  std::set<std::string> datums;
  for (const ImportSource& s : sources) {
    if (!s.datum.empty()) datums.insert(s.datum);
  }
  if (datums.size() < 2) return;
  std::string list;
  for (const std::string& d : datums) list += (list.empty() ? "" : ", ") + d;
  std::printf("note: the sources' heights refer to different vertical datums (%s), which can differ by a few "
              "metres; nothing is converted\n", list.c_str());
}

std::string DescribeTile(const ImportTile& tile, const TileReport& r, const std::vector<ImportSource>& sources) {
  std::string text = tile.job.name + ": ";
  switch (r.outcome) {
    case ImportOutcome::kSkipped: return text + "already there, left as it is";
    case ImportOutcome::kNotStarted: return text + "not started";
    case ImportOutcome::kEmpty: return text + "no source has a value in it, not written";
    case ImportOutcome::kStopped: return text + "stopped, not written";
    case ImportOutcome::kFailed: return text + "NOT written: " + r.error;
    case ImportOutcome::kCopied: text += "copied byte for byte from " + sources[tile.sources[0]].label + ": "; break;
    case ImportOutcome::kWritten: text += "written: "; break;
  }
  for (std::size_t j = 0; j < tile.sources.size(); ++j) {
    text += std::to_string(r.fromSource[j]) + " samples from " + sources[tile.sources[j]].label + ", ";
  }
  return text + std::to_string(r.voids) + " void";
}

}  // namespace

int Import(int argc, char** argv) {
  std::vector<std::string> files;
  std::string folder;
  std::int32_t kind = kNotTile;
  Resampling resampling = Resampling::kBilinear;
  BatchOptions batch;
  Args args(kImportHelp, argc, argv);
  std::string kindName, resamplingName;
  while (args.Next()) {
    if (ParseBatchOption(args, &batch) || args.Value("-o|--output", &folder)) continue;
    if (args.Value("--kind", &kindName)) {
      if (!args.stopped() && kindName != "srtm1" && kindName != "srtm3") {
        args.Fail("--kind wants srtm1 or srtm3, not '" + kindName + "'");
      }
      kind = kindName == "srtm1" ? kSrtm1 : kSrtm3;
    } else if (args.Value("--resampling", &resamplingName)) {
      if (!args.stopped() && !ParseResampling(resamplingName.c_str(), &resampling)) {
        args.Fail("--resampling wants bilinear, cubic, nearest or average, not '" + resamplingName + "'");
      }
    } else {
      args.MoreOperands(&files);
    }
  }
  if (args.stopped()) return args.exitCode();
  if (files.empty()) return args.Fail("no SOURCE given");
  if (folder.empty()) return args.Fail("no output folder given (-o FOLDER)");

  InitGdal();
  std::vector<ImportSource> sources;
  std::vector<std::string> errors, notes;
  FindSources(files, &sources, &errors, &notes);
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
  if (!PrepareFolder(folder)) return kExitOutput;
  const int jobs = std::max(1, std::min<int>(batch.jobs, static_cast<int>(tiles.size())));
  if (!batch.quiet) {
    std::fprintf(stderr, "import: %zu SRTM-%d tile%s", tiles.size(), kind, tiles.size() == 1 ? "" : "s");
    if (batch.parts > 1) std::fprintf(stderr, " (part %d of %d of %zu)", batch.part, batch.parts, all.size());
    std::fprintf(stderr, " into %s, %s, %d at a time\n", folder.c_str(), ResamplingName(resampling), jobs);
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
        TileReport r = MakeTile(tiles[i], sources, resampling, batch.skipExisting, [&](double share) {
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
                                                          : "done";
        display.Line(fraction, ++done, tiles.size(), tiles[i].job.name, what);
      }
    }
    finished.clear();
  }
  for (std::thread& t : workers) t.join();
  display.Finish();
  const double seconds = display.Seconds();

  std::size_t written = 0, failed = 0, skipped = 0, stopped = 0;
  bool notWritten = false;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const TileReport& r = reports[i];
    std::printf("%s\n", DescribeTile(tiles[i], r, sources).c_str());
    written += r.outcome == ImportOutcome::kWritten || r.outcome == ImportOutcome::kCopied;
    failed += r.outcome == ImportOutcome::kFailed;
    skipped += r.outcome == ImportOutcome::kSkipped;
    stopped += r.outcome == ImportOutcome::kStopped || r.outcome == ImportOutcome::kNotStarted;
    notWritten = notWritten || r.notWritten;
  }
  std::fflush(stdout);
  if (!batch.quiet) {
    std::fprintf(stderr, "import: %zu written, %zu failed, %zu already there, %zu stopped or not started in %.2f s\n",
                 written, failed, skipped, stopped, seconds);
    if (stop.load()) std::fprintf(stderr, "import: stopped; no partial tile is left\n");
  }
  if (stop.load()) return InterruptedExitCode();
  if (notWritten) return kExitOutput;
  if (failed > 0) return kExitFailed;
  return errors.empty() ? kExitOk : kExitInput;
}

}  // namespace srtm::cli

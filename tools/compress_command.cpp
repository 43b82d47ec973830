// srtm compress: the tiles of a folder into XEM files, on several threads, with
// progress on stderr; Ctrl-C stops as the wizard's Abort button does.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/parallel_compress.h"

namespace srtm::cli {
namespace {

// Set by the signal handler, which may run on any thread: a lock-free atomic, not a
// volatile flag, so that the thread polling it sees the store.
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");
extern "C" void OnInterrupt(int) { g_interrupted.store(1); }

// Ctrl-C, and the termination signals a scheduler sends, ask for a stop while alive.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted.store(0);
    previousInt_ = std::signal(SIGINT, OnInterrupt);
    previousTerm_ = std::signal(SIGTERM, OnInterrupt);
#if defined(SIGHUP)
    previousHup_ = std::signal(SIGHUP, OnInterrupt);
#endif
  }
  ~InterruptGuard() {
    std::signal(SIGINT, previousInt_);
    std::signal(SIGTERM, previousTerm_);
#if defined(SIGHUP)
    std::signal(SIGHUP, previousHup_);
#endif
  }

 private:
  void (*previousInt_)(int) = nullptr;
  void (*previousTerm_)(int) = nullptr;
#if defined(SIGHUP)
  void (*previousHup_)(int) = nullptr;
#endif
};

std::string Clock(double seconds) {
  if (seconds < 0) return "--:--";
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

// Progress on stderr: a bar redrawn in place on a terminal, a line per finished tile
// otherwise (logs of a scheduler).
class ProgressDisplay {
 public:
  ProgressDisplay(const std::vector<TileJob>& tiles, bool quiet)
      : tiles_(tiles), terminal_(IsTerminal(stderr)), quiet_(quiet), start_(std::chrono::steady_clock::now()) {}

  void Update(const CompressProgress& p) {
    if (quiet_) return;
    const double elapsed = Seconds();
    const double rate = elapsed > 0 ? p.tilesDone / elapsed : 0;
    const double left = p.blocksDone > 0 && elapsed > 0.2
                            ? static_cast<double>(p.blocksTotal - p.blocksDone) * elapsed / p.blocksDone
                            : -1;
    if (!terminal_) {
      std::size_t done = p.tilesDone - p.finished.size();
      for (const auto& f : p.finished) {
        const char* what = f.second == TileOutcome::kConverted ? "done"
                           : f.second == TileOutcome::kStopped ? "stopped"
                                                               : "NOT converted";
        std::fprintf(stderr, "compress: %zu/%zu %s %s (%.1f tiles/s, %s left)\n", ++done, p.tilesTotal,
                     tiles_[f.first].name.c_str(), what, rate, Clock(left).c_str());
      }
      std::fflush(stderr);
      return;
    }
    const int width = 30;
    const double fraction = p.blocksTotal > 0 ? static_cast<double>(p.blocksDone) / p.blocksTotal : 1.0;
    const int filled = static_cast<int>(fraction * width);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    std::fprintf(stderr, "\r[%s] %3d%%  %zu/%zu tiles  %.1f tiles/s  %s left  ", bar.c_str(),
                 static_cast<int>(fraction * 100), p.tilesDone, p.tilesTotal, rate, Clock(left).c_str());
    std::fflush(stderr);
    drawn_ = true;
  }

  // Ends the bar's line before anything else is printed.
  void Finish() {
    if (drawn_) std::fprintf(stderr, "\n");
    drawn_ = false;
  }
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  const std::vector<TileJob>& tiles_;
  bool terminal_;
  bool quiet_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
};

int CompressUsage(FILE* out) {
  std::fprintf(out,
               "usage: srtm compress (REFERENCE.hgt | FOLDER) -o OUTDIR [--fill on|off] [--skip-existing]\n"
               "                     [--jobs N] [--shard K/N] [--quiet]\n"
               "  Compresses tiles into OUTDIR\\<tile>.xem, each file byte for byte what the\n"
               "  plug-in's compression wizard writes. REFERENCE.hgt: every tile of its kind\n"
               "  (SRTM-1 or SRTM-3) in its folder, as the wizard does; FOLDER: every tile of\n"
               "  either kind in it. Voids are filled first (--fill, default on). Existing XEM\n"
               "  files are replaced, or with --skip-existing left as they are (and counted as\n"
               "  not converted).\n"
               "  --jobs N     convert N tiles at a time (default: the number of cores)\n"
               "  --shard K/N  convert only part K of N of the tile list sorted by name (tiles\n"
               "               K, K+N, K+2N, ...), so that N machines share one archive\n"
               "  --quiet      no progress on stderr\n"
               "  Progress goes to stderr: a bar on a terminal, a line per tile otherwise.\n"
               "  Prints the batch's result code (-1: all converted; 0: none; n: n converted\n"
               "  before a failure or a stop) and the files written. Exit code 0 when all were\n"
               "  converted, %d when some were not, %d after Ctrl-C (no partial file is left),\n"
               "  %d for a missing or wrong input, %d for a missing output folder.\n",
               kExitFailed, kExitInterrupted, kExitInput, kExitOutput);
  return out == stdout ? kExitOk : kExitUsage;
}

int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

}  // namespace

int Compress(int argc, char** argv) {
  std::string input, outputFolder;
  std::int32_t fill = 1;
  int overwrite = 1;
  std::int32_t jobs = DefaultJobs();
  int part = 1, parts = 1;
  bool quiet = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (IsHelp(arg)) return CompressUsage(stdout);
    if (std::strcmp(arg, "-o") == 0 && hasValue) {
      outputFolder = argv[++i];
    } else if (std::strcmp(arg, "--fill") == 0 && hasValue) {
      if (!ParseSwitch(argv[++i], &fill)) {
        std::fprintf(stderr, "srtm compress: --fill wants on or off, not '%s'\n", argv[i]);
        return kExitUsage;
      }
    } else if (std::strcmp(arg, "--jobs") == 0 && hasValue) {
      if (!ParseInt32(argv[++i], &jobs) || jobs < 1 || jobs > 256) {
        std::fprintf(stderr, "srtm compress: --jobs wants a number from 1 to 256, not '%s'\n", argv[i]);
        return kExitUsage;
      }
    } else if (std::strcmp(arg, "--shard") == 0 && hasValue) {
      if (!ParsePart(argv[++i], &part, &parts)) {
        std::fprintf(stderr, "srtm compress: --shard wants K/N with 1 <= K <= N, not '%s'\n", argv[i]);
        return kExitUsage;
      }
    } else if (std::strcmp(arg, "--skip-existing") == 0) {
      overwrite = 0;
    } else if (std::strcmp(arg, "--quiet") == 0) {
      quiet = true;
    } else if (!LooksLikeOption(arg) && input.empty()) {
      input = arg;
    } else {
      std::fprintf(stderr, "srtm compress: unexpected argument '%s'\n", arg);
      return CompressUsage(stderr);
    }
  }
  if (input.empty() || outputFolder.empty()) return CompressUsage(stderr);

  const std::string inputPath = platform::FromUserPath(input);
  const std::string outputPath = platform::FromUserPath(outputFolder);
  std::vector<platform::DirEntry> probe;
  std::uint64_t size = 0;
  const bool isFolder = platform::FindFiles(inputPath.c_str(), "*", &probe);
  const bool isFile = !isFolder && platform::GetFileSize(inputPath.c_str(), &size);
  if (!isFile && !isFolder) {
    std::fprintf(stderr, "srtm compress: %s does not exist\n", input.c_str());
    return kExitInput;
  }
  if (isFile && ClassifyHgtFile(inputPath) == kNotTile) {
    std::fprintf(stderr, "srtm compress: %s is not an SRTM tile (name NsddEwddd.hgt, %llu or %llu bytes)\n",
                 input.c_str(), static_cast<unsigned long long>(kSrtm1FileSize),
                 static_cast<unsigned long long>(kSrtm3FileSize));
    return kExitInput;
  }
  if (!platform::FindFiles(outputPath.c_str(), "*", &probe)) {
    std::fprintf(stderr, "srtm compress: the output folder %s does not exist\n", outputFolder.c_str());
    return kExitOutput;
  }

  std::vector<TileJob> all;
  std::vector<std::string> notTiles;
  if (!ListTiles(inputPath, isFolder, &all, &notTiles)) {
    std::fprintf(stderr, "srtm compress: the folder of %s cannot be read\n", input.c_str());
    return kExitInput;
  }
  if (isFolder) {
    for (const std::string& name : notTiles) {
      std::fprintf(stderr, "srtm compress: %s passed over: not a tile of either kind (name or size)\n", name.c_str());
    }
  }
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
  ProgressDisplay display(tiles, quiet);
  const CompressResult result = CompressTiles(tiles, outputPath, overwrite, jobs, [&](const CompressProgress& p) {
    display.Update(p);
    return g_interrupted.load() == 0;
  });
  display.Finish();
  const double seconds = display.Seconds();

  std::printf("result %d\n", result.BatchCode());
  for (const std::string& path : result.written) std::printf("%s\n", platform::ToNativePath(path).c_str());
  std::fflush(stdout);
  if (!quiet) {
    const auto count = [&result](TileOutcome o) {
      return static_cast<std::size_t>(std::count(result.outcomes.begin(), result.outcomes.end(), o));
    };
    std::fprintf(stderr, "compress: %zu converted, %zu not converted, %zu stopped, %zu not started in %.2f s (%.1f tiles/s)\n",
                 result.converted, result.failed, count(TileOutcome::kStopped), count(TileOutcome::kNotStarted),
                 seconds, seconds > 0 ? static_cast<double>(result.converted) / seconds : 0.0);
    if (result.stopped) std::fprintf(stderr, "compress: stopped; no partial file is left\n");
  }
  if (result.stopped) return kExitInterrupted;
  return result.BatchCode() == -1 ? kExitOk : kExitFailed;
}

}  // namespace srtm::cli

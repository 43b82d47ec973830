// srtm compress: the tiles of a folder into XEM files, on several threads, with
// progress on stderr; Ctrl-C stops as the wizard's Abort button does.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "tools/batch_cli.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/parallel_compress.h"

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
        display_.Message(tiles_[f.index].name + ": NOT converted: " + f.failure);
      }
    }
    if (display_.terminal()) {
      display_.Bar(fraction, p.tilesDone, p.tilesTotal);
      return;
    }
    std::size_t done = p.tilesDone - p.finished.size();
    for (const FinishedTile& f : p.finished) {
      const char* what = f.outcome == TileOutcome::kConverted ? "done"
                         : f.outcome == TileOutcome::kStopped ? "stopped"
                                                              : "NOT converted";
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
               "plug-in's compression wizard writes. REFERENCE.hgt: every tile of its kind\n"
               "(SRTM-1 or SRTM-3) in its folder, as the wizard does; FOLDER: every tile of\n"
               "either kind in it. Voids are filled first (--fill, default on). Existing XEM\n"
               "files are replaced, or with --skip-existing left as they are (and counted as\n"
               "not converted). Progress goes to standard error: a bar on a terminal, a line\n"
               "per tile otherwise. Prints the batch's result code (-1: all converted; 0: none;\n"
               "n: n converted before a failure or a stop) and the files written.\n"
               "\n"
               "Options:\n"
               "  -o OUTDIR        the folder the XEM files go to\n"
               "  --fill on|off    fill voids before compressing (default on)\n"
               "  --skip-existing  leave XEM files already in OUTDIR as they are\n"
               "  --jobs N         convert N tiles at a time (default: the number of cores)\n"
               "  --shard K/N      convert only part K of N of the tile list sorted by name\n"
               "                   (tiles K, K+N, K+2N, ...), so that N machines share one archive\n"
               "  --quiet          no progress on standard error (a tile not converted is still\n"
               "                   named, with the reason)\n"
               "\n"
               "Exit status: 0 when all were converted, %d when some were not, %d when an XEM\n"
               "file or the output folder cannot be written, 128 + the signal after Ctrl-C (%d)\n"
               "or a termination signal (no partial file is left), %d for a missing or wrong\n"
               "input.\n",
               kPathSeparator, kExitFailed, kExitOutput, kExitInterrupted, kExitInput);
}
const CommandHelp kCompressHelp = {
    "compress", "REFERENCE.hgt -o OUTDIR [OPTION]...\nFOLDER -o OUTDIR [OPTION]...",
    CompressDetails};

}  // namespace

int Compress(int argc, char** argv) {
  std::string input, outputFolder, operand;
  std::int32_t fill = 1;
  BatchOptions batch;
  Args args(kCompressHelp, argc, argv);
  while (args.Next()) {
    if (ParseBatchOption(args, &batch) || args.Value("-o|--output", &outputFolder) || args.Switch("--fill", &fill)) {
      continue;
    }
    if (input.empty() && args.Operand(&operand)) {
      input = operand;
    } else {
      args.Unknown();
    }
  }
  if (args.stopped()) return args.exitCode();
  if (input.empty()) return args.Fail("no REFERENCE.hgt or FOLDER given");
  if (outputFolder.empty()) return args.Fail("no output folder given (-o OUTDIR)");

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
  std::string why;
  if (!platform::FolderTakesFiles(outputPath, &why)) {
    std::fprintf(stderr, "srtm compress: %s: %s\n", outputFolder.c_str(), why.c_str());
    return kExitOutput;
  }
  // The longest path of an XEM file here must fit the paths this world takes.
  if (outputPath.size() + sizeof "\\N00E000.xem" > kPathBufferSize) {
    std::fprintf(stderr,
                 "srtm compress: %s: the paths of its files would be longer than the %zu bytes paths may have\n",
                 outputFolder.c_str(), kPathBufferSize - 1);
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

  std::printf("result %d\n", result.BatchCode());
  for (const std::string& path : result.written) std::printf("%s\n", platform::ToNativePath(path).c_str());
  platform::FlushStandardOutput();
  if (!quiet) {
    const auto count = [&result](TileOutcome o) {
      return static_cast<std::size_t>(std::count(result.outcomes.begin(), result.outcomes.end(), o));
    };
    std::fprintf(stderr, "compress: %zu converted, %zu not converted, %zu stopped, %zu not started in %.2f s (%.1f tiles/s)\n",
                 result.converted, result.failed, count(TileOutcome::kStopped), count(TileOutcome::kNotStarted),
                 seconds, seconds > 0 ? static_cast<double>(result.converted) / seconds : 0.0);
    if (result.stopped) std::fprintf(stderr, "compress: stopped; no partial file is left\n");
  }
  if (result.stopped) return InterruptedExitCode();
  if (result.BatchCode() == -1) return kExitOk;
  return result.outputFailed ? kExitOutput : kExitFailed;
}

}  // namespace srtm::cli

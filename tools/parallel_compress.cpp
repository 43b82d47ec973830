#include "tools/parallel_compress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "hgt/paths.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tools/cli_util.h"
#include "tools/tile_check.h"
#include "xem/batch.h"
#include "xem/converter.h"
#include "xem/progress.h"

namespace srtm::cli {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// A worker's progress target: counts the blocks it converts and turns the shared stop
// request into its own converter's cancel.
class WorkerTarget : public ProgressTarget {
 public:
  WorkerTarget(std::atomic<std::int64_t>* blocks, const std::atomic<bool>* stop) : blocks_(blocks), stop_(stop) {
    SetActiveRunPage(this);
  }
  ~WorkerTarget() override { SetActiveRunPage(nullptr); }
  void SetMode(int, int) override {}
  void SetTexts(const char*, const char*) override {}
  void SetPercent(int) override {}
  void PumpHost() override {
    blocks_->fetch_add(1, std::memory_order_relaxed);
    ++pumps;
    // A stop signal stops every thread after its block in progress, not only once the
    // calling thread has seen it.
    if (stop_->load(std::memory_order_relaxed) || platform::StopSignal() != 0) cancelRequested = 1;
  }
  std::int64_t pumps = 0;

 private:
  std::atomic<std::int64_t>* blocks_;
  const std::atomic<bool>* stop_;
};

}  // namespace

std::int64_t BlocksPerTile(std::int32_t kind) {
  const std::int64_t perSide = (BatchCompressor::TileSide(kind) - 1) / 120;
  return perSide * perSide;
}

bool ListTiles(const std::string& path, bool isFolder, std::vector<TileJob>* tiles, std::vector<std::string>* notTiles) {
  tiles->clear();
  std::string folder = path;
  std::int32_t onlyKind = kNotTile;
  if (!isFolder) {
    onlyKind = ClassifyHgtFile(path);
    if (onlyKind == kNotTile || !SplitPath(path, &folder, nullptr)) return false;
  }
  std::vector<platform::DirEntry> found;
  if (!platform::FindFiles(folder.c_str(), "*.hgt", &found)) return false;
  for (const platform::DirEntry& entry : found) {
    if (entry.isDirectory) continue;
    TileJob job;
    job.path = folder;
    double lat = 0, lon = 0;
    job.kind = AppendPath(job.path, entry.name.c_str()) ? ClassifyHgtFile(job.path, &lat, &lon) : kNotTile;
    if (job.kind == kNotTile || !OutsideTheGlobe(static_cast<int>(lat), static_cast<int>(lon)).empty()) {
      if (notTiles) notTiles->push_back(entry.name);
      continue;
    }
    if (onlyKind != kNotTile && job.kind != onlyKind) continue;
    job.name = entry.name;
    job.lat = static_cast<int>(lat);
    job.lon = static_cast<int>(lon);
    tiles->push_back(std::move(job));
  }
  SortTiles(tiles);
  if (notTiles) std::sort(notTiles->begin(), notTiles->end());
  return true;
}

bool SameTileName(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

void SortTiles(std::vector<TileJob>* tiles) {
  std::sort(tiles->begin(), tiles->end(), [](const TileJob& a, const TileJob& b) {
    const std::string ua = Upper(a.name), ub = Upper(b.name);
    return ua != ub ? ua < ub : a.name < b.name;
  });
}

std::vector<TileJob> SelectPart(const std::vector<TileJob>& tiles, int part, int parts) {
  std::vector<TileJob> selected;
  if (part < 1 || parts < 1 || part > parts) return selected;
  for (std::size_t i = static_cast<std::size_t>(part - 1); i < tiles.size(); i += static_cast<std::size_t>(parts)) {
    selected.push_back(tiles[i]);
  }
  return selected;
}

bool ParsePart(const char* text, int* part, int* parts) {
  const char* slash = std::strchr(text, '/');
  if (!slash) return false;
  const std::string k(text, slash);
  std::int32_t a = 0, b = 0;
  if (!ParseInt32(k.c_str(), &a) || !ParseInt32(slash + 1, &b) || b < 1 || a < 1 || a > b) return false;
  *part = a;
  *parts = b;
  return true;
}

std::int32_t CompressResult::BatchCode() const {
  if (threads == 0 && !outcomes.empty()) return 0;
  return converted == outcomes.size() ? -1 : static_cast<std::int32_t>(converted);
}

CompressResult CompressTiles(const std::vector<TileJob>& tiles, const std::string& outputFolder, int overwrite,
                             int jobs, const std::function<bool(const CompressProgress&)>& poll, int pollMs) {
  CompressResult result;
  result.outcomes.assign(tiles.size(), TileOutcome::kNotStarted);
  CompressProgress progress;
  progress.tilesTotal = tiles.size();
  int side = 0;
  for (const TileJob& tile : tiles) {
    progress.blocksTotal += BlocksPerTile(tile.kind);
    side = std::max(side, BatchCompressor::TileSide(tile.kind));
  }
  if (tiles.empty()) {
    poll(progress);
    return result;
  }

  // The buffers first, on this thread: a thread that cannot have its own is not started.
  const int wanted = std::max(1, std::min<int>(jobs, static_cast<int>(tiles.size())));
  std::vector<std::unique_ptr<HgtToXemConverter>> converters;
  for (int i = 0; i < wanted; ++i) {
    auto converter = std::make_unique<HgtToXemConverter>();
    if (!converter->AllocateBuffers(side, side)) break;
    converters.push_back(std::move(converter));
  }
  result.threads = static_cast<int>(converters.size());
  if (converters.empty()) {
    poll(progress);
    return result;
  }

  std::atomic<std::size_t> next{0};
  std::atomic<std::int64_t> blocks{0};
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<FinishedTile> finished;  // guarded by mutex
  int running = result.threads;        // guarded by mutex

  auto work = [&](HgtToXemConverter* converter) {
    WorkerTarget target(&blocks, &stop);
    for (;;) {
      if (stop.load()) break;
      const std::size_t i = next.fetch_add(1);
      if (i >= tiles.size()) break;
      const TileJob& tile = tiles[i];
      MessageBoxesToStderr::SetSubject(tile.name);
      target.pumps = 0;
      converter->fillVoids = tile.fillVoids;
      // A resumed run passes over what is done without reading 26 MB a tile for it; a
      // folder where the file goes is no file done but one that cannot be written.
      std::string xemPath;
      platform::PathKind at = platform::PathKind::kMissing;
      if (!overwrite && XemPathForTile(tile.path, outputFolder, &xemPath)) at = platform::Inspect(xemPath.c_str());
      const bool there = at == platform::PathKind::kRegular || at == platform::PathKind::kOther;
      const int ok = there || at == platform::PathKind::kFolder
                         ? 0
                         : BatchCompressor::ConvertTile(*converter, tile.kind, tile.path, tile.lat, tile.lon,
                                                        outputFolder, overwrite);
      std::string failure = converter->failure;
      bool outputFailed = converter->outputFailed;
      if (at == platform::PathKind::kFolder) {
        failure = platform::ToNativePath(xemPath) + ": a folder is in the way";
        outputFailed = true;
      }
      TileOutcome outcome = ok ? TileOutcome::kConverted : TileOutcome::kFailed;
      if (!ok && target.cancelRequested) outcome = TileOutcome::kStopped;
      // The converter leaves an existing file alone without a failure when it appeared
      // after the test above (another run into the same folder).
      if (there || (!ok && !overwrite && failure.empty())) outcome = TileOutcome::kAlreadyThere;
      // The tile's blocks count as done however it ended.
      blocks.fetch_add(std::max<std::int64_t>(0, BlocksPerTile(tile.kind) - target.pumps));
      std::lock_guard<std::mutex> lock(mutex);
      result.outcomes[i] = outcome;
      result.outputFailed = result.outputFailed || (outcome == TileOutcome::kFailed && outputFailed);
      finished.push_back(FinishedTile{i, outcome, outcome == TileOutcome::kFailed ? failure : std::string()});
      changed.notify_all();
      if (outcome == TileOutcome::kStopped) break;
    }
    MessageBoxesToStderr::SetSubject("");
    std::lock_guard<std::mutex> lock(mutex);
    --running;
    changed.notify_all();
  };

  // A thread the system refuses leaves its share to the others; with none at all the
  // work runs here, its progress told once at the end.
  std::vector<std::thread> threads;
  threads.reserve(converters.size());
  for (auto& converter : converters) {
    try {
      threads.emplace_back(work, converter.get());
    } catch (const std::system_error&) {
      break;
    }
  }
  if (threads.size() < converters.size()) {
    std::lock_guard<std::mutex> lock(mutex);
    running -= static_cast<int>(converters.size() - threads.size());
    result.threads = std::max(1, static_cast<int>(threads.size()));
  }
  if (threads.empty()) {
    running = 1;
    work(converters.front().get());
  }

  for (bool done = false; !done;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_for(lock, std::chrono::milliseconds(pollMs), [&] { return !finished.empty() || running == 0; });
      done = running == 0;
      progress.finished.swap(finished);
      finished.clear();
    }
    for (const FinishedTile& f : progress.finished) {
      ++progress.tilesDone;
      if (f.outcome == TileOutcome::kConverted) ++result.converted;
      if (f.outcome == TileOutcome::kFailed) ++result.failed;
      if (f.outcome == TileOutcome::kAlreadyThere) ++result.alreadyThere;
    }
    progress.blocksDone = blocks.load();
    if (!poll(progress)) stop.store(true);
  }
  for (std::thread& t : threads) t.join();
  result.stopped = stop.load();

  // The files in the order of the list, whatever order the threads finished in.
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    std::string path;
    if (result.outcomes[i] == TileOutcome::kConverted && XemPathForTile(tiles[i].path, outputFolder, &path)) {
      result.written.push_back(path);
    }
  }
  return result;
}

}  // namespace srtm::cli

// Block reads under load: 100,000 reads in random order over two maps, one of each kind,
// in a folder of 16 tile files of each kind (some damaged) with other tiles of the grid
// missing, while a second thread keeps replacing tile files by new versions and, now
// and then, by damaged ones. No read may fail or crash; every stretch of a block that
// lies in one tile must be that tile's data as one of its versions, a row that could
// not be read (height 0 m), or a missing tile; memory and open files (handles on Windows) stay flat.
//
//   load_block_test [READS]   (default 100000)
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "hgt/fill_on_read.h"
#include "hgt/paths.h"
#include "hgt/settings.h"
#include "platform/platform.h"
#include "shell/map_source_hook.h"
#include "tests/support/test_support.h"

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#endif

namespace srtm::test {
namespace {

namespace fs = std::filesystem;

// The tile grid of each kind: 5 x 4 positions from (kSouth, west), 16 of them with a
// file (two of those damaged: one short, one long), four missing.
constexpr int kSouth = 40, kRows = 4, kColumns = 5;
constexpr int kWest3 = 10, kWest1 = 20;
// Positions (index row * kColumns + column) that have no file, and damaged files.
bool IsMissing(int position) { return position == 3 || position == 9 || position == 14 || position == 15; }
bool IsShort(int position) { return position == 6; }
bool IsLong(int position) { return position == 12; }
// Good tiles that the second thread replaces: versions 0 and 1 are kept beside them.
bool IsReplaced(int position) { return position == 0 || position == 7 || position == 11 || position == 18; }

struct Kind {
  int side;     // samples per file row
  int west;     // first tile column's longitude
  std::uint32_t map;  // the host's map handle
};
const Kind kKinds[] = {{1201, kWest3, 1}, {3601, kWest1, 2}};

// The height at a sample of a tile version; every 4099th sample is a void.
std::int16_t Height(int lat, int lon, int version, int fileRow, int column) {
  const int key = fileRow * 31 + column * 17 + version;
  if (key % 4099 == 0) return VOID_SAMPLE;
  return static_cast<std::int16_t>((fileRow * 7 + column * 3 + lat * 101 + lon * 37 + version * 1013) % 8500 - 500);
}

// The sample as served with the sea and the fill off.
std::int16_t Served(std::int16_t h) { return h == VOID_SAMPLE ? 0 : h >= 0 ? static_cast<std::int16_t>(h + 1) : h; }
constexpr std::int16_t kFailedRow = 1;  // height 0 m
constexpr std::int16_t kMissing = -1;

std::string Name(int lat, int lon) {
  return FindFileName(FormatTilePath("", lat, lon).c_str());
}

void WriteVersion(const fs::path& path, int side, int lat, int lon, int version) {
  std::vector<unsigned char> row(2 * static_cast<std::size_t>(side));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const auto u = static_cast<std::uint16_t>(Height(lat, lon, version, r, c));
      row[2 * c] = static_cast<unsigned char>(u >> 8);
      row[2 * c + 1] = static_cast<unsigned char>(u);
    }
    out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
  }
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    std::exit(1);
  }
}

// A file of `size` zero bytes, without writing them.
void WriteSparse(const fs::path& path, std::uint64_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).close();
  fs::resize_file(path, size);
}

// Puts `source` in place of `target` in one step; false when the system refused (a
// reader has the file open where that prevents it).
bool Replace(const fs::path& source, const fs::path& target, const fs::path& staging) {
  std::error_code error;
  fs::remove(staging, error);
  fs::create_hard_link(source, staging, error);
  if (error) fs::copy_file(source, staging, fs::copy_options::overwrite_existing, error);
  if (error) return false;
  fs::rename(staging, target, error);
  return !error;
}

class Folder {
 public:
  explicit Folder(const std::string& native) : root_(native) {
    for (const Kind& kind : kKinds) {
      const std::uint64_t size = 2ull * kind.side * kind.side;
      for (int p = 0; p < kRows * kColumns; ++p) {
        const int lat = kSouth + p / kColumns, lon = kind.west + p % kColumns;
        const fs::path tile = root_ / Name(lat, lon);
        if (IsMissing(p)) continue;
        if (IsShort(p)) {
          WriteSparse(tile, size - 2);
        } else if (IsLong(p)) {
          WriteSparse(tile, size + 2);
        } else if (IsReplaced(p)) {
          WriteVersion(Version(tile, 0), kind.side, lat, lon, 0);
          WriteVersion(Version(tile, 1), kind.side, lat, lon, 1);
          Replace(Version(tile, 0), tile, Staging(tile));
        } else {
          WriteVersion(tile, kind.side, lat, lon, 0);
        }
      }
    }
  }

  // The second thread: a new version of a replaced tile, or a damaged file in its place
  // for a moment, again and again until stopped.
  void KeepReplacing(const std::atomic<bool>& stop, std::atomic<int>& replacements) {
    std::mt19937 random(7);
    int version[2][kRows * kColumns] = {};
    while (!stop.load()) {
      const int k = static_cast<int>(random() % 2);
      const Kind& kind = kKinds[k];
      int p;
      do p = static_cast<int>(random() % (kRows * kColumns)); while (!IsReplaced(p));
      const fs::path tile = root_ / Name(kSouth + p / kColumns, kind.west + p % kColumns);
      const std::uint64_t size = 2ull * kind.side * kind.side;
      if (random() % 4 == 0) {
        const fs::path damaged = root_ / "damaged.tmp";
        WriteSparse(damaged, random() % 2 ? size / 3 : size + 100);
        if (Replace(damaged, tile, Staging(tile))) ++replacements;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        while (!Replace(Version(tile, version[k][p]), tile, Staging(tile)) && !stop.load()) {
          std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
      } else {
        const int next = 1 - version[k][p];
        if (Replace(Version(tile, next), tile, Staging(tile))) {
          version[k][p] = next;
          ++replacements;
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

 private:
  static fs::path Version(const fs::path& tile, int v) { return fs::path(tile.string() + ".v" + std::to_string(v)); }
  static fs::path Staging(const fs::path& tile) { return fs::path(tile.string() + ".new"); }
  fs::path root_;
};

// Checks one block of a map against the tiles it overlaps; prints what is wrong.
class Checker {
 public:
  explicit Checker(const Kind& kind) : kind_(kind), span_(kind.side - 1) {}

  bool Check(std::int32_t row, std::int32_t column, const std::int16_t* block) const {
    const std::int64_t firstRow = std::int64_t{BLOCK_SIDE} * row;
    const std::int64_t firstColumn = std::int64_t{BLOCK_SIDE} * (column - 1);
    for (int i = 0; i < BLOCK_SIDE; ++i) {
      const std::int64_t mapRow = firstRow + i;
      for (int j = 0; j < BLOCK_SIDE;) {
        const std::int64_t mapColumn = firstColumn + j;
        // The stretch of this row that lies in one tile (the map starts at 90 S, 180 W).
        const int lat = static_cast<int>(mapRow / span_) - 90, lon = static_cast<int>(mapColumn / span_) - 180;
        const int inRow = static_cast<int>(mapRow % span_), inColumn = static_cast<int>(mapColumn % span_);
        const int count = std::min(BLOCK_SIDE - j, span_ - inColumn);
        if (!StretchIsValid(lat, lon, span_ - inRow, inColumn, count, block + i * BLOCK_SIDE + j)) {
          std::fprintf(stderr, "block (%d, %d): row %d, columns %d to %d of tile %d %d are wrong\n", row, column, i, j,
                       j + count, lat, lon);
          return false;
        }
        j += count;
      }
    }
    return true;
  }

 private:
  bool StretchIsValid(int lat, int lon, int fileRow, int column, int count, const std::int16_t* served) const {
    const int p = (lat - kSouth) * kColumns + (lon - kind_.west);
    const bool inGrid = lat >= kSouth && lat < kSouth + kRows && lon >= kind_.west && lon < kind_.west + kColumns;
    auto all = [&](std::int16_t v) {
      for (int k = 0; k < count; ++k) {
        if (served[k] != v) return false;
      }
      return true;
    };
    auto version = [&](int v) {
      for (int k = 0; k < count; ++k) {
        if (served[k] != Served(Height(lat, lon, v, fileRow, column + k))) return false;
      }
      return true;
    };
    if (!inGrid || IsMissing(p) || IsShort(p) || IsLong(p)) return all(kMissing);
    if (version(0) || (IsReplaced(p) && version(1))) return true;
    // A replaced tile may be missing (damaged for a moment) or cut short under the read.
    return IsReplaced(p) && (all(kMissing) || all(kFailedRow));
  }

  Kind kind_;
  int span_;
};

long ResidentKilobytes() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.WorkingSetSize / 1024);
#elif defined(__linux__)
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
#else
  return 0;
#endif
}

int OpenFileCount() {
#if defined(_WIN32)
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return static_cast<int>(handles);
#elif defined(__linux__)
  int n = 0;
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++n;
  return n;
#else
  return 0;
#endif
}

}  // namespace

int Run(long reads) {
  TempFolder folder;
  const std::string native = platform::ToNativePath(folder.path());
  Folder tiles(native);
  g_pluginSettings.fillVoids = 0;
  g_pluginSettings.seaOn = 0;

  std::vector<Checker> checkers;
  for (const Kind& kind : kKinds) {
    const std::string path = folder.File(Name(kSouth, kind.west));
    if (MapSourceHook(QLP_MSG_OPEN, kind.map, reinterpret_cast<QLP_DATA>(path.c_str())) != 1) {
      std::fprintf(stderr, "cannot open %s\n", path.c_str());
      return 1;
    }
    checkers.emplace_back(kind);
  }

  std::atomic<bool> stop{false};
  std::atomic<int> replacements{0};
  std::thread replacer([&] { tiles.KeepReplacing(stop, replacements); });

  std::mt19937 random(20240607);
  std::vector<std::int16_t> block(BLOCK_SAMPLES);
  long residentAfterWarmUp = 0;
  int filesAfterWarmUp = 0;
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (long n = 0; n < reads && failures < 5; ++n) {
    if (n == reads / 20) {
      residentAfterWarmUp = ResidentKilobytes();
      filesAfterWarmUp = OpenFileCount();
    }
    const int k = static_cast<int>(random() % 2);
    const Kind& kind = kKinds[k];
    const int span = kind.side - 1;
    // Blocks over the grid and one tile beyond it on every side.
    const int firstRow = (kSouth - 1 + 90) * span / BLOCK_SIDE, lastRow = (kSouth + kRows + 1 + 90) * span / BLOCK_SIDE;
    const int firstColumn = (kind.west - 1 + 180) * span / BLOCK_SIDE + 1;
    const int lastColumn = (kind.west + kColumns + 1 + 180) * span / BLOCK_SIDE + 1;
    const int row = firstRow + static_cast<int>(random() % static_cast<unsigned>(lastRow - firstRow));
    const int column = firstColumn + static_cast<int>(random() % static_cast<unsigned>(lastColumn - firstColumn));
    const std::int32_t number = (row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 + (column % 100) * 100;
    BlockRequest request{static_cast<std::int32_t>(sizeof(BlockRequest)), number, block.data()};
    if (MapSourceHook(QLP_MSG_READ_BLOCK, kind.map, reinterpret_cast<QLP_DATA>(&request)) != 1) {
      std::fprintf(stderr, "read %ld: block (%d, %d) answered 0\n", n, row, column);
      ++failures;
    } else if (!checkers[static_cast<std::size_t>(k)].Check(row, column, block.data())) {
      ++failures;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stop = true;
  replacer.join();
  long residentAtEnd = ResidentKilobytes();
  const int filesAtEnd = OpenFileCount();
  for (const Kind& kind : kKinds) MapSourceHook(QLP_MSG_CLOSE, kind.map, 0);
  g_pluginSettings = PluginSettings();

  std::printf("%ld block reads in %.1f s (%.0f a second), %d tile files replaced meanwhile\n", reads, seconds,
              reads / seconds, replacements.load());
  std::printf("resident memory %ld kB after warm-up, %ld kB at the end; open files %d and %d\n", residentAfterWarmUp,
              residentAtEnd, filesAfterWarmUp, filesAtEnd);
  if (failures > 0) {
    std::printf("FAILED: %d wrong blocks\n", failures);
    return 1;
  }
  if (replacements.load() < 10) {
    std::printf("FAILED: the files were hardly replaced (%d times); the load proves nothing\n", replacements.load());
    return 1;
  }
  // Flat: the plug-in keeps no cache, so nothing may grow with the number of reads.
  // (AddressSanitizer holds freed memory back in its quarantine, so there only the open
  // files are compared; its leak check at exit covers the rest.)
#if defined(__SANITIZE_ADDRESS__)
  residentAtEnd = residentAfterWarmUp;
#endif
  if (residentAtEnd - residentAfterWarmUp > 4096 || filesAtEnd != filesAfterWarmUp) {
    std::printf("FAILED: memory or open files grew under load\n");
    return 1;
  }
  return 0;
}

}  // namespace srtm::test

int main(int argc, char** argv) {
  const long reads = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
  return srtm::test::Run(reads > 0 ? reads : 100000);
}

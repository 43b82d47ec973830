#include "tools/batch_cli.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/output_file.h"
#include "platform/platform.h"
#include "tools/cli_util.h"
#include "tools/commands.h"
#include "tools/parallel_compress.h"

namespace srtm::cli {
namespace {

int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

}  // namespace

bool Interrupted() { return platform::StopSignal() != 0; }

int InterruptedExitCode() { return Interrupted() ? 128 + platform::StopSignal() : kExitInterrupted; }

BatchOptions::BatchOptions() : jobs(DefaultJobs()) {}

bool ParseBatchOption(Args& args, BatchOptions* options) {
  std::string shard;
  if (args.Integer("--jobs", &options->jobs, 1, 256)) return true;
  if (args.Value("--shard", &shard)) {
    if (!args.stopped() && !ParsePart(shard.c_str(), &options->part, &options->parts)) {
      args.Fail("--shard wants K/N with 1 <= K <= N, not '" + shard + "'");
    }
    return true;
  }
  if (args.Flag("--skip-existing")) {
    options->skipExisting = true;
  } else if (args.Flag("--quiet")) {
    options->quiet = true;
  } else {
    return false;
  }
  return true;
}

bool PrepareOutputFolder(const char* command, const std::string& userFolder,
                         std::vector<std::filesystem::path>* made) {
  const std::string folder = platform::FromUserPath(userFolder);
  // The system's own path: in the Windows world the ANSI code page's bytes, which the
  // library would otherwise not read as such.
#if defined(_WIN32)
  const std::filesystem::path native = std::filesystem::u8path(SystemTextToUtf8(folder));
#else
  const std::filesystem::path native(platform::ToNativePath(folder));
#endif
  // The folders missing before, innermost first: those there afterwards were made here.
  std::vector<std::filesystem::path> missing;
  std::error_code probe;
  for (std::filesystem::path p = native; !p.empty() && !std::filesystem::exists(std::filesystem::symlink_status(p, probe));
       p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  std::error_code failed, checked;
  std::filesystem::create_directories(native, failed);
  if (made != nullptr) {
    for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
      if (std::filesystem::is_directory(*p, probe)) made->push_back(*p);
    }
  }
  if (!std::filesystem::is_directory(native, checked)) {
    // A file where the folder goes is said as such: the system's "Not a directory"
    // alone reads as if a parent were wrong.
    const bool inTheWay = platform::Inspect(folder.c_str()) != platform::PathKind::kMissing;
    std::fprintf(stderr, "srtm %s: the output folder %s cannot be made (%s%s)\n", command, userFolder.c_str(),
                 inTheWay ? "a file of that name is there: " : "",
                 failed ? failed.message().c_str() : "Not a directory");
    return false;
  }
  // A file of its own made and removed: nothing is opened where an output goes (a named
  // pipe there is to be opened once, by its output).
  std::string why;
  if (!platform::FolderTakesFiles(folder, &why)) {
    std::fprintf(stderr, "srtm %s: the output folder %s cannot be written (%s)\n", command, userFolder.c_str(),
                 why.c_str());
    return false;
  }
  return true;
}

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

ProgressDisplay::ProgressDisplay(const char* command, bool quiet)
    : command_(command), terminal_(IsTerminal(stderr)), quiet_(quiet), start_(std::chrono::steady_clock::now()) {}

double ProgressDisplay::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

double ProgressDisplay::Rate(std::size_t done) const {
  const double elapsed = Seconds();
  return elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
}

double ProgressDisplay::Left(double fraction) const {
  const double elapsed = Seconds();
  return fraction > 0 && elapsed > 0.2 ? (1 - fraction) * elapsed / fraction : -1;
}

void ProgressDisplay::Bar(double fraction, std::size_t done, std::size_t total) {
  if (quiet_) return;
  const int width = 30;
  const int filled = static_cast<int>(fraction * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  std::fprintf(stderr, "\r[%s] %3d%%  %zu/%zu tiles  %.1f tiles/s  %s left  ", bar.c_str(),
               static_cast<int>(fraction * 100), done, total, Rate(done), Clock(Left(fraction)).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressDisplay::Line(double fraction, std::size_t done, std::size_t total, const std::string& name,
                           const char* what) {
  if (quiet_) return;
  std::fprintf(stderr, "%s: %zu/%zu %s %s (%.1f tiles/s, %s left)\n", command_.c_str(), done, total, name.c_str(),
               what, Rate(done), Clock(Left(fraction)).c_str());
  std::fflush(stderr);
}

void ProgressDisplay::Message(const std::string& text) {
  Finish();
  std::fprintf(stderr, "srtm %s: %s\n", command_.c_str(), text.c_str());
  std::fflush(stderr);
}

void ProgressDisplay::Finish() {
  if (drawn_) std::fprintf(stderr, "\n");
  drawn_ = false;
}

}  // namespace srtm::cli

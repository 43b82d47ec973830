// What the batch commands of the srtm tool (compress, import) share: Ctrl-C, the
// --jobs/--shard/--skip-existing/--quiet options and the progress display on stderr.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tools/args.h"

namespace srtm::cli {

// Ctrl-C, the termination signals a scheduler sends, and a closed pipe ask for a stop
// while a guard is alive (platform/process.h); Interrupted() tells whether one was asked
// for since the guard was made, and InterruptedExitCode() is then 128 + the signal
// (130 for Ctrl-C, 143 for SIGTERM).
using InterruptGuard = platform::StopRequests;
bool Interrupted();
int InterruptedExitCode();

// The options every batch command takes.
struct BatchOptions {
  int jobs = 1;  // threads (default: the number of cores)
  int part = 1, parts = 1;
  bool skipExisting = false;
  bool quiet = false;
  BatchOptions();
};
// Takes the current argument of `args` when it is one of the batch options (a wrong
// value is reported through `args`, which then stops).
bool ParseBatchOption(Args& args, BatchOptions* options);

// Makes the output folder `userFolder` (as typed) of a batch command, parents too, when
// missing; false after "srtm COMMAND: the output folder F cannot be made (why)" or
// "... cannot be written (why)", the system's reason, when it is not a folder that takes
// new files. The folders it made go into `made` when given, outermost first.
bool PrepareOutputFolder(const char* command, const std::string& userFolder,
                         std::vector<std::filesystem::path>* made = nullptr);

// "1:02" or "1:02:03"; "--:--" for a negative (unknown) time.
std::string Clock(double seconds);

// Progress on stderr: a bar redrawn in place on a terminal, a line per finished item
// otherwise (logs of a scheduler). `fraction` is the share of the work done so far.
class ProgressDisplay {
 public:
  ProgressDisplay(const char* command, bool quiet);

  bool terminal() const { return terminal_; }
  void Bar(double fraction, std::size_t done, std::size_t total);
  void Line(double fraction, std::size_t done, std::size_t total, const std::string& name, const char* what);
  // A line that is shown also with --quiet ("srtm COMMAND: text"), below the bar.
  void Message(const std::string& text);
  // Ends the bar's line before anything else is printed.
  void Finish();
  double Seconds() const;

 private:
  double Rate(std::size_t done) const;
  double Left(double fraction) const;

  std::string command_;
  bool terminal_;
  bool quiet_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace srtm::cli

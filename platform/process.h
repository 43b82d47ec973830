// The process around a program: its standard descriptors, the signals that end it, and
// the temporary files of the outputs it is writing (platform/output_file.h), which no
// signal may leave behind.
//
//   int main(...) {
//     platform::StartProcess();
//     int code = Run(...);
//     return FinishStandardOutput(...) ? code : 4;
//   }
#pragma once

#include <string>

namespace srtm::platform {

// Called first thing in main(), on the main thread. Opens the null device on every one
// of the descriptors 0, 1 and 2 that is closed, so that no file the program opens takes
// their place (natively). Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE end the process
// with the exit code 128 + the signal after removing the temporary files of the outputs
// being written; SIGXFSZ is ignored, so that a write beyond the file-size limit fails
// and is reported like any other. (In the Windows world: Ctrl-C, the same way.)
void StartProcess();

// While an object lives, those signals ask for a stop instead (a batch finishes the
// block in progress and removes its own temporary files); a second one ends the process
// as above. On destruction the previous handlers come back.
class StopRequests {
 public:
  StopRequests();
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

 private:
  struct Saved;
  Saved* saved_;
};
// The signal that asked for a stop while StopRequests live; 0 for none.
int StopSignal();

// Flushes standard output; false, with the system's reason (that of the first flush
// that failed), when anything written to it could not be written (a full disk, a
// closed pipe, a device that refuses). Commands flush through it between their lines on
// standard output and their messages on standard error. Main thread only.
bool FlushStandardOutput(std::string* why = nullptr);

}  // namespace srtm::platform

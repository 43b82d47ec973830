// The commands of the srtm tool. Each takes its own arguments (after the command name)
// and returns the process exit code.
#pragma once

namespace srtm::cli {

// Exit codes shared by every command.
enum ExitCode {
  kExitOk = 0,
  kExitDifferent = 1,  // verify: the file does not match its tile
  kExitUsage = 2,      // wrong arguments
  kExitInput = 3,      // an input file is missing, unreadable or not what it must be
  kExitOutput = 4,     // an output file cannot be written
  kExitFailed = 5,     // the work itself failed (a batch with failures)
  kExitInterrupted = 130,
};

// Tile commands.
int Classify(int argc, char** argv);
int Block(int argc, char** argv);
// XEM commands.
int Compress(int argc, char** argv);
int Info(int argc, char** argv);
int Decode(int argc, char** argv);
int Verify(int argc, char** argv);
int Render(int argc, char** argv);
// Import (GDAL; in the Linux build only).
int Import(int argc, char** argv);

}  // namespace srtm::cli

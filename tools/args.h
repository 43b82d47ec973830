// How the commands of the srtm tool read their arguments, as users of other tools
// expect: "--opt value" and "--opt=value" alike, "--" ending the options, -h/--help
// and -V/--version anywhere among them; a wrong or missing argument is named in one
// line, followed by the command's usage lines, never the whole help.
//
//   Args args(kInfoHelp, argc, argv);
//   while (args.Next()) {
//     if (args.Flag("--json")) json = true;
//     else args.MoreOperands(&files);
//   }
//   if (args.stopped()) return args.exitCode();
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace srtm::cli {

// What a command says about itself.
struct CommandHelp {
  const char* name;   // "block"
  const char* usage;  // its forms after "srtm NAME ", one a line: "TILE.hgt BLOCK -o OUT.raw [OPTION]..."
  // The rest of its --help: what it does, its options, its exit status.
  void (*details)(FILE* out);
};

// "Usage: srtm NAME FORM" and "  or:  srtm NAME FORM" for the further forms.
void PrintUsage(const CommandHelp& help, FILE* out);
// "srtm NAME: message", the usage lines and where the help is, on standard error;
// returns the exit code for wrong arguments.
int UsageError(const CommandHelp& help, const std::string& message);
// "srtm VERSION" on standard output.
void PrintVersion();

class Args {
 public:
  Args(const CommandHelp& help, int argc, char** argv);

  // Steps to the next argument. False at the end, and as soon as the command is to stop:
  // its help or the version was shown, or an argument was wrong (see exitCode).
  bool Next();
  bool stopped() const { return stopped_; }
  int exitCode() const { return exitCode_; }

  // Each takes the current argument when it is what it looks for and returns true; a
  // value that is missing or wrong is reported (the next Next() then stops). A value
  // may be "-" or a negative number, not an option: "-o --help" names no output.
  // NAMES is one name or several separated by '|': "-o|--output".
  bool Operand(std::string* value);  // not an option, or anything after "--"
  bool Flag(const char* names);
  bool Value(const char* names, std::string* value);
  // A value of `count` parts: "--te 1 2 3 4" or, as one argument, "--te=1,2,3,4".
  bool Values(const char* names, int count, std::vector<std::string>* values);
  bool Switch(const char* names, std::int32_t* on);  // on (1) or off (0)
  bool Integer(const char* names, std::int32_t* value, std::int32_t low, std::int32_t high);
  // The current argument, taken by nothing: an unknown option or an unexpected operand.
  void Unknown();
  // The current argument as one more operand; an option is Unknown().
  void MoreOperands(std::vector<std::string>* operands);
  // A wrong or missing argument, once the arguments are read: the message, the usage;
  // returns the exit code for wrong arguments and stops.
  int Fail(const std::string& message);

  const CommandHelp& help() const { return help_; }

 private:
  // Shows the help or the version when `arg` asks for one, and stops.
  bool HelpOrVersion(const char* arg);
  bool Matches(const char* names);
  bool TakeValue(std::string* value);

  const CommandHelp& help_;
  int argc_;
  char** argv_;
  int at_ = -1;          // the current argument
  bool optionsEnded_ = false;
  bool stopped_ = false;
  int exitCode_ = 0;
  std::string option_;   // the name of the option being taken ("--fill")
  const char* inline_ = nullptr;  // its "=value" part, or null
};

// A finite decimal number, nothing before or after it.
bool ParseDouble(const std::string& text, double* out);

}  // namespace srtm::cli

#include "tools/args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "res/srtm_texts.h"
#include "tools/cli_util.h"
#include "tools/commands.h"

namespace srtm::cli {
namespace {

// Splits "a,b,c" at its commas.
std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1) {
    parts.push_back(text.substr(start, comma - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

void PrintUsage(const CommandHelp& help, FILE* out) {
  const char* form = help.usage;
  for (bool first = true; *form; first = false) {
    const char* end = std::strchr(form, '\n');
    const int length = static_cast<int>(end ? end - form : std::strlen(form));
    std::fprintf(out, "%s srtm %s %.*s\n", first ? "Usage:" : "  or: ", help.name, length, form);
    form += length + (end ? 1 : 0);
  }
}

int UsageError(const CommandHelp& help, const std::string& message) {
  std::fprintf(stderr, "srtm %s: %s\n", help.name, message.c_str());
  PrintUsage(help, stderr);
  std::fprintf(stderr, "Try 'srtm %s --help' for more information.\n", help.name);
  return kExitUsage;
}

void PrintVersion() { std::printf("srtm %s\n", kTextPluginVersion); }

Args::Args(const CommandHelp& help, int argc, char** argv) : help_(help), argc_(argc), argv_(argv) {}

bool Args::Next() {
  while (!stopped_ && ++at_ < argc_) {
    const char* arg = argv_[at_];
    option_.clear();
    inline_ = nullptr;
    if (optionsEnded_ || !LooksLikeOption(arg)) return true;
    if (std::strcmp(arg, "--") == 0) {
      optionsEnded_ = true;
      continue;
    }
    if (HelpOrVersion(arg)) return false;
    // "--name=value" (and "-te=value"); a two-letter option such as -o takes no "=".
    const char* equals = std::strchr(arg, '=');
    if (equals && equals - arg > 2) {
      option_.assign(arg, equals);
      inline_ = equals + 1;
    } else {
      option_ = arg;
    }
    return true;
  }
  return false;
}

bool Args::HelpOrVersion(const char* arg) {
  if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
    PrintUsage(help_, stdout);
    help_.details(stdout);
  } else if (std::strcmp(arg, "-V") == 0 || std::strcmp(arg, "--version") == 0) {
    PrintVersion();
  } else {
    return false;
  }
  stopped_ = true;
  exitCode_ = kExitOk;
  return true;
}

bool Args::Matches(const char* names) {
  if (option_.empty()) return false;
  for (const char* name = names; *name;) {
    const char* bar = std::strchr(name, '|');
    const std::size_t length = bar ? static_cast<std::size_t>(bar - name) : std::strlen(name);
    if (option_.size() == length && option_.compare(0, length, name, length) == 0) return true;
    name += length + (bar ? 1 : 0);
  }
  return false;
}

bool Args::TakeValue(std::string* value) {
  if (inline_) {
    *value = inline_;
  } else if (at_ + 1 < argc_ && !LooksLikeOption(argv_[at_ + 1])) {
    *value = argv_[++at_];  // "-o -" and "--at -33.9,151.2" too; "-o --help" is no output named --help
  } else {
    Fail(option_ + " wants a value");
    return false;
  }
  return true;
}

bool Args::Operand(std::string* value) {
  if (stopped_ || at_ >= argc_ || !option_.empty()) return false;
  *value = argv_[at_];
  return true;
}

bool Args::Flag(const char* names) {
  if (!Matches(names)) return false;
  if (inline_) Fail(option_ + " takes no value");
  return true;
}

bool Args::Value(const char* names, std::string* value) {
  if (!Matches(names)) return false;
  TakeValue(value);
  return true;
}

bool Args::Values(const char* names, int count, std::vector<std::string>* values) {
  if (!Matches(names)) return false;
  values->clear();
  std::string first;
  if (!TakeValue(&first)) return true;
  if (inline_ || first.find(',') != std::string::npos) {
    *values = SplitCommas(first);
  } else {
    values->push_back(first);
    while (static_cast<int>(values->size()) < count && at_ + 1 < argc_ && !LooksLikeOption(argv_[at_ + 1])) {
      values->push_back(argv_[++at_]);
    }
  }
  if (static_cast<int>(values->size()) != count) {
    Fail(option_ + " wants " + std::to_string(count) + " values, separated by spaces or commas");
  }
  return true;
}

bool Args::Switch(const char* names, std::int32_t* on) {
  std::string value;
  if (!Matches(names)) return false;
  if (TakeValue(&value) && !ParseSwitch(value.c_str(), on)) Fail(option_ + " wants on or off, not '" + value + "'");
  return true;
}

bool Args::Integer(const char* names, std::int32_t* value, std::int32_t low, std::int32_t high) {
  std::string text;
  if (!Matches(names)) return false;
  std::int32_t v = 0;
  if (!TakeValue(&text)) return true;
  if (!ParseInt32(text.c_str(), &v) || v < low || v > high) {
    Fail(option_ + " wants a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
         text + "'");
  } else {
    *value = v;
  }
  return true;
}

void Args::Unknown() {
  if (stopped_ || at_ >= argc_) return;
  Fail(option_.empty() ? "unexpected argument '" + std::string(argv_[at_]) + "'"
                       : "unknown option '" + std::string(argv_[at_]) + "'");
}

void Args::MoreOperands(std::vector<std::string>* operands) {
  std::string operand;
  if (Operand(&operand)) {
    operands->push_back(operand);
  } else {
    Unknown();
  }
}

int Args::Fail(const std::string& message) {
  // Help or the version asked for further on wins over a wrong argument.
  for (int i = at_ + 1; !optionsEnded_ && i < argc_ && std::strcmp(argv_[i], "--") != 0; ++i) {
    if (HelpOrVersion(argv_[i])) return exitCode_;
  }
  stopped_ = true;
  exitCode_ = UsageError(help_, message);
  return exitCode_;
}

bool ParseDouble(const std::string& text, double* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

}  // namespace srtm::cli

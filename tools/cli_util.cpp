#include "tools/cli_util.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "hgt/paths.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tools/commands.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>
#endif

namespace srtm::cli {
namespace {

thread_local std::string t_subject;
std::mutex g_stderrMutex;

int PrintMessageBox(const platform::MessageBoxRecord& shown, void*) {
  const std::string text = ToTerminal(shown.text);
  std::lock_guard<std::mutex> lock(g_stderrMutex);
  if (t_subject.empty()) {
    std::fprintf(stderr, "srtm: %s\n", text.c_str());
  } else {
    std::fprintf(stderr, "srtm: %s: %s\n", t_subject.c_str(), text.c_str());
  }
  return platform::kIdOk;
}

}  // namespace

bool IsHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

bool ParseInt32(const char* text, std::int32_t* out) {
  if (!*text) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
  *out = static_cast<std::int32_t>(value);
  return true;
}

bool ParseSwitch(const char* text, std::int32_t* out) {
  const bool on = std::strcmp(text, "on") == 0;
  if (!on && std::strcmp(text, "off") != 0) return false;
  *out = on ? 1 : 0;
  return true;
}

namespace {

#if defined(_WIN32)
// `text` from code page `from` to code page `to`; unchanged when it cannot be converted.
std::string Convert(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return text;
  const int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return text;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
  const int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(to, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
}
#else
// `text` from character set `from` to `to`; unchanged when it cannot be converted.
std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = &out[0];
  std::size_t outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return text;
  out.resize(out.size() - outLeft);
  return out;
}

// The length of the UTF-8 sequence at `s` (at most `left` bytes), 0 when there is none.
std::size_t Utf8Length(const unsigned char* s, std::size_t left) {
  const unsigned char c = s[0];
  const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || n > left || (n == 2 && c < 0xC2)) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}
#endif

}  // namespace

bool LooksLikeOption(const char* arg) {
  if (arg[0] != '-' || arg[1] == '\0') return false;
  const char c = arg[1] == '.' ? arg[2] : arg[1];
  return !(c >= '0' && c <= '9');
}

std::string ToTerminal(const std::string& cp932) {
#if defined(_WIN32)
  // A console set to UTF-8 gets UTF-8; any other console, and a pipe, the ANSI code page.
  return GetConsoleOutputCP() == CP_UTF8 ? Convert(cp932, 932, CP_UTF8) : cp932;
#else
  // The terminal's character set is the locale's (main() takes it from the environment);
  // without one (the C locale says ASCII) UTF-8, what terminals use today.
  std::string target = nl_langinfo(CODESET);
  if (target == "ANSI_X3.4-1968" || target == "ASCII" || target.empty()) target = "UTF-8";
  return Convert(cp932, "CP932", target.c_str());
#endif
}

std::string Cp932ToUtf8(const std::string& cp932) {
#if defined(_WIN32)
  return Convert(cp932, 932, CP_UTF8);
#else
  return Convert(cp932, "CP932", "UTF-8");
#endif
}

std::string SystemTextToUtf8(const std::string& text) {
#if defined(_WIN32)
  return Convert(text, CP_ACP, CP_UTF8);
#else
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(s + i, text.size() - i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
      ++i;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out;
#endif
}

bool IsTerminal(FILE* stream) {
#if defined(_WIN32)
  return _isatty(_fileno(stream)) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

bool IsStandardOutput(const std::string& arg) {
  return arg == "-" || platform::IsStandardOutput(platform::FromUserPath(arg));
}

int WriteOutput(const char* command, const std::string& arg, const void* data, std::size_t size,
                const std::vector<std::string>& inputs) {
  platform::OutputFile out;
  const bool open = arg == "-" ? out.OpenStandardOutput() : out.Open(platform::FromUserPath(arg), inputs);
  if (open && out.Write(data, size) && out.Commit()) return kExitOk;
  std::fprintf(stderr, "srtm %s: %s: %s\n", command, arg == "-" ? "standard output" : arg.c_str(),
               out.error().c_str());
  return out.isAnInput() ? kExitUsage : kExitOutput;
}

std::vector<std::string> ServedMapInputs(const std::string& tilePath, const std::string& outputArg) {
  std::vector<std::string> inputs = {tilePath};
  platform::Destination to;
  std::string folder, name;
  int lat = 0, lon = 0;
  if (outputArg != "-" && platform::CurrentEnv()->Locate(platform::FromUserPath(outputArg).c_str(), &to) &&
      SplitPath(to.path, nullptr, &name) && ParseTileName(name, &lat, &lon) && SplitPath(tilePath, &folder, nullptr)) {
    if (EndsWithBackslash(folder.c_str())) folder.pop_back();
    inputs.push_back(FormatTilePath(folder, lat, lon));
  }
  return inputs;
}

int FinishMain(const char* program, int code) {
  std::string why;
  if (platform::FlushStandardOutput(&why)) return code;
  std::fprintf(stderr, "%s: standard output: %s\n", program, why.c_str());
  return code == kExitOk || code == kExitDifferent ? kExitOutput : code;
}

FILE* InfoStream(const std::string& outputArg) { return IsStandardOutput(outputArg) ? stderr : stdout; }

MessageBoxesToStderr::MessageBoxesToStderr() { platform::SetMessageBoxResponder(PrintMessageBox, nullptr); }
MessageBoxesToStderr::~MessageBoxesToStderr() { platform::SetMessageBoxResponder(nullptr, nullptr); }
void MessageBoxesToStderr::SetSubject(const std::string& subject) { t_subject = subject; }

}  // namespace srtm::cli

// Small pieces every command of the srtm tool uses: argument parsing, texts for the
// terminal, and the library's message boxes turned into lines on stderr.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace srtm::cli {

bool IsHelp(const char* arg);
// A whole decimal 32-bit number, nothing before or after it.
bool ParseInt32(const char* text, std::int32_t* out);
// "on" (1) or "off" (0).
bool ParseSwitch(const char* text, std::int32_t* out);
// An option that is not a number: "-o", "--fill" (a lone "-" or "-5" is a value).
bool LooksLikeOption(const char* arg);

// Code-page-932 text as the terminal shows it: natively converted to the character set
// of the locale (UTF-8 when the locale names none); in
// the Windows world unchanged (its consoles and pipes use code page 932), unless the
// console was set to UTF-8.
std::string ToTerminal(const std::string& cp932);

// True when `stream` is a terminal (progress bars redraw in place only there).
bool IsTerminal(FILE* stream);

// Prints the message boxes the library shows on stderr instead ("srtm: <text>", with
// the prefix of the current thread when one is set) and answers OK, for its lifetime.
class MessageBoxesToStderr {
 public:
  MessageBoxesToStderr();
  ~MessageBoxesToStderr();
  MessageBoxesToStderr(const MessageBoxesToStderr&) = delete;
  MessageBoxesToStderr& operator=(const MessageBoxesToStderr&) = delete;

  // What this thread's message boxes are about ("N57E011.hgt"); empty for nothing.
  static void SetSubject(const std::string& subject);
};

}  // namespace srtm::cli

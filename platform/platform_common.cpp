// The Env switch shared by both implementations.
#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace srtm::platform {
namespace {
Env* g_current = nullptr;
}  // namespace

Env* CurrentEnv() { return g_current ? g_current : DefaultEnv(); }

Env* SetEnv(Env* env) {
  Env* previous = CurrentEnv();
  g_current = env;
  return previous;
}

bool Env::MayAllocate(std::size_t) { return true; }

}  // namespace srtm::platform

namespace srtm::platform {

bool MatchesPattern(const char* name, const char* pattern) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  // Iterative wildcard match with one back-tracking point for the last '*'.
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' || (*pattern && lower(*pattern) == lower(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

}  // namespace srtm::platform

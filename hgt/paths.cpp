#include "hgt/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace srtm {
namespace {

// The last single-byte backslash of `path`, or null. A lead byte takes its trail byte
// with it; a lead byte right before the terminator ends the walk.
const char* LastBackslash(const char* path, PathCodePage cp) {
  const char* found = nullptr;
  for (const char* p = path; *p; ++p) {
    if (platform::IsPathLeadByte(static_cast<unsigned char>(*p), cp)) {
      if (p[1] == '\0') break;
      ++p;
    } else if (*p == '\\') {
      found = p;
    }
  }
  return found;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int Digit(char c) { return c - '0'; }

// Length of a NUL-terminated string held in a kPathBufferSize buffer, or
// kPathBufferSize when the buffer holds no terminator.
std::size_t BufferLength(const char* buffer) {
  const void* nul = std::memchr(buffer, '\0', kPathBufferSize);
  return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : kPathBufferSize;
}

}  // namespace

bool EndsWithBackslash(const char* path, PathCodePage cp) {
  const char* last = LastBackslash(path, cp);
  return last != nullptr && last[1] == '\0';
}

bool AppendPath(char* buffer, const char* name, PathCodePage cp) {
  std::size_t length = BufferLength(buffer);
  if (length >= kPathBufferSize) return false;
  bool addSeparator = !EndsWithBackslash(buffer, cp);
  if (*name == '\\') ++name;
  std::size_t nameLength = std::strlen(name);
  std::size_t needed = length + (addSeparator ? 1 : 0) + nameLength + 1;
  if (needed > kPathBufferSize) return false;
  if (addSeparator) buffer[length++] = '\\';
  std::memcpy(buffer + length, name, nameLength + 1);
  return true;
}

bool AppendPath(std::string& path, const char* name, PathCodePage cp) {
  if (path.size() >= kPathBufferSize || path.find('\0') != std::string::npos) return false;
  char buffer[kPathBufferSize];
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  if (!AppendPath(buffer, name, cp)) return false;
  path = buffer;
  return true;
}

const char* FindFileName(const char* path, PathCodePage cp) {
  if (const char* last = LastBackslash(path, cp)) return last + 1;
  if (const char* colon = std::strrchr(path, ':')) return colon + 1;
  return path;
}

bool SplitPath(const std::string& path, std::string* folderOut, std::string* nameOut, PathCodePage cp) {
  if (path.size() >= kPathBufferSize) return false;
  // Working on a copy lets folderOut (or nameOut) be the path itself.
  char copy[kPathBufferSize];
  std::memcpy(copy, path.c_str(), path.size() + 1);
  char* name = const_cast<char*>(FindFileName(copy, cp));
  std::string nameText = name;
  *name = '\0';
  if (folderOut) *folderOut = copy;
  if (nameOut) *nameOut = std::move(nameText);
  return true;
}

bool ParseTileName(const std::string& name, int* lat, int* lon) {
  if (name.size() < 11) return false;
  char u[11];
  for (int i = 0; i < 11; ++i) u[i] = Upper(name[i]);
  bool matches = (u[0] == 'N' || u[0] == 'S') && IsDigit(u[1]) && IsDigit(u[2]) &&
                 (u[3] == 'E' || u[3] == 'W') && IsDigit(u[4]) && IsDigit(u[5]) && IsDigit(u[6]) &&
                 std::memcmp(u + 7, ".HGT", 4) == 0;
  if (!matches) return false;
  int south = 10 * Digit(u[1]) + Digit(u[2]);
  int west = 100 * Digit(u[4]) + 10 * Digit(u[5]) + Digit(u[6]);
  *lat = u[0] == 'S' ? -south : south;
  *lon = u[3] == 'W' ? -west : west;
  return true;
}

std::int32_t ClassifyHgtFile(const std::string& path, double* latOut, double* lonOut) {
  std::string name;
  if (!SplitPath(path, nullptr, &name)) return kNotTile;
  int lat = 0, lon = 0;
  if (!ParseTileName(name, &lat, &lon)) return kNotTile;
  // The corner is reported even when the size below rules the file out.
  if (latOut && lonOut) {
    *latOut = lat;
    *lonOut = lon;
  }

  std::uint64_t size = 0;
  if (!platform::GetFileSize(path.c_str(), &size)) return kNotTile;
  if (size == kSrtm1FileSize) return kSrtm1;
  if (size == kSrtm3FileSize) return kSrtm3;
  return kNotTile;
}

std::string FormatTilePath(const std::string& folder, int lat, int lon) {
  // Absolute values as unsigned, so that even INT_MIN formats without overflow.
  unsigned absLat = lat < 0 ? 0u - static_cast<unsigned>(lat) : static_cast<unsigned>(lat);
  unsigned absLon = lon < 0 ? 0u - static_cast<unsigned>(lon) : static_cast<unsigned>(lon);
  char name[40];
  std::snprintf(name, sizeof name, "\\%c%02u%c%03u.hgt", lat < 0 ? 'S' : 'N', absLat, lon < 0 ? 'W' : 'E', absLon);
  return folder + name;
}

}  // namespace srtm

// The path helpers and ClassifyHgtFile on arbitrary byte strings, read in code page 932
// or as UTF-8, shorter and longer than the path buffer. Each result is checked against a
// plain walk of the same bytes, and the fixed-size buffers live on the heap at their
// exact size, so a byte written or read past them stops the run under ASan. Natively,
// every path goes to the system's form and back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "hgt/paths.h"

namespace {

using srtm::kPathBufferSize;
using srtm::platform::PathCodePage;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Position of the last single-byte backslash (lead bytes take their trail byte with
// them), or npos.
std::size_t LastSeparator(const std::string& s, PathCodePage cp) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (cp == PathCodePage::kShiftJis && srtm::platform::IsLeadByte(static_cast<unsigned char>(s[i]))) {
      ++i;
    } else if (s[i] == '\\') {
      found = i;
    }
  }
  return found;
}

std::size_t ExpectedNameStart(const std::string& s, PathCodePage cp = srtm::platform::kPathCodePage) {
  const std::size_t separator = LastSeparator(s, cp);
  if (separator != std::string::npos) return separator + 1;
  const std::size_t colon = s.rfind(':');
  return colon == std::string::npos ? 0 : colon + 1;
}

void CheckScans(const std::string& path, PathCodePage cp) {
  const char* p = path.c_str();
  Check(srtm::FindFileName(p, cp) == p + ExpectedNameStart(path, cp));
  const std::size_t separator = LastSeparator(path, cp);
  Check(srtm::EndsWithBackslash(p, cp) == (separator != std::string::npos && separator + 1 == path.size()));

  std::string folder, name;
  const bool split = srtm::SplitPath(path, &folder, &name, cp);
  Check(split == (path.size() < kPathBufferSize));
  if (split) {
    Check(folder + name == path);
    Check(name == path.substr(ExpectedNameStart(path, cp)));
  }
}

void CheckAppend(const std::string& base, const std::string& addition, bool terminated, PathCodePage cp) {
  auto buffer = std::make_unique<char[]>(kPathBufferSize);
  if (terminated) {
    std::memset(buffer.get(), 0x41, kPathBufferSize);
    std::memcpy(buffer.get(), base.c_str(), base.size() + 1);
  } else {
    // A buffer with no terminator anywhere: refused, never scanned past its end.
    std::memset(buffer.get(), 'x', kPathBufferSize);
  }
  const std::string before(buffer.get(), kPathBufferSize);
  const bool appended = srtm::AppendPath(buffer.get(), addition.c_str(), cp);
  if (!terminated) {
    Check(!appended && std::string(buffer.get(), kPathBufferSize) == before);
    return;
  }
  const std::string stripped = !addition.empty() && addition[0] == '\\' ? addition.substr(1) : addition;
  const bool separator = !srtm::EndsWithBackslash(base.c_str(), cp);
  const std::string expected = base + (separator ? "\\" : "") + stripped;
  Check(appended == (expected.size() < kPathBufferSize));
  if (appended) {
    Check(std::string(buffer.get()) == expected);
  } else {
    Check(std::string(buffer.get(), kPathBufferSize) == before);
  }

  std::string text = base;
  Check(srtm::AppendPath(text, addition.c_str(), cp) == appended);
  Check(text == (appended ? expected : base));
}

// A few files for ClassifyHgtFile to find: a tile of each kind and one of neither size.
srtm::fuzz::MemoryEnv& Files() {
  static srtm::fuzz::MemoryEnv* env = [] {
    auto* e = new srtm::fuzz::MemoryEnv;
    auto zeros = [](std::uint64_t, std::uint8_t* out, std::size_t n) { std::memset(out, 0, n); };
    e->AddGeneratedFile("Z:\\t\\N57E011.hgt", srtm::kSrtm3FileSize, zeros);
    e->AddGeneratedFile("Z:\\t\\s01w072.HGT", srtm::kSrtm1FileSize, zeros);
    e->AddGeneratedFile("Z:\\t\\N00E000.hgt", srtm::kSrtm3FileSize - 1, zeros);
    e->AddGeneratedFile("Z:\\\x83\x5C\\N35E139.hgtx", srtm::kSrtm3FileSize, zeros);
    return e;
  }();
  return *env;
}

void CheckClassify(const std::string& path) {
  Files();
  double lat = 1000, lon = 1000;
  const std::int32_t kind = srtm::ClassifyHgtFile(path, &lat, &lon);
  Check(kind == srtm::kNotTile || kind == srtm::kSrtm1 || kind == srtm::kSrtm3);
  int parsedLat = 0, parsedLon = 0;
  const bool fits = path.size() < kPathBufferSize;
  const bool named = fits && srtm::ParseTileName(path.substr(ExpectedNameStart(path)), &parsedLat, &parsedLon);
  // The corner is reported exactly when the name is a tile's, whatever the size.
  Check(named ? lat == parsedLat && lon == parsedLon : lat == 1000 && lon == 1000);
  if (kind != srtm::kNotTile) {
    std::uint64_t size = 0;
    Check(named && srtm::platform::GetFileSize(path.c_str(), &size));
    Check(size == (kind == srtm::kSrtm1 ? srtm::kSrtm1FileSize : srtm::kSrtm3FileSize));
  }
  if (named) {
    // The formatted name of the parsed corner is the name itself, up to letter case.
    const std::string formatted = srtm::FormatTilePath("Z:", parsedLat, parsedLon);
    const std::string name = path.substr(ExpectedNameStart(path), 11);
    Check(formatted.size() == 3 + 11);
    for (std::size_t i = 0; i < 11; ++i) {
      const char a = formatted[3 + i], b = name[i];
      // S00 and W000 name the same corner as N00 and E000.
      if ((i == 0 && parsedLat == 0) || (i == 3 && parsedLon == 0)) continue;
      Check(a == b || (a ^ 0x20) == b);
    }
  }
}

}  // namespace

// Input: a mode byte, then two byte strings (a path and a name to append). Mode bit 0
// puts the first tile folder in front of the path, so that classification reaches the
// size test; bit 1 gives AppendPath a buffer without a terminator; bit 2 reads the
// strings as UTF-8 rather than in code page 932.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  srtm::fuzz::InputReader in(data, size);
  const std::uint8_t mode = in.Byte();
  const PathCodePage cp = (mode & 4) ? PathCodePage::kUtf8 : PathCodePage::kShiftJis;
  std::string path = in.Bytes(kPathBufferSize + 340);
  std::string addition = in.Bytes(kPathBufferSize + 340);
  path = path.substr(0, path.find('\0'));
  addition = addition.substr(0, addition.find('\0'));
  if (mode & 1) path = "Z:\\t\\" + path;

  CheckScans(path, cp);
  CheckScans(addition, cp);
  CheckClassify(path);
  if (path.size() < kPathBufferSize) CheckAppend(path, addition, (mode & 2) == 0, cp);

  // Any corner formats without overflow, into a name of bounded length.
  const auto lat = static_cast<std::int32_t>(in.U32());
  const auto lon = static_cast<std::int32_t>(in.U32());
  Check(srtm::FormatTilePath(path, lat, lon).size() <= path.size() + 1 + 1 + 10 + 1 + 10 + 4);
  const std::string native = srtm::platform::ToNativePath(path);
#if !defined(_WIN32)
  if (mode & 1) Check(srtm::platform::FromUserPath(native) == path);
#endif
  return 0;
}

#include "tests/support/test_support.h"

#include <filesystem>
#include <random>
#include <stdexcept>

#include "platform/platform.h"

namespace srtm::test {
namespace fs = std::filesystem;

std::string DataFile(const std::string& name) {
  return platform::FromUserPath(std::string(SRTM_SOURCE_DIR) + "/tests/data/" + name);
}

std::string BinaryDir() {
#if defined(_WIN32)
  return platform::FromUserPath(SRTM_BINARY_DIR);
#else
  return SRTM_BINARY_DIR;
#endif
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  if (!platform::GetFileSize(path.c_str(), &size)) return bytes;
  auto file = platform::OpenShared(path.c_str());
  if (!file) return bytes;
  bytes.resize(size);
  std::size_t got = 0;
  file->Read(bytes.data(), bytes.size(), &got);
  bytes.resize(got);
  return bytes;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  auto file = platform::CreateOutputFile(path.c_str());
  return file && file->Write(bytes.data(), bytes.size()) && file->Close();
}

bool Exists(const std::string& path) { return platform::FileExists(path.c_str()); }

TempFolder::TempFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  fs::path base = fs::temp_directory_path();
  fs::path folder;
  do {
    folder = base / ("srtm-test-" + std::to_string(random() % 1000000000ull));
  } while (!fs::create_directory(folder));
  path_ = platform::FromUserPath(folder.string());
  while (!path_.empty() && (path_.back() == '\\' || path_.back() == '/')) path_.pop_back();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(platform::ToNativePath(path_), ignored);
}

std::string TempFolder::MakeFolder(const std::string& name) const {
  std::string folder = File(name);
  fs::create_directories(platform::ToNativePath(folder));
  return folder;
}

std::vector<std::uint8_t> RealTile() {
  std::vector<std::uint8_t> tile = ReadBytes(DataFile("N57E011.hgt"));
  if (tile.size() != 2u * 1201 * 1201) throw std::runtime_error("cannot read the tile " + DataFile("N57E011.hgt"));
  return tile;
}

void PutHgtSample(std::vector<std::uint8_t>& tile, int side, int row, int column, std::int16_t h) {
  std::size_t at = 2 * (static_cast<std::size_t>(row) * side + column);
  tile[at] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(h) >> 8);
  tile[at + 1] = static_cast<std::uint8_t>(h);
}

std::int16_t GetHgtSample(const std::vector<std::uint8_t>& tile, int side, int row, int column) {
  std::size_t at = 2 * (static_cast<std::size_t>(row) * side + column);
  return static_cast<std::int16_t>(tile[at] << 8 | tile[at + 1]);
}

}  // namespace srtm::test

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace srtm::test {

// A conversion the system cannot do fails the test that asked for it, with the reason
// (GoogleTest reports the exception): an empty or partial text would match too much.
#if defined(_WIN32)
std::string ToCp932(const std::string& utf8) {
  if (utf8.empty()) return utf8;
  const int size = static_cast<int>(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
  BOOL lost = FALSE;
  int bytes = 0;
  if (wide > 0 && MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &w[0], wide) == wide) {
    bytes = WideCharToMultiByte(932, 0, w.data(), wide, nullptr, 0, nullptr, &lost);
  }
  if (bytes <= 0 || lost) throw std::runtime_error("Windows cannot convert \"" + utf8 + "\" to code page 932");
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(932, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
}
#else
std::string Iconv(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to +
                             " on this system (glibc's gconv modules are missing)");
  }
  std::string out(text.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = &out[0];
  std::size_t outLeft = out.size();
  const std::size_t converted = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (converted == static_cast<std::size_t>(-1) || inLeft != 0) {
    throw std::runtime_error(std::string("iconv cannot convert all of a text from ") + from + " to " + to);
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::string ToCp932(const std::string& utf8) { return Iconv(utf8, "UTF-8", "CP932"); }
#endif

}  // namespace srtm::test

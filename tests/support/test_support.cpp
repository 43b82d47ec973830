#include "tests/support/test_support.h"

#include <filesystem>
#include <random>

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

std::vector<std::uint8_t> RealTile() { return ReadBytes(DataFile("N57E011.hgt")); }

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

std::string ToCp932(const std::string& utf8) {
#if defined(_WIN32)
  int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], wide);
  int bytes = WideCharToMultiByte(932, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(932, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
#else
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPtr = &out[0];
  std::size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
#endif
}

}  // namespace srtm::test

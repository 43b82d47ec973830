// Helpers shared by the tests: bundled data, temporary folders and whole-file access,
// all with the plug-in's own (DOS-style) paths so the same tests run in both worlds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::test {

// A file of tests/data, as a plug-in path.
std::string DataFile(const std::string& name);
// The folder of the built programs (srtm.qlp, qlphost), as a path of this system.
std::string BinaryDir();

std::vector<std::uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool Exists(const std::string& path);

// A fresh empty folder, removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder as a plug-in path, without a trailing backslash.
  const std::string& path() const { return path_; }
  // A file or sub-folder of it, as a plug-in path.
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  // Makes a sub-folder and returns its plug-in path.
  std::string MakeFolder(const std::string& name) const;

 private:
  std::string path_;
};

// A copy of the real SRTM-3 tile N57E011.hgt: 1201 x 1201 big-endian samples. Helpers
// that cannot do their work throw, failing the test with the reason.
std::vector<std::uint8_t> RealTile();

// Height h as the two big-endian bytes of an .hgt file, at sample (row from the north,
// column from the west) of a square tile with `side` samples per row.
void PutHgtSample(std::vector<std::uint8_t>& tile, int side, int row, int column, std::int16_t h);
std::int16_t GetHgtSample(const std::vector<std::uint8_t>& tile, int side, int row, int column);

}  // namespace srtm::test

namespace srtm::test {
// The code-page-932 bytes of a UTF-8 text, converted by the system (iconv natively,
// MultiByteToWideChar and WideCharToMultiByte on Windows), independently of the
// plug-in's own stored texts.
// Throws, failing the test, when the system cannot convert the whole text.
std::string ToCp932(const std::string& utf8);
#if !defined(_WIN32)
// `text` in encoding `from` converted by iconv to `to`; throws as ToCp932 does.
std::string Iconv(const std::string& text, const char* from, const char* to);
#endif
}  // namespace srtm::test

// Tile names and path helpers, double-byte safe.
//
// Paths are byte strings in DOS form of at most kPathBufferSize bytes with the
// terminator, in a code page: the world's (platform::kPathCodePage) unless the caller
// names one. In code page 932 every scan for a backslash steps over the trail byte of a
// double-byte character (see platform::IsPathLeadByte), so a folder name whose second
// byte is 0x5C is never cut there; in UTF-8 every 0x5C byte is a backslash. Paths that
// would not fit are refused, never written past a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace srtm {

using platform::PathCodePage;

// The tile kind: 0 not a tile, 1 SRTM-1 (3601 x 3601 samples), 3 SRTM-3 (1201 x 1201).
enum TileKind : std::int32_t { kNotTile = 0, kSrtm1 = 1, kSrtm3 = 3 };

// Bytes, terminator included: 260 in the Windows world, the system's limit natively.
constexpr std::size_t kPathBufferSize = platform::kMaxPath;
constexpr std::uint64_t kSrtm1FileSize = 25934402;
constexpr std::uint64_t kSrtm3FileSize = 2884802;
// The height that marks a sample without data, in .hgt files and in sample buffers.
constexpr std::int16_t VOID_SAMPLE = -32768;

// True when the last character of `path` is a single-byte backslash.
bool EndsWithBackslash(const char* path, PathCodePage cp = platform::kPathCodePage);

// Makes `buffer` (a kPathBufferSize-byte path buffer) end in exactly one separator and
// appends `name` (one leading backslash of it skipped). Returns false and leaves the
// buffer unchanged when the result would not fit.
bool AppendPath(char* buffer, const char* name, PathCodePage cp = platform::kPathCodePage);
// The same on a string; false (string unchanged) when the result would not fit.
bool AppendPath(std::string& path, const char* name, PathCodePage cp = platform::kPathCodePage);

// Where the file-name part of `path` begins: after the last single-byte backslash, else
// after the last ':', else at the start.
const char* FindFileName(const char* path, PathCodePage cp = platform::kPathCodePage);

// Splits `path` into its folder (with its trailing backslash or colon) and file name;
// either output may be null, and folderOut may be `path` itself. Returns false, and
// sets nothing, for a path that does not fit kPathBufferSize.
bool SplitPath(const std::string& path, std::string* folderOut, std::string* nameOut,
               PathCodePage cp = platform::kPathCodePage);

// The kind of the file at `path` by its name (NsddEwddd.hgt, letter case ignored, only
// the first 11 characters examined) and its size. latOut and lonOut, when both given,
// receive the south-west corner as soon as the name matches, even if the size does not.
// 0 for every failure, including a path that does not fit kPathBufferSize.
std::int32_t ClassifyHgtFile(const std::string& path, double* latOut = nullptr, double* lonOut = nullptr);

// Reads the south-west corner from a tile file name (NsddEwddd.hgt, letter case ignored,
// characters after the 11th not examined). false, outputs untouched, for any other name.
bool ParseTileName(const std::string& name, int* lat, int* lon);

// The path of the tile with south-west corner (lat, lon) in `folder` (no trailing
// backslash): folder\N35E139.hgt, folder\S01W072.hgt.
std::string FormatTilePath(const std::string& folder, int lat, int lon);

}  // namespace srtm

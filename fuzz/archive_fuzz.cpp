// The archive readers on arbitrary bytes, under a name that does or does not make a tar
// of a header without the ustar magic: listing and reading every member must name any
// damage, stay within the limits, read nothing outside a buffer, and give each member
// as long as it was listed; a copy of the reader, reading backwards, gives the same.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/archive.h"
#include "fuzz/fuzz_support.h"

namespace {
const char* const kPaths[] = {"Z:\\f\\in.zip", "Z:\\f\\in.tar", "Z:\\f\\in.tgz", "Z:\\f\\in.hgt.gz", "Z:\\f\\in"};
constexpr std::size_t kMaxMembersRead = 32;

void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

// Input: a byte choosing the file's name, then the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  srtm::fuzz::InputReader in(data, size);
  const char* path = kPaths[in.Byte() % (sizeof kPaths / sizeof kPaths[0])];
  srtm::fuzz::MemoryEnv env;
  env.AddFile(path, in.Rest());

  srtm::archive::Limits limits;
  limits.maxMemberBytes = std::uint64_t{4} << 20;
  limits.maxEntries = 4096;
  srtm::archive::Reader reader(limits);
  const srtm::Status opened = reader.Open(path, path);
  if (!opened.ok()) {
    Check(!opened.message().empty());  // every refusal names its check
    return 0;
  }
  for (const srtm::Status& problem : reader.problems()) Check(!problem.ok() && !problem.message().empty());
  const std::size_t count = std::min(reader.members().size(), kMaxMembersRead);
  std::vector<std::vector<std::uint8_t>> read(count);
  std::vector<bool> ok(count);
  for (std::size_t i = 0; i < count; ++i) {
    const srtm::Status s = reader.Read(i, &read[i]);
    ok[i] = s.ok();
    Check(s.ok() ? read[i].size() == reader.members()[i].size : !s.message().empty() && read[i].empty());
  }
  srtm::archive::Reader copy = reader;
  std::vector<std::uint8_t> again;
  for (std::size_t i = count; i-- > 0;) {
    const srtm::Status s = copy.Read(i, &again);
    Check(s.ok() == ok[i] && (!s.ok() || again == read[i]));
  }
  return 0;
}

// Replays fuzz inputs through a target's entry point without libFuzzer, so every build
// (the 32-bit Windows one under Wine too) runs the corpus as an ordinary test.
//
//   <target> FOLDER_OR_FILE...
//
// Files are read through the default Env, before any Env a target may put in front of it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool ReadFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
  srtm::platform::Env* env = srtm::platform::DefaultEnv();
  std::uint64_t size = 0;
  if (!env->GetFileSize(path.c_str(), &size)) return false;
  auto file = env->OpenShared(path.c_str());
  if (!file) return false;
  bytes->resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  const bool ok = file->Read(bytes->data(), bytes->size(), &got);
  bytes->resize(got);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string path = srtm::platform::FromUserPath(argv[i]);
    std::vector<std::string> files;
    std::vector<srtm::platform::DirEntry> entries;
    if (srtm::platform::DefaultEnv()->FindFiles(path.c_str(), "*", &entries)) {
      for (const auto& entry : entries) {
        if (!entry.isDirectory) files.push_back(path + "\\" + entry.name);
      }
    } else {
      files.push_back(path);
    }
    for (const std::string& file : files) {
      std::vector<std::uint8_t> bytes;
      if (!ReadFile(file, &bytes)) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "no input replayed\n");
    return 1;
  }
  std::printf("%d inputs replayed\n", replayed);
  return 0;
}

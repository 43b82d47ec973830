// The --json output of the srtm tool: one JSON object a line, one line per file, so
// that a script reads the results of several files one line at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace srtm::cli {

class JsonObject {
 public:
  // Text must be UTF-8 (see SystemTextToUtf8 and Cp932ToUtf8 in tools/cli_util.h).
  JsonObject& Text(const char* key, const std::string& utf8);
  JsonObject& Integer(const char* key, std::int64_t value);
  JsonObject& Number(const char* key, double value);
  JsonObject& Bool(const char* key, bool value);
  JsonObject& Object(const char* key, const JsonObject& value);
  JsonObject& Array(const char* key, const std::vector<JsonObject>& items);
  // {"key":value,...}
  std::string ToString() const;

 private:
  JsonObject& Member(const char* key, const std::string& json);
  std::string members_;
};

}  // namespace srtm::cli

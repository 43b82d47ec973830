#include "tools/json.h"

#include <cmath>
#include <cstdio>

namespace srtm::cli {
namespace {

std::string Quoted(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

JsonObject& JsonObject::Member(const char* key, const std::string& json) {
  if (!members_.empty()) members_ += ',';
  members_ += Quoted(key) + ':' + json;
  return *this;
}

JsonObject& JsonObject::Text(const char* key, const std::string& utf8) { return Member(key, Quoted(utf8)); }
JsonObject& JsonObject::Integer(const char* key, std::int64_t value) { return Member(key, std::to_string(value)); }
JsonObject& JsonObject::Bool(const char* key, bool value) { return Member(key, value ? "true" : "false"); }
JsonObject& JsonObject::Object(const char* key, const JsonObject& value) { return Member(key, value.ToString()); }

JsonObject& JsonObject::Number(const char* key, double value) {
  if (!std::isfinite(value)) return Member(key, "null");
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return Member(key, text);
}

JsonObject& JsonObject::Array(const char* key, const std::vector<JsonObject>& items) {
  std::string json = "[";
  for (std::size_t i = 0; i < items.size(); ++i) json += (i ? "," : "") + items[i].ToString();
  return Member(key, json + "]");
}

std::string JsonObject::ToString() const { return "{" + members_ + "}"; }

}  // namespace srtm::cli

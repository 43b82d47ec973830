// Member names: UTF-8 inside the library, the system's text at its interface. Names
// are made safe to print on the way in: a byte that is not valid in its encoding, and
// any control character, becomes '?'.
#include <algorithm>
#include <cstring>

#include "archive/archive_internal.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace srtm::archive::internal {
namespace {

// Length of the valid UTF-8 character at `p` (n bytes left), 0 when there is none.
std::size_t Utf8Length(const unsigned char* p, std::size_t n) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (n < length || p[1] < low || p[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return length;
}

bool IsControl(const unsigned char* p, std::size_t length) {
  return (length == 1 && (p[0] < 0x20 || p[0] == 0x7F)) || (length == 2 && p[0] == 0xC2 && p[1] < 0xA0);
}

// `text` with every invalid byte and control character as '?'; false when a byte was invalid.
bool CleanUtf8(const std::string& text, std::string* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  bool valid = true;
  out->clear();
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(p + i, text.size() - i);
    if (length == 0) {
      valid = false;
      out->push_back('?');
      ++i;
      continue;
    }
    if (IsControl(p + i, length)) {
      out->push_back('?');
    } else {
      out->append(text, i, length);
    }
    i += length;
  }
  return valid;
}

// One code-page-932 character (one or two bytes) in UTF-8; empty when it has none.
class Cp932Decoder {
 public:
#if defined(_WIN32)
  std::string Decode(const char* p, std::size_t n) {
    wchar_t wide[2];
    const int w = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), wide, 2);
    char utf8[8];
    const int u = w > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, w, utf8, sizeof utf8, nullptr, nullptr) : 0;
    return std::string(utf8, u > 0 ? static_cast<std::size_t>(u) : 0);
  }
#else
  Cp932Decoder() : cd_(iconv_open("UTF-8", "CP932")) {}
  ~Cp932Decoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;
  std::string Decode(const char* p, std::size_t n) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return "";
    char in[2];
    std::memcpy(in, p, n);
    char utf8[8];
    char* inPtr = in;
    char* outPtr = utf8;
    std::size_t inLeft = n, outLeft = sizeof utf8;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return "";
    return std::string(utf8, static_cast<std::size_t>(outPtr - utf8));
  }

 private:
  iconv_t cd_;
#endif
};

std::string Cp932ToUtf8(const std::string& raw) {
  Cp932Decoder decoder;
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  for (std::size_t i = 0; i < raw.size();) {
    const unsigned char b = p[i];
    std::size_t length = 1;
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      const bool trail = i + 1 < raw.size() && p[i + 1] >= 0x40 && p[i + 1] <= 0xFC && p[i + 1] != 0x7F;
      length = trail ? 2 : 0;
    } else if (b >= 0x80 && !(b >= 0xA1 && b <= 0xDF)) {
      length = 0;  // 0x80, 0xA0, 0xFD-0xFF
    }
    if (length == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    std::string utf8;
    if (b < 0x80) {
      utf8.assign(1, static_cast<char>(b < 0x20 || b == 0x7F ? '?' : b));
    } else {
      utf8 = decoder.Decode(raw.data() + i, length);
    }
    out += utf8.empty() ? "?" : utf8;
    i += length;
  }
  return out;
}

}  // namespace

std::string NameToUtf8(const std::string& raw, bool utf8) {
  std::string clean;
  // Not flagged, a name is still UTF-8 when it is valid as such (what Linux and macOS
  // write); the double-byte text of code page 932 almost never is.
  if (CleanUtf8(raw, &clean) || utf8) return clean;
  return Cp932ToUtf8(raw);
}

std::string SystemTextToUtf8(const std::string& text) {
#if defined(_WIN32)
  return Cp932ToUtf8(text);
#else
  return NameToUtf8(text, false);
#endif
}

std::string ToSystemText(const std::string& utf8) {
#if defined(_WIN32)
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return utf8;
  const int n = static_cast<int>(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, nullptr, 0);
  if (wide <= 0) return std::string(utf8.size(), '?');
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, &w[0], wide);
  const int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0, "?", nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w.data(), wide, &out[0], bytes, "?", nullptr);
  return out;
#else
  return utf8;
#endif
}

std::string NormalisePath(const std::string& utf8) {
  std::string out, part;
  for (std::size_t i = 0; i <= utf8.size(); ++i) {
    if (i < utf8.size() && utf8[i] != '/' && utf8[i] != '\\') {
      part.push_back(utf8[i]);
      continue;
    }
    if (!part.empty() && part != ".") out += (out.empty() ? "" : "/") + part;
    part.clear();
  }
  return out;
}

std::string MemberLabel(const std::string& archive, const std::string& utf8Path) {
  return archive + "/" + ToSystemText(utf8Path);
}

}  // namespace srtm::archive::internal

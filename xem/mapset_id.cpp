#include "xem/mapset_id.h"

namespace srtm {

const char* const REGION_CODES[kRegionCodeCount] = {
    "",   "af", "aa", "ae", "as", "an", "ao", "am", "ay", "aq", "ag", "ai", "aw", "at", "au", "aj", "bf",
    "ba", "bg", "bb", "be", "bh", "dm", "bm", "bt", "bo", "bn", "bs", "bv", "bl", "bi", "vb", "bx",
    "bu", "uv", "br", "bd", "bw", "cb", "cm", "cn", "cp", "cv", "cj", "cx", "cd", "cl", "cc", "xa",
    "xb", "ck", "cq", "cf", "cw", "cr", "ci", "cu", "cy", "xr", "cs", "dk", "ft", "dq", "dr", "ec",
    "ua", "es", "eg", "er", "et", "fa", "fk", "fj", "fi", "fr", "fg", "fp", "go", "gm", "gz", "gs",
    "gw", "gh", "gi", "gr", "gl", "gd", "gp", "gu", "gt", "gv", "pg", "gy", "ht", "hm", "ho", "hk",
    "hu", "ic", "ii", "io", "ir", "iq", "iy", "ie", "is", "it", "iv", "jm", "ja", "ji", "jo", "kz",
    "ke", "gb", "kn", "ko", "ku", "kg", "ls", "lv", "le", "lo", "lb", "ly", "lh", "li", "lu", "mh",
    "xn", "mg", "mw", "my", "xc", "ml", "mm", "xe", "mq", "mu", "mf", "ot", "mx", "fm", "xf", "mv",
    "mc", "mp", "mj", "mr", "mz", "sx", "nu", "np", "ne", "na", "nl", "nz", "nq", "ng", "nr", "xh",
    "nx", "nw", "no", "mk", "pk", "pw", "pn", "pp", "pf", "py", "pe", "ph", "pc", "pl", "po", "pr",
    "qa", "re", "rm", "ru", "rw", "xj", "xd", "xk", "xl", "xm", "sm", "sf", "su", "sg", "se", "sl",
    "si", "xo", "xv", "bp", "so", "xs", "sa", "sp", "sh", "xp", "ce", "sj", "sr", "sq", "sw", "sz",
    "sy", "ch", "ta", "tz", "fs", "th", "tg", "tl", "to", "tr", "ti", "tu", "tk", "tc", "tv", "ug",
    "un", "ts", "uk", "us", "uc", "up", "uy", "uz", "nn", "vc", "ve", "vm", "vi", "wk", "wf", "wj",
    "ss", "ws", "ye", "yu", "cg", "za", "rh", "vp", "xx"};

std::uint32_t RegionCode(int index) {
  if (index <= 0 || index >= kRegionCodeCount) return 0;
  const char* code = REGION_CODES[index];
  return static_cast<std::uint32_t>(code[0] * 26 + code[1] - 2618);
}

void PackMapSetId(const MapSetIdFields& f, std::uint8_t out[kMapSetIdBytes]) {
  std::uint64_t bits = 0;
  auto put = [&bits](std::uint32_t value, int width) {
    bits = (bits << width) | (value & ((1u << width) - 1));
  };
  put(f.idGroup, 4);
  put(f.regionCode, 10);
  put(f.seriesCode, 8);
  put(f.idFieldD, 4);
  put(f.idFieldE, 3);
  put(f.idFieldF, 3);
  put(f.idKind, 8);
  for (int i = 0; i < kMapSetIdBytes; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * (4 - i)));
}

MapSetIdFields UnpackMapSetId(const std::uint8_t id[kMapSetIdBytes]) {
  std::uint64_t bits = 0;
  for (int i = 0; i < kMapSetIdBytes; ++i) bits = (bits << 8) | id[i];
  int shift = 40;
  auto take = [&bits, &shift](int width) {
    shift -= width;
    return static_cast<std::uint32_t>((bits >> shift) & ((1u << width) - 1));
  };
  MapSetIdFields f;
  f.idGroup = take(4);
  f.regionCode = take(10);
  f.seriesCode = take(8);
  f.idFieldD = take(4);
  f.idFieldE = take(3);
  f.idFieldF = take(3);
  f.idKind = take(8);
  return f;
}

}  // namespace srtm

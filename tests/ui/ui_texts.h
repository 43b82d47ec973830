// What the plug-in's menus and wizard say, as the user-interface tests of both worlds
// compare them (UTF-8; scripts convert them to code page 932), and the host's call log
// read by the tests.
#pragma once

#include <string>
#include <vector>

#include "testhost/host.h"

namespace srtm::test {

inline const std::string kOpenItem = "スペースシャトル地図(&H)";
inline const std::string kSettingsItem = "地形データ設定";
inline const std::string kRefreshItem = "地形データ更新";
inline const std::string kCompressItem = "地形データ圧縮";

inline const std::string kResultDone =
    "圧縮は正常に終了しました。\n\n圧縮した地図を開くには、エクスプローラで該当するXEMファイルをすべて選択して、"
    "クエルマーにドロップしてください。\n\n圧縮が終わったHGTファイルは不要です。";
inline const std::string kResultPartial =
    "途中で中断しましたが一部のファイルの圧縮は終了しました。\n\n圧縮した地図を開くには、エクスプローラで該当する"
    "XEMファイルをすべて選択して、クエルマーにドロップしてください。";
inline const std::string kResultFailed = "圧縮はできませんでした。";

// Lines of the host's call log (QLP_ calls and "ui ..." window events) that start with
// one of the prefixes, in order.
inline std::vector<std::string> LoggedCalls(const std::vector<std::string>& prefixes) {
  std::vector<std::string> out;
  for (const std::string& line : host::CallLog()) {
    for (const std::string& prefix : prefixes) {
      if (line.rfind(prefix, 0) == 0) {
        out.push_back(line);
        break;
      }
    }
  }
  return out;
}

}  // namespace srtm::test

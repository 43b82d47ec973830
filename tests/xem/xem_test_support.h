// Helpers of the XEM tests: tiles made in the test, a progress target that records and
// can stop, message boxes answered and recorded in both worlds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "xem/converter.h"
#include "xem/progress.h"

namespace srtm::test {

// A square tile of `side` samples: a smooth slope with some structure, and round blobs
// of voids at fixed places when `voids` is set. Big-endian, as in an .hgt file.
std::vector<std::uint8_t> MakeTile(int side, bool voids);

// The grid an XEM file must hold for a tile: samples (x, y), row 0 south, without the
// northern row and the eastern column.
std::vector<std::int16_t> StoredGridOf(const std::vector<std::uint8_t>& tile, int side);

// Sets the converter's header fields as the batch does for a tile of `side` samples
// (1201: SRTM-3, 3601: SRTM-1), with short texts.
void SetUpConverter(HgtToXemConverter& converter, int side);

// Installed as ActiveRunPage for its lifetime: records every call and asks for a stop
// at the `cancelAtPump`-th pump (0: never).
class RecordingTarget : public ProgressTarget {
 public:
  explicit RecordingTarget(int cancelAtPump = 0) : cancelAtPump_(cancelAtPump) { SetActiveRunPage(this); }
  ~RecordingTarget() override { SetActiveRunPage(nullptr); }

  void SetMode(int running, int allowCancel) override;
  void SetTexts(const char* text, const char* countText) override;
  void SetPercent(int percent) override { percents.push_back(percent); }
  void PumpHost() override;

  std::vector<std::string> calls;  // "mode 1 1", "texts <text> | <count or (null)>"
  std::vector<int> percents;
  int pumps = 0;

 private:
  int cancelAtPump_;
};

// Answers message boxes with OK in both worlds (no window shown) and records them.
class AnsweredMessageBoxes {
 public:
  AnsweredMessageBoxes();
  ~AnsweredMessageBoxes();
  std::vector<platform::MessageBoxRecord> shown() const { return platform::RecordedMessageBoxes(); }
};

}  // namespace srtm::test

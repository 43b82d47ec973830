#include "tests/xem/xem_test_support.h"

#include "tests/support/test_support.h"

namespace srtm::test {

std::vector<std::uint8_t> MakeTile(int side, bool voids) {
  std::vector<std::uint8_t> tile(2 * static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
  for (int row = 0; row < side; ++row) {
    for (int column = 0; column < side; ++column) {
      const int h = (row * 3 + column * 2) % 1700 + ((row / 7 + column / 5) % 9) * 11 - 40;
      PutHgtSample(tile, side, row, column, static_cast<std::int16_t>(h));
    }
  }
  if (voids) {
    const int blobs[][3] = {{5, 7, 3}, {side / 2, side / 3, 6}, {side - 3, side - 2, 4}, {side / 3, side - 1, 2}};
    for (const auto& b : blobs) {
      for (int row = b[0] - b[2]; row <= b[0] + b[2]; ++row) {
        for (int column = b[1] - b[2]; column <= b[1] + b[2]; ++column) {
          if (row >= 0 && row < side && column >= 0 && column < side) PutHgtSample(tile, side, row, column, -32768);
        }
      }
    }
  }
  return tile;
}

std::vector<std::int16_t> StoredGridOf(const std::vector<std::uint8_t>& tile, int side) {
  std::vector<std::int16_t> grid;
  grid.reserve(static_cast<std::size_t>(side - 1) * static_cast<std::size_t>(side - 1));
  for (int y = 0; y < side - 1; ++y) {
    for (int x = 0; x < side - 1; ++x) grid.push_back(GetHgtSample(tile, side, side - 1 - y, x));
  }
  return grid;
}

void SetUpConverter(HgtToXemConverter& converter, int side) {
  const bool srtm3 = side == 1201;
  converter.description = srtm3 ? "SRTM-3" : "SRTM-1";
  converter.noticeText = "notice";
  converter.publisherIdText = "ZOZORUDO";
  converter.datumName = "WGS84";
  converter.regionIndex = 249;
  converter.seriesMajor = srtm3 ? 3 : 9;
  converter.seriesMinor = srtm3 ? 5 : 4;
  converter.idFieldD = 1;
  converter.idFieldE = 1;
  converter.idKind = srtm3 ? 3 : 1;
}

void RecordingTarget::SetMode(int running, int allowCancel) {
  calls.push_back("mode " + std::to_string(running) + " " + std::to_string(allowCancel));
}

void RecordingTarget::SetTexts(const char* text, const char* countText) {
  calls.push_back(std::string("texts ") + text + " | " + (countText ? countText : "(null)"));
}

void RecordingTarget::PumpHost() {
  if (++pumps == cancelAtPump_) cancelRequested = 1;
}

namespace {
int AnswerOk(const platform::MessageBoxRecord&, void*) { return platform::kIdOk; }
}  // namespace

AnsweredMessageBoxes::AnsweredMessageBoxes() {
  platform::ClearRecordedMessageBoxes();
  platform::SetMessageBoxResponder(AnswerOk, nullptr);
}

AnsweredMessageBoxes::~AnsweredMessageBoxes() { platform::SetMessageBoxResponder(nullptr, nullptr); }

}  // namespace srtm::test

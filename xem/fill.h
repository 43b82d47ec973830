// Void filling before compression: every void sample (-32768) of a whole tile gets an
// interpolated height, in three passes over the tile.
//
//   1. rows, west to east: each void run gets a cosine-weighted blend of the last valid
//      sample passed before it (Lv) and the valid sample closing it (R);
//   2. columns, north to south: the same along the column, averaged with pass 1;
//   3. a 5 x 5 box mean over every void sample, in place, row-major.
//
// Lv is carried across lines and from pass 1 into pass 2: a run at the start of a line
// begins from the last valid sample passed earlier in the scan. Whether a sample is void
// is always read from the source, which is never written.
#pragma once

#include <cstdint>

namespace srtm {

// The constant of the cosine weights: this decimal value, not full-precision pi.
constexpr double kFillPi = 3.141592654;

// Fills the voids of `source` (width x height samples, row 0 north) into `output`, a
// separate buffer of the same size; valid samples are copied unchanged.
void FillVoidsForCompression(const std::int16_t* source, std::int16_t* output, int width, int height);
// The same, stopping after pass `lastPass` (1 to 3): each pass on its own can be checked.
void FillVoidsPasses(const std::int16_t* source, std::int16_t* output, int width, int height, int lastPass);

}  // namespace srtm

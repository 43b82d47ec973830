// No exception may cross the window system (a dialog or window procedure) into the host:
// handlers run guarded, and a memory failure is reported as the rest of the plug-in
// reports it.
#pragma once

#include <cstdint>
#include <new>

#include "platform/platform.h"
#include "res/srtm_texts.h"

namespace srtm::ui {

// The handler's answer, or `failed` when it threw.
template <typename Handler>
std::intptr_t Guarded(Handler&& handler, std::intptr_t failed = 0) {
  try {
    return static_cast<std::intptr_t>(handler());
  } catch (const std::bad_alloc&) {
    platform::ShowMessageBox(nullptr, kTextNoMemory, kTextMessageCaption, platform::kMbOk | platform::kMbIconError);
  } catch (...) {
  }
  return failed;
}

}  // namespace srtm::ui

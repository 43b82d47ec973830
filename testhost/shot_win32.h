// Pictures of the plug-in's dialogs as a person sees them (Win32 world only), and the
// checks that what they show is legible: the window is not blank, and every text it
// shows is real text in a font that has its characters, fits its control and is drawn
// as a rendering of that text would be.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "picture/png.h"

namespace srtm::host {

using picture::RgbImage;

// The top-level window that holds `window`, painted and read back from the screen.
RgbImage CaptureTopLevel(HWND window);

// Looks at the capture of `top` (CaptureTopLevel) and returns what is wrong with it, one
// line per fault; empty when every shown text is legible.
std::vector<std::string> CheckLegible(HWND top, const RgbImage& image);

// True when the font that draws `window`'s text is the installed font of `family`, and
// not a stand-in the system picked because the dialog's font or `family` is missing;
// otherwise false with the reason.
bool DrawnInFamily(HWND window, const std::string& family, std::string* why);

}  // namespace srtm::host

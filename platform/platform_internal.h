// Shared between the two implementations of the platform layer; not for its users.
#pragma once

#include <string>

namespace srtm::platform {

// The temporary files a signal must not leave behind (process.cpp): a slot for a
// native path (-1 when none is free or the path does not fit), freed by ReleaseTemporary
// once the file is gone or has its final name.
int RegisterTemporary(const std::string& nativePath);
void ReleaseTemporary(int slot);

// Adds a shown message box to the record. Returns true and the responder's answer when a
// responder is set; otherwise false, with the first button's answer in *answer.
bool RecordMessageBox(const char* text, const char* caption, unsigned type, int* answer);

// Case-insensitive match of a name against a pattern of '*' and '?' (ASCII letters only).
bool MatchesPattern(const char* name, const char* pattern);

}  // namespace srtm::platform

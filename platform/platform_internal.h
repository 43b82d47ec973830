// Shared between the two implementations of the platform layer; not for its users.
#pragma once

namespace srtm::platform {

// Adds a shown message box to the record. Returns true and the responder's answer when a
// responder is set; otherwise false, with the first button's answer in *answer.
bool RecordMessageBox(const char* text, const char* caption, unsigned type, int* answer);

// Case-insensitive match of a name against a pattern of '*' and '?' (ASCII letters only).
bool MatchesPattern(const char* name, const char* pattern);

}  // namespace srtm::platform

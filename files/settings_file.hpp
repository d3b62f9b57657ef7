#pragma once
#include <cstdint>

#include "files/file_writing.hpp"

namespace korvel {

// The two choices kept between runs.
struct SettingsState {
  int32_t stored_port_number = 0;  // 1..4 for COM1..COM4
  char language_code[32] = {};     // "pol" or "ang" in practice
};

// Reads "Korvel.ini" (positional tokens), creating it with the defaults (port 1, "pol") when it does
// not exist. The port number is stored as read (0 when it could not be read); the caller maps it
// with PortNameFromNumber and stores PortNumberChosen, so a later rewrite keeps the port in use. A
// token longer than 31 characters keeps its first 31. A file that exists but cannot be opened, or
// is not a plain file, gives the defaults and is left untouched. An empty or damaged file reads as
// missing keys, which take their defaults (a missing or unusable language value gives "pol").
void ReadSettingsFile(SettingsState& settings, const char* path = "Korvel.ini");
// Rewrites the file: "[Ustawienia]", "CommPort= n", "Language= code", as a complete new file
// renamed over the old one (ReplaceFileContents), so a failed write leaves the old file. Says what
// failed, as a save does; the window program carries on silently, the choice kept for this run.
Result WriteSettingsFile(const SettingsState& settings, const char* path = "Korvel.ini");

// 1..4 -> "COM1:".."COM4:", anything else -> "COM1:"; also the port number actually chosen.
const char* PortNameFromNumber(int32_t number);
int32_t PortNumberChosen(int32_t number);

}  // namespace korvel

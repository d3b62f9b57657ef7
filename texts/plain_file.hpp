#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace korvel {

// Opens a file for reading in binary mode, a plain file only: a pipe, a device or a folder could
// keep the program waiting for bytes that never come (or hand it endless ones), so anything else is
// refused before a byte is read, with `reason` saying what it is ("cannot read "NAME": it is a
// device"). The name in `reason` is shown escaped (PrintableText).
std::FILE* OpenPlainFile(const char* path, std::string& reason);

// Reads at most `limit` bytes of a plain file into `bytes`; `truncated` tells whether more followed.
// False, with `reason`, for what OpenPlainFile refuses or a read error.
bool ReadPlainFile(const char* path, size_t limit, std::string& bytes, bool& truncated, std::string& reason);

// A text from a file or a command line made safe to print to a terminal: control characters
// (line feeds and escape sequences included), DEL, the C1 controls and bytes that are not UTF-8
// are shown as \xNN; letters of any language pass unchanged.
std::string PrintableText(std::string_view text);

}  // namespace korvel

#pragma once
#include <string>

#include "link/result.hpp"

namespace korvel {

// Writes `text` as the whole new contents of the file at `path`, the way every file of this program
// is saved: a new file of a short unique name in the same folder, created exclusively (a link or a
// file planted there is never followed nor reused) and private (0600) until it is complete; it is
// written, flushed to the disk, given the old file's owner and permissions (a new file gets the
// usual ones), then renamed over the old file, so a full disk or a crash leaves the old file whole.
// A link the fitter made to the file stays a link: the file it points to is replaced.
// What is not a plain file (a terminal, a pipe, a device, /dev/stdout) is written where it is and
// never replaced; a pipe nobody reads is reported, not waited on. A writable file in a folder that
// takes no new file is overwritten in place. The text is written in text mode (CR LF on Windows).
Result ReplaceFileContents(const char* path, const std::string& text);

}  // namespace korvel

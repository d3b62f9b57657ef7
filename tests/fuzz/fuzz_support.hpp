#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace korvel::fuzz {

// A private directory for the files a harness hands to the readers, in TMPDIR (scripts/fuzz points it
// at its own directory) or else on a memory file system when there is one; removed with its files when the harness exits. Its name lives in static storage
// that no destructor touches, so the removal at exit can still read it.
inline const char* ScratchDirectory() {
  static char directory[256] = {};
  if (directory[0] == '\0') {
    const char* tmpdir = std::getenv("TMPDIR");
    const char* base = tmpdir != nullptr ? tmpdir : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(directory, sizeof directory - 1, "%s/korvel-fuzz-XXXXXX", base);
    if (mkdtemp(directory) == nullptr) std::abort();
    std::strcat(directory, "/");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(directory, ignored);
    });
  }
  return directory;
}

inline std::string ScratchPath(const char* name) { return std::string(ScratchDirectory()) + name; }

// Replaces the scratch file `name` with exactly these bytes and returns its path.
inline std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
  const std::string path = ScratchPath(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || (size != 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
    std::fprintf(stderr, "cannot write the scratch file %s\n", path.c_str());
    std::abort();
  }
  return path;
}

// Stops the run with a message: libFuzzer keeps the input that led here as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}
inline void Check(bool holds, const char* what) {
  if (!holds) Fail(what);
}

}  // namespace korvel::fuzz

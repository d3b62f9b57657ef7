#include "files/configuration_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvel {

namespace {

constexpr const char* kHeaderLines[3] = {"[Korvel]", "Version=1.2", "[Configuration]"};
// An expected string has at most 29 characters; a longer token cannot match any of them.
constexpr int kMaxTokenLength = 29;

std::string ErrnoText(int error) { return std::strerror(error); }

// Makes a token from a file fit for a message: control and non-ASCII bytes as \xNN.
std::string Printable(const char* token, int length) {
  std::string text;
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

// Pushes the written bytes to the disk, so that the rename never makes an empty file visible
// after a power cut.
bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

// Whether this process may write into an existing file. A rename replaces a file whatever the
// file's own permissions are, so this is asked separately.
bool MayWrite(const std::filesystem::path& path) {
#ifdef _WIN32
  return _access(path.string().c_str(), 2) == 0;
#else
  return access(path.c_str(), W_OK) == 0;
#endif
}

// A free name for the new file in the target's own directory (a rename only replaces a file
// atomically within one file system); empty when the first thousand are all taken (an existing
// file of that name is never reused, so nothing of someone else's is truncated).
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target) {
  for (int n = 0; n < 1000; ++n) {
    std::filesystem::path candidate = target;
    candidate += ".tmp";
    if (n > 0) candidate += std::to_string(n);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
  }
  return {};
}

// The 31 lines of a configuration file for the records as they are now.
std::string ConfigurationText(const ExpectedStrings& strings, const ControllerLink& link) {
  std::string text;
  char line[48];
  for (int i = 0; i < 3; ++i) {
    std::snprintf(line, sizeof line, "%s\n", strings.entries[i]);
    text += line;
  }
  for (int i = 0; i < kParameterCount; ++i) {
    std::snprintf(line, sizeof line, "%s %d\n", strings.entries[3 + i], StoredParameterValue(link, i));
    text += line;
  }
  return text;
}

// Whether `path` leads, through links, into /proc: /dev/stdout and /dev/fd/N name a file this
// program already holds open, which is written where it is and never renamed over.
bool ReachedThroughOpenFiles(std::filesystem::path path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  namespace fs = std::filesystem;
  std::error_code ec;
  auto in_proc = [](const fs::path& p) { return p.lexically_normal().string().rfind("/proc/", 0) == 0; };
  path = fs::absolute(path, ec);
  for (int hop = 0; hop < 40 && !ec; ++hop) {
    if (in_proc(path)) return true;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return false;
    fs::path next = fs::read_symlink(path, ec);
    path = next.is_relative() ? path.parent_path() / next : next;
  }
  return false;
#endif
}

// The new file takes the owner, group and permissions of the one it replaces, where the system
// lets this program give them (owner and group need the privilege; otherwise the group alone is
// tried). A private file stays private.
void KeepOwnerAndPermissions(const std::filesystem::path& old_file, const std::filesystem::path& new_file) {
  std::error_code ec;
#ifndef _WIN32
  struct stat old_status {};
  if (::stat(old_file.c_str(), &old_status) == 0 &&
      ::chown(new_file.c_str(), old_status.st_uid, old_status.st_gid) != 0) {
    [[maybe_unused]] const int group_only = ::chown(new_file.c_str(), static_cast<uid_t>(-1), old_status.st_gid);
  }
#endif
  const std::filesystem::file_status status = std::filesystem::status(old_file, ec);
  if (!ec) std::filesystem::permissions(new_file, status.permissions(), ec);
}

enum class InPlace {
  // Not a plain file, or one already open in this program: opened as a plain save opens it (added
  // to the end of what a redirection left there), except that a pipe nobody reads is reported
  // instead of waited on.
  kStream,
  // A plain file whose folder takes no new file: overwritten from its start and cut to the new
  // length, so it keeps its owner, group and permissions.
  kRewrite,
};

SaveResult WriteInPlace(const char* path, const std::string& text, InPlace how) {
  const std::string name = std::string("\"") + path + "\"";
  const char* damage = how == InPlace::kRewrite ? "; the file may now be incomplete" : "";
#ifdef _WIN32
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return {false, "cannot save " + name + ": " + ErrnoText(errno)};
  int error = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) error = errno != 0 ? errno : EIO;
  if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) return {false, "cannot save " + name + ": " + ErrnoText(error) + damage};
  return {true, std::string()};
#else
  const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (how == InPlace::kStream ? O_APPEND : 0);
  const int fd = ::open(path, flags);
  if (fd < 0) {
    const int refused = errno;
    if (refused == ENXIO) return {false, "cannot save " + name + ": " + ErrnoText(refused) + " (nothing reads the pipe)"};
    return {false, "cannot save " + name + ": " + ErrnoText(refused)};
  }
  // Opened without waiting for a reader; from here on the writes wait as a plain save's would.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  int error = 0;
  size_t done = 0;
  while (error == 0 && done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
    } else {
      // An interrupted write ends the save: a stop request must not wait for a reader.
      error = written < 0 ? errno : EIO;
    }
  }
  if (error == 0 && how == InPlace::kRewrite) {
    if (::ftruncate(fd, static_cast<off_t>(text.size())) != 0 || ::fsync(fd) != 0) error = errno;
  }
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0) return {false, "cannot save " + name + ": writing failed: " + ErrnoText(error) + damage};
  return {true, std::string()};
#endif
}

// What a path that is not a plain file is, for the message.
const char* KindOfFile(const std::filesystem::file_status& status) {
  namespace fs = std::filesystem;
  if (fs::is_directory(status)) return "a folder";
  if (fs::is_fifo(status)) return "a pipe";
  if (fs::is_character_file(status) || fs::is_block_file(status)) return "a device";
  if (fs::is_socket(status)) return "a socket";
  return "not a plain file";
}

// Opens a configuration file for reading, in binary mode (tokens are split at any whitespace, so
// carriage returns need no translation). Only a plain file is read: a pipe or a device could keep
// the program waiting for bytes that never come, so anything else is refused before it is read.
std::FILE* OpenPlainFile(const char* path, std::string& reason) {
  namespace fs = std::filesystem;
  const std::string name = std::string("\"") + path + "\"";
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    reason = "cannot read " + name + ": it is " + KindOfFile(status) + ", not a configuration file";
    return nullptr;
  }
#ifdef _WIN32
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) reason = "cannot open " + name + ": " + ErrnoText(errno);
  return file;
#else
  // Opened without waiting (a pipe put there since the check), then checked again on the open file.
  const int fd = ::open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    reason = "cannot open " + name + ": " + ErrnoText(errno);
    return nullptr;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    reason = "cannot read " + name + ": it is " + KindOfFile(fs::status(path, ec)) + ", not a configuration file";
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    reason = "cannot open " + name + ": " + ErrnoText(errno);
    ::close(fd);
  }
  return file;
#endif
}

// Reads whitespace-separated tokens, at most kMaxTokenLength characters kept; a longer token is
// consumed whole and flagged, so a file without whitespace never overruns anything.
class TokenReader {
 public:
  explicit TokenReader(std::FILE* file) : file_(file) {}

  struct Token {
    bool present = false;  // false at the end of the file
    bool too_long = false;
    int length = 0;
    char text[kMaxTokenLength + 1] = {};
  };

  Token Next() {
    Token token;
    int c = std::fgetc(file_);
    while (c != EOF && IsSeparator(c)) c = std::fgetc(file_);
    if (c == EOF) return token;
    token.present = true;
    while (c != EOF && !IsSeparator(c)) {
      if (token.length < kMaxTokenLength) {
        token.text[token.length++] = static_cast<char>(c);
      } else {
        token.too_long = true;
        // Stop at the first surplus character: the load is refused anyway, and a huge file of one
        // token is not read to its end.
        break;
      }
      c = std::fgetc(file_);
    }
    token.text[token.length] = '\0';
    return token;
  }

 private:
  // The separators of the C locale: blank, tab, line feed, vertical tab, form feed, carriage
  // return. So both line ends are accepted.
  static bool IsSeparator(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

  std::FILE* file_;
};

bool SameText(const TokenReader::Token& token, const char* expected) {
  const size_t length = std::strlen(expected);
  return !token.too_long && static_cast<size_t>(token.length) == length &&
         std::memcmp(token.text, expected, length) == 0;
}

// A decimal integer with an optional sign, the whole token, within the signed 32-bit range the
// window program reads numbers in. Keeps the low 8 bits, so 300 gives 44 and -1 gives 255.
enum class NumberCheck { kGood, kNotANumber, kOutOfRange };
NumberCheck ParseLowByte(const TokenReader::Token& token, uint8_t& value) {
  if (token.too_long || token.length == 0) return NumberCheck::kNotANumber;
  int i = 0;
  bool negative = false;
  if (token.text[0] == '+' || token.text[0] == '-') {
    negative = token.text[0] == '-';
    i = 1;
  }
  if (i == token.length) return NumberCheck::kNotANumber;
  int64_t magnitude = 0;
  bool too_big = false;
  for (; i < token.length; ++i) {
    const char c = token.text[i];
    if (c < '0' || c > '9') return NumberCheck::kNotANumber;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > int64_t{1} << 31) {
      too_big = true;
      magnitude = int64_t{1} << 31;  // stays small; the digits are still checked
    }
  }
  const int64_t number = negative ? -magnitude : magnitude;
  if (too_big || number > INT32_MAX || number < INT32_MIN) return NumberCheck::kOutOfRange;
  value = static_cast<uint8_t>(static_cast<uint64_t>(number) & 0xFF);
  return NumberCheck::kGood;
}

std::string DescribeMismatch(const TokenReader::Token& token, const char* expected) {
  if (!token.present) return std::string("the file ends where \"") + expected + "\" was expected";
  if (token.too_long) {
    return std::string("a word longer than 29 characters (\"") + Printable(token.text, token.length) +
           "...\") where \"" + expected + "\" was expected";
  }
  return std::string("\"") + Printable(token.text, token.length) + "\" where \"" + expected + "\" was expected";
}

}  // namespace

void BuildExpectedStrings(ExpectedStrings& strings) {
  for (int i = 0; i < 3; ++i) {
    std::snprintf(strings.entries[i], sizeof strings.entries[i], "%s", kHeaderLines[i]);
  }
  for (int i = 0; i < kParameterCount; ++i) {
    std::snprintf(strings.entries[3 + i], sizeof strings.entries[3 + i], "%s=", ParameterMap[i].name);
  }
}

SaveResult SaveConfigurationFile(const ExpectedStrings& strings, const ControllerLink& link, const char* path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string text = ConfigurationText(strings, link);
  fs::path target(path);
  const fs::file_status found = fs::status(target, ec);
  if (fs::is_directory(found)) {
    return {false, "cannot save \"" + target.string() + "\": it is a directory"};
  }
  // A terminal, a pipe or a device node is written where it is, never replaced by a plain file;
  // so is a file this program already has open (/dev/stdout redirected to a file).
  if (fs::exists(found) && (!fs::is_regular_file(found) || ReachedThroughOpenFiles(target))) {
    return WriteInPlace(path, text, InPlace::kStream);
  }
  // A link to a configuration file stays a link: the new file replaces the file it points to.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  const bool exists = fs::exists(found);
  // A file made read-only (a reference set the workshop keeps) is refused as opening it for
  // writing would be, not replaced behind its back by the rename.
  if (exists && !MayWrite(target)) {
    const int refused = errno;
    return {false, "cannot save \"" + target.string() + "\": " + ErrnoText(refused) +
                       "; the old file was left as it was"};
  }
  const fs::path temporary = TemporaryPathBeside(target);
  // Text mode, so the lines end as text files do on this system.
  std::FILE* file = temporary.empty() ? nullptr : std::fopen(temporary.string().c_str(), "w");
  if (file == nullptr) {
    const int refused = errno;
    // A folder that takes no new file (or whose spare names are all taken) still lets a writable
    // file be saved over, as a plain save would.
    if (exists) return WriteInPlace(target.string().c_str(), text, InPlace::kRewrite);
    if (temporary.empty()) {
      return {false, "cannot save \"" + target.string() + "\": no free name for the new file beside it (" +
                         target.string() + ".tmp and the next 999 are taken)"};
    }
    return {false, "cannot save \"" + target.string() + "\": cannot create \"" + temporary.string() + "\": " +
                       ErrnoText(refused)};
  }
  // The first error of the write, the flush and the close; the message names it.
  int error = 0;
  auto note = [&error](bool ok) {
    if (!ok && error == 0) error = errno != 0 ? errno : EIO;
  };
  errno = 0;
  note(std::fwrite(text.data(), 1, text.size(), file) == text.size());
  if (error == 0) note(FlushToDisk(file));
  note(std::fclose(file) == 0);
  if (error == 0 && exists) KeepOwnerAndPermissions(target, temporary);
  if (error != 0) {
    std::remove(temporary.string().c_str());
    return {false, "cannot save \"" + target.string() + "\": writing \"" + temporary.string() + "\" failed: " +
                       ErrnoText(error) + "; the old file was left as it was"};
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    std::remove(temporary.string().c_str());
    return {false, "cannot save \"" + target.string() + "\": replacing it failed: " + ec.message() +
                       "; the old file was left as it was"};
  }
  return {true, std::string()};
}

LoadedConfiguration ReadConfigurationFile(const ExpectedStrings& strings, const char* path) {
  LoadedConfiguration loaded;
  std::FILE* file = OpenPlainFile(path, loaded.reason);
  if (file == nullptr) {
    loaded.status = LoadStatus::kCannotOpen;
    return loaded;
  }
  TokenReader reader(file);
  loaded.status = LoadStatus::kKeyMismatch;
  bool good = true;
  for (int i = 0; i < 3 && good; ++i) {
    const TokenReader::Token token = reader.Next();
    if (!SameText(token, strings.entries[i])) {
      loaded.reason = DescribeMismatch(token, strings.entries[i]);
      good = false;
    }
  }
  uint8_t values[kParameterCount] = {};
  for (int i = 0; i < kParameterCount && good; ++i) {
    const char* key = strings.entries[3 + i];
    const TokenReader::Token token = reader.Next();
    if (!SameText(token, key)) {
      loaded.reason = DescribeMismatch(token, key);
      good = false;
      break;
    }
    const TokenReader::Token number = reader.Next();
    if (!number.present) {
      loaded.reason = std::string("the file ends before the value of \"") + key + "\"";
      good = false;
    } else {
      const NumberCheck check = ParseLowByte(number, values[i]);
      if (check != NumberCheck::kGood) {
        loaded.reason = std::string("the value of \"") + key + "\" " +
                        (check == NumberCheck::kOutOfRange ? "is outside -2147483648..2147483647"
                                                           : "is not a number") +
                        ": \"" + Printable(number.text, number.length) + (number.too_long ? "...\"" : "\"");
        good = false;
      }
    }
  }
  // Whatever follows the last parameter line is not read, as before. A read error (a directory,
  // a device gone) is not a short file: it is reported as a file that cannot be read.
  const bool read_error = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (read_error) {
    loaded.status = LoadStatus::kCannotOpen;
    loaded.reason = std::string("cannot read \"") + path + "\": " + ErrnoText(error);
    return loaded;
  }
  if (good) {
    loaded.status = LoadStatus::kOk;
    std::memcpy(loaded.values, values, sizeof values);
  }
  return loaded;
}

int WriteConfiguration(ControllerLink& link, const uint8_t (&values)[kParameterCount]) {
  for (int i = 0; i < kParameterCount; ++i) {
    if (link.WriteParameter(ParameterMap[i].address, values[i]) != 3) return i;
  }
  return -1;
}

}  // namespace korvel

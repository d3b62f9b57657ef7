#include "texts/plain_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvel {

namespace {

#ifdef _WIN32
bool IsPlain(unsigned mode) { return (mode & _S_IFMT) == _S_IFREG; }
const char* KindOfFile(unsigned mode) {
  if ((mode & _S_IFMT) == _S_IFDIR) return "a folder";
  if ((mode & _S_IFMT) == _S_IFCHR) return "a device";
  return "not a plain file";
}
#else
bool IsPlain(mode_t mode) { return S_ISREG(mode); }
const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}
#endif

// Length of the UTF-8 sequence at `text[i]` when it is a well-formed one of a printable character
// (C1 controls U+0080..U+009F are not), else 0.
size_t PrintableSequence(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  size_t length = 0;
  unsigned code_point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0u) != 0x80u) return 0;
    code_point = (code_point << 6) | (c & 0x3Fu);
  }
  const unsigned smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code_point < smallest[length] || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return 0;
  }
  if (code_point >= 0x80 && code_point <= 0x9F) return 0;
  return length;
}

}  // namespace

std::FILE* OpenPlainFile(const char* path, std::string& reason) {
  // Built by appending: GCC 12 at -O2 and above warns falsely (-Wrestrict) on "\"" + text.
  std::string name(1, '"');
  name += PrintableText(path != nullptr ? path : "");
  name += '"';
  if (path == nullptr || path[0] == '\0') {
    reason = "cannot open " + name + ": no file name";
    return nullptr;
  }
#ifdef _WIN32
  struct _stat64 status {};
  if (_stat64(path, &status) == 0 && !IsPlain(status.st_mode)) {
    reason = "cannot read " + name + ": it is " + KindOfFile(status.st_mode) + ", not a plain file";
    return nullptr;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) reason = "cannot open " + name + ": " + std::strerror(errno);
  return file;
#else
  // Opened without waiting (a pipe with no writer would block the open itself), then checked on the
  // open file, so nothing put there between a check and the open slips through.
  const int fd = ::open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    reason = "cannot open " + name + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !IsPlain(opened.st_mode)) {
    reason = "cannot read " + name + ": it is " + KindOfFile(opened.st_mode) + ", not a plain file";
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    reason = "cannot open " + name + ": " + std::strerror(errno);
    ::close(fd);
  }
  return file;
#endif
}

bool ReadPlainFile(const char* path, size_t limit, std::string& bytes, bool& truncated, std::string& reason) {
  bytes.clear();
  truncated = false;
  std::FILE* file = OpenPlainFile(path, reason);
  if (file == nullptr) return false;
  char buffer[4096];
  while (bytes.size() < limit) {
    const size_t want = std::min(sizeof buffer, limit - bytes.size());
    const size_t got = std::fread(buffer, 1, want, file);
    bytes.append(buffer, got);
    if (got < want) break;
  }
  if (bytes.size() == limit) truncated = std::fgetc(file) != EOF;
  const bool read_error = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (read_error) {
    reason = "cannot read \"" + PrintableText(path) + "\": " + std::strerror(error);
    return false;
  }
  return true;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t sequence = c >= 0x80 ? PrintableSequence(text, i) : 0;
    if (sequence > 0) {
      out.append(text.substr(i, sequence));
      i += sequence;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
    out += escaped;
    ++i;
  }
  return out;
}

}  // namespace korvel

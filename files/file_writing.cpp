#include "files/file_writing.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "texts/plain_file.hpp"

namespace korvel {

namespace {

namespace fs = std::filesystem;

std::string ErrnoText(int error) { return std::strerror(error); }

// A path as messages show it: quoted, control characters escaped.
// Built by appending: GCC 12 at -O2 and above warns falsely (-Wrestrict) on "\"" + text.
std::string Quoted(const fs::path& path) {
  std::string quoted(1, '"');
  quoted += PrintableText(path.string());
  quoted += '"';
  return quoted;
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
bool MayWrite(const fs::path& path) {
#ifdef _WIN32
  return _access(path.string().c_str(), 2) == 0;
#else
  return access(path.c_str(), W_OK) == 0;
#endif
}

// Creates the new file in the target's own folder (a rename only replaces a file atomically
// within one file system) under a short name of random letters, so that a long target name still
// leaves room for it. The name is created exclusively: a file or a link already there is never
// opened, followed or truncated; another name is drawn instead. The file is private until the
// save is complete. Returns the open file (text mode) or null with errno set.
std::FILE* CreateNewFileBeside(const fs::path& target, fs::path& temporary) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device entropy;
  std::mt19937 random(entropy());
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kLetters) - 2);
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    std::string name = ".korvel-";
    for (int i = 0; i < 8; ++i) name += kLetters[pick(random)];
    temporary = target.parent_path() / name;
#ifdef _WIN32
    const int fd = _open(temporary.string().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      std::FILE* file = _fdopen(fd, "w");
      if (file == nullptr) _close(fd);
      return file;
    }
#else
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      std::FILE* file = ::fdopen(fd, "w");
      if (file == nullptr) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        errno = saved;
      }
      return file;
    }
#endif
    error = errno;
  }
  temporary.clear();
  errno = error;
  return nullptr;
}

// Whether `path` leads, through links, into /proc: /dev/stdout and /dev/fd/N name a file this
// program already holds open, which is written where it is and never renamed over. /dev/fd is
// itself a link to /proc/self/fd, so the folder each link lies in is asked for its real place too.
bool ReachedThroughOpenFiles(fs::path path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  std::error_code ec;
  auto in_proc = [](const fs::path& p) {
    std::error_code unknown;
    const fs::path real_folder = fs::canonical(p.parent_path(), unknown);
    return p.lexically_normal().string().rfind("/proc/", 0) == 0 ||
           (!unknown && (real_folder / p.filename()).string().rfind("/proc/", 0) == 0);
  };
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
// tried). A private file stays private. A file that replaces nothing gets the permissions a newly
// created file would have (the user's umask), not the private ones it was written with.
void GiveFinalOwnerAndPermissions(bool exists, const fs::path& old_file, const fs::path& new_file) {
  std::error_code ec;
  if (!exists) {
#ifndef _WIN32
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(new_file.c_str(), 0666 & ~mask);
#endif
    return;
  }
#ifndef _WIN32
  struct stat old_status {};
  if (::stat(old_file.c_str(), &old_status) == 0 &&
      ::chown(new_file.c_str(), old_status.st_uid, old_status.st_gid) != 0) {
    [[maybe_unused]] const int group_only = ::chown(new_file.c_str(), static_cast<uid_t>(-1), old_status.st_gid);
  }
#endif
  const fs::file_status status = fs::status(old_file, ec);
  if (!ec) fs::permissions(new_file, status.permissions(), ec);
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

Result WriteInPlace(const char* path, const std::string& text, InPlace how) {
  const std::string name = Quoted(path);
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

}  // namespace

Result ReplaceFileContents(const char* path, const std::string& text) {
  std::error_code ec;
  fs::path target(path);
  const fs::file_status found = fs::status(target, ec);
  // A link that leads round in a circle is refused as opening it would be; replacing it by a plain
  // file would lose the link.
  if (ec == std::errc::too_many_symbolic_link_levels) {
    return {false, "cannot save " + Quoted(target) + ": " + ec.message() + "; nothing was written"};
  }
  if (fs::is_directory(found)) {
    return {false, "cannot save " + Quoted(target) + ": it is a directory"};
  }
  // A terminal, a pipe or a device node is written where it is, never replaced by a plain file;
  // so is a file this program already has open (/dev/stdout redirected to a file).
  if (fs::exists(found) && (!fs::is_regular_file(found) || ReachedThroughOpenFiles(target))) {
    return WriteInPlace(path, text, InPlace::kStream);
  }
  // A link to the file stays a link: the new file replaces the file it points to.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  const bool exists = fs::exists(found);
  // A file made read-only (a reference set the workshop keeps) is refused as opening it for
  // writing would be, not replaced behind its back by the rename.
  if (exists && !MayWrite(target)) {
    const int refused = errno;
    return {false, "cannot save " + Quoted(target) + ": " + ErrnoText(refused) + "; the old file was left as it was"};
  }
  fs::path temporary;
  std::FILE* file = CreateNewFileBeside(target, temporary);
  if (file == nullptr) {
    const int refused = errno;
    // A folder that takes no new file still lets a writable file be saved over, as a plain save
    // would. Any other failure (a full disk, a read-only file system) leaves the old file alone.
    if (exists && (refused == EACCES || refused == EPERM)) {
      return WriteInPlace(target.string().c_str(), text, InPlace::kRewrite);
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    return {false, "cannot save " + Quoted(target) + ": cannot create a new file in " + Quoted(folder) + ": " +
                       ErrnoText(refused) + (exists ? "; the old file was left as it was" : "")};
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
  if (error == 0) GiveFinalOwnerAndPermissions(exists, target, temporary);
  if (error != 0) {
    std::remove(temporary.string().c_str());
    return {false, "cannot save " + Quoted(target) + ": writing the new file failed: " + ErrnoText(error) +
                       (exists ? "; the old file was left as it was" : "")};
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    std::remove(temporary.string().c_str());
    return {false, "cannot save " + Quoted(target) + ": replacing it failed: " + ec.message() +
                       "; the old file was left as it was"};
  }
  return {true, std::string()};
}

}  // namespace korvel

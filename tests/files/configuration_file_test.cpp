// Configuration files: the key table, the exact bytes a save writes, the way a save fails without
// harming an existing file, and the reader's refusal of anything but a complete, exact file.
#include "files/configuration_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace korvel {
namespace {

namespace fs = std::filesystem;

// A port that never answers: the tests here only need the link's records.
class NullPort : public SerialPort {
 public:
  OpenResult Open(const char*) override { return {OpenStatus::kCannotOpen, {}}; }
  void Close() override {}
  void PurgeInput() override {}
  void PurgeOutput() override {}
  int Write(const uint8_t*, int count) override { return count; }
  int Read(uint8_t*, int) override { return 0; }
  void Sleep(uint32_t) override {}
};

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteWhole(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/kvs-test-XXXXXX";
    path = mkdtemp(name);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, ec);
    fs::remove_all(path, ec);
  }
  // Names of the entries, for checking that no temporary file was left behind.
  std::string Listing() const {
    std::string names;
    for (const auto& entry : fs::directory_iterator(path)) names += entry.path().filename().string() + " ";
    return names;
  }
  fs::path path;
};

// The file a save writes for records whose bytes are known: ConfigRecord byte b holds 10 + b,
// OptionsRecord byte b holds 100 + b, AttInit (live byte 4) holds 200.
void FillRecords(ControllerLink& link) {
  for (int b = 0; b < 15; ++b) link.ConfigRecord[b] = static_cast<uint8_t>(10 + b);
  for (int b = 0; b < 16; ++b) link.OptionsRecord[b] = static_cast<uint8_t>(100 + b);
  link.LiveDataRecord[4] = 200;
}

const char kFilledFile[] =
    "[Korvel]\nVersion=1.2\n[Configuration]\n"
    "Options= 11\nLambdaType= 12\nLambdaPoint= 13\nLambdaDelay= 14\nEmulType= 15\nEmulBJ_TimeHi= 16\n"
    "EmulBJ_TimeLo= 17\nEmulDO_TimeHi= 18\nEmulDO_TimeLo= 19\nInjectDelay= 20\nLPGOnTemp= 21\n"
    "AttMax= 101\nAttMin= 102\nAttInit= 200\nTPSJump= 103\nAttJump= 104\nLPGOnRPMLo= 105\nLPGOnRPMHi= 106\n"
    "IgnitionType= 107\nCutOffRPMLo= 108\nCutOffRPMHi= 109\nCutOffSteps= 110\nLPGOffRPMLo= 111\n"
    "LPGOffRPMHi= 112\nTPSInert= 22\nAttMax_BJ= 113\nAttMin_BJ= 114\nOtwarcie_GAZU= 23\n";

class ConfigurationFileTest : public ::testing::Test {
 protected:
  ConfigurationFileTest() : link(port) {
    BuildExpectedStrings(strings);
    FillRecords(link);
  }
  LoadedConfiguration Load(const std::string& bytes) {
    const fs::path file = dir.path / "in.kvs";
    WriteWhole(file, bytes);
    return ReadConfigurationFile(strings, file.c_str());
  }

  // Saves to `file` as a user without privileges and expects the outcome `succeeds`, a failure's
  // message holding `reason`. Root may write anything, so as root the save runs as "nobody" in a
  // child process (skipped where there is no such user).
  void ExpectSaveWithoutPrivileges(const fs::path& file, bool succeeds, const char* reason = "") {
    if (geteuid() != 0) {
      const Result result = SaveConfigurationFile(strings, link, file.c_str());
      EXPECT_EQ(result.ok, succeeds) << result.reason;
      if (!succeeds) {
        EXPECT_NE(result.reason.find(reason), std::string::npos) << result.reason;
      }
      return;
    }
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no unprivileged user to run the save as";
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(10);
      const Result result = SaveConfigurationFile(strings, link, file.c_str());
      if (!result.ok) std::fprintf(stderr, "%s\n", result.reason.c_str());
      const bool expected = result.ok == succeeds && (succeeds || result.reason.find(reason) != std::string::npos);
      _exit(expected ? 0 : 11);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: could not give up root; 11: the save did not end as expected ("
                                      << file << ")";
  }

  NullPort port;
  ControllerLink link;
  ExpectedStrings strings;
  ScratchDir dir;
};

TEST_F(ConfigurationFileTest, ExpectedStringsAreTheHeaderAndTheKeysInFileOrder) {
  EXPECT_STREQ(strings.entries[0], "[Korvel]");
  EXPECT_STREQ(strings.entries[1], "Version=1.2");
  EXPECT_STREQ(strings.entries[2], "[Configuration]");
  EXPECT_STREQ(strings.entries[3], "Options=");
  EXPECT_STREQ(strings.entries[16], "AttInit=");
  EXPECT_STREQ(strings.entries[30], "Otwarcie_GAZU=");
  for (int i = 0; i < kParameterCount; ++i) {
    EXPECT_EQ(std::string(ParameterMap[i].name) + "=", strings.entries[3 + i]);
  }
}

TEST_F(ConfigurationFileTest, SaveWritesTheRecordBytesLineByLine) {
  const fs::path file = dir.path / "car.kvs";
  const Result result = SaveConfigurationFile(strings, link, file.c_str());
  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(ReadWhole(file), kFilledFile);
  EXPECT_EQ(dir.Listing(), "car.kvs ");
}

TEST_F(ConfigurationFileTest, SaveReplacesAnExistingFileKeepingItsLinkAndPermissions) {
  const fs::path real = dir.path / "real.kvs";
  const fs::path alias = dir.path / "alias.kvs";
  WriteWhole(real, "old contents\n");
  fs::create_symlink(real, alias);
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(SaveConfigurationFile(strings, link, alias.c_str()).ok);
  EXPECT_TRUE(fs::is_symlink(alias));
  EXPECT_EQ(ReadWhole(real), kFilledFile);
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ConfigurationFileTest, SavedFileLoadsBackToTheSameBytes) {
  const fs::path file = dir.path / "car.kvs";
  ASSERT_TRUE(SaveConfigurationFile(strings, link, file.c_str()).ok);
  const LoadedConfiguration loaded = ReadConfigurationFile(strings, file.c_str());
  ASSERT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
  for (int i = 0; i < kParameterCount; ++i) EXPECT_EQ(loaded.values[i], StoredParameterValue(link, i)) << i;
}

TEST_F(ConfigurationFileTest, SaveIntoAMissingDirectoryOntoADirectoryOrThroughALinkLoopFailsLoudly) {
  Result result = SaveConfigurationFile(strings, link, (dir.path / "no-such-dir" / "car.kvs").c_str());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find("no-such-dir"), std::string::npos) << result.reason;

  fs::create_directory(dir.path / "folder.kvs");
  result = SaveConfigurationFile(strings, link, (dir.path / "folder.kvs").c_str());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find("directory"), std::string::npos) << result.reason;
  EXPECT_TRUE(fs::is_directory(dir.path / "folder.kvs"));
  EXPECT_EQ(dir.Listing(), "folder.kvs ");

  // Two links pointing at each other: both stay links, nothing is written.
  fs::create_symlink("b.kvs", dir.path / "a.kvs");
  fs::create_symlink("a.kvs", dir.path / "b.kvs");
  result = SaveConfigurationFile(strings, link, (dir.path / "a.kvs").c_str());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find(std::strerror(ELOOP)), std::string::npos) << result.reason;
  EXPECT_TRUE(fs::is_symlink(dir.path / "a.kvs"));
  EXPECT_EQ(fs::read_symlink(dir.path / "a.kvs"), "b.kvs");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 3) << dir.Listing();
}

// The new file is made under a short name of its own: links planted at the names a save once
// used are never followed, a name of 252 characters (the most a folder takes is 255) is still saved
// and replaced whole, and a new file ends with the usual permissions, not the private ones it was
// written with.
TEST_F(ConfigurationFileTest, SaveNeverFollowsPlantedLinksAndTakesLongNames) {
  const fs::path victim = dir.path / "victim.txt";
  WriteWhole(victim, "keep");
  const fs::path file = dir.path / "car.kvs";
  for (const char* planted : {"car.kvs.tmp", "car.kvs.tmp1", "car.kvs.new", ".car.kvs.tmp"}) {
    fs::create_symlink(victim, dir.path / planted);
  }
  for (int i = 0; i < 25; ++i) ASSERT_TRUE(SaveConfigurationFile(strings, link, file.c_str()).ok);
  EXPECT_EQ(ReadWhole(victim), "keep");
  EXPECT_EQ(ReadWhole(file), kFilledFile);

  const fs::path long_name = dir.path / (std::string(248, 'n') + ".kvs");
  const mode_t mask = umask(022);
  Result result = SaveConfigurationFile(strings, link, long_name.c_str());
  umask(mask);
  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(ReadWhole(long_name), kFilledFile);
  EXPECT_EQ(fs::status(long_name).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  struct stat before {};
  ASSERT_EQ(stat(long_name.c_str(), &before), 0);
  result = SaveConfigurationFile(strings, link, long_name.c_str());
  ASSERT_TRUE(result.ok) << result.reason;
  struct stat after {};
  ASSERT_EQ(stat(long_name.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "an existing file is replaced by a new one, not rewritten";
  EXPECT_EQ(dir.Listing().find(".korvel-"), std::string::npos) << dir.Listing();
}

// A disk that fills up in the middle of the save: the file-size limit makes the writes fail for
// every user, root included. The old file must survive and no temporary file may stay.
TEST_F(ConfigurationFileTest, SaveThatCannotWriteLeavesTheOldFileIntact) {
  const fs::path file = dir.path / "car.kvs";
  const std::string old_contents = "[Korvel]\nVersion=1.2\n[Configuration]\nOptions= 7\n";
  WriteWhole(file, old_contents);

  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Result result = SaveConfigurationFile(strings, link, file.c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find("left as it was"), std::string::npos) << result.reason;
  EXPECT_EQ(ReadWhole(file), old_contents);
  EXPECT_EQ(dir.Listing(), "car.kvs ");
}

// A folder that takes no new file. A writable file in it is saved over in place, as a plain save
// would, keeping its owner; a new file cannot be made there. Root ignores folder permissions, so
// when the tests run as root the saves run in a child process as the unprivileged "nobody" user.
TEST_F(ConfigurationFileTest, SaveInAReadOnlyFolderOverwritesAWritableFileInPlace) {
  const fs::path folder = dir.path / "locked";
  fs::create_directory(folder);
  const fs::path file = folder / "car.kvs";
  WriteWhole(file, std::string(kFilledFile) + "a longer old file\n");
  // The file itself may be written by anyone: only the folder stands in the way.
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
  fs::permissions(dir.path, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);

  ExpectSaveWithoutPrivileges(file, true);
  if (IsSkipped()) return;
  EXPECT_EQ(ReadWhole(file), kFilledFile);
  struct stat after {};
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(fs::directory_iterator(folder)->path().filename(), "car.kvs");

  ExpectSaveWithoutPrivileges(folder / "new.kvs", false, "cannot create");
  EXPECT_FALSE(fs::exists(folder / "new.kvs"));
}

// A pipe, a terminal or a file this program already has open is written where it is; none of them
// is replaced by a plain file. A pipe that nobody reads is reported at once.
TEST_F(ConfigurationFileTest, SaveWritesWhatIsNotAPlainFileInPlaceAndNeverReplacesIt) {
  const fs::path fifo = dir.path / "pipe.kvs";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Result result = SaveConfigurationFile(strings, link, fifo.c_str());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.reason.find(std::strerror(ENXIO) + std::string(" (nothing reads the pipe)")), std::string::npos)
      << result.reason;
  EXPECT_TRUE(fs::is_fifo(fifo));

  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  result = SaveConfigurationFile(strings, link, fifo.c_str());
  EXPECT_TRUE(result.ok) << result.reason;
  char received[2048] = {};
  EXPECT_EQ(std::string(received, static_cast<size_t>(std::max<ssize_t>(0, read(reader, received, sizeof received)))),
            kFilledFile);
  close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));

  // A terminal reached through a link, as /dev/stdout on a console.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  const int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  fs::create_symlink(terminal, dir.path / "console.kvs");
  result = SaveConfigurationFile(strings, link, (dir.path / "console.kvs").c_str());
  EXPECT_TRUE(result.ok) << result.reason;
  std::string shown;
  pollfd wait{master, POLLIN, 0};
  while (shown.size() < std::strlen(kFilledFile) && poll(&wait, 1, 1000) > 0) {
    const ssize_t n = read(master, received, sizeof received);
    if (n <= 0) break;
    shown.append(received, static_cast<size_t>(n));
  }
  EXPECT_EQ(shown, kFilledFile);
  EXPECT_TRUE(fs::is_character_file(terminal));
  EXPECT_TRUE(fs::is_symlink(dir.path / "console.kvs"));
  close(slave);
  close(master);

  // Standard output redirected to a log with >>: the parameters follow what the log held, whether
  // the open file is named in /proc or through /dev/fd (itself a link into /proc).
  for (const char* folder : {"/proc/self/fd/", "/dev/fd/"}) {
    const fs::path log = dir.path / "log.txt";
    WriteWhole(log, "log\n");
    const int out = open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(out, 0);
    struct stat before {};
    fstat(out, &before);
    result = SaveConfigurationFile(strings, link, (folder + std::to_string(out)).c_str());
    close(out);
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(ReadWhole(log), std::string("log\n") + kFilledFile) << folder;
    struct stat after {};
    stat(log.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << folder;
  }
  EXPECT_EQ(dir.Listing().find(".tmp"), std::string::npos) << dir.Listing();
}

// A file the workshop made read-only is not replaced: the rename would succeed in a writable
// directory, so the save must refuse before it. Root may write any file, so as root the save runs
// as "nobody" in a child process, over a file that belongs to root.
TEST_F(ConfigurationFileTest, SaveOverAReadOnlyFileFailsAndLeavesItIntact) {
  const fs::path file = dir.path / "reference.kvs";
  WriteWhole(file, "old contents\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir.path, fs::perms::all);

  ExpectSaveWithoutPrivileges(file, false, "left as it was");
  if (IsSkipped()) return;
  EXPECT_EQ(ReadWhole(file), "old contents\n");
  EXPECT_EQ(dir.Listing(), "reference.kvs ");
}

TEST_F(ConfigurationFileTest, ReadAcceptsAnyWhitespaceAndKeepsTheLowEightBits) {
  std::string text(kFilledFile);
  // Windows line ends, tabs and extra blank lines change nothing.
  std::string windows;
  for (char c : text) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
  LoadedConfiguration loaded = Load("\t" + windows + "\r\n\r\n");
  ASSERT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
  EXPECT_EQ(loaded.values[0], 11);
  EXPECT_EQ(loaded.values[13], 200);
  EXPECT_EQ(loaded.values[27], 23);

  auto with_values = [&](const char* options, const char* lambda_type, const char* gaz) {
    std::string t(kFilledFile);
    t.replace(t.find("Options= 11"), 11, std::string("Options= ") + options);
    t.replace(t.find("LambdaType= 12"), 14, std::string("LambdaType= ") + lambda_type);
    t.replace(t.find("Otwarcie_GAZU= 23"), 17, std::string("Otwarcie_GAZU= ") + gaz);
    return t;
  };
  loaded = Load(with_values("300", "-1", "256"));
  ASSERT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
  EXPECT_EQ(loaded.values[0], 44);
  EXPECT_EQ(loaded.values[1], 255);
  EXPECT_EQ(loaded.values[27], 0);

  // The ends of the signed 32-bit range still give their low eight bits; a plus sign is a sign.
  loaded = Load(with_values("2147483647", "-2147483648", "+5"));
  ASSERT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
  EXPECT_EQ(loaded.values[0], 255);
  EXPECT_EQ(loaded.values[1], 0);
  EXPECT_EQ(loaded.values[27], 5);

  // Whatever follows the last line is not read.
  loaded = Load(std::string(kFilledFile) + "notes: \x01\x02\xff" + std::string(100000, 'x'));
  EXPECT_EQ(loaded.status, LoadStatus::kOk) << loaded.reason;
}

TEST_F(ConfigurationFileTest, ReadRefusesEveryFileThatIsNotExact) {
  const std::string good(kFilledFile);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  struct Case {
    const char* what;
    std::string bytes;
    const char* reason_part;
  };
  const Case cases[] = {
      {"another version", replaced("Version=1.2", "Version=1.3"), "\"Version=1.3\" where \"Version=1.2\""},
      {"key in other case", replaced("LambdaType=", "lambdatype="), "\"lambdatype=\""},
      {"two lines swapped", replaced("AttMax= 101\nAttMin= 102\n", "AttMin= 102\nAttMax= 101\n"), "\"AttMax=\" was"},
      {"missing line", replaced("CutOffSteps= 110\n", ""), "where \"CutOffSteps=\""},
      {"last line missing", replaced("Otwarcie_GAZU= 23\n", ""), "ends where \"Otwarcie_GAZU=\""},
      {"value missing at the end", replaced("Otwarcie_GAZU= 23\n", "Otwarcie_GAZU=\n"), "ends before the value"},
      {"unreadable number", replaced("AttJump= 104", "AttJump= x4"), "\"AttJump=\" is not a number"},
      {"number with trailing letters", replaced("Otwarcie_GAZU= 23", "Otwarcie_GAZU= 23x"), "is not a number"},
      {"a sign alone", replaced("AttJump= 104", "AttJump= -"), "is not a number"},
      {"key and value without blank", replaced("Options= 11", "Options=11"), "\"Options=11\""},
      {"long token", replaced("[Configuration]", "[Configuration]" + std::string(15, '#')), "longer than 29"},
      {"long number", replaced("AttJump= 104", "AttJump= " + std::string(30, '1')), "is not a number"},
      {"number above the 32-bit range", replaced("AttMin= 102", "AttMin= 2147483648"), "\"AttMin=\" is outside"},
      {"number below the 32-bit range", replaced("AttMin= 102", "AttMin= -2147483649"), "is outside"},
      {"twenty nines", replaced("AttMin= 102", "AttMin= 99999999999999999999"), "is outside"},
      {"empty file", "", "ends where \"[Korvel]\""},
      {"only blanks", " \n\r\n\t ", "ends where \"[Korvel]\""},
      {"binary bytes", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe", 12) + good, "\\x7FELF"},
      {"NUL inside a key", replaced("[Korvel]", std::string("[Korvel]\0x", 10)), "[Korvel]\\x00x"},
  };
  for (const Case& c : cases) {
    const LoadedConfiguration loaded = Load(c.bytes);
    EXPECT_EQ(loaded.status, LoadStatus::kKeyMismatch) << c.what;
    EXPECT_NE(loaded.reason.find(c.reason_part), std::string::npos) << c.what << ": " << loaded.reason;
    for (uint8_t v : loaded.values) EXPECT_EQ(v, 0) << c.what;
  }
}

// Only a plain file is read. A pipe is refused even when a valid file waits in it, so nothing can
// hold the load waiting for a writer.
TEST_F(ConfigurationFileTest, ReadOfAMissingFileOrAnythingButAPlainFileIsRefusedAtOnce) {
  const LoadedConfiguration loaded = ReadConfigurationFile(strings, (dir.path / "absent.kvs").c_str());
  EXPECT_EQ(loaded.status, LoadStatus::kCannotOpen);
  EXPECT_NE(loaded.reason.find("absent.kvs"), std::string::npos);

  const fs::path fifo = dir.path / "pipe.kvs";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, kFilledFile, std::strlen(kFilledFile)), static_cast<ssize_t>(std::strlen(kFilledFile)));
  const struct {
    fs::path path;
    const char* kind;
  } refused[] = {{dir.path, "a folder"}, {fifo, "a pipe"}, {"/dev/null", "a device"}};
  for (const auto& r : refused) {
    const LoadedConfiguration other = ReadConfigurationFile(strings, r.path.c_str());
    EXPECT_EQ(other.status, LoadStatus::kCannotOpen) << r.path;
    EXPECT_NE(other.reason.find(std::string("cannot read \"") + r.path.string() + "\": it is " + r.kind),
              std::string::npos)
        << other.reason;
  }
  close(writer);
}

// A large file of one endless word, or of random bytes, is refused after its first few bytes.
TEST_F(ConfigurationFileTest, ReadStopsEarlyOnHugeGarbage) {
  const fs::path file = dir.path / "huge.kvs";
  {
    std::ofstream out(file, std::ios::binary);
    std::string block(1 << 20, 'A');
    for (int i = 0; i < 64; ++i) out << block;
  }
  LoadedConfiguration loaded = ReadConfigurationFile(strings, file.c_str());
  EXPECT_EQ(loaded.status, LoadStatus::kKeyMismatch);

  std::string noise;
  uint32_t x = 12345;
  for (int i = 0; i < 1 << 16; ++i) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 24);
  }
  loaded = Load(noise);
  EXPECT_EQ(loaded.status, LoadStatus::kKeyMismatch);
}

}  // namespace
}  // namespace korvel

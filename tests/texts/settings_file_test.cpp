#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "files/settings_file.hpp"
#include "tests/texts/test_files.hpp"

namespace korvel {
namespace {

using testing_files::ReadBytes;
using testing_files::TempDir;
using testing_files::WriteBytes;

constexpr const char* kDefaultFile = "[Ustawienia]\nCommPort= 1\nLanguage= pol\n";

// What the main window does at start: read, map the port, keep the port actually chosen.
struct Started {
  SettingsState settings;
  std::string port_name;
};
Started Start(const std::string& path) {
  Started started;
  ReadSettingsFile(started.settings, path.c_str());
  started.port_name = PortNameFromNumber(started.settings.stored_port_number);
  started.settings.stored_port_number = PortNumberChosen(started.settings.stored_port_number);
  return started;
}

TEST(SettingsFile, FirstStartCreatesTheFileWithTheDefaults) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 1);
  EXPECT_STREQ(settings.language_code, "pol");
  EXPECT_EQ(ReadBytes(path), kDefaultFile);
  EXPECT_STREQ(PortNameFromNumber(settings.stored_port_number), "COM1:");
}

TEST(SettingsFile, WrittenChoicesReadBackAndALanguageChangeKeepsThePort) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  SettingsState settings{3, "pol"};
  EXPECT_TRUE(WriteSettingsFile(settings, path.c_str()).ok);
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 3\nLanguage= pol\n");
  // A folder that is not there: the failure is reported with the path, not passed over.
  const std::string nowhere = dir.Path("no-such-folder/Korvel.ini");
  const Result failed = WriteSettingsFile(settings, nowhere.c_str());
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.reason.find("no-such-folder"), std::string::npos) << failed.reason;

  Started started = Start(path);
  EXPECT_EQ(started.port_name, "COM3:");
  std::snprintf(started.settings.language_code, sizeof started.settings.language_code, "%s", "ang");
  WriteSettingsFile(started.settings, path.c_str());
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
}

TEST(SettingsFile, PortLineWithoutTheBlankGivesCom1AndStillTheLanguage) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort=3\nLanguage= ang\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 0);
  EXPECT_STREQ(settings.language_code, "ang");
  EXPECT_STREQ(PortNameFromNumber(settings.stored_port_number), "COM1:");
}

TEST(SettingsFile, PortOutsideOneToFourSelectsCom1AndTheNextRewriteStoresOne) {
  for (const char* number : {"7", "0", "-3", "99999999999"}) {
    TempDir dir;
    const std::string path = dir.Path("Korvel.ini");
    WriteBytes(path, std::string("[Ustawienia]\r\nCommPort= ") + number + "\r\nLanguage= pol\r\n");
    Started started = Start(path);
    EXPECT_EQ(started.port_name, "COM1:") << number;
    WriteSettingsFile(started.settings, path.c_str());
    EXPECT_EQ(ReadBytes(path), kDefaultFile) << number;
  }
  for (int32_t n = 1; n <= 4; ++n) EXPECT_EQ(PortNumberChosen(n), n);
  EXPECT_STREQ(PortNameFromNumber(4), "COM4:");
  EXPECT_STREQ(PortNameFromNumber(5), "COM1:");
}

TEST(SettingsFile, AnyLanguageCodeIsKept) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort= 2\nLanguage= deu\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 2);
  EXPECT_STREQ(settings.language_code, "deu");
}

TEST(SettingsFile, TokensLongerThan31CharactersKeepTheirFirst31) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  const std::string long_section(300, 'S');
  const std::string long_code = "abcdefghijklmnopqrstuvwxyz0123456789";
  WriteBytes(path, "[" + long_section + "]\nCommPortWithAVeryLongKeyName_________= 4\nLanguageKeyAlsoFarTooLong______________= " +
                       long_code + "\n");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 4);
  EXPECT_EQ(std::string(settings.language_code), long_code.substr(0, 31));
  WriteSettingsFile(settings, path.c_str());
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 4\nLanguage= " + long_code.substr(0, 31) + "\n");
}

// A file cut short (a full disk, a crash) or damaged reads as missing keys, which take their
// defaults: the texts still show in Polish and the port is COM1. Reading never rewrites the file.
TEST(SettingsFile, AnEmptyOrDamagedFileReadsAsMissingKeys) {
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  const struct {
    const char* bytes;
    int32_t port;
    const char* language;
  } cases[] = {
      {"", 0, "pol"},
      {"[Ustawienia]\nCommPort= 2\n", 2, "pol"},
      {"[Ustawienia]\nCommPort= 3\nLanguage=", 3, "pol"},
      {"[Ustawienia]\nCommPort= 3\nLanguage= a\x1b[2Jb\n", 3, "pol"},
      {"[Ustawienia]\nCommPort= 3\nLanguage= ../../etc\n", 3, "pol"},
      {"[Ustawienia]\nCommPort= 4\nLanguage= ang\n", 4, "ang"},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.bytes);
    SettingsState settings;
    ReadSettingsFile(settings, path.c_str());
    EXPECT_EQ(settings.stored_port_number, c.port) << c.bytes;
    EXPECT_STREQ(settings.language_code, c.language) << c.bytes;
    EXPECT_EQ(ReadBytes(path), c.bytes);
  }
}

TEST(SettingsFile, NothingBeyondTheFirst4096BytesIsRead) {
  // A huge file cannot hold the start-up: the reading stops after byte 4096, even inside a token.
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  const struct {
    size_t value_at;  // offset of the language value's first byte
    const char* language;
  } cases[] = {{4093, "ang"}, {4094, "an"}, {4095, "a"}, {4096, "pol"}};
  for (const auto& c : cases) {
    std::string bytes = "[Ustawienia]\nCommPort= 2\nLanguage=";
    bytes.append(c.value_at - bytes.size(), ' ');
    WriteBytes(path, bytes + "ang\n");
    SettingsState settings;
    ReadSettingsFile(settings, path.c_str());
    EXPECT_EQ(settings.stored_port_number, 2) << c.value_at;
    EXPECT_STREQ(settings.language_code, c.language) << c.value_at;
  }
}

TEST(SettingsFile, UnwritableLocationIsSilent) {
  TempDir dir;
  const std::string path = dir.Path("no-such-directory/Korvel.ini");
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 1);
  EXPECT_STREQ(settings.language_code, "pol");
  WriteSettingsFile(settings, path.c_str());
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
}

TEST(SettingsFile, ExistingUnreadableFileIsNotOverwrittenWithTheDefaults) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser can read any file";
  TempDir dir;
  const std::string path = dir.Path("Korvel.ini");
  WriteBytes(path, "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);
  SettingsState settings;
  ReadSettingsFile(settings, path.c_str());
  EXPECT_EQ(settings.stored_port_number, 1);
  EXPECT_STREQ(settings.language_code, "pol");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadBytes(path), "[Ustawienia]\nCommPort= 3\nLanguage= ang\n");
}

// A disk that fills up while the settings are written (the file-size limit fails the writes for
// every user, root included): the old file stays whole, no partial file is left beside it, and
// the next start reads the fitter's choices. A link the fitter made to the file stays a link.
TEST(SettingsFile, AWriteThatFailsLeavesTheOldFileAndALinkStaysALink) {
  TempDir dir;
  const std::string real = dir.Path("kept.ini");
  const std::string path = dir.Path("Korvel.ini");
  const std::string old_file = "[Ustawienia]\nCommPort= 3\nLanguage= ang\n";
  WriteBytes(real, old_file);
  ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
  SettingsState changed;
  changed.stored_port_number = 2;
  std::snprintf(changed.language_code, sizeof changed.language_code, "pol");

  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  WriteSettingsFile(changed, path.c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(ReadBytes(real), old_file);
  const Started next = Start(path);
  EXPECT_EQ(next.port_name, "COM3:");
  EXPECT_STREQ(next.settings.language_code, "ang");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path(""))) ++entries;
  EXPECT_EQ(entries, 2) << "a partial file was left behind";

  WriteSettingsFile(changed, path.c_str());
  EXPECT_EQ(ReadBytes(real), "[Ustawienia]\nCommPort= 2\nLanguage= pol\n");
  EXPECT_TRUE(std::filesystem::is_symlink(path));
}

}  // namespace
}  // namespace korvel

// The termios backend over a real pseudo-terminal: the test holds the master side (the controller's
// end of the cable) and a second handle on the slave to look at the line settings and the input
// queue. These tests run in real time; each wait is a few hundred milliseconds at most.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_driver.hpp"
#include "link/serial_port.hpp"

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace korvel {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A wait that must not end before `expected_ms`; a busy machine may only make it longer, so the
// upper bound is loose: it still tells a time-out apart from the next longer one the link has.
void ExpectWaitOf(double measured_ms, double expected_ms) {
  EXPECT_GE(measured_ms, expected_ms - 2.0);
  EXPECT_LE(measured_ms, expected_ms + 45.0);
}

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[128] = {};
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    slave_name_ = name;
    port_ = CreateSystemSerialPort();
    ASSERT_EQ(port_->Open(slave_name_.c_str()).status, OpenStatus::kOpen);
  }
  void TearDown() override {
    port_.reset();
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }

  void ControllerSends(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Waits until bytes sent by the controller are in the line's input queue.
  bool LineHasInput(int timeout_ms) {
    pollfd p{slave_, POLLIN, 0};
    return poll(&p, 1, timeout_ms) == 1 && (p.revents & POLLIN) != 0;
  }
  std::vector<uint8_t> ControllerReceives(size_t count) {
    std::vector<uint8_t> bytes;
    while (bytes.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 500) != 1) break;
      uint8_t buffer[64];
      const ssize_t r = read(master_, buffer, sizeof buffer);
      if (r <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + r);
    }
    return bytes;
  }
  // A silent line: the read of n bytes returns nothing after its total time-out.
  double SilentReadMs(int n) {
    std::vector<uint8_t> buffer(static_cast<size_t>(n));
    const auto start = Clock::now();
    const int got = port_->Read(buffer.data(), n);
    const double ms = MsSince(start);
    EXPECT_EQ(got, 0);
    return ms;
  }

  int master_ = -1;
  int slave_ = -1;
  std::string slave_name_;
  std::unique_ptr<SerialPort> port_;
};

TEST_F(PtyTest, LineIsRawNineThousandSixHundredEightNOneWithoutFlowControl) {
  termios tio{};
  ASSERT_EQ(tcgetattr(slave_, &tio), 0);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  // Raw both ways: no input, output or local processing of any kind (flow control, parity
  // marking, break handling, CR/NL translation, echo, signal characters).
  EXPECT_EQ(tio.c_iflag, 0u);
  EXPECT_EQ(tio.c_oflag, 0u);
  EXPECT_EQ(tio.c_lflag, 0u);

  // Bytes that a cooked terminal would change or swallow pass untouched both ways.
  const std::vector<uint8_t> awkward = {0x65, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F, 0xFF, 0x00, 0x04, 0x1A};
  port_->Write(awkward.data(), static_cast<int>(awkward.size()));
  EXPECT_EQ(ControllerReceives(awkward.size()), awkward);
  ControllerSends(awkward);
  uint8_t reply[11] = {};
  ASSERT_EQ(port_->Read(reply, 11), 11);
  EXPECT_EQ(std::vector<uint8_t>(reply, reply + 11), awkward);
}

TEST_F(PtyTest, LineIsHeldExclusivelyUntilClosed) {
  int exclusive = 0;
  ASSERT_EQ(ioctl(slave_, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  // Closing gives the line back, so that the link's reopen after a bad reply is not refused.
  port_->Close();
  ASSERT_EQ(ioctl(slave_, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(port_->Open(slave_name_.c_str()).status, OpenStatus::kOpen);
}

TEST_F(PtyTest, FullReplyIsReturnedAsSoonAsItIsComplete) {
  const uint8_t request[4] = {0x65, 0x02, 0x02, 0x69};
  EXPECT_EQ(port_->Write(request, 4), 4);
  EXPECT_EQ(ControllerReceives(4), std::vector<uint8_t>(request, request + 4));

  // Waiting for a gap would take 50 ms and a time-out 210; the best of three reads stays well below
  // both even on a busy machine.
  const std::vector<uint8_t> live = {0x65, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x92};
  double best_ms = 1e9;
  for (int attempt = 0; attempt < 3; ++attempt) {
    ControllerSends(live);
    uint8_t reply[11] = {};
    const auto start = Clock::now();
    ASSERT_EQ(port_->Read(reply, 11), 11);
    best_ms = std::min(best_ms, MsSince(start));
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + 11), live);
  }
  EXPECT_LT(best_ms, 40.0);
}

TEST_F(PtyTest, SilentLineEndsTheReadAfterTheTotalTimeOut) {
  ExpectWaitOf(SilentReadMs(11), 210.0);
}

TEST_F(PtyTest, GapOfMoreThanFiftyMillisecondsReturnsTheBytesBeforeIt) {
  Clock::time_point first_bytes;
  std::thread controller([&] {
    first_bytes = Clock::now();
    ControllerSends({0x65, 0x01, 0x02});
    std::this_thread::sleep_for(std::chrono::milliseconds(70));
    ControllerSends({3, 4, 5, 6, 7, 8, 9, 0x70});
  });
  uint8_t reply[11] = {};
  const int got = port_->Read(reply, 11);
  const auto end = Clock::now();
  controller.join();
  EXPECT_EQ(got, 3);
  EXPECT_EQ(reply[0], 0x65);
  EXPECT_EQ(reply[2], 0x02);
  const double after_first = std::chrono::duration<double, std::milli>(end - first_bytes).count();
  std::printf("[ measured ] read ended %.1f ms after the bytes before a 70 ms gap\n", after_first);
  EXPECT_GE(after_first, 49.0);
  EXPECT_LE(after_first, 120.0);  // far from the 210 ms total time-out
}

TEST_F(PtyTest, ShorterGapsDoNotEndTheRead) {
  std::thread controller([&] {
    ControllerSends({0x65, 0x01, 0x02});
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    ControllerSends({3, 4, 5});
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    ControllerSends({6, 7, 8, 9, 0x70});
  });
  uint8_t reply[11] = {};
  const int got = port_->Read(reply, 11);
  controller.join();
  EXPECT_EQ(got, 11);
  EXPECT_EQ(reply[10], 0x70);
}

TEST_F(PtyTest, TrickleOfBytesIsCutAtTheTotalTimeOut) {
  // One byte every 25 ms never trips the 50 ms gap; the 210 ms total still ends the read.
  std::thread controller([&] {
    const auto start = Clock::now();
    for (int i = 0; i < 8; ++i) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(25 * i));
      ControllerSends({static_cast<uint8_t>(i)});
    }
  });
  uint8_t reply[11] = {};
  const auto start = Clock::now();
  const int got = port_->Read(reply, 11);
  const double ms = MsSince(start);
  controller.join();
  ExpectWaitOf(ms, 210.0);
  EXPECT_GE(got, 5);
  EXPECT_LE(got, 8);
}

TEST_F(PtyTest, InputPurgeDiscardsWhatIsWaiting) {
  ControllerSends({0x65, 0x65, 0x01, 0x99, 0x42});
  ASSERT_TRUE(LineHasInput(500));
  port_->PurgeInput();
  EXPECT_FALSE(LineHasInput(0));

  const std::vector<uint8_t> identity = {0x65, 0x00, 0x25, 0x8A};
  ControllerSends(identity);
  uint8_t reply[4] = {};
  ASSERT_EQ(port_->Read(reply, 4), 4);
  EXPECT_EQ(std::vector<uint8_t>(reply, reply + 4), identity);
}

TEST_F(PtyTest, HangUpOfTheFarEndEndsTheReadAtOnce) {
  close(master_);
  master_ = -1;
  uint8_t reply[16] = {};
  const auto start = Clock::now();
  EXPECT_EQ(port_->Read(reply, 16), 0);
  EXPECT_LT(MsSince(start), 100.0);  // the time-out would be 260 ms
}

TEST_F(PtyTest, ClosedPortReadsAndWritesNothingWithoutWaiting) {
  port_->Close();
  port_->Close();
  uint8_t bytes[4] = {0x65, 1, 1, 0x67};
  EXPECT_EQ(port_->Write(bytes, 4), 0);
  const auto start = Clock::now();
  EXPECT_EQ(port_->Read(bytes, 4), 0);
  EXPECT_LT(MsSince(start), 60.0);  // the time-out would be 140 ms
  port_->PurgeInput();
  port_->PurgeOutput();
}

TEST_F(PtyTest, OnlyTerminalDevicesOpen) {
  auto other = CreateSystemSerialPort();
  EXPECT_EQ(other->Open("/dev/null").status, OpenStatus::kCannotOpen);
  EXPECT_EQ(other->Open("/nonexistent/ttyS9").status, OpenStatus::kCannotOpen);
  EXPECT_EQ(other->Open("").status, OpenStatus::kCannotOpen);
}

// --- lines of other programs ---------------------------------------------------------------------

// A terminal another program set up (4800 baud, cooked, echo) and its UUCP lock: a line locked by a
// live process is not touched at all; an unlocked one is locked while open and, once closed, has
// its own settings back and the lock removed. Only a lock naming this process is removed.
TEST(OtherProgramsLine, IsLockedWhileOpenAndLeftWithItsOwnSettings) {
  int master = -1;
  int slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios theirs{};
  ASSERT_EQ(tcgetattr(slave, &theirs), 0);
  cfsetispeed(&theirs, B4800);
  cfsetospeed(&theirs, B4800);
  theirs.c_lflag |= ICANON | ECHO | ISIG;
  theirs.c_iflag |= ICRNL | IXON;
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &theirs), 0);
  ASSERT_EQ(tcgetattr(slave, &theirs), 0);
  auto same_settings = [&] {
    termios now{};
    tcgetattr(slave, &now);
    return now.c_iflag == theirs.c_iflag && now.c_oflag == theirs.c_oflag && now.c_cflag == theirs.c_cflag &&
           now.c_lflag == theirs.c_lflag && cfgetospeed(&now) == cfgetospeed(&theirs) &&
           std::equal(std::begin(now.c_cc), std::end(now.c_cc), std::begin(theirs.c_cc));
  };
  char folder_pattern[] = "/tmp/korvel-locks-XXXXXX";
  ASSERT_NE(mkdtemp(folder_pattern), nullptr);
  const std::filesystem::path folder = folder_pattern;
  std::string device = name;
  const std::filesystem::path lock = folder / ("LCK.." + device.substr(5).replace(device.substr(5).find('/'), 1, "_"));
  auto write_lock = [&](long pid) {
    std::FILE* file = std::fopen(lock.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "%10ld\n", pid);
    std::fclose(file);
  };
  auto port = CreateSystemSerialPort({folder.string()});
  const uint8_t request[4] = {0x65, 0x01, 0x01, 0x67};

  write_lock(static_cast<long>(getppid()));
  const OpenResult locked = port->Open(name);
  EXPECT_EQ(locked.status, OpenStatus::kBusy);
  EXPECT_NE(locked.reason.find("locked by process"), std::string::npos) << locked.reason;
  EXPECT_EQ(port->Write(request, 4), 0);
  pollfd p{master, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 50), 0) << "nothing may reach a locked line";
  EXPECT_TRUE(same_settings());
  EXPECT_TRUE(std::filesystem::exists(lock));

  std::filesystem::remove(lock);
  const OpenResult unlocked = port->Open(name);
  ASSERT_EQ(unlocked.status, OpenStatus::kOpen) << unlocked.reason;
  EXPECT_EQ(unlocked.reason, "");
  EXPECT_FALSE(same_settings()) << "the line is set to 9600 8N1 raw while open";
  std::FILE* held = std::fopen(lock.c_str(), "r");
  ASSERT_NE(held, nullptr) << "the line is locked while open";
  long owner = 0;
  EXPECT_EQ(std::fscanf(held, "%ld", &owner), 1);
  std::fclose(held);
  EXPECT_EQ(owner, static_cast<long>(getpid()));
  EXPECT_EQ(port->Write(request, 4), 4);
  port->Close();
  EXPECT_TRUE(same_settings());
  EXPECT_FALSE(std::filesystem::exists(lock));

  // A lock whose process is gone, or one that names no process (left half-written), does not keep
  // the line, and is not ours to remove.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  for (const long stale_owner : {static_cast<long>(gone), 0L}) {
    SCOPED_TRACE(stale_owner);
    write_lock(stale_owner);
    const OpenResult stale = port->Open(name);
    ASSERT_EQ(stale.status, OpenStatus::kOpen) << stale.reason;
    port->Close();
    EXPECT_TRUE(std::filesystem::exists(lock));
    EXPECT_TRUE(same_settings());
  }

  port.reset();
  close(master);
  close(slave);
  std::filesystem::remove_all(folder);
}

// The lowest free descriptor number: one that an open left behind takes it.
int LowestFreeDescriptor() {
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  close(fd);
  return fd;
}

// Whatever an open comes to, it leaves no descriptor, no lock file and no lock on the line behind
// once it failed or the port closed. A terminal another program holds (its flock) is busy and not
// touched; a missing device or one that is no terminal cannot be opened. Opening the port's own
// open line again does not make it look busy.
TEST(LineOpen, TellsBusyFromMissingAndLeavesNothingBehind) {
  int master = -1;
  int slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios before{};
  ASSERT_EQ(tcgetattr(slave, &before), 0);
  auto untouched = [&] {
    termios now{};
    tcgetattr(slave, &now);
    return now.c_iflag == before.c_iflag && now.c_lflag == before.c_lflag && now.c_cflag == before.c_cflag &&
           cfgetospeed(&now) == cfgetospeed(&before);
  };
  // The other program's handle on the line, and its lock.
  const int other = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  char folder_pattern[] = "/tmp/korvel-locks-XXXXXX";
  ASSERT_NE(mkdtemp(folder_pattern), nullptr);
  const std::filesystem::path folder = folder_pattern;

  const struct {
    const char* name;
    std::string device;
    bool held_by_other;
    bool already_open;
    OpenStatus status;
    const char* reason;
  } cases[] = {
      {"free terminal", name, false, false, OpenStatus::kOpen, ""},
      {"terminal this port has open", name, false, true, OpenStatus::kOpen, ""},
      {"terminal another program holds", name, true, false, OpenStatus::kBusy, "in use by another program"},
      {"device that is no terminal", "/dev/null", false, false, OpenStatus::kCannotOpen, "not a serial line"},
      {"missing device", "/nonexistent/ttyS9", false, false, OpenStatus::kCannotOpen, "No such file"},
  };
  auto port = CreateSystemSerialPort({folder.string()});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.held_by_other) {
      ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    }
    const int free_before = LowestFreeDescriptor();
    if (c.already_open) {
      ASSERT_EQ(port->Open(name).status, OpenStatus::kOpen);
    }
    const OpenResult result = port->Open(c.device.c_str());
    EXPECT_EQ(result.status, c.status) << result.reason;
    EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
    if (c.held_by_other) {
      EXPECT_TRUE(untouched()) << "the settings of a line another program holds changed";
    }
    port->Close();
    EXPECT_EQ(LowestFreeDescriptor(), free_before) << "a descriptor was left open";
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "a lock file was left behind";
    flock(other, LOCK_UN);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "the line is still locked";
    flock(other, LOCK_UN);
  }
  close(other);
  close(master);
  close(slave);
  std::filesystem::remove_all(folder);
}

// Time-outs of a silent line for the reply lengths of the protocol: 3 (acknowledgement),
// 4 (identity), 11 (live data), 15 (configuration), 16 (options).
class SilentLineTest : public PtyTest, public ::testing::WithParamInterface<int> {};

TEST_P(SilentLineTest, TotalTimeOutIsOneHundredPlusTenPerByte) {
  const int n = GetParam();
  const double ms = SilentReadMs(n);
  std::printf("[ measured ] silent read of %d bytes: %.1f ms (expected %d)\n", n, ms, 100 + 10 * n);
  RecordProperty("measured_ms", std::to_string(ms));
  ExpectWaitOf(ms, 100.0 + 10.0 * n);
}

INSTANTIATE_TEST_SUITE_P(ReplyLengths, SilentLineTest, ::testing::Values(3, 4, 11, 15, 16));

// --- port names ---------------------------------------------------------------------------------

class PortNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    char pattern[] = "/tmp/korvel-ports-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

TEST_F(PortNameTest, ComNamesMapToSerialDevicesWithoutAPortsLink) {
  EXPECT_EQ(ResolvePortDevice("COM1:"), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortDevice("COM4:"), "/dev/ttyS3");
  EXPECT_EQ(ResolvePortDevice("COM2"), "/dev/ttyS1");
  EXPECT_EQ(ResolvePortDevice("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortDevice("COM0:"), "COM0:");
  EXPECT_EQ(ResolvePortDevice("COM1:x"), "COM1:x");
  EXPECT_EQ(ComPortNumber("COM3:"), 3);
  EXPECT_EQ(ComPortNumber("COM255:"), 255);
  EXPECT_EQ(ComPortNumber("COM256:"), 0);
  EXPECT_EQ(ComPortNumber("COM0001:"), 0);
  EXPECT_EQ(ComPortNumber("com1:"), 0);
}

TEST_F(PortNameTest, PortsLinkInTheWorkingDirectoryWins) {
  std::filesystem::create_directory("ports");
  std::filesystem::create_symlink("/dev/pts/77", "ports/COM2");
  std::filesystem::create_symlink("../adapter", "ports/COM3");
  EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/pts/77");  // even while the target is missing
  EXPECT_EQ(ResolvePortDevice("COM3:"), "ports/../adapter");
  EXPECT_EQ(ResolvePortDevice("COM1:"), "/dev/ttyS0");
}

// A ports folder anyone may write to, or one of another user (a shared or world-writable working
// folder), maps nothing: its links could lead anywhere. As root, the folder is given to "nobody".
TEST_F(PortNameTest, APortsFolderOthersControlIsIgnored) {
  std::filesystem::create_directory("ports");
  std::filesystem::create_symlink("/dev/pts/77", "ports/COM2");
  std::string why;
  EXPECT_TRUE(PortsFolderTrusted("ports", why)) << why;
  chmod("ports", 0777);
  EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/ttyS1");
  EXPECT_FALSE(PortsFolderTrusted("ports", why));
  EXPECT_NE(why.find("written by other users"), std::string::npos) << why;
  chmod("ports", 0755);
  EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/pts/77");
  if (geteuid() == 0) {
    ASSERT_EQ(chown("ports", 65534, 65534), 0);
    EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/ttyS1");
    std::filesystem::rename("ports", "theirs");
    ASSERT_EQ(chown("theirs", 0, 0), 0);
    std::filesystem::create_symlink("theirs", "ports");
    ASSERT_EQ(lchown("ports", 65534, 65534), 0);
    EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/ttyS1") << "a link of another user's";
  }
}

TEST_F(PortNameTest, ComNameOpensThePseudoTerminalItIsLinkedTo) {
  int master = -1;
  int slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  std::filesystem::create_directory("ports");
  std::filesystem::create_symlink(name, "ports/COM2");
  auto port = CreateSystemSerialPort();
  ASSERT_EQ(port->Open("COM2:").status, OpenStatus::kOpen);
  const uint8_t request[4] = {0x65, 0x01, 0x01, 0x67};
  EXPECT_EQ(port->Write(request, 4), 4);
  uint8_t seen[4] = {};
  pollfd p{master, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 500), 1);
  EXPECT_EQ(read(master, seen, 4), 4);
  EXPECT_EQ(seen[3], 0x67);
  port.reset();
  close(master);
  close(slave);
}

#ifdef __linux__
// The driver's settings calls faked: what the driver holds, what it answers, what the port asked.
struct FakeDriver {
  int get_result = 0;
  int set_result = 0;
  int flags = 0;
  int baud_base = 0;
  int get_calls = 0;
  int set_calls = 0;
  serial_struct set_with{};
};
FakeDriver fake_driver;
int FakeGet(int, serial_struct* settings) {
  ++fake_driver.get_calls;
  if (fake_driver.get_result != 0) {
    errno = ENOTTY;
    return -1;
  }
  settings->flags = fake_driver.flags;
  settings->baud_base = fake_driver.baud_base;
  return 0;
}
int FakeSet(int, const serial_struct* settings) {
  ++fake_driver.set_calls;
  fake_driver.set_with = *settings;
  if (fake_driver.set_result != 0) {
    errno = EPERM;
    return -1;
  }
  return 0;
}

TEST(LowLatency, AskedForAtOpenAndTheLineWorksWhereItIsRefused) {
  const SerialDriverCalls fake{&FakeGet, &FakeSet};
  const struct {
    const char* name;
    int get_result, set_result, flags;
    bool low_latency;
    int set_calls;
  } cases[] = {
      {"adapter grants it", 0, 0, ASYNC_SPD_HI, true, 1},
      {"already set", 0, 0, ASYNC_LOW_LATENCY, true, 0},
      {"no such setting (pseudo-terminal)", -1, 0, 0, false, 0},
      {"driver refuses it", 0, -1, 0, false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_driver = FakeDriver{c.get_result, c.set_result, c.flags, 24000000};
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    EXPECT_EQ(AskForLowLatency(slave, fake), c.low_latency);
    EXPECT_EQ(fake_driver.set_calls, c.set_calls);
    if (c.set_calls > 0) {
      // Only the low-latency flag changes; the driver's other settings go back as they were.
      EXPECT_EQ(fake_driver.set_with.flags, c.flags | ASYNC_LOW_LATENCY);
      EXPECT_EQ(fake_driver.set_with.baud_base, 24000000);
    }
    // The port asks when it opens, and carries on whatever the answer.
    fake_driver.get_calls = fake_driver.set_calls = 0;
    auto port = CreatePosixSerialPort(fake);
    ASSERT_EQ(port->Open(name).status, OpenStatus::kOpen);
    EXPECT_EQ(fake_driver.get_calls, 1);
    EXPECT_EQ(fake_driver.set_calls, c.set_calls);
    const uint8_t request[4] = {0x65, 0x01, 0x01, 0x67};
    EXPECT_EQ(port->Write(request, 4), 4);
    uint8_t got[4] = {};
    EXPECT_EQ(read(master, got, 4), 4);
    port.reset();
    close(master);
    close(slave);
  }
}
#endif

}  // namespace
}  // namespace korvel

#endif  // _WIN32

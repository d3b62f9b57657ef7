// korvelctl against the in-process simulator on a virtual clock: what each command prints, its
// exit status, and the frames the controller receives.
#include "korvelctl/korvelctl.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/clock.hpp"
#include "link/controller_link.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"

namespace korvel::ctl {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kWallBase = 1709647629000;  // 2024-03-05T14:07:09.000Z

class VirtualCtlClock : public CtlClock {
 public:
  explicit VirtualCtlClock(VirtualClock& clock) : clock_(clock) {}
  int64_t WallMs() override { return kWallBase + static_cast<int64_t>(clock_.NowMs()); }
  uint64_t SteadyMs() override { return clock_.NowMs(); }

 private:
  VirtualClock& clock_;
};

std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool IsPoll(const std::array<uint8_t, 4>& f) { return f[1] == f[2] && f[1] >= 1 && f[1] <= 4; }

class KorvelctlTest : public ::testing::Test {
 protected:
  KorvelctlTest() : port(model, clock), ctl_clock(clock) {
    char name[] = "/tmp/korvelctl-XXXXXX";
    dir = mkdtemp(name);
  }
  ~KorvelctlTest() override { fs::remove_all(dir); }

  int Run(const std::vector<std::string>& args) {
    std::vector<std::string> storage{"korvelctl"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& a : storage) argv.push_back(a.c_str());
    std::FILE* out_file = std::tmpfile();
    std::FILE* err_file = std::tmpfile();
    Environment env{*run_port, ctl_clock, out_file, err_file, stop, nullptr, nullptr};
    env.list_devices = list_devices;
    env.make_port = make_port;
    env.ports_folder = (dir / "ports").string();
    env.language_folders = language_folders;
    env.restore_point_folder = restore_folder;
    const int status = RunKorvelctl(static_cast<int>(argv.size()), argv.data(), env);
    out = ReadAll(out_file);
    err = ReadAll(err_file);
    std::fclose(out_file);
    std::fclose(err_file);
    return status;
  }

  // The requests the controller received, as "1 1 2 3 4 w5 w6 ..." (w: a write to that address).
  std::string Requests() const {
    std::string text;
    for (const auto& f : port.frames) {
      if (!text.empty()) text += ' ';
      text += IsPoll(f) ? std::to_string(f[1]) : "w" + std::to_string(f[1]);
    }
    return text;
  }
  size_t WriteCount() const {
    size_t n = 0;
    for (const auto& f : port.frames) n += IsPoll(f) ? 0 : 1;
    return n;
  }

  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port;
  SerialPort* run_port = &port;  // the port Run() hands to korvelctl
  VirtualCtlClock ctl_clock;
  const volatile std::sig_atomic_t* stop = nullptr;
  std::function<std::vector<SerialDevice>(bool)> list_devices;
  SerialPortFactory make_port;
  std::vector<std::string> language_folders = {KORVEL_LANG_DIR};
  fs::path dir;
  std::string restore_folder;  // empty: no restore points
  std::string out;
  std::string err;
};

TEST(KorvelctlFormats, TimestampsAreIsoUtcWithMilliseconds) {
  EXPECT_EQ(IsoTimestamp(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(IsoTimestamp(951782400123), "2000-02-29T00:00:00.123Z");
  EXPECT_EQ(IsoTimestamp(1709647629123), "2024-03-05T14:07:09.123Z");
  EXPECT_EQ(IsoTimestamp(-1), "1969-12-31T23:59:59.999Z");
}

TEST(KorvelctlFormats, FirmwareIsShownAsTheAboutBoxShowsIt) {
  EXPECT_EQ(FirmwareText(2, 5), "2.05");
  EXPECT_EQ(FirmwareText(2, 0), "2.00");
  EXPECT_EQ(FirmwareText(2, 31), "2.31");
}

TEST_F(KorvelctlTest, IdentityPrintsVariantAndFirmware) {
  EXPECT_EQ(Run({"identity"}), kExitOk);
  EXPECT_EQ(out, "variant 2, firmware 2.05\n");
  EXPECT_EQ(Requests(), "1");
  EXPECT_EQ(port.last_open_name, "COM1");

  model.SetFirmwareVersion(17);
  port.ClearFrames();
  EXPECT_EQ(Run({"--port=COM3", "identity"}), kExitOk);
  EXPECT_EQ(out, "variant 2, firmware 2.17\n");
  EXPECT_EQ(port.last_open_name, "COM3");
}

TEST_F(KorvelctlTest, ASilentControllerIsTriedThreeTimes) {
  model.faults.silence = true;
  for (const char* command : {"identity", "live", "learn", "reset"}) {
    port.ClearFrames();
    EXPECT_EQ(Run({command}), kExitNoAnswer) << command;
    EXPECT_NE(err.find("no answer from the controller"), std::string::npos) << err;
    EXPECT_EQ(Requests(), "1 1 1") << command;
  }
}

TEST_F(KorvelctlTest, PermissionDeniedNamesTheGroupToJoin) {
  port.device_name = "elsewhere";
  port.refusal = std::strerror(EACCES);
  EXPECT_EQ(Run({"identity"}), kExitCannotOpenPort);
  EXPECT_NE(err.find("Permission denied; your user must be in the group that owns the device (dialout)"),
            std::string::npos)
      << err;
  port.refusal = std::strerror(ENOENT);
  EXPECT_EQ(Run({"identity"}), kExitCannotOpenPort);
  EXPECT_EQ(err.find("group"), std::string::npos) << err;
}

TEST_F(KorvelctlTest, AnotherVariantIsNotTouched) {
  model.SetVariant(3);
  EXPECT_EQ(Run({"set", "AttMax", "10"}), kExitWrongVariant);
  EXPECT_NE(err.find("variant 3"), std::string::npos) << err;
  EXPECT_EQ(Requests(), "1");
}

TEST_F(KorvelctlTest, UsageErrorsSendNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"fly"},
      {"save"},
      {"load", "a.kvs", "b.kvs"},
      {"get", "attmax"},
      {"set", "AttMax", "256"},
      {"set", "AttMax", "-1"},
      {"set", "AttMax", ""},
      {"set", "AttMax", "12x"},
      {"get", "AttMax", "AttMin"},
      {"identity", "--period", "10"},
      {"live", "--count", "0"},
      {"live", "--period"},
      {"--colour", "identity"},
      {"diff"},
      {"diff", "a.kvs", "b.kvs", "c.kvs"},
      {"diff", "a.kvs", ""},  // would otherwise compare a.kvs with the controller
      {"save", ""},
      {"identity", "--link", "COM2"},
      {"ports", "--link", "ttyUSB0"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args), kExitUsage) << (args.empty() ? "(none)" : args[0]);
    EXPECT_NE(err.find("--help"), std::string::npos);
  }
  EXPECT_TRUE(port.frames.empty());

  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_EQ(Run({"-h"}), kExitOk);
  for (const char* word : {"identity", "save FILE", "load FILE", "get NAME", "set NAME VALUE", "live", "--csv",
                           "learn", "reset", "--port", "Exit status", "  6  ", "ports [--builtin] [--link COMn]", "65 01 01 67",
                           "diff FILE [FILE2]", "  1  diff", "  10  ", "  11  "}) {
    EXPECT_NE(out.find(word), std::string::npos) << word;
  }
  EXPECT_TRUE(port.frames.empty());
}

TEST_F(KorvelctlTest, SaveThenLoadRestoresEveryParameter) {
  const uint8_t addresses[] = {5, 12, 18, 21, 22, 29, 31, 33};
  for (uint8_t a : addresses) model.SetParameter(a, static_cast<uint8_t>(a + 100));
  const fs::path file = dir / "car.kvs";
  ASSERT_EQ(Run({"save", file.string()}), kExitOk) << err;
  EXPECT_EQ(Requests(), "1 3 4 2");
  const std::string saved = ReadFile(file);
  EXPECT_EQ(saved.rfind("[Korvel]\nVersion=1.2\n[Configuration]\nOptions= 105\n", 0), 0u) << saved;
  EXPECT_NE(saved.find("\nAttInit= 118\n"), std::string::npos);

  model.RestoreFactorySettings();
  port.ClearFrames();
  ASSERT_EQ(Run({"load", file.string()}), kExitOk) << err;
  EXPECT_EQ(Requests(), "1 w5 w6 w7 w8 w9 w10 w11 w12 w13 w14 w15 w16 w17 w18 w19 w20 w21 w22 w23 w24 w25 w26 "
                        "w27 w28 w29 w31 w32 w33");
  for (uint8_t a : addresses) EXPECT_EQ(model.Parameter(a), a + 100) << int(a);
}

TEST_F(KorvelctlTest, AMalformedFileSendsNothing) {
  const fs::path file = dir / "car.kvs";
  ASSERT_EQ(Run({"save", file.string()}), kExitOk);
  const std::string good = ReadFile(file);
  auto variant = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  const std::string malformed[] = {
      variant("Version=1.2", "Version=1.3"),
      variant("AttMin=", "attmin="),
      variant("[Korvel]", std::string(40, 'K')),
      variant("AttJump=", "AttJump= ?? AttJump="),
      "",
      std::string("\x00\x01\x02\xff\xfe", 5),
  };
  for (const std::string& text : malformed) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    port.ClearFrames();
    EXPECT_EQ(Run({"load", file.string()}), kExitMalformedFile);
    EXPECT_NE(err.find("nothing was sent"), std::string::npos) << err;
    EXPECT_EQ(WriteCount(), 0u);
  }
  // A missing file, and a pipe with a valid file waiting in it: refused at once, nothing sent.
  const fs::path pipe = dir / "pipe.kvs";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int writer = open(pipe.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_EQ(write(writer, good.data(), good.size()), static_cast<ssize_t>(good.size()));
  for (const fs::path& path : {dir / "absent.kvs", pipe}) {
    port.ClearFrames();
    EXPECT_EQ(Run({"load", path.string()}), kExitFileError) << path;
    EXPECT_NE(err.find("\"" + path.string() + "\""), std::string::npos) << err;
    EXPECT_EQ(WriteCount(), 0u);
  }
  close(writer);
}

TEST_F(KorvelctlTest, AnUnacknowledgedWriteStopsTheLoadWithTheParameterName) {
  const fs::path file = dir / "car.kvs";
  ASSERT_EQ(Run({"save", file.string()}), kExitOk);
  model.faults.no_acknowledgement = true;
  port.ClearFrames();
  EXPECT_EQ(Run({"load", file.string()}), kExitNotAcknowledged);
  EXPECT_NE(err.find("did not acknowledge Options"), std::string::npos) << err;
  EXPECT_EQ(Requests(), "1 w5");
}

TEST_F(KorvelctlTest, SaveIntoAMissingDirectoryFails) {
  EXPECT_EQ(Run({"save", (dir / "missing" / "car.kvs").string()}), kExitFileError);
  EXPECT_NE(err.find("cannot create"), std::string::npos) << err;
}

TEST_F(KorvelctlTest, GetAndSetOneParameterByItsKey) {
  model.SetParameter(6, 0x21);
  EXPECT_EQ(Run({"get", "LambdaType"}), kExitOk);
  EXPECT_EQ(out, "33\n");
  EXPECT_EQ(Requests(), "1 3");

  model.SetParameter(18, 140);
  port.ClearFrames();
  EXPECT_EQ(Run({"get", "AttInit="}), kExitOk);
  EXPECT_EQ(out, "140\n");
  EXPECT_EQ(Requests(), "1 2");

  port.ClearFrames();
  EXPECT_EQ(Run({"set", "AttMax_BJ", "77"}), kExitOk);
  EXPECT_EQ(model.Parameter(31), 77);
  ASSERT_EQ(port.frames.size(), 2u);
  EXPECT_EQ(port.frames[1], (std::array<uint8_t, 4>{0x65, 31, 77, static_cast<uint8_t>(0x65 + 31 + 77)}));

  model.faults.no_acknowledgement = true;
  EXPECT_EQ(Run({"set", "AttMax_BJ", "78"}), kExitNotAcknowledged);
}

TEST_F(KorvelctlTest, LivePollsAsTheReadingsPageAndLogsCsv) {
  model.OverrideLive(8, 0x01);  // on LPG
  model.OverrideLive(2, 51);    // lambda 0.99 V
  const fs::path csv = dir / "log.csv";
  ASSERT_EQ(Run({"live", "--count", "8", "--csv", csv.string()}), kExitOk) << err;
  // Connection check and the LambdaType read, then identity + live data per tick and the
  // configuration and options on every fourth tick.
  EXPECT_EQ(Requests(), "1 3 1 2 1 2 1 2 1 2 3 4 1 2 1 2 1 2 1 2 3 4");

  const std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_NE(lines[0].find("lambda 0.99 V"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("LPG"), std::string::npos) << lines[0];

  const std::vector<std::string> rows = Lines(ReadFile(csv));
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[0],
            "time,answered,engine_speed_rpm,lambda_v,second_input,att,att_init,temperature_c,fuel,state_flags,"
            "indicator_flags");
  // One tick every 50 ms of controller time.
  int64_t previous = -1;
  for (size_t i = 1; i < rows.size(); ++i) {
    ASSERT_GE(rows[i].size(), 24u);
    EXPECT_EQ(rows[i].substr(0, 17), "2024-03-05T14:07:") << rows[i];
    EXPECT_EQ(rows[i][23], 'Z');
    const int64_t ms = std::stoll(rows[i].substr(17, 2)) * 1000 + std::stoll(rows[i].substr(20, 3));
    if (previous >= 0) {
      EXPECT_EQ(ms - previous, 50) << rows[i];
    }
    previous = ms;
    EXPECT_NE(rows[i].find(",1,"), std::string::npos);
    EXPECT_NE(rows[i].find(",0.99,"), std::string::npos) << rows[i];
    EXPECT_NE(rows[i].find(",LPG,0x01,"), std::string::npos) << rows[i];
  }

  // The last tick ends the run at once: no period is waited after it.
  const uint64_t before_ms = clock.NowMs();
  ASSERT_EQ(Run({"live", "--count", "1"}), kExitOk) << err;
  EXPECT_LT(clock.NowMs() - before_ms, 50u);
}

// A port that silences the controller once a given number of frames went out.
class Unplugger : public SerialPort {
 public:
  Unplugger(sim::SimulatedPort& inner, sim::ControllerModel& model, size_t after)
      : inner_(inner), model_(model), after_(after) {}
  OpenResult Open(const char* name) override { return inner_.Open(name); }
  void Close() override { inner_.Close(); }
  void PurgeInput() override { inner_.PurgeInput(); }
  void PurgeOutput() override { inner_.PurgeOutput(); }
  int Write(const uint8_t* data, int count) override {
    if (inner_.frames.size() >= after_) model_.faults.silence = true;
    return inner_.Write(data, count);
  }
  int Read(uint8_t* buffer, int count) override { return inner_.Read(buffer, count); }
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }

 private:
  sim::SimulatedPort& inner_;
  sim::ControllerModel& model_;
  size_t after_;
};

TEST_F(KorvelctlTest, LiveGoesOnThroughALostControllerAtTheSlowPeriod) {
  Unplugger unplugger(port, model, 2 + 2 * 2);  // connect + LambdaType, then two good ticks
  Environment env{unplugger, ctl_clock, std::tmpfile(), std::tmpfile(), nullptr, nullptr, nullptr};
  const char* argv[] = {"korvelctl", "live", "--count", "7"};
  EXPECT_EQ(RunKorvelctl(4, argv, env), kExitOk);
  const std::vector<std::string> lines = Lines(ReadAll(env.out));
  std::fclose(env.out);
  std::fclose(env.err);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1].find("no answer"), std::string::npos);
  for (size_t i = 2; i < 7; ++i) EXPECT_NE(lines[i].find("(no answer from the controller)"), std::string::npos) << i;
  // After the third silent identity poll the link polls every 500 ms.
  auto ms_of = [](const std::string& line) {
    return std::stoll(line.substr(17, 2)) * 1000 + std::stoll(line.substr(20, 3));
  };
  EXPECT_EQ(ms_of(lines[6]) - ms_of(lines[5]), 500);
  EXPECT_EQ(Requests(), "1 3 1 2 1 2 1 2 1 2 3 4 1 1 1");  // tick 4 also reads 3 and 4
}

TEST_F(KorvelctlTest, LiveStopsWhenAskedTo) {
  volatile std::sig_atomic_t flag = 1;
  stop = &flag;
  EXPECT_EQ(Run({"live"}), kExitOk);
  EXPECT_EQ(out, "");
}

// A port that raises the stop flag (as Ctrl-C does) once a given number of frames went out.
class StopAfter : public SerialPort {
 public:
  StopAfter(sim::SimulatedPort& inner, volatile std::sig_atomic_t& flag, size_t after)
      : inner_(inner), flag_(flag), after_(after) {}
  OpenResult Open(const char* name) override { return inner_.Open(name); }
  void Close() override { inner_.Close(); }
  void PurgeInput() override { inner_.PurgeInput(); }
  void PurgeOutput() override { inner_.PurgeOutput(); }
  int Write(const uint8_t* data, int count) override {
    if (inner_.frames.size() >= after_) flag_ = 1;
    return inner_.Write(data, count);
  }
  int Read(uint8_t* buffer, int count) override { return inner_.Read(buffer, count); }
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }

 private:
  sim::SimulatedPort& inner_;
  volatile std::sig_atomic_t& flag_;
  size_t after_;
};

// Ctrl-C ends a load between two writes and a save before its file is written, each saying so.
TEST_F(KorvelctlTest, AStopRequestEndsLoadAndSaveAtTheirNextSafePoint) {
  const fs::path file = dir / "car.kvs";
  ASSERT_EQ(Run({"save", file.string()}), kExitOk) << err;
  volatile std::sig_atomic_t flag = 0;
  stop = &flag;
  StopAfter stopper(port, flag, 1 + 5);  // identity, five writes, then Ctrl-C during the sixth
  run_port = &stopper;
  port.ClearFrames();
  EXPECT_EQ(Run({"load", file.string()}), kExitInterrupted);
  EXPECT_EQ(Requests(), "1 w5 w6 w7 w8 w9 w10");
  EXPECT_NE(err.find("interrupted; 6 parameters were written"), std::string::npos) << err;

  flag = 0;
  StopAfter during_polls(port, flag, 2);  // during the configuration poll
  run_port = &during_polls;
  port.ClearFrames();
  EXPECT_EQ(Run({"save", (dir / "new.kvs").string()}), kExitInterrupted);
  EXPECT_FALSE(fs::exists(dir / "new.kvs"));
  EXPECT_NE(err.find("interrupted; nothing was saved"), std::string::npos) << err;
}

// set and load send a bit-field byte whole, as the fitter gave it: no bit of what the controller
// held before survives and none is added, and no other parameter changes.
TEST_F(KorvelctlTest, SetAndLoadSendEveryBitOfABitFieldByteAsGiven) {
  const struct {
    const char* name;
    int address;
  } fields[] = {{"Options", 5}, {"LambdaType", 6}, {"EmulType", 9}, {"EmulDO_TimeHi", 12}, {"EmulDO_TimeLo", 13}};
  const auto parameters = [this] {
    std::vector<int> values;
    for (int a = 5; a <= 33; ++a) values.push_back(model.Parameter(a));
    return values;
  };
  for (const auto& f : fields) {
    for (const auto& [held, value] : {std::pair<uint8_t, uint8_t>{0xFF, 0x00}, {0x00, 0xFF}, {0xFF, 0x5A}, {0x00, 0xA5}}) {
      model.SetParameter(f.address, held);
      std::vector<int> expected = parameters();
      expected[static_cast<size_t>(f.address - 5)] = value;
      port.ClearFrames();
      ASSERT_EQ(Run({"set", f.name, std::to_string(value)}), kExitOk) << err;
      EXPECT_EQ(port.frames.back(), (std::array<uint8_t, 4>{0x65, static_cast<uint8_t>(f.address), value,
                                                            static_cast<uint8_t>(0x65 + f.address + value)}));
      EXPECT_EQ(parameters(), expected) << f.name << " " << int{value};
    }
  }
  // A file whose bit fields are all ones, then one whose bit fields are all zeros, each loaded over
  // a controller holding the opposite.
  const fs::path file = dir / "bits.kvs";
  for (const uint8_t fill : {uint8_t{0xFF}, uint8_t{0x00}}) {
    for (const auto& f : fields) model.SetParameter(f.address, fill);
    ASSERT_EQ(Run({"save", file.string()}), kExitOk) << err;
    const std::vector<int> saved = parameters();
    for (const auto& f : fields) model.SetParameter(f.address, static_cast<uint8_t>(~fill));
    ASSERT_EQ(Run({"load", file.string()}), kExitOk) << err;
    EXPECT_EQ(parameters(), saved) << int{fill};
  }
}

TEST_F(KorvelctlTest, LearnOnlyOnLpg) {
  model.OverrideLive(8, 0x00);
  EXPECT_EQ(Run({"learn"}), kExitNotOnLpg);
  EXPECT_EQ(WriteCount(), 0u);

  model.OverrideLive(8, 0x01);
  port.ClearFrames();
  EXPECT_EQ(Run({"learn"}), kExitOk) << err;
  EXPECT_EQ(port.frames.back(), (std::array<uint8_t, 4>{0x65, 30, 50, static_cast<uint8_t>(0x65 + 30 + 50)}));
  EXPECT_EQ(out.find("already running"), std::string::npos) << out;
  model.OverrideLive(8, 0x03);  // a learning cycle under way
  EXPECT_EQ(Run({"learn"}), kExitOk) << err;
  EXPECT_NE(out.find("already running"), std::string::npos) << out;
}

TEST_F(KorvelctlTest, ResetWaitsForTheConfirmation) {
  model.SetParameter(16, 1);
  EXPECT_EQ(Run({"reset"}), kExitOk) << err;
  EXPECT_NE(out.find("confirmed"), std::string::npos);
  EXPECT_EQ(port.frames.back(), (std::array<uint8_t, 4>{0x65, 0x1E, 0x33, 0xB6}));
  EXPECT_NE(model.Parameter(16), 1);

  model.faults.no_acknowledgement = true;
  const uint64_t before = clock.NowMs();
  EXPECT_EQ(Run({"reset"}), kExitNotAcknowledged);
  EXPECT_NE(err.find("did not confirm"), std::string::npos);
  // Identity, the 250 ms wait, then the acknowledgement time-out.
  EXPECT_GE(clock.NowMs() - before, 250u + 130u);
}

// The fitter's way back: load and reset each keep the set they replace, restore-points lists them
// against the controller, and loading the first brings the car back exactly.
TEST_F(KorvelctlTest, LoadAndResetKeepRestorePointsThatBringTheCarBack) {
  restore_folder = (dir / "restore-points").string();
  model.SetParameter(16, 10);  // AttMax
  model.SetParameter(23, 4);   // IgnitionType
  const fs::path other = dir / "other.kvs";
  ASSERT_EQ(Run({"save", other.string()}), kExitOk) << err;
  model.SetParameter(16, 22);
  model.SetParameter(33, 7);  // Otwarcie_GAZU
  const fs::path first_state = dir / "first.kvs";
  ASSERT_EQ(Run({"save", first_state.string()}), kExitOk) << err;

  port.ClearFrames();
  ASSERT_EQ(Run({"load", other.string()}), kExitOk) << err;
  // The set is read afresh and kept before the first write.
  EXPECT_EQ(Requests().rfind("1 3 4 2 w5 ", 0), 0u) << Requests();
  EXPECT_NE(out.find("restore point: " + restore_folder + "/"), std::string::npos) << out;
  clock.AdvanceMs(1000);
  ASSERT_EQ(Run({"reset"}), kExitOk) << err;
  EXPECT_EQ(model.Parameter(16), 40) << "factory AttMax";

  ASSERT_EQ(Run({"restore-points"}), kExitOk) << err;
  const std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 3u) << out;
  EXPECT_EQ(lines[0].rfind("TIME (UTC)", 0), 0u);
  // The second is the state the load replaced: AttMax and Otwarcie_GAZU differ from the factory
  // set beside IgnitionType... each row counts against the controller as it is now.
  EXPECT_NE(lines[1].find("before-load"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("before-reset"), std::string::npos) << lines[2];
  const std::string first_point = lines[1].substr(lines[1].rfind(' ') + 1);
  ASSERT_EQ(Run({"diff", first_point, first_state.string()}), kExitOk) << out;

  ASSERT_EQ(Run({"load", first_point}), kExitOk) << err;
  EXPECT_EQ(Run({"diff", first_state.string()}), kExitOk) << out;
  EXPECT_EQ(model.Parameter(16), 22);
  EXPECT_EQ(model.Parameter(33), 7);

  // Without a controller the list is still given, uncompared.
  model.faults.silence = true;
  ASSERT_EQ(Run({"restore-points"}), kExitOk) << err;
  EXPECT_EQ(Lines(out).size(), 4u);
  EXPECT_NE(Lines(out)[1].find("  -  "), std::string::npos) << out;
  EXPECT_NE(err.find("without comparing"), std::string::npos) << err;
}

TEST_F(KorvelctlTest, ARestorePointThatCannotBeWrittenCostsNeitherTheLoadNorTheReset) {
  const fs::path file = dir / "car.kvs";
  ASSERT_EQ(Run({"save", file.string()}), kExitOk) << err;
  std::ofstream(dir / "blocked") << "a file where the folder should be";
  restore_folder = (dir / "blocked" / "restore-points").string();
  port.ClearFrames();
  EXPECT_EQ(Run({"load", file.string()}), kExitOk);
  EXPECT_EQ(WriteCount(), 28u);
  EXPECT_NE(err.find("no restore point was kept"), std::string::npos) << err;
  EXPECT_EQ(Run({"reset"}), kExitOk);
  EXPECT_NE(err.find("no restore point was kept"), std::string::npos) << err;
  EXPECT_NE(out.find("confirmed"), std::string::npos);
}

TEST_F(KorvelctlTest, DiffListsWhatDiffersBetweenFilesAndAgainstTheController) {
  const fs::path a = dir / "a.kvs";
  const fs::path b = dir / "b.kvs";
  model.SetParameter(16, 10);  // AttMax
  model.SetParameter(23, 4);   // IgnitionType
  ASSERT_EQ(Run({"save", a.string()}), kExitOk) << err;
  model.SetParameter(16, 3);
  model.SetParameter(23, 6);
  ASSERT_EQ(Run({"save", b.string()}), kExitOk) << err;
  const std::string differences =
      "AttMax         10 -> 3     +10 -> +3\n"
      "IgnitionType   4 -> 6      1 coil, 6 cyl. -> 2 DIS coils, 4 cyl.\n"
      "2 of 28 parameters differ\n";

  port.ClearFrames();
  EXPECT_EQ(Run({"diff", a.string(), a.string()}), kExitOk) << err;
  EXPECT_EQ(out, "A: " + a.string() + "\nB: " + a.string() + "\nthe 28 parameters are equal\n");
  EXPECT_EQ(Run({"diff", a.string(), b.string()}), kExitDifferent) << err;
  EXPECT_EQ(out, "A: " + a.string() + "\nB: " + b.string() + "\n" + differences);
  EXPECT_EQ(Requests(), "") << "two files need no controller";

  // One file against the controller, read as save reads it.
  EXPECT_EQ(Run({"diff", a.string()}), kExitDifferent) << err;
  EXPECT_EQ(out, "A: " + a.string() + "\nB: the controller on COM1\n" + differences);
  EXPECT_EQ(Requests(), "1 3 4 2");

  // A file that is not a configuration file, or is not there, is said so before anything is sent.
  std::ofstream(dir / "bad.kvs") << "[Korvel]\nVersion=1.1\n";
  port.ClearFrames();
  EXPECT_EQ(Run({"diff", (dir / "bad.kvs").string()}), kExitMalformedFile);
  EXPECT_EQ(Run({"diff", a.string(), (dir / "missing.kvs").string()}), kExitFileError);
  EXPECT_EQ(Requests(), "");
}

// ports --link points the link at the one controller of variant 2 and refuses when it is unclear
// which device is meant, or when what is there is not a link.
TEST_F(KorvelctlTest, PortsLinksTheOneControllerAndRefusesOtherwise) {
  std::map<std::string, sim::ControllerModel> models;
  std::map<std::string, VirtualClock> clocks;
  models["other"].SetVariant(3);
  models["silent"].faults.silence = true;
  std::vector<SerialDevice> devices;
  list_devices = [&](bool) { return devices; };
  make_port = [&](const std::string& device) -> std::unique_ptr<SerialPort> {
    return std::make_unique<sim::SimulatedPort>(models[device], clocks[device]);
  };
  const fs::path link = dir / "ports" / "COM2";
  const SerialDevice adapter{"ctl", {"/dev/serial/by-id/usb-adapter-if00"}};

  devices = {adapter, {"other", {}}, {"silent", {}}};
  ASSERT_EQ(Run({"ports", "--link", "COM2:"}), kExitOk) << err;
  EXPECT_EQ(Lines(out), (std::vector<std::string>{
                            "DEVICE  ANSWER                    NAMES",
                            "ctl     variant 2, firmware 2.05  /dev/serial/by-id/usb-adapter-if00",
                            "other   another variant (3)",
                            "silent  silent",
                            link.string() + " -> /dev/serial/by-id/usb-adapter-if00",
                        }));
  EXPECT_EQ(fs::read_symlink(link), "/dev/serial/by-id/usb-adapter-if00");

  const struct {
    std::vector<SerialDevice> devices;
    int status;
    const char* message;
  } refusals[] = {
      {{adapter, {"ctl2", {}}}, kExitSeveralControllers, "2 devices answer as a controller of variant 2 (ctl, ctl2)"},
      {{{"other", {}}, {"silent", {}}}, kExitNoController, "no device answers as a controller of variant 2"},
  };
  for (const auto& refusal : refusals) {
    devices = refusal.devices;
    EXPECT_EQ(Run({"ports", "--link", "COM2"}), refusal.status);
    EXPECT_NE(err.find(refusal.message), std::string::npos) << err;
    EXPECT_EQ(fs::read_symlink(link), "/dev/serial/by-id/usb-adapter-if00") << "the old link is kept";
  }

  // A plain file where the link would go is the fitter's, not ours.
  std::ofstream(dir / "ports" / "COM3") << "notes";
  devices = {adapter};
  EXPECT_EQ(Run({"ports", "--link", "COM3"}), kExitFileError);
  EXPECT_NE(err.find("exists and is not a symlink"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(dir / "ports" / "COM3"), "notes");
}

// What the search must not touch: a device listed as not to be asked is never opened, and --link
// makes its new link under a name of its own, so a file of the fitter's beside the link survives.
TEST_F(KorvelctlTest, PortsNeverOpensTheConsoleNorRemovesTheFittersFiles) {
  sim::ControllerModel controller;
  VirtualClock device_clock;
  std::vector<std::string> opened;
  list_devices = [&](bool) {
    return std::vector<SerialDevice>{{"/dev/ttyS0", {}, "the system console; not asked"}, {"ctl", {}}};
  };
  make_port = [&](const std::string& device) -> std::unique_ptr<SerialPort> {
    opened.push_back(device);
    return std::make_unique<sim::SimulatedPort>(controller, device_clock);
  };
  fs::create_directories(dir / "ports");
  for (const char* name : {"COM2.new", ".COM2.tmp", "COM2~"}) std::ofstream(dir / "ports" / name) << "notes";
  ASSERT_EQ(Run({"ports", "--link", "COM2"}), kExitOk) << err;
  EXPECT_EQ(opened, std::vector<std::string>{"ctl"});
  EXPECT_NE(out.find("/dev/ttyS0  the system console; not asked"), std::string::npos) << out;
  EXPECT_EQ(fs::read_symlink(dir / "ports" / "COM2"), "ctl");
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(dir / "ports")) {
    ++entries;
    if (entry.path().filename() != "COM2") {
      EXPECT_EQ(ReadFile(entry.path()), "notes") << entry.path();
    }
  }
  EXPECT_EQ(entries, 4u);
}

// Names and words that come from the command line or from files reach the terminal escaped: a
// file name with a line feed and an escape sequence, and a language text planted with one.
TEST_F(KorvelctlTest, NamesAndTextsFromFilesAreShownEscaped) {
  const fs::path a = dir / "car\n\x1b[31m.kvs";
  const fs::path b = dir / "b.kvs";
  model.SetParameter(23, 4);  // IgnitionType
  ASSERT_EQ(Run({"save", a.string()}), kExitOk) << err;
  EXPECT_NE(out.find("car\\x0A\\x1B[31m.kvs"), std::string::npos) << out;
  model.SetParameter(23, 6);
  ASSERT_EQ(Run({"save", b.string()}), kExitOk) << err;

  std::ifstream english(std::string(KORVEL_LANG_DIR) + "Korvel_lang.ang", std::ios::binary);
  std::string texts((std::istreambuf_iterator<char>(english)), std::istreambuf_iterator<char>());
  const size_t at = texts.find("1 coil, 6 cyl.");
  ASSERT_NE(at, std::string::npos);
  texts.replace(at, 4, "\x1b]0;owned\x07");
  fs::create_directories(dir / "lang");
  std::ofstream(dir / "lang" / "Korvel_lang.ang", std::ios::binary) << texts;
  language_folders = {(dir / "lang").string() + "/"};
  EXPECT_EQ(Run({"diff", a.string(), b.string()}), kExitDifferent) << err;
  EXPECT_NE(out.find("\\x1B]0;owned\\x07"), std::string::npos) << out;
  EXPECT_EQ(Run({"load", (dir / "missing\x1b[2J.kvs").string()}), kExitFileError);
  EXPECT_NE(err.find("missing\\x1B[2J.kvs"), std::string::npos) << err;
  for (const std::string* shown : {&out, &err}) {
    EXPECT_EQ(shown->find('\x1b'), std::string::npos) << *shown;
  }
}

}  // namespace
}  // namespace korvel::ctl

// The port finder: every device probed on a thread of its own against simulated controllers, and
// the device search over a folder tree made to look like /dev, /sys and a working folder.
#include "link/port_finder.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/clock.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// What a probe left on its device, kept when the finder drops the port.
struct Trace {
  size_t frames = 0;  // identity requests the device received
  bool left_open = false;
};

// A simulated device that reports on its probe when it is dropped; `busy` makes it a line another
// program holds, which refuses every open.
class TracedPort : public sim::SimulatedPort {
 public:
  TracedPort(sim::ControllerModel& model, VirtualClock& clock, Trace& trace, bool busy)
      : SimulatedPort(model, clock), trace_(trace), busy_(busy) {}
  ~TracedPort() override {
    trace_.frames = frames.size();
    trace_.left_open = IsOpen();
  }
  OpenResult Open(const char* name) override {
    if (busy_) return {OpenStatus::kBusy, "in use by another program"};
    return SimulatedPort::Open(name);
  }

 private:
  Trace& trace_;
  bool busy_;
};

// One simulated device per name, each with its own controller and clock (a probe thread touches
// only its own).
struct Bench {
  std::map<std::string, sim::ControllerModel> models;
  std::map<std::string, VirtualClock> clocks;
  std::map<std::string, Trace> traces;

  std::unique_ptr<SerialPort> Make(const std::string& device) {
    auto port = std::make_unique<TracedPort>(models[device], clocks[device], traces[device], device == "busy");
    // "gone" names a device that vanished before the probe: the port opens only "elsewhere".
    port->device_name = device == "gone" ? "elsewhere" : device;
    return port;
  }
};

TEST(PortFinder, EveryKindOfAnswerSideBySideInBoundedTime) {
  Bench bench;
  bench.models["controller"].SetFirmwareVersion(7);
  bench.models["other"].SetVariant(3);
  bench.models["silent"].faults.silence = true;
  bench.models["garbled"].faults.bad_checksum_fraction = 1.0;
  const std::vector<std::string> devices = {"controller", "other", "silent", "garbled", "busy", "gone"};
  const std::vector<PortProbe> probes =
      ProbePorts(devices, [&](const std::string& device) { return bench.Make(device); });

  const struct {
    const char* text;
    ProbeAnswer answer;
    size_t frames;  // identity requests the device received
  } expected[] = {
      {"variant 2, firmware 2.07", ProbeAnswer::kController, 1},
      {"another variant (3)", ProbeAnswer::kOtherVariant, 1},
      {"silent", ProbeAnswer::kSilent, 3},
      {"garbled replies (bad checksums)", ProbeAnswer::kGarbled, 3},
      {"busy", ProbeAnswer::kBusy, 0},
      {"cannot open: No such file or directory", ProbeAnswer::kCannotOpen, 0},
  };
  ASSERT_EQ(probes.size(), devices.size());
  for (size_t i = 0; i < devices.size(); ++i) {
    SCOPED_TRACE(devices[i]);
    EXPECT_EQ(ProbeAnswerText(probes[i]), expected[i].text);
    EXPECT_EQ(probes[i].answer, expected[i].answer);
    EXPECT_EQ(bench.traces[devices[i]].frames, expected[i].frames);
    EXPECT_FALSE(bench.traces[devices[i]].left_open);
    // Three identity time-outs at most; a device that cannot be opened is not tried again.
    EXPECT_LE(bench.clocks[devices[i]].NowMs(), expected[i].frames == 0 ? 140u : 3u * 140u);
  }
  EXPECT_EQ(probes[4].reason, "in use by another program");
}

TEST(PortFinder, TheSearchNamesEachDeviceOnceAndSkipsPortsWithoutAUart) {
  char name[] = "/tmp/korvel-ports-XXXXXX";
  const fs::path root = mkdtemp(name);
  DeviceSearchRoots roots{(root / "work/ports").string(), (root / "dev").string(), (root / "sys").string()};
  for (const char* folder : {"work/ports", "dev/serial/by-id", "sys/ttyS0", "sys/ttyS1"}) {
    fs::create_directories(root / folder);
  }
  for (const char* device : {"dev/ttyUSB10", "dev/ttyUSB2", "dev/ttyACM0", "dev/ttyS0", "dev/ttyS1", "dev/ttyS2",
                             "dev/tty0", "dev/ttyUSB"}) {
    std::ofstream(root / device) << "";
  }
  std::ofstream(root / "sys/ttyS0/type") << "4\n";  // a 16550A
  std::ofstream(root / "sys/ttyS1/type") << "0\n";  // a name without a UART; ttyS2 has no entry at all
  fs::create_symlink("../../ttyUSB2", root / "dev/serial/by-id/usb-adapter-if00");
  fs::create_symlink(root / "dev/ttyUSB2", root / "work/ports/COM1");
  fs::create_symlink(root / "dev/ttyS0", root / "work/ports/COM2");
  fs::create_symlink(root / "dev/ttyUSB7", root / "work/ports/COM3");  // unplugged since
  std::ofstream(root / "work/ports/README") << "not a port";

  std::vector<std::string> listed;
  for (const SerialDevice& device : ListSerialDevices(roots, true)) {
    std::string line = fs::path(device.path).lexically_relative(root).string();
    for (const std::string& alias : device.names) line += " " + fs::path(alias).lexically_relative(root).string();
    listed.push_back(line);
  }
  const std::vector<std::string> expected = {
      "dev/ttyUSB2 work/ports/COM1 dev/serial/by-id/usb-adapter-if00",
      "dev/ttyS0 work/ports/COM2",
      "dev/ttyUSB7 work/ports/COM3",
      "dev/ttyUSB10",
      "dev/ttyACM0",
  };
  EXPECT_EQ(listed, expected);
  fs::remove_all(root);
}

// By default only the fitter's links and the adapters are asked: the built-in ports (often a
// console or a modem) only on request, and the system console never, even behind a COMn link.
TEST(PortFinder, TheConsoleIsNeverAskedAndBuiltInPortsOnlyOnRequest) {
  char name[] = "/tmp/korvel-ports-XXXXXX";
  const fs::path root = mkdtemp(name);
  DeviceSearchRoots roots{(root / "work/ports").string(), (root / "dev").string(), (root / "sys").string()};
  for (const char* folder : {"work/ports", "dev", "sys/ttyS0", "sys/ttyS1", "sys/console"}) {
    fs::create_directories(root / folder);
  }
  for (const char* device : {"dev/ttyUSB0", "dev/ttyS0", "dev/ttyS1", "dev/tty1"}) std::ofstream(root / device) << "";
  std::ofstream(root / "sys/ttyS0/type") << "4\n";
  std::ofstream(root / "sys/ttyS1/type") << "4\n";
  std::ofstream(root / "sys/console/active") << "tty0 ttyS0\n";
  fs::create_symlink(root / "dev/ttyS0", root / "work/ports/COM1");
  fs::create_symlink(root / "dev/tty1", root / "work/ports/COM2");

  auto listing = [&](bool builtin) {
    std::vector<std::string> lines;
    for (const SerialDevice& device : ListSerialDevices(roots, builtin)) {
      lines.push_back(fs::path(device.path).filename().string() + (device.not_probed.empty() ? "" : " not asked"));
    }
    return lines;
  };
  EXPECT_EQ(listing(false), (std::vector<std::string>{"ttyS0 not asked", "tty1 not asked", "ttyUSB0"}));
  EXPECT_EQ(listing(true), (std::vector<std::string>{"ttyS0 not asked", "tty1 not asked", "ttyUSB0", "ttyS1"}));
  fs::remove_all(root);
}

}  // namespace
}  // namespace korvel

// korvelctl: the command-line service tool, on the machine's serial port and clocks.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "korvel_version.hpp"
#include "korvelctl/korvelctl.hpp"
#include "link/serial_port.hpp"

namespace {

// Ctrl-C ends `live` after its current tick, so the CSV log is closed properly. A signal handler
// can only reach a flag of static storage.
volatile std::sig_atomic_t stop_requested = 0;

extern "C" void OnInterrupt(int) { stop_requested = 1; }

class SystemClock : public korvel::ctl::CtlClock {
 public:
  int64_t WallMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
  uint64_t SteadyMs() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvelctl %s (revision %s)\n", KORVEL_VERSION, KORVEL_REVISION);
    return 0;
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  const auto port = korvel::CreateSystemSerialPort();
  SystemClock clock;
  korvel::ctl::Environment env{*port, clock, stdout, stderr, &stop_requested,
                               [](const char* name) { return korvel::ResolvePortDevice(name); }};
  return korvel::ctl::RunKorvelctl(argc, argv, env);
}

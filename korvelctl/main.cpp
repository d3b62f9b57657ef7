// korvelctl: the command-line service tool, on the machine's serial port and clocks.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "korvel_version.hpp"
#include "files/restore_points.hpp"
#include "korvelctl/korvelctl.hpp"
#include "link/port_finder.hpp"
#include "link/serial_port.hpp"

namespace {

// Ctrl-C and SIGTERM end every command at its next safe point (live after its current tick, so
// the CSV log is complete). A signal handler can only reach a flag of static storage.
volatile std::sig_atomic_t stop_requested = 0;

#ifndef _WIN32
// The handler also writes a byte here, so that a wait between ticks wakes at once instead of
// sleeping out its period (the flag alone cannot interrupt a wait that has begun).
int wake_pipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  stop_requested = 1;
  if (wake_pipe[1] >= 0) {
    [[maybe_unused]] const ssize_t ignored = ::write(wake_pipe[1], "", 1);
  }
  errno = saved;
}

void InstallStopHandlers() {
  if (::pipe(wake_pipe) == 0) {
    for (int fd : wake_pipe) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  // Without SA_RESTART: a write blocked on a pipe or terminal returns instead of waiting on.
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Waits `ms`, or less when a stop is requested before or during the wait.
void PauseUnlessStopped(uint32_t ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (stop_requested == 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    if (left <= 0) return;
    pollfd wake{wake_pipe[0], POLLIN, 0};
    const int ready = ::poll(&wake, wake_pipe[0] >= 0 ? 1 : 0, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return;
  }
}
#else
extern "C" void OnStopSignal(int) { stop_requested = 1; }

void InstallStopHandlers() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

// Waits in short steps so that Ctrl-C ends the wait within 10 ms.
void PauseUnlessStopped(uint32_t ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (stop_requested == 0 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
#endif

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

// Where diff looks for the English texts: the installed share/korvel/Lang beside the program's
// own folder first, then the run tree's Lang beside bin/, and ../Lang of the working folder last
// (as the window program reads it). A file planted in a shared working folder is then never read
// while the program's own texts are there.
std::vector<std::string> LanguageFolders() {
  std::vector<std::string> folders;
#ifdef __linux__
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path root = program.parent_path().parent_path();
    folders.push_back((root / "share/korvel/Lang").string() + "/");
    folders.push_back((root / "Lang").string() + "/");
  }
#endif
  folders.push_back("../Lang/");
  return folders;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("korvelctl %s (revision %s)\n", KORVEL_VERSION, KORVEL_REVISION);
    return 0;
  }
  InstallStopHandlers();
  const auto port = korvel::CreateSystemSerialPort();
  SystemClock clock;
  korvel::ctl::Environment env{*port, clock, stdout, stderr, &stop_requested,
                               [](const char* name) { return korvel::ResolvePortDevice(name); },
                               PauseUnlessStopped};
  env.list_devices = [](bool builtin_ports) { return korvel::ListSerialDevices({}, builtin_ports); };
  env.make_port = [](const std::string&) { return korvel::CreateSystemSerialPort(); };
  env.language_folders = LanguageFolders();
  const korvel::RestorePointFolder restore_points = korvel::RestorePointFolderFromEnvironment();
  env.restore_point_folder = restore_points.path;
  env.restore_point_folder_error = restore_points.reason;
  return korvel::ctl::RunKorvelctl(argc, argv, env);
}

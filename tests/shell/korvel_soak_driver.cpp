// The window program exactly as shell/main.cpp builds it (Qt window system, the machine's serial
// port, the application), left running for a long time while a fitter's hand switches pages through
// the menu bar's own commands and, on the Options page, picks an LPG-off speed now and then. It
// measures how long the window did not answer: a 10 ms probe timer runs beside the pages' poll
// timers, and its lateness is the time a tick (or a command) held the event loop. Each hold is
// charged to the page shown and compared with that page's bound, the sum of the read time-outs one
// of its ticks can run into. A hold leaves out the time the window's thread was ready to run but
// waited for a CPU that other programs had (the kernel's run-queue wait of the thread), so a busy
// machine does not pass for a slow window; that wait is reported per minute. Once a minute it samples the resident memory and the CPU time from
// /proc and prints a line.
// Run in a working tree whose ports/COM1 leads to korvel-sim (scripts/soak switches its faults).
//   korvel_soak_driver SECONDS [--dwell MS] [--seed N] [--margin MS] [--fault-file PATH] [--pages]
// --fault-file names a file whose first line says which fault the simulator has on (for the
// report only). --pages (for scripts/bench) shows the pages in menu order instead, a whole dwell
// each and without writes, and prints the CPU share while each was shown once settled (from 2 s
// after it opened, so that neither the program's start nor a page's building is charged to a
// page), the resident memory, and the start-up: the time and the CPU time from the program's start
// to the first live value drawn.
// Exit code 0 when every hold stayed within its bound, every page opened and the memory did not
// grow by more than 2 MB after minute 5.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "link/serial_port.hpp"
#include "platform/qt/qt_host.hpp"
#include "platform/qt/qt_window.hpp"
#include "shell/application.hpp"

namespace {

using korvel::Application;
using korvel::QtHost;

// Read time-outs of the link (100 ms + 10 ms per byte): identity 4 bytes, live data 11,
// configuration 15, options 16, a write's acknowledgement 3.
constexpr int kIdentityMs = 140, kLiveMs = 210, kConfigMs = 250, kOptionsMs = 260, kAckMs = 130;

struct PageEntry {
  const char* name;
  int command;  // menu-bar command
  int view;     // ViewId once shown
  int bound_ms;  // the longest a tick or command of the page may hold the window
  int build_ms;  // the reads of building the page (the Oscilloscope's legends read the configuration)
};
// Readings reads the configuration and options on every fourth tick, the Oscilloscope the
// configuration once per connection; the Options page's LPG-off choice goes out in two acknowledged
// writes (less than one tick's reads). Schema and Reset do not poll: only the margin applies.
constexpr std::array<PageEntry, 6> kPages = {{
    {"Readings", 40005, 1, kIdentityMs + kLiveMs + kConfigMs + kOptionsMs, 0},
    {"Configuration", 40006, 2, kIdentityMs + kLiveMs + kConfigMs + kOptionsMs, 0},
    {"Options", 40007, 3, std::max(kIdentityMs + kLiveMs + kConfigMs + kOptionsMs, 2 * kAckMs), 0},
    {"Schema", 40013, 4, 0, 0},
    {"Reset", 40008, 5, 0, 0},
    {"Oscilloscope", 40010, 6, kIdentityMs + kLiveMs + kConfigMs, kConfigMs},
}};
constexpr int kLpgOffList = 1050;

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Milliseconds since the kernel started this process (field 22 of /proc/self/stat, in clock ticks).
double MsSinceProcessStart() {
  std::ifstream stat_file("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
  const size_t paren = text.rfind(')');
  if (paren == std::string::npos) return -1;
  const char* p = text.c_str() + paren + 2;  // field 3
  for (int field = 3; field < 22 && *p != '\0'; ++field) p = std::strchr(p, ' ') + 1;
  const double start_s = std::atof(p) / static_cast<double>(sysconf(_SC_CLK_TCK));
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - start_s) * 1000.0;
}

// Milliseconds the calling thread has waited, ready to run, for a CPU (the second figure of
// /proc/thread-self/schedstat, in nanoseconds); 0 where the kernel does not say.
double RunQueueWaitMs() {
  std::ifstream schedstat("/proc/thread-self/schedstat");
  unsigned long long on_cpu_ns = 0, waiting_ns = 0;
  if (!(schedstat >> on_cpu_ns >> waiting_ns)) return 0;
  return static_cast<double>(waiting_ns) / 1e6;
}

std::string FirstLine(const std::string& path) {
  if (path.empty()) return "-";
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line.empty() ? "none" : line;
}

struct Hold {
  double ms = 0;
  std::string fault;
  double at_s = 0;
};

struct Options {
  int seconds = 120;
  int dwell_ms = 4000;
  unsigned seed = 1;
  int margin_ms = 80;
  std::string fault_file;
  bool page_report = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  if (argc < 2) return false;
  o.seconds = std::atoi(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pages") {
      o.page_report = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (arg == "--dwell") o.dwell_ms = std::atoi(value);
    else if (arg == "--seed") o.seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
    else if (arg == "--margin") o.margin_ms = std::atoi(value);
    else if (arg == "--fault-file") o.fault_file = value;
    else return false;
  }
  return o.seconds > 0 && o.dwell_ms >= 500;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s SECONDS [--dwell MS] [--seed N] [--margin MS] [--fault-file PATH] [--pages]\n",
                 argv[0]);
    return 2;
  }
  // For the long runs, a fixed threshold for the allocator's own mappings: glibc otherwise raises it
  // after the first large buffer is freed, and from then on keeps buffers of that size in the heap,
  // which it does not give back; the resident memory would step up once and stay, and look like
  // growth. The page figures keep the allocator as the program has it, so their memory is the
  // program's.
  if (!options.page_report) mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  QApplication qt_application(argc, argv);
  QtHost host(qt_application);
  const auto port = korvel::CreateSystemSerialPort();
  Application app(*port, host);
  if (!app.Start()) {
    std::fprintf(stderr, "FAIL the main window could not be created\n");
    return 2;
  }
  host.ShowMainWindow();

  int failures = 0;
  QElapsedTimer clock;
  clock.start();
  auto now_ms = [&clock] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };

  std::string fault = FirstLine(options.fault_file);
  // Per page: the longest hold of a tick or command, and of the page's own opening (the switch).
  std::array<Hold, kPages.size()> worst_tick{}, worst_switch{};
  std::array<double, kPages.size()> minute_worst{};
  std::array<double, kPages.size()> page_cpu_s{}, page_wall_s{};
  std::array<int, kPages.size()> visits{};
  int current = 0;  // index into kPages of the page shown (Readings at start)
  int previous = 0;  // and of the page shown before it
  double page_since_ms = 0, page_since_cpu = ProcessCpuSeconds();
  bool switch_pending = false, switch_built = false;
  double first_live_ms = -1, first_live_cpu_s = -1;
  // With --pages a page's CPU share counts only once it has settled.
  constexpr int kSettleMs = 2000;
  bool page_settled = !options.page_report;
  QTimer settle;
  settle.setSingleShot(true);
  QObject::connect(&settle, &QTimer::timeout, [&] {
    page_since_ms = now_ms();
    page_since_cpu = ProcessCpuSeconds();
    page_settled = true;
  });
  if (options.page_report) settle.start(kSettleMs);

  // The probe: how late each 10 ms tick of it comes is how long the window did not answer.
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  double last_probe = now_ms();
  double last_wait = RunQueueWaitMs(), minute_cpu_wait = 0;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const double t = now_ms(), wait = RunQueueWaitMs();
    const double hold = t - last_probe - 10.0 - (wait - last_wait);
    minute_cpu_wait += wait - last_wait;
    last_probe = t;
    last_wait = wait;
    if (first_live_ms < 0 && app.shared.ViewId == kPages[0].view && app.link.Connected() &&
        app.link.LiveDataRecord[0] == 0x65)
      first_live_ms = MsSinceProcessStart(), first_live_cpu_s = ProcessCpuSeconds();
    // The gaps from the menu command to the end of the page's building are its opening; they may
    // hold one last tick of the page left and then the reads of building the new page.
    const bool opening = switch_pending;
    if (switch_built) switch_pending = false;
    if (hold <= 0) return;
    auto& worst = opening ? worst_switch[current] : worst_tick[current];
    const int reads_ms =
        opening ? std::max(kPages[current].bound_ms, kPages[previous].bound_ms + kPages[current].build_ms)
                : kPages[current].bound_ms;
    if (!opening) minute_worst[current] = std::max(minute_worst[current], hold);
    if (hold > worst.ms) worst = {hold, fault, t / 1000.0};
    const int bound = reads_ms + options.margin_ms;
    if (hold > bound) {
      ++failures;
      std::printf("FAIL %8.1f s: the %s page held the window %.0f ms%s (bound %d ms), fault: %s\n", t / 1000.0,
                  kPages[current].name, hold, opening ? " while opening" : "", bound, fault.c_str());
      std::fflush(stdout);
    }
  });
  probe.start(10);

  QTimer fault_watch;
  QObject::connect(&fault_watch, &QTimer::timeout, [&] { fault = FirstLine(options.fault_file); });
  if (!options.fault_file.empty()) fault_watch.start(500);

  // Page switches through the menu bar: a different page every dwell, chosen at random.
  std::mt19937 random(options.seed);
  auto account_page = [&] {
    const double t = now_ms(), cpu = ProcessCpuSeconds();
    if (!page_settled) return;
    page_wall_s[current] += (t - page_since_ms) / 1000.0;
    page_cpu_s[current] += cpu - page_since_cpu;
    page_since_ms = t;
    page_since_cpu = cpu;
  };
  QTimer pager;
  QObject::connect(&pager, &QTimer::timeout, [&] {
    int next = current;
    if (options.page_report) {
      // The page figures: every page in turn for a whole dwell, each counted once it has settled.
      next = (current + 1) % static_cast<int>(kPages.size());
    } else {
      while (next == current) next = static_cast<int>(random() % kPages.size());
    }
    account_page();
    if (options.page_report) {
      page_settled = false;
      settle.start(kSettleMs);
    }
    switch_pending = true;
    switch_built = false;
    host.TriggerMenuCommand(kPages[next].command);
    previous = current;
    current = next;
    ++visits[next];
    // The command arrives as a posted event; this runs after it.
    QMetaObject::invokeMethod(
        &pager,
        [&, next] {
          switch_built = true;
          if (app.shared.ViewId != kPages[next].view) {
            ++failures;
            std::printf("FAIL %8.1f s: the %s page did not open (ViewId %d)\n", now_ms() / 1000.0,
                        kPages[next].name, app.shared.ViewId);
          }
          if (kPages[next].view != 3 || options.page_report) return;
          // On the Options page the fitter picks an LPG-off speed after a moment.
          QTimer::singleShot(options.dwell_ms / 3, &pager, [&] {
            if (app.shared.ViewId != 3) return;
            auto* page = dynamic_cast<korvel::QtWindow*>(app.main_window.state.page);
            auto* list = page != nullptr ? dynamic_cast<QComboBox*>(page->ControlWidget(kLpgOffList)) : nullptr;
            if (list == nullptr || list->count() < 2) return;
            const int pick = list->currentIndex() == list->count() - 1 ? list->count() - 2 : list->count() - 1;
            list->setCurrentIndex(pick);
            Q_EMIT list->activated(pick);
          });
        },
        Qt::QueuedConnection);
  });
  pager.start(options.dwell_ms);

  // Once a minute (and at the end): memory, CPU and the worst hold per page in that minute.
  std::vector<long> rss_by_minute;
  double minute_cpu = ProcessCpuSeconds(), minute_start = now_ms();
  std::printf("%-6s %9s %7s %9s", "minute", "RSS kB", "CPU %", "CPU wait");
  for (const auto& page : kPages) std::printf(" %8.8s", page.name);
  std::printf("  fault now (worst hold per page in ms, - not shown)\n");
  auto minute_line = [&] {
    const double t = now_ms(), cpu = ProcessCpuSeconds();
    const long rss = ResidentKb();
    rss_by_minute.push_back(rss);
    const double minute_s = (t - minute_start) / 1000.0;
    std::printf("%-6zu %9ld %7.2f %8.2f%%", rss_by_minute.size(), rss, (cpu - minute_cpu) / minute_s * 100,
                minute_cpu_wait / 10.0 / minute_s);
    minute_cpu_wait = 0;
    for (double& worst : minute_worst) {
      if (worst > 0) std::printf(" %8.0f", worst);
      else std::printf(" %8s", "-");
      worst = 0;
    }
    std::printf("  %s\n", fault.c_str());
    std::fflush(stdout);
    minute_cpu = cpu;
    minute_start = t;
  };
  QTimer minutes;
  QObject::connect(&minutes, &QTimer::timeout, minute_line);
  minutes.start(60000);

  QTimer::singleShot(options.seconds * 1000, [&] {
    minutes.stop();
    pager.stop();
    probe.stop();
    account_page();
    if (rss_by_minute.size() < static_cast<size_t>((options.seconds + 59) / 60)) minute_line();
    host.TriggerMenuCommand(40002);  // File, Exit
  });
  const int code = host.RunMessageLoop();

  std::printf("\n%-14s %7s %10s %10s  %s\n", "page", "visits", "worst tick", "bound", "fault at the worst tick");
  for (size_t i = 0; i < kPages.size(); ++i) {
    std::printf("%-14s %7d %7.0f ms %7d ms  %s\n", kPages[i].name, visits[i], worst_tick[i].ms,
                kPages[i].bound_ms + options.margin_ms, worst_tick[i].fault.c_str());
  }
  std::printf("%-14s %7s %10s  (the gap may hold a last tick of the page left)\n", "page opening", "", "worst");
  for (size_t i = 0; i < kPages.size(); ++i) std::printf("%-14s %7s %7.0f ms\n", kPages[i].name, "", worst_switch[i].ms);
  if (options.page_report) {
    std::printf("\nfirst live value drawn: %.0f ms after the program started\n", first_live_ms);
    std::printf("start-up-cpu-ms %.0f\n", first_live_cpu_s * 1000);
    for (size_t i = 0; i < kPages.size(); ++i)
      std::printf("page-cpu %s %.2f %% over %.1f s\n", kPages[i].name,
                  page_wall_s[i] > 0 ? page_cpu_s[i] / page_wall_s[i] * 100 : 0.0, page_wall_s[i]);
    std::printf("rss-kb %ld\n", ResidentKb());
  }
  // Memory: no growth of more than 2 MB after minute 5 (by then every page has been built many
  // times and the caches of fonts and bitmaps are full); shorter runs only report it.
  const size_t warm = 5;
  if (rss_by_minute.size() > warm) {
    const long base = rss_by_minute[warm - 1];
    const long peak = *std::max_element(rss_by_minute.begin() + static_cast<long>(warm), rss_by_minute.end());
    std::printf("RSS after minute %zu: %ld kB, highest later: %ld kB (growth %ld kB, limit 2048 kB)\n", warm, base,
                peak, peak - base);
    if (peak - base > 2048) {
      ++failures;
      std::printf("FAIL the resident memory grew by %ld kB after minute %zu\n", peak - base, warm);
    }
  }
  if (rss_by_minute.size() <= warm && !rss_by_minute.empty()) {
    std::printf("RSS: %ld kB after minute 1, %ld kB at the end (the 2 MB limit applies after minute 5)\n",
                rss_by_minute.front(), rss_by_minute.back());
  }
  if (code != 0) {
    ++failures;
    std::printf("FAIL the program ended with exit code %d\n", code);
  }
  std::printf("%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}

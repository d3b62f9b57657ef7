#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "files/configuration_file.hpp"
#include "files/drive_log.hpp"
#include "files/restore_points.hpp"
#include "files/parameter_meaning.hpp"
#include "korvelctl/arguments.hpp"
#include "korvelctl/korvelctl.hpp"
#include "link/controller_link.hpp"
#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "link/poll.hpp"
#include "link/port_finder.hpp"
#include "texts/language_table.hpp"
#include "texts/plain_file.hpp"

namespace korvel::ctl {

std::string FirmwareText(uint32_t variant, uint32_t firmware) {
  const float t = static_cast<float>(variant * 100 + firmware) / 100.0f;
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(t));
  return text;
}

namespace {

// One korvelctl run: the link on the environment's port and the parsed command line.
class Session {
 public:
  Session(Environment& env, const Arguments& arguments) : env_(env), args_(arguments), link_(env.port) {
    link_.SetPortName(args_.port.c_str());
  }
  ~Session() { link_.ClosePort(); }

  int Run() {
    // These two may not talk to the controller at all: ports asks every device itself, diff
    // reads its files before it connects (if it needs the controller).
    if (args_.command == Command::kPorts) return Ports();
    if (args_.command == Command::kDiff) return Diff();
    if (args_.command == Command::kRestorePoints) return RestorePoints();
    const int status = Connect();
    // Ctrl-C is how live is meant to end; any other command stopped now has sent nothing.
    if (StopRequested()) return args_.command == Command::kLive ? kExitOk : Interrupted("nothing was sent");
    if (status != kExitOk) return status;
    switch (args_.command) {
      case Command::kIdentity:
        return Identity();
      case Command::kSave:
        return Save();
      case Command::kLoad:
        return Load();
      case Command::kGet:
        return Get();
      case Command::kSet:
        return Set();
      case Command::kLive:
        return Live();
      case Command::kLearn:
        return Learn();
      case Command::kReset:
        return Reset();
      default:
        return kExitUsage;
    }
  }

 private:
  // Messages name files, devices and words read from files: whatever they hold, the terminal is
  // shown their control characters escaped, never sent them.
  __attribute__((format(printf, 2, 3))) void Error(const char* format, ...) {
    va_list values;
    va_start(values, format);
    va_list again;
    va_copy(again, values);
    const int length = std::vsnprintf(nullptr, 0, format, values);
    va_end(values);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.resize(static_cast<size_t>(std::max(length, 0)));
    std::fprintf(env_.err, "korvelctl: %s\n", PrintableText(text).c_str());
  }

  bool StopRequested() const { return env_.stop_requested != nullptr && *env_.stop_requested != 0; }

  int Interrupted(const char* what) {
    Error("interrupted; %s", what);
    return kExitInterrupted;
  }

  // Whether `path` is the file standard output goes to (save /dev/stdout), so that the note after
  // a save does not land inside the saved parameters.
  bool IsStandardOutput(const char* path) const {
#ifdef _WIN32
    (void)path;
    return false;
#else
    struct stat target {};
    struct stat out {};
    return ::stat(path, &target) == 0 && ::fstat(fileno(env_.out), &out) == 0 && target.st_dev == out.st_dev &&
           target.st_ino == out.st_ino;
#endif
  }

  std::string PortDescription() const {
    std::string text = args_.port;
    if (env_.describe_port) {
      const std::string device = env_.describe_port(args_.port.c_str());
      if (!device.empty() && device != args_.port) text += " (" + device + ")";
    }
    return text;
  }

  // Up to three identity polls, as the link tries before it declares the controller lost. A port
  // that cannot be opened is said so at once, with the system's reason: retrying cannot help, and
  // "no answer" would send the fitter looking at the car.
  int Connect() {
    for (int attempt = 0; attempt < 3 && !link_.Connected() && !StopRequested(); ++attempt) {
      if (link_.ReadIdentity() == ExchangeOutcome::kPortNotOpen) {
        Error("cannot open %s: %s%s", PortDescription().c_str(), link_.state.open_error, PermissionHint().c_str());
        return kExitCannotOpenPort;
      }
    }
    if (!link_.Connected()) {
      Error("no answer from the controller on %s", PortDescription().c_str());
      return kExitNoAnswer;
    }
    const uint32_t variant = link_.GetControllerVariant();
    if (variant != 2) {
      Error("the controller on %s is of variant %u; korvelctl works with variant 2 only",
            PortDescription().c_str(), static_cast<unsigned>(variant));
      return kExitWrongVariant;
    }
    return kExitOk;
  }

  // A serial device is usually open to one group only; "Permission denied" means the user is not
  // in it, which is what the fitter must fix.
  std::string PermissionHint() const {
#ifdef _WIN32
    return {};
#else
    if (std::strcmp(link_.state.open_error, std::strerror(EACCES)) != 0) return {};
    std::string group = "dialout";
    struct stat device {};
    const std::string path = env_.describe_port ? env_.describe_port(args_.port.c_str()) : args_.port;
    if (::stat(path.c_str(), &device) == 0) {
      if (const struct group* owner = ::getgrgid(device.st_gid); owner != nullptr) group = owner->gr_name;
    }
    return "; your user must be in the group that owns the device (" + group + "): sudo adduser $USER " +
           group + ", then log in again";
#endif
  }

  // Keeps the controller's parameters, read afresh, in a restore point before a load or a reset
  // changes them. A restore point that cannot be kept is said, and the command goes on.
  void KeepRestorePointBefore(RestoreReason reason) {
    if (env_.restore_point_folder.empty()) {
      if (!env_.restore_point_folder_error.empty()) {
        Error("no restore point was kept: %s", env_.restore_point_folder_error.c_str());
      }
      return;
    }
    if (!PollConfig() || !PollOptions() || !PollLiveData()) {
      Error("no restore point was kept: the controller's parameters could not be read");
      return;
    }
    ExpectedStrings strings;
    BuildExpectedStrings(strings);
    const RestorePointResult kept =
        KeepRestorePoint(env_.restore_point_folder, strings, link_, env_.clock.WallMs(), reason);
    if (!kept.ok) {
      Error("no restore point was kept: %s", kept.reason.c_str());
      return;
    }
    std::fprintf(env_.out, "restore point: %s\n", kept.path.c_str());
  }

  // The restore points, oldest first, with how many parameters of each differ from the
  // controller when one answers.
  int RestorePoints() {
    if (env_.restore_point_folder.empty()) {
      Error("no folder for restore points: %s", env_.restore_point_folder_error.empty()
                                                    ? "none is set"
                                                    : env_.restore_point_folder_error.c_str());
      return kExitFileError;
    }
    const std::vector<RestorePoint> points = ListRestorePoints(env_.restore_point_folder);
    if (points.empty()) {
      std::fprintf(env_.out, "no restore points in %s\n", env_.restore_point_folder.c_str());
      return kExitOk;
    }
    // Compared with the controller only when one answers; without one the list is still useful.
    const bool compared = Connect() == kExitOk && !StopRequested() && PollConfig() && PollOptions() && PollLiveData();
    if (!compared) std::fprintf(env_.err, "korvelctl: listed without comparing with the controller\n");
    ExpectedStrings strings;
    BuildExpectedStrings(strings);
    std::fprintf(env_.out, "%-24s  %-12s  %-7s  %s\n", "TIME (UTC)", "REASON", "DIFFER", "FILE");
    for (const RestorePoint& point : points) {
      std::string differ = "-";
      if (compared) {
        const LoadedConfiguration loaded = ReadConfigurationFile(strings, point.path.c_str());
        if (loaded.status == LoadStatus::kOk) {
          int count = 0;
          for (int i = 0; i < kParameterCount; ++i) count += loaded.values[i] != StoredParameterValue(link_, i) ? 1 : 0;
          differ = std::to_string(count);
        } else {
          differ = "unread";
        }
      }
      std::fprintf(env_.out, "%-24s  %-12s  %-7s  %s\n", point.time.c_str(), point.reason.c_str(), differ.c_str(),
                   point.path.c_str());
    }
    return kExitOk;
  }

  // Polls one record until a good reply is stored, three tries at most.
  bool PollRecord(ExchangeOutcome (ControllerLink::*poll)(), const char* what) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if ((link_.*poll)() == ExchangeOutcome::kGood) return true;
    }
    Error("no answer from the controller to the %s request", what);
    return false;
  }
  bool PollConfig() { return PollRecord(&ControllerLink::ReadConfig, "configuration"); }
  bool PollOptions() { return PollRecord(&ControllerLink::ReadOptions, "options"); }
  bool PollLiveData() { return PollRecord(&ControllerLink::ReadLiveData, "live-data"); }
  bool PollRecordOf(int parameter) {
    switch (ParameterMap[parameter].record) {
      case RecordKind::kConfig:
        return PollConfig();
      case RecordKind::kOptions:
        return PollOptions();
      case RecordKind::kLiveData:
        return PollLiveData();
    }
    return false;
  }

  int Identity() {
    std::fprintf(env_.out, "variant %u, firmware %s\n", static_cast<unsigned>(link_.state.variant),
                 FirmwareText(link_.state.variant, link_.state.firmware_version).c_str());
    return kExitOk;
  }

  int Save() {
    if (!PollConfig() || !PollOptions() || !PollLiveData()) return kExitNoAnswer;
    if (StopRequested()) return Interrupted("nothing was saved");
    ExpectedStrings strings;
    BuildExpectedStrings(strings);
    const bool to_standard_output = IsStandardOutput(args_.file.c_str());
    const Result result = SaveConfigurationFile(strings, link_, args_.file.c_str());
    if (!result.ok) {
      Error("%s", result.reason.c_str());
      return kExitFileError;
    }
    std::fprintf(to_standard_output ? env_.err : env_.out, "saved %d parameters to %s\n", kParameterCount,
                 PrintableText(args_.file).c_str());
    return kExitOk;
  }

  int Load() {
    ExpectedStrings strings;
    BuildExpectedStrings(strings);
    const LoadedConfiguration loaded = ReadConfigurationFile(strings, args_.file.c_str());
    if (loaded.status == LoadStatus::kCannotOpen) {
      Error("%s", loaded.reason.c_str());
      return kExitFileError;
    }
    if (loaded.status != LoadStatus::kOk) {
      Error("%s is not a configuration file of this controller: %s; nothing was sent", args_.file.c_str(),
            loaded.reason.c_str());
      return kExitMalformedFile;
    }
    KeepRestorePointBefore(RestoreReason::kBeforeLoad);
    // As WriteConfiguration, with a stop request honoured between two writes.
    for (int i = 0; i < kParameterCount; ++i) {
      if (StopRequested()) {
        const std::string what = std::to_string(i) + " parameters were written, the rest were not sent";
        return Interrupted(what.c_str());
      }
      if (link_.WriteParameter(ParameterMap[i].address, loaded.values[i]) != kWriteAcknowledged) {
        Error("the controller did not acknowledge %s (address %d); the %d parameters before it were written, "
              "the rest were not sent",
              ParameterMap[i].name, ParameterMap[i].address, i);
        return kExitNotAcknowledged;
      }
    }
    std::fprintf(env_.out, "loaded %d parameters from %s\n", kParameterCount, PrintableText(args_.file).c_str());
    return kExitOk;
  }

  int Get() {
    if (!PollRecordOf(args_.parameter)) return kExitNoAnswer;
    std::fprintf(env_.out, "%u\n", static_cast<unsigned>(StoredParameterValue(link_, args_.parameter)));
    return kExitOk;
  }

  int Set() {
    const ParameterInfo& p = ParameterMap[args_.parameter];
    if (link_.WriteParameter(p.address, args_.value) != kWriteAcknowledged) {
      Error("the controller did not acknowledge %s (address %d)", p.name, p.address);
      return kExitNotAcknowledged;
    }
    std::fprintf(env_.out, "%s= %u written\n", p.name, static_cast<unsigned>(args_.value));
    return kExitOk;
  }

  int Learn() {
    if (!PollLiveData()) return kExitNoAnswer;
    const uint8_t state = link_.LiveDataRecord[kStateFlags];
    if ((state & 0x01) == 0) {
      Error("the controller is running on petrol; learning starts only on LPG");
      return kExitNotOnLpg;
    }
    if ((state & 0x02) != 0) std::fprintf(env_.out, "a learning cycle is already running; sending the command again\n");
    if (link_.WriteParameter(CommandAddress, kLearnCommand) != kWriteAcknowledged) {
      Error("the controller did not acknowledge the learning command");
      return kExitNotAcknowledged;
    }
    std::fprintf(env_.out, "learning command sent; watch the progress with korvelctl live\n");
    return kExitOk;
  }

  // As the factory-reset page: the controller answers the command only after it has rewritten its
  // memory, so the acknowledgement is read 250 ms later; it confirmed when byte 1 repeats 51.
  int Reset() {
    KeepRestorePointBefore(RestoreReason::kBeforeReset);
    link_.WriteAcknowledgement[1] = 0;
    link_.state.WriteDelay = 250;
    link_.WriteParameter(CommandAddress, kFactoryResetCommand);
    link_.state.WriteDelay = 0;
    if (link_.WriteAcknowledgement[1] != kFactoryResetCommand) {
      Error("the controller did not confirm the factory reset");
      return kExitNotAcknowledged;
    }
    std::fprintf(env_.out, "factory settings restored: the controller confirmed\n");
    return kExitOk;
  }

  // The Readings page's tick: identity and live data every tick, configuration and options on every
  // fourth tick that reads live data. LambdaType (for the second input) is read once before the
  // first tick, so the first lines already show the second input the way the page will.
  int Live() {
    std::FILE* csv = nullptr;
    if (!args_.csv.empty()) {
      csv = std::fopen(args_.csv.c_str(), "w");
      if (csv == nullptr) {
        Error("cannot create %s: %s", args_.csv.c_str(), std::strerror(errno));
        return kExitFileError;
      }
      std::fprintf(csv, "%s\n", kDriveLogHeader);
      std::fflush(csv);
    }
    link_.ReadConfig();

    uint32_t config_poll_count = 0;
    int status = kExitOk;
    for (uint64_t tick = 0; args_.count == 0 || tick < args_.count; ++tick) {
      if (env_.stop_requested != nullptr && *env_.stop_requested != 0) break;
      const uint64_t started = env_.clock.SteadyMs();
      const int64_t wall = env_.clock.WallMs();

      // As the page, the records keep their last contents when a reply is missing; the line says
      // whether this tick brought fresh values.
      const bool answered = PollReadingsCadence(link_, config_poll_count).FreshLiveData();
      PrintTick(wall, answered, csv);
      if (csv != nullptr && std::ferror(csv)) {
        Error("cannot write %s", args_.csv.c_str());
        status = kExitFileError;
        break;
      }

      if (args_.count != 0 && tick + 1 >= args_.count) break;
      const uint32_t period = args_.period_ms != 0 ? args_.period_ms : link_.state.poll_period;
      const uint64_t elapsed = env_.clock.SteadyMs() - started;
      if (elapsed < period) {
        const auto wait = static_cast<uint32_t>(period - elapsed);
        if (env_.pause) {
          env_.pause(wait);
        } else {
          env_.port.Sleep(wait);
        }
      }
    }
    if (csv != nullptr && std::fclose(csv) != 0 && status == kExitOk) {
      Error("cannot write %s", args_.csv.c_str());
      status = kExitFileError;
    }
    return status;
  }

  // Lists the devices and what each answers; with --link, points ports/COMn at the one controller.
  int Ports() {
    if (!env_.list_devices || !env_.make_port) {
      Error("this build cannot search for serial devices");
      return kExitCannotOpenPort;
    }
    std::string why;
    if (!PortsFolderTrusted(env_.ports_folder, why)) {
      Error("%s: its COMn links are not used", PrintableText(why).c_str());
    }
    const std::vector<SerialDevice> devices = env_.list_devices(args_.builtin_ports);
    const std::vector<PortProbe> probes = ProbeDevices(devices);
    const std::vector<size_t> controllers = PrintDeviceTable(devices, probes);
    if (args_.link_port.empty()) return kExitOk;

    const std::string link = env_.ports_folder + "/" + args_.link_port;
    if (!why.empty()) {
      Error("%s is left as it was: %s", link.c_str(), PrintableText(why).c_str());
      return kExitFileError;
    }
    if (controllers.empty()) {
      Error("no device answers as a controller of variant 2; %s is left as it was", link.c_str());
      return kExitNoController;
    }
    if (controllers.size() > 1) {
      std::string which;
      for (size_t i : controllers) which += (which.empty() ? "" : ", ") + PrintableText(devices[i].path);
      Error("%u devices answer as a controller of variant 2 (%s); %s is left as it was: point it at the "
            "one meant with ln -sfn DEVICE %s",
            static_cast<unsigned>(controllers.size()), which.c_str(), link.c_str(), link.c_str());
      return kExitSeveralControllers;
    }
    const SerialDevice& found = devices[controllers[0]];
    // A /dev/serial/by-id name stays with the adapter when it is plugged into another socket.
    std::string target = found.path;
    for (const std::string& name : found.names) {
      if (name.find("/serial/by-id/") != std::string::npos) target = name;
    }
    std::string error;
    if (!PointLinkAt(link, target, error)) {
      Error("%s", PrintableText(error).c_str());
      return kExitFileError;
    }
    std::fprintf(env_.out, "%s -> %s\n", link.c_str(), PrintableText(target).c_str());
    return kExitOk;
  }

  // What each device answered, in the list's order. Only the devices that may be asked are probed;
  // the system console is listed, never written.
  std::vector<PortProbe> ProbeDevices(const std::vector<SerialDevice>& devices) {
    std::vector<std::string> paths;
    std::vector<size_t> asked;
    for (size_t i = 0; i < devices.size(); ++i) {
      if (!devices[i].not_probed.empty()) continue;
      paths.push_back(devices[i].path);
      asked.push_back(i);
    }
    const std::vector<PortProbe> answered = ProbePorts(paths, env_.make_port);
    std::vector<PortProbe> probes(devices.size());
    for (size_t k = 0; k < asked.size(); ++k) probes[asked[k]] = answered[k];
    return probes;
  }

  // Prints the devices as a table (device, answer, other names), the columns as wide as their
  // longest entry; returns the indexes of the devices that answered as a controller.
  std::vector<size_t> PrintDeviceTable(const std::vector<SerialDevice>& devices, const std::vector<PortProbe>& probes) {
    if (devices.empty()) std::fprintf(env_.out, "no serial devices found\n");
    int path_width = 6;
    int answer_width = 6;
    std::vector<std::string> answers;
    std::vector<std::string> shown_paths;
    for (size_t i = 0; i < devices.size(); ++i) {
      answers.push_back(PrintableText(devices[i].not_probed.empty() ? ProbeAnswerText(probes[i]) : devices[i].not_probed));
      shown_paths.push_back(PrintableText(devices[i].path));
      path_width = std::max(path_width, static_cast<int>(shown_paths[i].size()));
      answer_width = std::max(answer_width, static_cast<int>(answers[i].size()));
    }
    auto pad = [](const std::string& text, int width) {
      return text + std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(text.size()))), ' ');
    };
    if (!devices.empty()) {
      std::fprintf(env_.out, "%s  %s  NAMES\n", pad("DEVICE", path_width).c_str(), pad("ANSWER", answer_width).c_str());
    }
    std::vector<size_t> controllers;
    for (size_t i = 0; i < devices.size(); ++i) {
      std::string names;
      for (const std::string& name : devices[i].names) names += (names.empty() ? "" : ", ") + PrintableText(name);
      const std::string answer = names.empty() ? answers[i] : pad(answers[i], answer_width) + "  " + names;
      std::fprintf(env_.out, "%s  %s\n", pad(shown_paths[i], path_width).c_str(), answer.c_str());
      if (devices[i].not_probed.empty() && probes[i].answer == ProbeAnswer::kController) controllers.push_back(i);
    }
    std::fflush(env_.out);
    return controllers;
  }

  // Makes `link` a symlink to `target`: a new link beside it renamed over it, so the old link
  // stays whole until the new one is in place. Anything but a symlink there is left alone. The new
  // link gets a random name that symlink() refuses to reuse, so no file of the fitter's is ever
  // replaced or removed on the way.
  static bool PointLinkAt(const std::string& link, const std::string& target, std::string& error) {
#ifdef _WIN32
    (void)link;
    (void)target;
    error = "--link needs symbolic links; Windows opens COMn by its own name";
    return false;
#else
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path link_path(link);
    const fs::file_status status = fs::symlink_status(link_path, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
      error = link + " exists and is not a symlink; not replacing it";
      return false;
    }
    if (!link_path.parent_path().empty()) fs::create_directories(link_path.parent_path(), ec);
    std::random_device entropy;
    std::mt19937 random(entropy());
    fs::path temporary;
    ec = std::make_error_code(std::errc::file_exists);
    for (int attempt = 0; attempt < 100 && ec == std::errc::file_exists; ++attempt) {
      char name[32];
      std::snprintf(name, sizeof name, ".link-%08x", static_cast<unsigned>(random()));
      temporary = link_path.parent_path() / name;
      ec.clear();
      fs::create_symlink(target, temporary, ec);
    }
    if (ec) {
      error = "cannot point " + link + " at " + target + ": " + ec.message();
      return false;
    }
    fs::rename(temporary, link_path, ec);
    if (ec) {
      // Only the link made just now is removed.
      std::error_code ignored;
      fs::remove(temporary, ignored);
      error = "cannot point " + link + " at " + target + ": " + ec.message();
      return false;
    }
    return true;
#endif
  }

  // Reads one configuration file into `values`; kExitOk, or the status of the failure said.
  int ReadSet(const std::string& path, uint8_t (&values)[kParameterCount]) {
    ExpectedStrings strings;
    BuildExpectedStrings(strings);
    const LoadedConfiguration loaded = ReadConfigurationFile(strings, path.c_str());
    if (loaded.status == LoadStatus::kCannotOpen) {
      Error("%s", loaded.reason.c_str());
      return kExitFileError;
    }
    if (loaded.status != LoadStatus::kOk) {
      Error("%s is not a configuration file of this controller: %s", path.c_str(), loaded.reason.c_str());
      return kExitMalformedFile;
    }
    std::memcpy(values, loaded.values, sizeof values);
    return kExitOk;
  }

  // The parameters that differ between two sets, each with both raw values and their meaning.
  int Diff() {
    uint8_t first[kParameterCount] = {};
    uint8_t second[kParameterCount] = {};
    int status = ReadSet(args_.file, first);
    if (status != kExitOk) return status;
    std::string second_name = args_.other_file;
    if (!args_.other_file.empty()) {
      status = ReadSet(args_.other_file, second);
      if (status != kExitOk) return status;
    } else {
      // The 28 parameters as save reads them.
      status = Connect();
      if (StopRequested()) return Interrupted("nothing was compared");
      if (status != kExitOk) return status;
      if (!PollConfig() || !PollOptions() || !PollLiveData()) return kExitNoAnswer;
      for (int i = 0; i < kParameterCount; ++i) second[i] = StoredParameterValue(link_, i);
      second_name = "the controller on " + PortDescription();
    }

    LanguageTable english;
    bool have_texts = false;
    for (const std::string& folder : env_.language_folders) {
      if (LoadLanguageTexts(english, "ang", folder.c_str())) {
        have_texts = true;
        break;
      }
    }
    const ParameterSetContext first_context{first, have_texts ? &english : nullptr};
    const ParameterSetContext second_context{second, have_texts ? &english : nullptr};

    std::fprintf(env_.out, "A: %s\nB: %s\n", PrintableText(args_.file).c_str(), PrintableText(second_name).c_str());
    int differing = 0;
    for (int i = 0; i < kParameterCount; ++i) {
      if (first[i] == second[i]) continue;
      ++differing;
      const auto parameter = static_cast<Parameter>(i);
      char raw[16];
      std::snprintf(raw, sizeof raw, "%u -> %u", static_cast<unsigned>(first[i]), static_cast<unsigned>(second[i]));
      std::fprintf(env_.out, "%-14s %-11s %s -> %s\n", ParameterMap[i].name, raw,
                   DescribeParameterValue(parameter, first[i], first_context).c_str(),
                   DescribeParameterValue(parameter, second[i], second_context).c_str());
    }
    if (differing == 0) {
      std::fprintf(env_.out, "the %d parameters are equal\n", kParameterCount);
      return kExitOk;
    }
    std::fprintf(env_.out, "%d of %d parameters differ%s\n", differing, kParameterCount,
                 have_texts ? "" : " (no English language file found: list choices by number)");
    return kExitDifferent;
  }

  void PrintTick(int64_t wall, bool answered, std::FILE* csv) {
    const uint8_t(&live)[11] = link_.LiveDataRecord;
    const std::string time = IsoTimestamp(wall);
    const uint32_t rpm = LiveEngineSpeed(live);
    const VoltString lambda = VoltText(VoltsFromRaw(live[kLambdaProbe]));
    const AuxText aux = AuxInputText(live[kAuxInput], link_.ConfigRecord[2], live[kIndicatorFlags]);
    std::string second(aux.text, static_cast<size_t>(aux.count));
    if (!second.empty() && second[0] == ' ') second.erase(0, 1);
    int32_t temperature = TemperatureFromRaw(live[kTempRaw]);
    if (temperature > 100) temperature = 100;
    const uint8_t state = live[kStateFlags];
    const char* fuel = (state & 0x01) != 0 ? "LPG" : "petrol";

    std::string notes;
    if ((state & 0x02) != 0) notes += " learning";
    if ((state & 0x04) != 0) notes += " LPG-OFF";
    if ((state & 0x08) != 0) notes += " CUT-OFF";
    if (!answered) notes += " (no answer from the controller)";
    std::fprintf(env_.out,
                 "%s  %5u rpm  lambda %s V  input2 %-4s  Att %3u  AttInit %3u  %3d C  %-6s  state %02X ind %02X%s\n",
                 time.c_str(), static_cast<unsigned>(rpm), lambda.text, second.c_str(),
                 static_cast<unsigned>(live[kAtt]), static_cast<unsigned>(live[kAttInit]),
                 static_cast<int>(temperature), fuel, static_cast<unsigned>(state),
                 static_cast<unsigned>(live[kIndicatorFlags]), notes.c_str());
    std::fflush(env_.out);
    if (csv != nullptr) {
      std::fputs(DriveLogRow(link_, wall, answered).c_str(), csv);
      // Each row reaches the file at once: a log cut short by Ctrl-C or a crash keeps every tick.
      std::fflush(csv);
    }
  }

  Environment& env_;
  const Arguments& args_;
  ControllerLink link_;
};

}  // namespace

int RunKorvelctl(int argc, const char* const* argv, Environment& env) {
  Arguments arguments;
  std::string error;
  if (!ParseArguments(argc, argv, arguments, error)) {
    std::fprintf(env.err, "korvelctl: %s\nTry korvelctl --help.\n", PrintableText(error).c_str());
    return kExitUsage;
  }
  if (arguments.command == Command::kHelp) {
    std::fputs(HelpText(), env.out);
    return kExitOk;
  }
  Session session(env, arguments);
  return session.Run();
}

}  // namespace korvel::ctl

#include "sim/pty/pty_server.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"
#include "sim/pty/sim_options.hpp"

namespace korvel::sim {

namespace {

constexpr uint64_t kIdleWaitUs = 200000;    // longest wait when nothing is due
constexpr uint64_t kNoPeerWaitUs = 10000;   // re-check for a reopened port this often

uint64_t MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

bool MakeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool HungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

PtyServer::PtyServer(ControllerModel& model, std::FILE* out, std::FILE* info, bool log)
    : model_(model), out_(out), info_(info), log_(log), start_us_(MonotonicUs()) {}

PtyServer::~PtyServer() {
  RemoveLink();
  CloseDevice();
}

uint64_t PtyServer::NowUs() const { return MonotonicUs() - start_us_; }

bool PtyServer::Start(const std::string& link_path, std::string& error) {
  link_path_ = link_path;
  if (!link_path_.empty()) {
    // Refuse before creating anything when the link would overwrite a real file.
    struct stat st{};
    if (lstat(link_path_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
      error = link_path_ + " exists and is not a symlink; not replacing it";
      return false;
    }
  }
  if (!CreateDevice(error)) return false;
  if (!PointLink(error)) {
    CloseDevice();
    return false;
  }
  AnnounceDevice();
  return true;
}

bool PtyServer::CreateDevice(std::string& error) {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY);
  if (fd < 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = (grantpt(fd) == 0 && unlockpt(fd) == 0) ? ptsname(fd) : nullptr;
  if (name == nullptr) {
    error = std::string("cannot prepare the pseudo-terminal: ") + std::strerror(errno);
    close(fd);
    return false;
  }
  device_path_ = name;
  // The line is raw on the slave side (no echo, no line editing, no character translation) like
  // a serial port; the settings stay with the terminal while the master is open.
  const int slave = open(device_path_.c_str(), O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
      cfmakeraw(&tio);
      cfsetispeed(&tio, B9600);
      cfsetospeed(&tio, B9600);
      tio.c_cflag |= CLOCAL | CREAD;
      tcsetattr(slave, TCSANOW, &tio);
    }
    close(slave);
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  master_ = fd;
  peer_present_ = false;
  assembler_.Reset();
  outgoing_.clear();
  late_.clear();
  batch_until_us_ = 0;
  return true;
}

void PtyServer::AnnounceDevice() {
  // Printed once the link is in place, so whoever reads the line can use either name at once.
  std::fprintf(out_, "%s\n", device_path_.c_str());
  std::fflush(out_);
}

void PtyServer::CloseDevice() {
  if (master_ < 0) return;
  close(master_);
  master_ = -1;
  peer_present_ = false;
  outgoing_.clear();
  late_.clear();
  batch_until_us_ = 0;
  assembler_.Reset();
}

bool PtyServer::PointLink(std::string& error) {
  if (link_path_.empty()) return true;
  struct stat st{};
  if (lstat(link_path_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = link_path_ + " exists and is not a symlink; not replacing it";
    return false;
  }
  if (!MakeParents(link_path_)) {
    error = "cannot create the folders of " + link_path_ + ": " + std::strerror(errno);
    return false;
  }
  // A new link under a temporary name, renamed over the old one: never a moment without a link.
  const std::string temporary = link_path_ + ".new" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(device_path_.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link_path_.c_str()) != 0) {
    error = "cannot make the link " + link_path_ + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  std::fprintf(info_, "korvel-sim: %s -> %s\n", link_path_.c_str(), device_path_.c_str());
  std::fflush(info_);
  return true;
}

void PtyServer::RemoveLink() {
  if (link_path_.empty()) return;
  // Only our own link: someone may have pointed it elsewhere meanwhile.
  char target[512];
  const ssize_t n = readlink(link_path_.c_str(), target, sizeof target - 1);
  if (n < 0) return;
  target[n] = '\0';
  if (device_path_ == target) unlink(link_path_.c_str());
}

void PtyServer::Unplug() {
  if (master_ < 0) return;
  RemoveLink();
  CloseDevice();
  model_.Unplug();
  std::fprintf(info_, "korvel-sim: unplugged %s\n", device_path_.c_str());
  std::fflush(info_);
}

bool PtyServer::Replug(std::string& error) {
  if (master_ >= 0) {
    model_.Replug();
    return true;
  }
  if (!CreateDevice(error)) return false;
  model_.Replug();
  if (!PointLink(error)) return false;
  AnnounceDevice();
  return true;
}

void PtyServer::Log(uint64_t at_us, const char* direction, const uint8_t* bytes, int count, const char* note) {
  if (!log_) return;
  char line[64 + 3 * Reply::kCapacity + 80];
  int pos = std::snprintf(line, sizeof line, "%10.3f %s", static_cast<double>(at_us) / 1e6, direction);
  for (int i = 0; i < count && pos < static_cast<int>(sizeof line) - 4; ++i) {
    pos += std::snprintf(line + pos, sizeof line - static_cast<size_t>(pos), " %02X", bytes[i]);
  }
  if (note != nullptr && *note != '\0') std::snprintf(line + pos, sizeof line - static_cast<size_t>(pos), "  (%s)", note);
  std::fprintf(out_, "%s\n", line);
  std::fflush(out_);
}

void PtyServer::ReadMaster(uint64_t now_us) {
  uint8_t buffer[256];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return;  // EAGAIN: all read; EIO: the tool closed the port
    for (ssize_t i = 0; i < n; ++i) {
      // With wire timing each request byte takes its time on the line: the frame is complete only
      // when its last byte would have arrived.
      const uint64_t at = std::max(now_us, rx_wire_until_us_) + model_.wire.BytesUs(1);
      rx_wire_until_us_ = at;
      if (assembler_.Feed(buffer[i], at)) HandleFrame(assembler_.frame, at, now_us);
    }
  }
}

void PtyServer::SetReplay(const DriveReplay* replay) {
  replay_ = replay;
  replay_started_ = false;
  replay_finished_said_ = false;
}

void PtyServer::HandleFrame(const std::array<uint8_t, kFrameLength>& frame, uint64_t at_us, uint64_t now_us) {
  if (replay_ != nullptr) {
    // The drive starts with the first live-data request, so the tool's first tick shows the first
    // recorded tick whenever it connects.
    if (!replay_started_ && frame[1] == 2) {
      replay_started_ = true;
      replay_start_us_ = at_us;
    }
    const uint64_t elapsed_ms = replay_started_ ? (at_us - std::min(at_us, replay_start_us_)) / 1000 : 0;
    replay_->PinAt(model_, elapsed_ms);
    if (replay_->Finished(elapsed_ms) && !replay_finished_said_) {
      std::fprintf(info_, "korvel-sim: the recorded drive is over; its last values stay on the line\n");
      std::fflush(info_);
      replay_finished_said_ = true;
    }
  }
  const Reply reply = model_.Answer(frame, at_us);
  const char* note = "";
  if (reply.count == 0) {
    const bool checksum_ok = FrameChecksum(frame.data(), 3) == frame[3];
    const bool poll = frame[1] == frame[2] && frame[1] >= 1 && frame[1] <= 4;
    if (!checksum_ok) {
      note = "wrong checksum: no answer";
    } else if (model_.faults.silence) {
      note = "silence fault: no answer";
    } else if (poll || IsParameterAddress(frame[1]) || frame[1] == CommandAddress) {
      note = "acknowledgement fault: no answer";
    } else {
      note = "unknown request: no answer";
    }
  } else if (frame[1] == CommandAddress && frame[2] == kLearnCommand) {
    note = "learning command";
  } else if (frame[1] == CommandAddress && frame[2] == kFactoryResetCommand) {
    note = "factory settings restored";
  }
  Log(now_us, "rx", frame.data(), kFrameLength, note);
  if (reply.count == 0) return;
  const uint64_t first = at_us + reply.delay_us;
  if (reply.late) {
    const auto later = std::upper_bound(late_.begin(), late_.end(), first,
                                        [](uint64_t due, const Outgoing& o) { return due < o.first_us; });
    late_.insert(later, Outgoing{reply, first, 0});
    return;
  }
  // Late replies due before this one go out ahead of it, the last of them running straight into it.
  while (!late_.empty() && late_.front().first_us <= first) {
    Outgoing held = late_.front();
    late_.pop_front();
    if ((late_.empty() || late_.front().first_us > first) && model_.faults.late_reply_sums_right) {
      MakeStraySumRight(held.reply, reply);
    }
    Queue(held.reply, held.first_us);
  }
  Queue(reply, first);
}

void PtyServer::Queue(const Reply& reply, uint64_t first_us) {
  uint64_t first = first_us;
  if (!outgoing_.empty()) {
    const Outgoing& last = outgoing_.back();
    first = std::max(first, last.first_us + model_.wire.BytesUs(last.reply.count));
  }
  outgoing_.push_back({reply, first, 0});
}

void PtyServer::ReleaseLate(uint64_t until_us) {
  while (!late_.empty() && late_.front().first_us <= until_us) {
    // Sent while nobody has the port open: the bytes go nowhere.
    if (peer_present_) Queue(late_.front().reply, late_.front().first_us);
    late_.pop_front();
  }
}

uint64_t PtyServer::NextByteUs() const {
  const Outgoing& o = outgoing_.front();
  // Byte k is through the wire once its ten bits are: k + 1 byte times after the reply's start.
  return o.first_us + model_.wire.BytesUs(o.sent + 1);
}

uint64_t PtyServer::NextDueUs() const {
  uint64_t due = UINT64_MAX;
  if (!outgoing_.empty()) {
    due = batch_until_us_ != 0 ? batch_until_us_ : NextByteUs();
    // With an adapter latency the byte's arrival opens a batch, handed on later.
  }
  if (!late_.empty()) due = std::min(due, late_.front().first_us);
  return due;
}

bool PtyServer::Deliver(uint64_t until_us) {
  while (!outgoing_.empty() && master_ >= 0) {
    Outgoing& o = outgoing_.front();
    int due = o.sent;
    while (due < o.reply.count && o.first_us + model_.wire.BytesUs(due + 1) <= until_us) ++due;
    if (due > o.sent) {
      const ssize_t n = write(master_, o.reply.bytes.data() + o.sent, static_cast<size_t>(due - o.sent));
      if (n > 0) o.sent += static_cast<int>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        PeerGone();
        return false;
      }
    }
    if (o.sent < o.reply.count) return true;
    Log(NowUs(), "tx", o.reply.bytes.data(), o.reply.count, nullptr);
    outgoing_.pop_front();
  }
  return true;
}

void PtyServer::SendDue(uint64_t now_us) {
  ReleaseLate(now_us);
  const uint64_t latency = model_.wire.adapter_latency_us;
  if (latency == 0) {
    batch_until_us_ = 0;
    Deliver(now_us);
    return;
  }
  // A USB adapter holds what it receives and hands it on when its latency timer, started by the
  // first byte it holds, runs out.
  while (!outgoing_.empty() && master_ >= 0) {
    if (batch_until_us_ == 0) {
      const uint64_t first = NextByteUs();
      if (first > now_us) return;
      batch_until_us_ = first + latency;
    }
    if (batch_until_us_ > now_us) return;
    const uint64_t until = batch_until_us_;
    batch_until_us_ = 0;
    if (!Deliver(until)) return;
  }
}

void PtyServer::PeerGone() {
  // The tool closed the port: what was still on its way is lost with it.
  peer_present_ = false;
  outgoing_.clear();
  batch_until_us_ = 0;
  assembler_.Reset();
}

void PtyServer::HandleCommands(int& command_fd, bool& quit) {
  char buffer[512];
  const ssize_t n = read(command_fd, buffer, sizeof buffer);
  if (n <= 0) {
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    command_fd = -1;  // end of input (or a terminal we may not read): serve on without commands
    return;
  }
  command_buffer_.append(buffer, static_cast<size_t>(n));
  for (size_t end; (end = command_buffer_.find('\n')) != std::string::npos;) {
    std::string line = command_buffer_.substr(0, end);
    command_buffer_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int plug = 0;
    const std::string answer = RunSimCommand(line, model_, plug, quit);
    std::string error;
    if (plug < 0) Unplug();
    if (plug > 0 && !Replug(error)) std::fprintf(info_, "korvel-sim: %s\n", error.c_str());
    if (!answer.empty()) std::fprintf(info_, "korvel-sim: %s\n", answer.c_str());
    std::fflush(info_);
  }
}

void PtyServer::Run(volatile std::sig_atomic_t& stop, volatile std::sig_atomic_t* plug, int command_fd,
                    const sigset_t* wait_mask) {
  bool quit = false;
  while (stop == 0 && !quit) {
    if (plug != nullptr && *plug != 0) {
      const bool unplug = *plug < 0;
      *plug = 0;
      std::string error;
      if (unplug) {
        Unplug();
      } else if (!Replug(error)) {
        std::fprintf(info_, "korvel-sim: %s\n", error.c_str());
        std::fflush(info_);
      }
    }
    uint64_t now = NowUs();
    model_.AdvanceTo(now);
    SendDue(now);

    uint64_t wait = kIdleWaitUs;
    if (!outgoing_.empty() || !late_.empty()) {
      const uint64_t due = NextDueUs();
      wait = due > now ? std::min(wait, due - now) : 0;
    }
    pollfd fds[2];
    nfds_t count = 0;
    int master_slot = -1;
    int command_slot = -1;
    if (master_ >= 0 && peer_present_) {
      master_slot = static_cast<int>(count);
      fds[count++] = {master_, POLLIN, 0};
    } else {
      wait = std::min(wait, kNoPeerWaitUs);  // nobody on the port: look again shortly
    }
    if (command_fd >= 0) {
      command_slot = static_cast<int>(count);
      fds[count++] = {command_fd, POLLIN, 0};
    }
    const timespec timeout{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};
    const int ready = ppoll(fds, count, &timeout, wait_mask);
    if (ready < 0) continue;  // a signal: the loop condition decides
    now = NowUs();

    if (master_slot >= 0) {
      const short ev = fds[master_slot].revents;
      if ((ev & POLLIN) != 0) ReadMaster(now);
      if ((ev & (POLLHUP | POLLERR)) != 0) PeerGone();
    } else if (master_ >= 0 && !HungUp(master_)) {
      peer_present_ = true;  // the tool opened the port (again)
      rx_wire_until_us_ = 0;
    }
    if (command_slot >= 0 && fds[command_slot].revents != 0) HandleCommands(command_fd, quit);
  }
}

}  // namespace korvel::sim

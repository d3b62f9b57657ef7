// `korvelctl load` against arbitrary configuration files, with a controller of variant 2 that
// acknowledges every write and records it. A file the loader refuses must send nothing at all; a
// file it accepts must send its 28 values, each the low byte of its number, to addresses 5..29 and
// 31..33 in file order, and be accepted exactly when its header, keys and numbers are right.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "files/configuration_file.hpp"
#include "korvelctl/korvelctl.hpp"
#include "link/parameter_map.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

using korvel::fuzz::Check;

constexpr uint8_t kWriteAddresses[korvel::kParameterCount] = {5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                                              15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                                              25, 26, 27, 28, 29, 31, 32, 33};

std::array<uint8_t, 4> WithChecksum(uint8_t a, uint8_t b, uint8_t c) {
  return {a, b, c, static_cast<uint8_t>(a + b + c)};
}

// A variant-2 controller: answers identity, acknowledges every parameter write and records it.
class RecordingController : public korvel::SerialPort {
 public:
  std::vector<std::array<uint8_t, 2>> writes;  // address, value

  korvel::OpenResult Open(const char*) override {
    open_ = true;
    return {korvel::OpenStatus::kOpen, {}};
  }
  void Close() override {
    open_ = false;
    input_.clear();
  }
  void PurgeInput() override { input_.clear(); }
  void PurgeOutput() override {}
  int Write(const uint8_t* data, int count) override {
    if (!open_ || count != 4) return 0;
    const std::array<uint8_t, 4> frame{data[0], data[1], data[2], data[3]};
    if (frame == WithChecksum(0x65, 1, 1)) {
      const std::array<uint8_t, 4> identity = WithChecksum(0x65, 0x00, 0x25);  // variant 2, firmware 5
      input_.assign(identity.begin(), identity.end());
    } else if (frame[1] == frame[2] && frame[1] >= 2 && frame[1] <= 4) {
      korvel::fuzz::Fail("load polled a record");
    } else {
      Check(frame == WithChecksum(frame[0], frame[1], frame[2]) && frame[0] == 0x65, "bad write frame");
      writes.push_back({frame[1], frame[2]});
      input_ = {0x65, frame[1], frame[2]};
    }
    return count;
  }
  int Read(uint8_t* buffer, int count) override {
    int n = 0;
    for (; n < count && !input_.empty(); ++n) {
      buffer[n] = input_.front();
      input_.erase(input_.begin());
    }
    return n;
  }
  void Sleep(uint32_t) override {}

 private:
  bool open_ = false;
  std::vector<uint8_t> input_;
};

class StillClock : public korvel::ctl::CtlClock {
 public:
  int64_t WallMs() override { return 0; }
  uint64_t SteadyMs() override { return 0; }
};

// What the file says by the file rule: whitespace-separated tokens, the 31 expected strings in
// order, each key followed by a whole-token decimal number with an optional sign.
struct Verdict {
  bool acceptable = true;
  bool beyond_32_bits = false;  // some value does not fit 32 bits: only the send rules are checked
  uint8_t values[korvel::kParameterCount] = {};
};

Verdict ReadByTheRule(const uint8_t* data, size_t size) {
  korvel::ExpectedStrings expected;
  korvel::BuildExpectedStrings(expected);
  size_t at = 0;
  auto next = [&](std::string& token) {
    auto blank = [](uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (at < size && blank(data[at])) ++at;
    token.clear();
    while (at < size && !blank(data[at])) token += static_cast<char>(data[at++]);
    return !token.empty();
  };
  Verdict verdict;
  std::string token;
  for (int i = 0; i < 3; ++i) {
    if (!next(token) || token != expected.entries[i]) return verdict.acceptable = false, verdict;
  }
  for (int i = 0; i < korvel::kParameterCount; ++i) {
    if (!next(token) || token != expected.entries[3 + i] || !next(token)) return verdict.acceptable = false, verdict;
    // A number too long for any word of the file (more than 29 characters) is refused.
    size_t digit = token[0] == '+' || token[0] == '-' ? 1 : 0;
    if (token.size() > 29 || digit == token.size()) return verdict.acceptable = false, verdict;
    long double magnitude = 0;
    unsigned low = 0;
    for (size_t k = digit; k < token.size(); ++k) {
      if (token[k] < '0' || token[k] > '9') return verdict.acceptable = false, verdict;
      low = (low * 10 + static_cast<unsigned>(token[k] - '0')) & 0xFF;
      magnitude = magnitude * 10 + (token[k] - '0');
    }
    if (token[0] == '-') {
      low = (256 - low) & 0xFF;
      magnitude = -magnitude;
    }
    if (magnitude > 2147483647.0L || magnitude < -2147483648.0L) verdict.beyond_32_bits = true;
    verdict.values[i] = static_cast<uint8_t>(low);
  }
  return verdict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::FILE* const null_out = std::fopen("/dev/null", "w");
  const std::string path = korvel::fuzz::WriteScratchFile("car.kvs", data, size);

  RecordingController controller;
  StillClock clock;
  korvel::ctl::Environment env{controller, clock, null_out, null_out, nullptr, nullptr, nullptr};
  const char* argv[] = {"korvelctl", "load", path.c_str()};
  const int status = korvel::ctl::RunKorvelctl(3, argv, env);

  if (status != korvel::ctl::kExitOk) {
    Check(controller.writes.empty(), "a refused file sent a write");
    Check(status == korvel::ctl::kExitMalformedFile, "a file that opens was not loaded nor refused as malformed");
  } else {
    Check(controller.writes.size() == korvel::kParameterCount, "an accepted file did not send 28 writes");
  }

  const Verdict verdict = ReadByTheRule(data, size);
  if (!verdict.acceptable || !verdict.beyond_32_bits) {
    Check((status == korvel::ctl::kExitOk) == verdict.acceptable, "accepted or refused against the file rule");
  }
  if (status == korvel::ctl::kExitOk) {
    for (int i = 0; i < korvel::kParameterCount; ++i) {
      Check(controller.writes[i][0] == kWriteAddresses[i], "a value sent to the wrong address or out of order");
      Check(controller.writes[i][1] == verdict.values[i], "a value sent other than the low byte of its number");
    }
  }
  return 0;
}

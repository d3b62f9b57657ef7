#pragma once
#include <array>
#include <cstdint>

namespace korvel::sim {

// Collects the controller's incoming byte stream into 4-byte frames, the way its firmware does:
// a frame starts with the lead byte 0x65 (anything else in front of it is dropped), and a frame
// whose bytes stop coming for longer than `kFrameGapUs` is abandoned.
class FrameAssembler {
 public:
  static constexpr uint64_t kFrameGapUs = 100000;

  // Feeds one byte received at `now_us`; true when it completed a frame (then in `frame`).
  bool Feed(uint8_t byte, uint64_t now_us);
  void Reset() { count_ = 0; }

  std::array<uint8_t, 4> frame{};

 private:
  int count_ = 0;
  uint64_t last_us_ = 0;
};

}  // namespace korvel::sim

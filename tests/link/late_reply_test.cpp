// A controller that answers some requests of every kind late, long after the link gave up on them,
// so that the late bytes land between later exchanges or inside later replies; a late reply that
// runs straight into the next reply is even bent so that the bytes the next reader takes still sum
// right. Whatever the link then stores must be a whole reply the controller meant for a request of
// the record's own kind. (When a request's own reply is late too, a late reply of the same kind
// that comes alone in its place cannot be told from it on the line; it is whole and at most a few
// hundred milliseconds old, and is counted apart.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "link/clock.hpp"
#include "link/controller_link.hpp"
#include "sim/controller_model.hpp"
#include "sim/engine.hpp"
#include "sim/simulated_port.hpp"

namespace korvel {
namespace {

// The simulated line, noting for every frame the reply the controller built for it (late or not).
class RecordingPort : public SerialPort {
 public:
  RecordingPort(sim::SimulatedPort& inner, sim::ControllerModel& model) : inner_(inner), model_(model) {}

  OpenResult Open(const char* port_name) override { return inner_.Open(port_name); }
  void Close() override { inner_.Close(); }
  void PurgeInput() override { inner_.PurgeInput(); }
  void PurgeOutput() override { inner_.PurgeOutput(); }
  int Read(uint8_t* buffer, int count) override { return inner_.Read(buffer, count); }
  bool InputFollowsWithin(uint32_t ms) override { return inner_.InputFollowsWithin(ms); }
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }

  int Write(const uint8_t* data, int count) override {
    const int sent = inner_.Write(data, count);
    meant.clear();
    if (count != 4) return sent;
    const auto take = [this](const auto& reply) { meant.assign(reply.begin(), reply.end()); };
    switch (data[1] == data[2] ? data[1] : 0) {
      case 1: take(model_.IdentityReply()); break;
      case 2: take(model_.LiveDataReply()); break;
      case 3: take(model_.ConfigReply()); break;
      case 4: take(model_.OptionsReply()); break;
      default: meant = {kLeadByte, data[2], static_cast<uint8_t>(kLeadByte + data[2])}; break;
    }
    const int kind = data[1] == data[2] && data[1] >= 1 && data[1] <= 4 ? data[1] : 5;
    ever_meant[kind].insert(meant);
    return sent;
  }

  std::vector<uint8_t> meant;  // the reply meant for the last frame written
  // Every reply meant so far, by kind (1..4 the polls, 5 the acknowledgements).
  std::array<std::set<std::vector<uint8_t>>, 6> ever_meant;

 private:
  sim::SimulatedPort& inner_;
  sim::ControllerModel& model_;
};

struct Tally {
  int exchanges = 0;
  int good = 0;           // exchanges that brought their reply (a whole acknowledgement for a write)
  int wrong = 0;          // records holding bytes that no reply of their kind held
  int older = 0;          // records holding a whole reply meant for an earlier request of their kind
  std::vector<uint8_t> first_wrong;
};

// `record` after an exchange: unchanged, zeroed by a lost connection, the reply meant for this
// request, or (counted apart) one meant for an earlier request of the same kind. The first
// `checked` bytes are compared (an acknowledgement keeps its old bytes past the ones received).
void Judge(Tally& tally, const uint8_t* before, const uint8_t* record, size_t size, size_t checked,
           const std::vector<uint8_t>& meant, const std::set<std::vector<uint8_t>>& kind) {
  if (std::equal(record, record + size, before) || checked == 0) return;
  const bool zero = std::all_of(record, record + size, [](uint8_t b) { return b == 0; });
  if (zero || (meant.size() == size && std::equal(record, record + checked, meant.begin()))) return;
  const bool of_kind = std::any_of(kind.begin(), kind.end(), [&](const std::vector<uint8_t>& reply) {
    return reply.size() == size && std::equal(record, record + checked, reply.begin());
  });
  if (of_kind) {
    ++tally.older;
  } else if (tally.wrong++ == 0) {
    tally.first_wrong.assign(record, record + size);
  }
}

TEST(LateReplies, NoRecordEverHoldsAnotherRequestsBytes) {
  VirtualClock clock;
  sim::ControllerModel model;
  model.wire.enabled = true;
  model.faults.late_reply_fraction = 0.1;
  model.faults.late_reply_sums_right = true;
  sim::SimulatedPort line(model, clock);
  RecordingPort port(line, model);
  ControllerLink link(port);
  sim::Rng rng(7);

  Tally tally;
  const int kExchanges = 100000;
  for (int i = 0; i < kExchanges; ++i) {
    std::array<std::array<uint8_t, 16>, 5> before{};
    std::memcpy(before[0].data(), link.IdentityRecord, 4);
    std::memcpy(before[1].data(), link.LiveDataRecord, 11);
    std::memcpy(before[2].data(), link.ConfigRecord, 15);
    std::memcpy(before[3].data(), link.OptionsRecord, 16);
    std::memcpy(before[4].data(), link.WriteAcknowledgement, 3);
    const double pick = rng.Uniform();
    // Exchanges in the pages' proportions, and now and then a write of AttInit.
    int kind = pick < 0.35 ? 1 : pick < 0.65 ? 2 : pick < 0.78 ? 3 : pick < 0.9 ? 4 : 5;
    if (kind == 5 && link.GetControllerVariant() != 2) kind = 1;
    int acknowledged = 0;
    ExchangeOutcome outcome = ExchangeOutcome::kNoReply;
    switch (kind) {
      case 1: outcome = link.ReadIdentity(); break;
      case 2: outcome = link.ReadLiveData(); break;
      case 3: outcome = link.ReadConfig(); break;
      case 4: outcome = link.ReadOptions(); break;
      default: acknowledged = link.WriteParameter(18, static_cast<uint8_t>(120 + (i & 15))); break;
    }
    ++tally.exchanges;
    if (outcome == ExchangeOutcome::kGood || acknowledged == 3) ++tally.good;
    const std::vector<uint8_t> none;
    const auto& ever = port.ever_meant;
    Judge(tally, before[0].data(), link.IdentityRecord, 4, 4, kind == 1 ? port.meant : none, ever[1]);
    Judge(tally, before[1].data(), link.LiveDataRecord, 11, 11, kind == 2 ? port.meant : none, ever[2]);
    Judge(tally, before[2].data(), link.ConfigRecord, 15, 15, kind == 3 ? port.meant : none, ever[3]);
    Judge(tally, before[3].data(), link.OptionsRecord, 16, 16, kind == 4 ? port.meant : none, ever[4]);
    if (kind == 5) {
      Judge(tally, before[4].data(), link.WriteAcknowledgement, 3, static_cast<size_t>(std::max(acknowledged, 0)),
            port.meant, ever[5]);
    }
    clock.AdvanceUs(rng.Next() % 30000);
  }
  std::printf("late replies: %d exchanges, %d brought their reply, %d wrong records, %d older replies of the kind\n",
              tally.exchanges, tally.good, tally.wrong, tally.older);
  EXPECT_EQ(tally.wrong, 0) << "first wrong record starts " << std::hex << int(tally.first_wrong.empty() ? 0 : tally.first_wrong[0]);
  // The link must go on storing the replies that came whole and alone: rejecting every reply would
  // keep the records clean too.
  EXPECT_GT(tally.good, tally.exchanges * 3 / 5);
}

}  // namespace
}  // namespace korvel

#pragma once
// What every page test needs, fresh per test: the simulated controller on a virtual clock, the
// link, the headless window system, language slots that read "T<n>", the presentation state of
// one size class, the gauge tables and the context the page procedures take.
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "link/controller_link.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/page_context.hpp"
#include "pages/common/shared_state.hpp"
#include "pages/common/size_classes.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"
#include "tests/headless/headless_host.hpp"

namespace korvel::testing {

using headless::HeadlessHost;
using headless::HeadlessWindow;
using Write = std::pair<int, int>;  // address, value

struct PageWorld {
  explicit PageWorld(int size_class, Size desktop = {800, 600}, const sim::EngineSettings& engine = {})
      : model(engine), host(clock, desktop) {
    ApplyWholeSizeClass(shared, size_class);
    for (int slot = 0; slot < kLanguageSlots; ++slot) std::snprintf(texts.slots[slot], kSlotBytes, "T%d", slot);
    ArcScratch arc;
    BuildGaugeTables(gauges, arc);
  }

  // Makes the link look connected to a variant-2 controller without an exchange, for tests that
  // fill the records themselves.
  void FakeConnected(uint8_t identity_byte2 = 0x25) {
    link.state.not_connected = false;
    link.IdentityRecord[0] = kLeadByte;
    link.IdentityRecord[2] = identity_byte2;
  }

  // Request codes (1..4) and parameter writes (address, value) the controller received since the
  // last ClearFrames, in order.
  std::vector<int> Requests() const {
    std::vector<int> out;
    for (const auto& frame : port.frames) {
      if (frame[1] < 5) out.push_back(frame[1]);
    }
    return out;
  }
  std::vector<Write> Writes() const {
    std::vector<Write> writes;
    for (const auto& frame : port.frames) {
      if (frame[1] >= 5) writes.emplace_back(frame[1], frame[2]);
    }
    return writes;
  }

  // Design units of the current class to device pixels.
  int X(int x) const { return DesignX(shared, x); }
  int Y(int y) const { return DesignY(shared, y); }

  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port{model, clock};
  ControllerLink link{port};
  HeadlessHost host;
  LanguageTable texts;
  SharedState shared;
  GaugeTables gauges{};
  PageContext context{link, texts, shared, gauges, host};
};

}  // namespace korvel::testing

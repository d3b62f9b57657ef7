#pragma once
// What every page test needs, fresh per test: the simulated controller on a virtual clock, the
// link, the headless window system, language slots that read "T<n>", the presentation state of
// one size class as the main window leaves it, the gauge tables and the context the page
// procedures take; and the page window under test once a test opens one.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "link/controller_link.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/page_context.hpp"
#include "pages/common/page_procedure.hpp"
#include "pages/common/shared_state.hpp"
#include "pages/common/size_classes.hpp"
#include "sim/controller_model.hpp"
#include "sim/simulated_port.hpp"
#include "tests/headless/headless_host.hpp"

namespace korvel::testing {

using headless::DrawKind;
using headless::DrawOp;
using headless::HeadlessHost;
using headless::HeadlessWindow;
using Write = std::pair<int, int>;  // address, value

// What the language table shows for a text slot: "T<n>".
inline std::string T(int slot) { return "T" + std::to_string(slot); }

// A rectangle as {x, y, width, height}, so that two of them compare in one expectation.
template <class Rect>
std::array<int, 4> Box(const Rect& r) {
  return {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.width), static_cast<int>(r.height)};
}

struct PageWorld {
  // `line` replaces the simulated controller's port under the link (a scripted or watched line);
  // the simulated port and its model stay in the world all the same.
  explicit PageWorld(int size_class, Size desktop = {800, 600}, const sim::EngineSettings& engine = {},
                     SerialPort* line = nullptr)
      : model(engine), link(line != nullptr ? *line : port), host(clock, desktop) {
    ApplyWholeSizeClass(shared, size_class);
    shared.screen_width = desktop.width;
    shared.screen_height = desktop.height;
    for (int slot = 0; slot < kLanguageSlots; ++slot) std::snprintf(texts.slots[slot], kSlotBytes, "T%d", slot);
    ArcScratch arc;
    BuildGaugeTables(gauges, arc);
  }

  // Creates `page` from `template_id` (by default its template for the size class) as the main
  // window does, in place of the page opened before, and builds it when `build`.
  HeadlessWindow& Open(PageProcedure& page, int template_id = 0, bool build = true) {
    if (window != nullptr) host.DestroyPage(window);
    window = static_cast<HeadlessWindow*>(
        host.CreatePage(template_id != 0 ? template_id : page.TemplateFor(shared.SizeClass), page));
    procedure = &page;
    if (build) page.Build(*window);
    return *window;
  }
  // Poll-timer ticks delivered straight to the open page.
  void Tick(int count = 1, int timer_id = 1) {
    for (int i = 0; i < count; ++i) procedure->OnTimer(*window, timer_id);
  }
  // One tick that brings the controller's records onto the page; the frames start afresh.
  void Connect() {
    Tick();
    ASSERT_TRUE(link.Connected());
    port.ClearFrames();
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

  // The last text drawn on the open page at the design position, or nullptr.
  const DrawOp* LastTextAt(int x, int y) const {
    const DrawOp* found = nullptr;
    for (const DrawOp& op : window->ops) {
      if (op.kind == DrawKind::kText && op.left == X(x) && op.top == Y(y)) found = &op;
    }
    return found;
  }

  // Design units of the current class to device pixels.
  int X(int x) const { return DesignX(shared, x); }
  int Y(int y) const { return DesignY(shared, y); }

  VirtualClock clock;
  sim::ControllerModel model;
  sim::SimulatedPort port{model, clock};
  ControllerLink link;
  HeadlessHost host;
  LanguageTable texts;
  SharedState shared;
  GaugeTables gauges{};
  PageContext context{link, texts, shared, gauges, host};
  HeadlessWindow* window = nullptr;   // the page opened last
  PageProcedure* procedure = nullptr;  // its procedure
};

}  // namespace korvel::testing

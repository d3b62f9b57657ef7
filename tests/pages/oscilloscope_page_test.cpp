// The Oscilloscope page against the simulated controller on the headless window system: the device
// pixels a sweeping tick and a wrap draw in three size classes, the frozen cursor, and the page
// with no controller.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "pages/oscilloscope/oscilloscope_controls.hpp"
#include "pages/oscilloscope/oscilloscope_page.hpp"
#include "tests/pages/page_world.hpp"
#include "texts/text_slots.hpp"

namespace korvel {
namespace {

using headless::DrawKind;
using headless::DrawOp;
using headless::HeadlessWindow;
using testing::T;

struct ScopeWorld : testing::PageWorld {
  explicit ScopeWorld(int size_class) : PageWorld(size_class, {1280, 1024}) {
    model.SetParameter(AddressOf(Parameter::LambdaType), 0x00);  // 0..1 V probe, mode 0
    Open(page);
  }
  // Pins the live values the traces and read-outs are drawn from.
  void Hold(uint8_t probe, uint8_t att, uint8_t att_init, uint16_t period, uint8_t aux) {
    model.OverrideLive(kLambdaProbe, probe);
    model.OverrideLive(kAtt, att);
    model.OverrideLive(kAttInit, att_init);
    model.OverrideLive(kPeriodLo, static_cast<uint8_t>(period & 0xFF));
    model.OverrideLive(kPeriodHi, static_cast<uint8_t>(period >> 8));
    model.OverrideLive(kAuxInput, aux);
  }
  // The drawing of the last tick in the band of pane 1 (rectangles) and the trace segments, one
  // line each: "R left right pen" or "L x1,y1 x2,y2 pen".
  std::vector<std::string> Pane1AndSegments() const {
    std::vector<std::string> out;
    char line[96];
    for (const DrawOp& op : window->ops) {
      if (op.kind == DrawKind::kRectangle && op.top == Y(43)) {
        std::snprintf(line, sizeof line, "R %d %d %s", op.left, op.right, DescribePen(op.pen).name);
      } else if (op.kind == DrawKind::kPolyline && op.points.size() == 2) {
        std::snprintf(line, sizeof line, "L %d,%d %d,%d %s", op.points[0].x, op.points[0].y, op.points[1].x,
                      op.points[1].y, DescribePen(op.pen).name);
      } else {
        continue;
      }
      out.emplace_back(line);
    }
    return out;
  }
  // The characters of the last text drawn at a design position.
  std::string TextAt(int x, int y) const {
    const DrawOp* found = LastTextAt(x, y);
    return found ? found->text.substr(0, static_cast<size_t>(found->count)) : "(none)";
  }

  ScopeState state;
  OscilloscopePage page{context, state};
};

using Lines = std::vector<std::string>;

// Device pixels of one class: band-1 columns and the trace ys for the held values.
struct ClassPixels {
  int size_class;
  Lines tick_204;  // a sweeping tick in mid-sweep
  Lines tick_596;  // the last sample and the wrap
  Lines tick_202;  // the jump line from the right edge into the start strip
  Lines tick_203;  // a flat start at the new sample's height
};

TEST(OscilloscopePage, SweepingTickAndWrapDrawExactPixels) {
  // Held values: probe 40 (height 60), Att 90 (30), AttInit 120 (40), 5000 rpm (50), aux 62 (20);
  // pane-1 rows and trace ys: A at 70, B 210, C 200, D 300, E 440; after the wrap probe 10 (115),
  // then 20 (100).
  const ClassPixels classes[] = {
      {1,
       {"R 159 163 PenWhite1", "R 164 165 PenRed1", "R 164 164 PenWhite1", "L 162,53 163,53 PenOlive2",
        "L 162,161 163,161 PenLime2", "L 162,154 163,154 PenGreen1", "L 162,231 163,231 PenBlue2",
        "L 162,338 163,338 PenNavy2"},
       {"R 159 163 PenWhite1", "R 478 479 PenRed1", "R 477 478 PenWhite1", "L 476,53 476,53 PenOlive2",
        "L 476,161 476,161 PenLime2", "L 476,154 476,154 PenGreen1", "L 476,231 476,231 PenBlue2",
        "L 476,338 476,338 PenNavy2", "R 478 479 PenWhite1", "R 160 162 PenWhite1"},
       {"R 163 164 PenRed1", "R 162 163 PenWhite1", "L 160,53 161,88 PenOlive2", "L 160,161 161,161 PenLime2",
        "L 160,154 161,154 PenGreen1", "L 160,231 161,231 PenBlue2", "L 160,338 161,338 PenNavy2"},
       {"R 164 165 PenRed1", "R 163 164 PenWhite1", "L 161,77 162,77 PenOlive2", "L 161,161 162,161 PenLime2",
        "L 161,154 162,154 PenGreen1", "L 161,231 162,231 PenBlue2", "L 161,338 162,338 PenNavy2"}},
      {2,
       {"R 199 204 PenWhite1", "R 206 207 PenRed1", "R 204 206 PenWhite1", "L 203,70 204,70 PenOlive2",
        "L 203,210 204,210 PenLime2", "L 203,200 204,200 PenGreen1", "L 203,300 204,300 PenBlue2",
        "L 203,440 204,440 PenNavy2"},
       {"R 199 204 PenWhite1", "R 598 599 PenRed1", "R 596 598 PenWhite1", "L 595,70 596,70 PenOlive2",
        "L 595,210 596,210 PenLime2", "L 595,200 596,200 PenGreen1", "L 595,300 596,300 PenBlue2",
        "L 595,440 596,440 PenNavy2", "R 598 599 PenWhite1", "R 199 203 PenWhite1"},
       {"R 204 205 PenRed1", "R 202 204 PenWhite1", "L 201,70 202,115 PenOlive2", "L 201,210 202,210 PenLime2",
        "L 201,200 202,200 PenGreen1", "L 201,300 202,300 PenBlue2", "L 201,440 202,440 PenNavy2"},
       {"R 205 206 PenRed1", "R 203 205 PenWhite1", "L 202,100 203,100 PenOlive2", "L 202,210 203,210 PenLime2",
        "L 202,200 203,200 PenGreen1", "L 202,300 203,300 PenBlue2", "L 202,440 203,440 PenNavy2"}},
      {5,
       {"R 318 326 PenWhite1", "R 329 330 PenRed1", "R 326 329 PenWhite1", "L 324,126 326,126 PenOlive2",
        "L 324,380 326,380 PenLime2", "L 324,362 326,362 PenGreen1", "L 324,543 326,543 PenBlue2",
        "L 324,796 326,796 PenNavy2"},
       {"R 318 326 PenWhite1", "R 956 957 PenRed1", "R 953 956 PenWhite1", "L 952,126 953,126 PenOlive2",
        "L 952,380 953,380 PenLime2", "L 952,362 953,362 PenGreen1", "L 952,543 953,543 PenBlue2",
        "L 952,796 953,796 PenNavy2", "R 956 958 PenWhite1", "R 318 324 PenWhite1"},
       {"R 326 327 PenRed1", "R 323 326 PenWhite1", "L 321,126 323,208 PenOlive2", "L 321,380 323,380 PenLime2",
        "L 321,362 323,362 PenGreen1", "L 321,543 323,543 PenBlue2", "L 321,796 323,796 PenNavy2"},
       {"R 328 329 PenRed1", "R 324 328 PenWhite1", "L 323,181 324,181 PenOlive2", "L 323,380 324,380 PenLime2",
        "L 323,362 324,362 PenGreen1", "L 323,543 324,543 PenBlue2", "L 323,796 324,796 PenNavy2"}},
  };
  for (const ClassPixels& expected : classes) {
    SCOPED_TRACE("size class " + std::to_string(expected.size_class));
    ScopeWorld w(expected.size_class);
    w.Hold(40, 90, 120, 3000, 62);
    w.Tick(2);  // 203 flat, then 204
    ASSERT_EQ(w.state.SweepPosition, 204u);
    w.window->ClearOps();
    w.state.SweepPosition = 203;
    w.Tick();
    EXPECT_EQ(w.Pane1AndSegments(), expected.tick_204);
    // The beam covers the band of every pane.
    std::vector<std::pair<int, int>> beam_rows;
    for (const DrawOp& op : w.window->ops) {
      if (op.kind == DrawKind::kRectangle && op.pen == Pen::PenRed1) beam_rows.emplace_back(op.top, op.bottom);
    }
    const std::vector<std::pair<int, int>> bands = {{43, 138}, {153, 248}, {263, 358}, {373, 468}};
    ASSERT_EQ(beam_rows.size(), bands.size());
    for (size_t i = 0; i < bands.size(); ++i) {
      EXPECT_EQ(beam_rows[i], std::make_pair(w.Y(bands[i].first), w.Y(bands[i].second)));
    }
    // The sample is kept for the cursor and the point for a repaint; the Readings dial follows.
    EXPECT_EQ(w.state.SampleHistory[4].lambda_raw, 40u);
    EXPECT_EQ(w.state.SampleHistory[4].engine_speed, 5000u);
    EXPECT_EQ(w.state.TraceRedrawPoints[kTraceA][5].y, w.Y(70));
    EXPECT_EQ(w.shared.CurrentEngineSpeed, 5000u);
    EXPECT_EQ(w.TextAt(630, 70), "0.78");
    EXPECT_EQ(w.TextAt(630, 180), "090");
    EXPECT_EQ(w.TextAt(630, 290), "5000");
    EXPECT_EQ(w.TextAt(630, 400), "1.21");
    EXPECT_EQ(w.TextAt(700, 400), "V");  // a volt reading of the second input has its unit
    // The state box: black outline, lime for petrol.
    const DrawOp* state_box = nullptr;
    for (const DrawOp& op : w.window->ops) {
      if (op.kind == DrawKind::kRectangle && op.left == w.X(630) && op.top == w.Y(465)) state_box = &op;
    }
    ASSERT_NE(state_box, nullptr);
    EXPECT_EQ(state_box->pen, Pen::PenBlack1);
    EXPECT_EQ(state_box->brush, Brush::BrushLime);
    EXPECT_EQ(state_box->right, w.X(755));
    EXPECT_EQ(state_box->bottom, w.Y(505));
    ASSERT_NE(w.LastTextAt(655, 475), nullptr);
    EXPECT_EQ(w.LastTextAt(655, 475)->background, kLime);

    w.state.SweepPosition = 594;
    w.Tick();
    EXPECT_EQ(w.state.SweepPosition, 595u);  // the last sample but one does not wrap
    w.window->ClearOps();
    w.Tick();
    EXPECT_EQ(w.Pane1AndSegments(), expected.tick_596);
    EXPECT_EQ(w.state.SweepPosition, 201u);
    EXPECT_EQ(w.state.SampleHistory[396].att_raw, 90u);

    for (const auto& [probe, tick] : {std::make_pair(10, &expected.tick_202), std::make_pair(20, &expected.tick_203)}) {
      w.Hold(static_cast<uint8_t>(probe), 90, 120, 3000, 62);
      w.window->ClearOps();
      w.Tick();
      EXPECT_EQ(w.Pane1AndSegments(), *tick);
    }
    // From 204 on the start strip is cleared again on every tick.
    w.window->ClearOps();
    w.Tick();
    ASSERT_FALSE(w.Pane1AndSegments().empty());
    EXPECT_EQ(w.Pane1AndSegments().front(), expected.tick_204.front());
    EXPECT_LE(w.window->max_contexts_held, 2);
  }
}

TEST(OscilloscopePage, LegendsNameTheProbeRangeTheModeAndTheTraces) {
  // The range and mode legends follow the configuration read as the legends are drawn.
  struct Legend {
    uint8_t lambda_type;
    const char* range;
    int mode;
  };
  const Legend legends[] = {
      {0x00, "0 - 1 V       ", lang::kSecondInputMode0}, {0x11, "0 - 5 V  '-'  ", lang::kSecondInputMode1},
      {0x22, "0 - 5 V  '+'  ", lang::kSecondInputMode2}, {0x35, "5 - 0 V  '-'  ", lang::kSecondInputMode2},
      {0x46, "5 - 0 V  '+'  ", lang::kSecondInputMode6}, {0x57, "0,8 - 1,6 V   ", lang::kSecondInputMode7},
      {0x68, "(none)", lang::kSecondInputMode8},         {0xFF, "(none)", lang::kSecondInputMode8},
  };
  ScopeWorld w(2);
  for (const Legend& l : legends) {
    SCOPED_TRACE(int(l.lambda_type));
    w.model.SetParameter(AddressOf(Parameter::LambdaType), l.lambda_type);
    w.Open(w.page);
    EXPECT_EQ(w.TextAt(50, 90), l.range);
    EXPECT_EQ(w.TextAt(50, 420), T(l.mode));
    ASSERT_NE(w.LastTextAt(50, 420), nullptr);
    EXPECT_EQ(w.LastTextAt(50, 420)->text_colour, kBlack);
  }
  // The fixed legends: language slot or text, place, colour and font.
  struct Fixed {
    int x, y;
    std::string text;
    Rgb colour;
    bool value_font;
  };
  const Fixed fixed[] = {
      {50, 60, T(lang::kScopeLambdaCaption), {128, 128, 0}, false},
      {50, 190, T(lang::kScopeAttScale), kBlack, false},
      {50, 320, T(lang::kScopeSpeedScale), kBlack, false},
      {700, 70, T(lang::kScopeLambdaUnit), kBlack, true},
      {710, 190, T(lang::kScopeAttUnit), kBlack, false},
      {710, 300, T(lang::kScopeSpeedUnit), kBlack, false},
      {50, 170, T(lang::kScopeAttCaption), {0, 255, 0}, false},
      {50, 210, T(lang::kScopeAttInitCaption), {0, 128, 0}, false},
      {50, 300, T(lang::kScopeSpeedCaption), {0, 0, 255}, false},
      {50, 400, T(lang::kScopeSecondInputCaption), {0, 0, 128}, false},
      {130, 490, T(lang::kScopeTimeAxis), kBlack, false},
      {196, 490, "00", kBlack, false}, {242, 490, "02", kBlack, false}, {564, 490, "16", kBlack, false},
      {203, 470, ".", kBlack, false},  {571, 470, ".", kBlack, false},
  };
  for (const Fixed& f : fixed) {
    SCOPED_TRACE(::testing::Message() << f.text << " at " << f.x << "," << f.y);
    const DrawOp* op = w.LastTextAt(f.x, f.y);
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->text.substr(0, static_cast<size_t>(op->count)), f.text);
    EXPECT_EQ(op->text_colour, f.colour);
    EXPECT_EQ(op->font, f.value_font ? w.shared.ValueFont : w.shared.LabelFont);
  }
  EXPECT_EQ(w.window->Text(kValueCursorCheck), T(lang::kValueCursorCheck));
  int ticks = 0;  // 0..16 s: nine ticks, none past the panes
  for (const DrawOp& op : w.window->ops) ticks += op.kind == DrawKind::kText && op.text == "." ? 1 : 0;
  EXPECT_EQ(ticks, 9);
}

TEST(OscilloscopePage, PaintPlacesTheCursorControlsForTheSizeClassAndTheBarSpansTheHistory) {
  struct Place {
    int size_class;
    std::array<int, 4> bar;
    std::array<int, 4> check;  // all zero: left where the template puts it
  };
  const Place places[] = {
      {1, {137, 0, 364, 20}, {490, 20, 550, 40}},   {2, {180, 0, 440, 25}, {}},
      {3, {235, 0, 548, 30}, {800, 0, 900, 25}},    {4, {300, 10, 677, 40}, {1000, 0, 1100, 45}},
      {5, {300, 15, 677, 45}, {1000, 0, 1100, 50}},
  };
  auto rect_of = [](const HeadlessWindow& window, int id) { return testing::Box(window.Control(id)->rect); };
  for (const Place& p : places) {
    SCOPED_TRACE("size class " + std::to_string(p.size_class));
    ScopeWorld w(p.size_class);
    const std::array<int, 4> template_check = rect_of(*w.window, kValueCursorCheck);
    w.window->ClearOps();
    w.window->Paint();
    EXPECT_EQ(rect_of(*w.window, kCursorScrollBar), p.bar);
    // The paint clears the four panes white, then redraws each of the five traces as one line over
    // the sweep, 204..596.
    std::vector<std::vector<int>> panes;
    for (const DrawOp& op : w.window->ops) {
      if (op.kind == DrawKind::kPolyline) break;
      if (op.kind == DrawKind::kRectangle && op.brush == Brush::BrushWhite) panes.push_back({op.left, op.top, op.right, op.bottom});
    }
    std::vector<std::vector<int>> expected_panes;
    for (int top : {40, 150, 260, 370}) {
      expected_panes.push_back({w.X(198), w.Y(top), w.X(600), w.Y(top + 100)});
    }
    EXPECT_EQ(panes, expected_panes);
    int lines = 0;
    for (const DrawOp& op : w.window->ops) {
      if (op.kind != DrawKind::kPolyline || op.points.size() <= 3) continue;
      ++lines;
      EXPECT_EQ(op.points.size(), 396u);
      EXPECT_EQ(op.points.front().x, w.X(204));
      EXPECT_EQ(op.points.back().x, w.X(596));
    }
    EXPECT_EQ(lines, 5);
    EXPECT_EQ(rect_of(*w.window, kValueCursorCheck), (p.check == std::array<int, 4>{} ? template_check : p.check));
    // The bar's range is the cursor's: history slots 2..395.
    EXPECT_EQ(w.window->Control(kCursorScrollBar)->scroll_min, 2);
    EXPECT_EQ(w.window->Control(kCursorScrollBar)->scroll_max, 395);
  }
}

TEST(OscilloscopePage, CursorModeFreezesTheSweepAndSendsNothing) {
  ScopeWorld w(2);
  w.Hold(40, 90, 120, 3000, 62);
  w.Tick(10);  // samples at 203..212, slots 3..12
  w.Hold(0, 33, 0, 0xFF00, 0);
  w.Tick(2);   // slots 13, 14 hold Att 33 and no speed
  ASSERT_TRUE(w.window->UserClick(kValueCursorCheck));
  EXPECT_TRUE(w.window->IsVisible(kCursorScrollBar));
  w.port.ClearFrames();
  ASSERT_TRUE(w.window->UserScroll(kCursorScrollBar, kScrollThumbTrack, 13));
  w.window->ClearOps();
  w.Tick(3);
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_EQ(w.state.SweepPosition, 214u);
  EXPECT_EQ(w.TextAt(630, 180), "033");
  EXPECT_EQ(w.TextAt(630, 290), "0000");
  EXPECT_EQ(w.shared.CurrentEngineSpeed, 0u);

  // Moving the line one slot left erases the old line, puts back the traces under it and reads
  // the earlier sample.
  ASSERT_TRUE(w.window->UserScroll(kCursorScrollBar, kScrollLineUp));
  w.window->ClearOps();
  w.Tick();
  const Lines band1 = w.Pane1AndSegments();
  EXPECT_EQ(band1, (Lines{"R 213 214 DefaultPen", "R 214 215 PenWhite1", "R 216 217 PenRed1"}));
  int restored = 0;
  for (const DrawOp& op : w.window->ops) {
    if (op.kind == DrawKind::kPolyline && op.points.size() == 3 && op.points[0].x == 213) ++restored;
  }
  EXPECT_EQ(restored, 5);
  EXPECT_EQ(w.TextAt(630, 180), "090");
  EXPECT_EQ(w.TextAt(630, 290), "5000");
  EXPECT_TRUE(w.port.frames.empty());

  // A sample of an ON/OFF mode: the cursor clears the fourth character in its own narrower box.
  w.state.SampleHistory[12].lambda_type = 0x06;
  w.window->ClearOps();
  w.Tick();
  bool erased = false;
  for (const DrawOp& op : w.window->ops) {
    erased |= op.kind == DrawKind::kRectangle && op.brush == Brush::BrushWhite && op.left == 686 && op.top == 400 &&
              op.right == 695 && op.bottom == 436;
  }
  EXPECT_TRUE(erased);

  // Reopened in cursor mode: frozen over an empty history.
  w.Open(w.page);
  EXPECT_TRUE(w.window->Control(kValueCursorCheck)->checked);
  EXPECT_TRUE(w.window->IsVisible(kCursorScrollBar));
  w.port.ClearFrames();
  w.Tick();
  EXPECT_TRUE(w.port.frames.empty());
  EXPECT_EQ(w.TextAt(630, 70), "0.00");
  EXPECT_EQ(w.TextAt(630, 180), "000");
}

TEST(OscilloscopePage, WithoutControllerTheSweepStallsAndTheIdentityIsRetried) {
  ScopeWorld w(2);
  w.model.faults.silence = true;
  w.Open(w.page);
  w.window->Paint();
  w.port.ClearFrames();
  w.host.RunFor(3000);
  ASSERT_GE(w.port.frames.size(), 5u);
  for (const auto& frame : w.port.frames) EXPECT_EQ(frame[1], 1);
  EXPECT_EQ(w.state.SweepPosition, kSweepStart);
  EXPECT_EQ(w.window->TimerPeriod(kScopePollTimer), kScopePollPeriodMs);
  EXPECT_EQ(w.TextAt(630, 290), "0000");

  // The controller answers again: the configuration is read once on the new connection. The
  // first replies after the silence are watched for a late reply behind them (50 ms each), so the
  // sweep takes a little longer to get going again.
  w.model.faults.silence = false;
  w.port.ClearFrames();
  w.host.RunFor(2000);
  int config_reads = 0;
  for (int request : w.Requests()) config_reads += request == 3 ? 1 : 0;
  EXPECT_EQ(config_reads, 1);
  EXPECT_GT(w.state.SweepPosition, 240u);
}

}  // namespace
}  // namespace korvel

#include "pages/oscilloscope/oscilloscope_page.hpp"
#include "texts/text_slots.hpp"

#include <cstdio>
#include <cstring>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "pages/common/poll_tick.hpp"

namespace korvel {

namespace {

constexpr int kConfigLambdaType = 2;  // ConfigRecord byte of LambdaType

// The four panes, design units: frame left, top, right, bottom; the band of rows the beam, the
// erase strips and the cursor line cover; the baseline the traces rise from.
struct Pane {
  int frame[4];
  int band_top, band_bottom;  // inclusive
};
constexpr Pane kPanes[4] = {
    {{198, 40, 600, 140}, 43, 137},
    {{198, 150, 600, 250}, 153, 247},
    {{198, 260, 600, 360}, 263, 357},
    {{198, 370, 600, 470}, 373, 467},
};

constexpr Pen kTracePen[kScopeTraceCount] = {Pen::PenOlive2, Pen::PenLime2, Pen::PenGreen1, Pen::PenBlue2,
                                             Pen::PenNavy2};
// Redraws put trace C under B, as the sweep never does: C is drawn whatever the PWA switch says.
constexpr ScopeTrace kRedrawOrder[kScopeTraceCount] = {kTraceA, kTraceC, kTraceB, kTraceD, kTraceE};
constexpr ScopeTrace kSweepOrder[kScopeTraceCount] = {kTraceA, kTraceB, kTraceC, kTraceD, kTraceE};
// Points 1..396 make a redraw line: the last sample of a sweep (596) is point 397 and is left out.
constexpr int kRedrawLineLength = 396;

constexpr Rgb kLambdaCaptionColour{128, 128, 0};
struct Caption {
  int slot;
  Rgb colour;
  int x, y;
};
constexpr Caption kTraceCaptions[4] = {
    {lang::kScopeAttCaption, {0, 255, 0}, 50, 170},
    {lang::kScopeAttInitCaption, {0, 128, 0}, 50, 210},
    {lang::kScopeSpeedCaption, {0, 0, 255}, 50, 300},
    {lang::kScopeSecondInputCaption, {0, 0, 128}, 50, 400},
};

// Scroll bar 1117 and check box 1071 by size class, device pixels: x, y, width, height.
struct Placement {
  int scroll_bar[4];
  bool move_check;
  int check[4];
};
constexpr Placement kPlacement[5] = {
    {{137, 0, 364, 20}, true, {490, 20, 550, 40}},
    {{180, 0, 440, 25}, false, {}},
    {{235, 0, 548, 30}, true, {800, 0, 900, 25}},
    {{300, 10, 677, 40}, true, {1000, 0, 1100, 45}},
    {{300, 15, 677, 45}, true, {1000, 0, 1100, 50}},
};

int SlotLength(const char* text) { return static_cast<int>(strnlen(text, kSlotBytes)); }

}  // namespace

int OscilloscopePage::TemplateFor(int size_class) const {
  (void)size_class;
  return kOscilloscopeTemplate;
}

void OscilloscopePage::Build(Window& page) {
  FitPage(page);
  ResetScopeHistory();
  DrawScopeLegends(page, ReadScopeLegends());
  RedrawScopeTraces(page);
  state_.SweepPosition = kSweepStart;
}

bool OscilloscopePage::PaintFromMainWindow(Window& page) {
  DrawScopeLegends(page, ReadScopeLegends());
  RedrawScopeTraces(page);
  return false;
}

// ---------------------------------------------------------------------------------------------
// Drawing helpers.

void OscilloscopePage::FillBands(Canvas& shape, BandColumns columns) const {
  for (const Pane& pane : kPanes) {
    shape.Rectangle(columns.left, Y(pane.band_top), columns.right, Y(pane.band_bottom + 1));
  }
}

void OscilloscopePage::DrawSweepStep(Canvas& shape, const SweepStep& step) const {
  shape.SelectBrush(Brush::DefaultBrush);
  if (step.clears_start_strip) {
    shape.SelectPen(Pen::PenWhite1);
    FillBands(shape, step.start_strip);
  }
  shape.SelectPen(Pen::PenRed1);
  FillBands(shape, step.beam);
  shape.SelectPen(Pen::PenWhite1);
  FillBands(shape, step.erase_ahead);
  for (ScopeTrace t : kSweepOrder) {
    if (t == kTraceC && !state_.PwaTraceEnabled) continue;
    shape.SelectPen(kTracePen[t]);
    shape.Polyline(step.segment[t], 2);
  }
  if (step.wraps) {
    shape.SelectPen(Pen::PenWhite1);
    FillBands(shape, step.last_beam);
    FillBands(shape, step.wrap_strip);
  }
}

void OscilloscopePage::DrawPaneFrames(Canvas& shape) const {
  shape.SelectPen(Pen::DefaultPen);
  shape.SelectBrush(Brush::BrushWhite);
  for (const Pane& pane : kPanes) {
    shape.Rectangle(X(pane.frame[0]), Y(pane.frame[1]), X(pane.frame[2]), Y(pane.frame[3]));
  }
}

void OscilloscopePage::Text(Canvas& text, int design_x, int design_y, const char* s, int count) const {
  text.TextOut(X(design_x), Y(design_y), s, count);
}

void OscilloscopePage::WholeText(Canvas& text, int design_x, int design_y, int slot) const {
  const char* s = context_.texts.Text(slot);
  Text(text, design_x, design_y, s, SlotLength(s));
}

// ---------------------------------------------------------------------------------------------
// History, legends and full redraw.

void OscilloscopePage::ResetScopeHistory() {
  const SharedState& s = context_.shared;
  for (int i = 0; i < kHistorySlots; ++i) {
    state_.SampleHistory[i] = ScopeSample{};
    for (int t = 0; t < kScopeTraceCount; ++t) {
      state_.TraceRedrawPoints[t][i + 1] = {DesignX(s, i + 201), DesignY(s, kTraceBaseline[t])};
    }
  }
}

ScopeLegends OscilloscopePage::ReadScopeLegends() {
  // The legends name the probe range and the second input's mode as the controller holds them
  // now: the configuration is read again before every full redraw.
  ControllerLink& link = context_.link;
  link.ReadConfig();
  return ScopeLegendsOf(link.ConfigRecord[kConfigLambdaType]);
}

void OscilloscopePage::DrawScopeLegends(Window& page, const ScopeLegends& legends) {
  const SharedState& s = context_.shared;
  page.SetControlText(kValueCursorCheck, context_.texts.Text(lang::kValueCursorCheck));

  Canvas& text = page.GetContext();
  Canvas& shape = page.GetContext();
  DrawPaneFrames(shape);

  text.SelectFont(s.LabelFont);
  text.SetBkColor(kButtonFace);
  text.SetTextColor(kLambdaCaptionColour);
  WholeText(text, 50, 60, lang::kScopeLambdaCaption);
  text.SetTextColor(kBlack);
  if (legends.range_text != nullptr) Text(text, 50, 90, legends.range_text, kRangeTextLength);
  WholeText(text, 50, 420, legends.mode_slot);
  WholeText(text, 50, 190, lang::kScopeAttScale);
  WholeText(text, 50, 320, lang::kScopeSpeedScale);
  text.SelectFont(s.ValueFont);
  WholeText(text, 700, 70, lang::kScopeLambdaUnit);
  text.SelectFont(s.LabelFont);
  WholeText(text, 710, 190, lang::kScopeAttUnit);
  WholeText(text, 710, 300, lang::kScopeSpeedUnit);
  for (const Caption& caption : kTraceCaptions) {
    text.SetTextColor(caption.colour);
    WholeText(text, caption.x, caption.y, caption.slot);
  }

  page.SetCheck(kPwaTraceCheck, state_.PwaTraceEnabled);
  page.SetCheck(kValueCursorCheck, state_.ValueCursorMode);
  page.ShowControl(kCursorScrollBar, state_.ValueCursorMode);
  page.SetScrollRange(kCursorScrollBar, static_cast<int>(kFirstCursorSlot), static_cast<int>(kLastCursorSlot));

  text.SetTextColor(kBlack);
  WholeText(text, 130, 490, lang::kScopeTimeAxis);
  for (int k = 0; k <= 8; ++k) {
    char label[8];
    std::snprintf(label, sizeof label, "%02ld", static_cast<long>(2 * k));
    Text(text, 203 + 46 * k, 470, ".", 1);
    Text(text, 196 + 46 * k, 490, label, 2);
  }
  page.ReleaseContext(shape);
  page.ReleaseContext(text);
}

void OscilloscopePage::RedrawScopeTraces(Window& page) {
  Canvas& shape = page.GetContext();
  DrawPaneFrames(shape);
  for (ScopeTrace t : kRedrawOrder) {
    Point* points = state_.TraceRedrawPoints[t];
    // The start strip holds the jump line of a wrap: the redrawn line starts at the first sample.
    points[1] = points[2] = points[3] = points[4];
    shape.SelectPen(kTracePen[t]);
    shape.Polyline(&points[1], kRedrawLineLength);
  }
  page.ReleaseContext(shape);
}

// ---------------------------------------------------------------------------------------------
// Ticks.

void OscilloscopePage::ScopeTimerTick(Window& page) {
  SharedState& s = context_.shared;
  ControllerLink& link = context_.link;
  // The About dialog polls the controller on its own: no exchange, no drawing, no timer change.
  if (s.BusyFlag) return;
  if (state_.ValueCursorMode) {
    ScopeCursorTick(page);  // frozen: nothing is sent to the controller
  } else {
    // Live data on every tick; the configuration once per connection (again after a loss).
    if (PollController(link, kPollLiveData)) {
      if (state_.ConfigurationRead == 0) {
        link.ReadConfig();
        state_.ConfigurationRead = 1;
      }
    } else {
      state_.ConfigurationRead = 0;
    }
    ScopeLiveTick(page);
  }
  // The scope samples as fast as the line allows, connected or not.
  link.state.poll_period = kScopePollPeriodMs;
  FollowPollPeriod(page, kScopePollTimer, link, s);
}

void OscilloscopePage::ScopeLiveTick(Window& page) {
  SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const uint8_t(&live)[11] = link.LiveDataRecord;
  const uint8_t lambda_type = link.ConfigRecord[kConfigLambdaType];

  Canvas& text = page.GetContext();
  Canvas& shape = page.GetContext();
  if (!state_.ValueCursorMode && link.Connected()) {
    const SweepStep step =
        NextSweepStep(s, state_.SweepPosition, ScopeTraceHeights(live, lambda_type), state_.previous_y);
    DrawSweepStep(shape, step);
    for (ScopeTrace t : kSweepOrder) {
      if (t == kTraceC && !state_.PwaTraceEnabled) continue;
      state_.previous_y[t] = step.segment[t][1].y;
      state_.TraceRedrawPoints[t][step.redraw_point].y = step.segment[t][1].y;
    }
    state_.SweepPosition = step.next_position;
    state_.SampleHistory[step.history_slot] = SampleOfRecords(live, lambda_type);
  }

  const ScopeReadouts readouts = ScopeReadoutsOf(SampleOfRecords(live, lambda_type));
  DrawReadouts(text, shape, readouts, false);
  s.CurrentEngineSpeed = readouts.shown_speed;
  page.ReleaseContext(shape);
  page.ReleaseContext(text);
  page.ShowControl(kCursorScrollBar, false);
}

void OscilloscopePage::ScopeCursorTick(Window& page) {
  SharedState& s = context_.shared;
  // The thumb stays in 2..395; anything else from the bar is held to that range, so the history
  // is never read outside its slots.
  const uint32_t c = ScrollCursorSlot(state_.CursorSlot, kScrollThumbTrack, page.GetScrollPosition(kCursorScrollBar));
  state_.CursorSlot = c;

  Canvas& text = page.GetContext();
  Canvas& shape = page.GetContext();
  shape.SelectPen(Pen::DefaultPen);
  shape.SelectBrush(Brush::BrushWhite);
  FillBands(shape, CursorColumns(context_.shared, c));
  const uint32_t d = state_.DrawnCursorSlot;
  if (d != c) {
    shape.SelectPen(Pen::PenWhite1);
    FillBands(shape, CursorColumns(context_.shared, d));
    // Put back the pieces of the traces that the old line covered.
    for (ScopeTrace t : kRedrawOrder) {
      const Point* points = state_.TraceRedrawPoints[t];
      const Point piece[3] = {points[d < 1 ? 1 : d], points[d + 1], points[d + 2]};
      shape.SelectPen(kTracePen[t]);
      shape.Polyline(piece, 3);
    }
    state_.DrawnCursorSlot = c;
  }
  shape.SelectPen(Pen::PenRed1);
  FillBands(shape, BeamColumns(context_.shared, state_.SweepPosition));

  ScopeSample sample = state_.SampleHistory[c];
  sample.engine_speed = CursorEngineSpeed(sample.engine_speed);
  const ScopeReadouts readouts = ScopeReadoutsOf(sample);
  DrawReadouts(text, shape, readouts, true);
  s.CurrentEngineSpeed = readouts.shown_speed;
  page.ReleaseContext(shape);
  page.ReleaseContext(text);
}

void OscilloscopePage::DrawReadouts(Canvas& text, Canvas& shape, const ScopeReadouts& r, bool cursor) {
  const SharedState& s = context_.shared;
  auto value = [&](int y, const ScopeText& t) {
    text.SelectFont(s.ValueFont);
    text.SetBkColor(kWhite);
    Text(text, 630, y, t.text, t.count);
  };
  value(70, r.lambda);
  value(180, r.att);
  value(290, r.speed);
  switch (r.aux_decoration) {
    case AuxDecoration::kVoltUnit:
      text.SelectFont(s.ValueFont);
      text.SetBkColor(kButtonFace);
      Text(text, 700, 400, "V", 1);
      break;
    case AuxDecoration::kSwitchErase:
      // Clears the fourth character that an earlier four-character value left beside " ON"/"OFF".
      shape.SelectPen(Pen::PenWhite1);
      shape.SelectBrush(Brush::BrushWhite);
      if (cursor) {
        shape.Rectangle(X(686), Y(400), X(695), Y(436));
      } else {
        shape.Rectangle(X(676), Y(400), X(698), RoundValue(436 * s.ScaleY));
      }
      break;
    case AuxDecoration::kNone:
      break;
  }
  value(400, r.aux);

  text.SelectFont(s.LabelFont);
  shape.SelectPen(Pen::PenBlack1);
  shape.SelectBrush(r.lpg ? Brush::BrushCyan : Brush::BrushLime);
  shape.Rectangle(X(630), Y(465), X(755), Y(505));
  text.SetBkColor(r.lpg ? kCyan : kLime);
  if (r.lpg) {
    WholeText(text, 675, 475, lang::kStateBoxLpg);
  } else {
    WholeText(text, 655, 475, lang::kStateBoxPetrol);
  }
  text.SetBkColor(kWhite);
}

// ---------------------------------------------------------------------------------------------
// Page procedure.

void OscilloscopePage::PlaceScopeControls(Window& page) {
  const int size_class = context_.shared.SizeClass;
  const Placement& p = kPlacement[ClampClass(size_class) - 1];
  page.MoveControl(kCursorScrollBar, p.scroll_bar[0], p.scroll_bar[1], p.scroll_bar[2], p.scroll_bar[3]);
  if (p.move_check) page.MoveControl(kValueCursorCheck, p.check[0], p.check[1], p.check[2], p.check[3]);
}

bool OscilloscopePage::OnInitDialog(Window& page) {
  (void)page;
  return true;
}

void OscilloscopePage::FitPage(Window& page) {
  // The template is smaller than the page of the largest classes: the panes and read-outs are
  // laid out over the whole page of the class.
  page.MoveWindow(0, 0, context_.shared.page_width, context_.shared.page_height);
}

void OscilloscopePage::OnPaint(Window& page) {
  FitPage(page);
  page.SetTimer(kScopePollTimer, context_.link.state.poll_period);
  RedrawScopeTraces(page);
  PlaceScopeControls(page);
}

void OscilloscopePage::OnTimer(Window& page, int timer_id) {
  if (timer_id == kScopePollTimer) ScopeTimerTick(page);
}

void OscilloscopePage::OnCommand(Window& page, int control_id, int code) {
  if (code != kButtonClicked) return;
  if (control_id == kPwaTraceCheck) {
    state_.PwaTraceEnabled = page.GetCheck(kPwaTraceCheck);
  } else if (control_id == kValueCursorCheck) {
    state_.ValueCursorMode = page.GetCheck(kValueCursorCheck);
    page.ShowControl(kCursorScrollBar, state_.ValueCursorMode);
    RedrawScopeTraces(page);
  }
}

void OscilloscopePage::OnScroll(Window& page, int control_id, bool vertical, int request, int position) {
  (void)control_id;
  if (vertical) return;
  // The handler only moves the thumb; the next cursor tick reads it and moves the line.
  state_.CursorSlot = ScrollCursorSlot(state_.CursorSlot, request, position);
  page.SetScrollPosition(kCursorScrollBar, static_cast<int>(state_.CursorSlot));
}

}  // namespace korvel

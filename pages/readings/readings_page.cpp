#include "pages/readings/readings_page.hpp"
#include "texts/text_slots.hpp"

#include <cstdio>
#include <cstring>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "pages/common/poll_tick.hpp"

namespace korvel {

namespace {

// Enough spaces for the longest blanking run (73).
constexpr char kSpaces[] =
    "                                                                                ";

int SlotLength(const char* text) { return static_cast<int>(strnlen(text, kSlotBytes)); }

// Outline pens of the indicator segments 1..4.
constexpr Pen kSegmentPens[4] = {Pen::PenCyan1, Pen::PenGreen1, Pen::PenYellow1, Pen::PenRed1};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Contexts and primitive drawing in design units.

void ReadingsPage::Acquire(Window& page) {
  dc_ = Contexts{};
  dc_.text = &page.GetContext();
  dc_.shape = &page.GetContext();
}

void ReadingsPage::Release(Window& page) {
  if (dc_.shape) page.ReleaseContext(*dc_.shape);
  if (dc_.text) page.ReleaseContext(*dc_.text);
  dc_.text = nullptr;
  dc_.shape = nullptr;
}

void ReadingsPage::DrawDialWhileDrawing(Window& page) {
  const Contexts kept = dc_;
  Release(page);
  DrawDial(page);
  Acquire(page);
  SetFont(kept.font);
  SetColours(kept.text_colour, kept.background);
  SetPenBrush(kept.pen, kept.brush);
}

void ReadingsPage::SetFont(Font font) {
  dc_.font = font;
  dc_.text->SelectFont(font);
}

void ReadingsPage::SetColours(Rgb text, Rgb background) {
  dc_.text_colour = text;
  dc_.background = background;
  dc_.text->SetTextColor(text);
  dc_.text->SetBkColor(background);
}

void ReadingsPage::Text(int design_x, int design_y, const char* text, int count) {
  const SharedState& s = context_.shared;
  dc_.text->TextOut(DesignX(s, design_x), DesignY(s, design_y), text, count);
}

void ReadingsPage::WholeText(int design_x, int design_y, const char* text) {
  Text(design_x, design_y, text, SlotLength(text));
}

void ReadingsPage::Label(const FrameLabel& label) {
  const char* text = label.slot >= 0 ? context_.texts.Text(label.slot) : label.fixed;
  dc_.text->TextOut(label.at.x, label.at.y, text, label.slot >= 0 ? SlotLength(text) : label.count);
}

void ReadingsPage::SetPenBrush(Pen pen, Brush brush) {
  dc_.pen = pen;
  dc_.brush = brush;
  dc_.shape->SelectPen(pen);
  dc_.shape->SelectBrush(brush);
}

void ReadingsPage::Rect(int x1, int y1, int x2, int y2) {
  const SharedState& s = context_.shared;
  dc_.shape->Rectangle(DesignX(s, x1), DesignY(s, y1), DesignX(s, x2), DesignY(s, y2));
}

void ReadingsPage::Rect(const DesignRect& r) { Rect(r.left, r.top, r.right, r.bottom); }

// ---------------------------------------------------------------------------------------------
// Page procedure.

int ReadingsPage::TemplateFor(int size_class) const {
  (void)size_class;
  return kReadingsTemplate;
}

bool ReadingsPage::PaintFromMainWindow(Window& page) {
  DrawReadingsFrame(page);
  DrawReadingsValues(page);
  return true;
}

void ReadingsPage::PlaceClassControls(Window& page) {
  // The learn button, by size class: x, y, width, height in pixels.
  static constexpr int kLearnButtonPlace[5][4] = {
      {560, 358, 51, 30}, {695, 465, 70, 40}, {880, 610, 95, 60}, {1100, 780, 120, 75}, {1100, 840, 120, 75},
  };
  const int* r = kLearnButtonPlace[ClampClass(context_.shared.SizeClass) - 1];
  page.MoveControl(kLearnButtonId, r[0], r[1], r[2], r[3]);
}

void ReadingsPage::AfterMainWindowPaint(Window& page) {
  // Greying and re-enabling makes the learn button redraw over the freshly painted frame.
  page.EnableControl(kLearnButtonId, false);
  page.EnableControl(kLearnButtonId, true);
}

bool ReadingsPage::OnInitDialog(Window& page) {
  (void)page;
  return true;
}

void ReadingsPage::OnPaint(Window& page) {
  const SharedState& s = context_.shared;
  page.MoveWindow(-5, -10, s.page_width, s.page_height);
  page.SetTimer(kReadingsPollTimer, context_.link.state.poll_period);
}

void ReadingsPage::OnTimer(Window& page, int timer_id) {
  if (timer_id != kReadingsPollTimer) return;
  SharedState& s = context_.shared;
  ControllerLink& link = context_.link;
  // The About dialog polls on its own, and an open drop-down list must not see its page's
  // records change under it: skip the whole tick.
  if (s.BusyFlag || s.DropDownOpen) return;

  // Live data on every tick, the configuration and options on every fourth.
  PollReadingsCadence(link, state_.ConfigPollCount);
  DrawReadingsValues(page);
  // The identity poll may have found the controller lost (or back): follow its period.
  FollowPollPeriod(page, kReadingsPollTimer, link, s);
}

void ReadingsPage::OnCommand(Window& page, int control_id, int code) {
  (void)code;
  if (control_id == kLearnButtonId) LearnAction(page);
}

void ReadingsPage::LearnAction(Window& page) {
  ControllerLink& link = context_.link;
  if (!link.Connected() || link.GetControllerVariant() != 2 || !state_.LpgOnShown) return;
  if (state_.LearningShown) {
    // A cycle is already running: tell the fitter and forget the earlier request.
    const SharedState& s = context_.shared;
    Canvas& text = page.GetContext();
    text.SelectFont(s.LabelFont);
    text.SetTextColor(kRed);
    const char* message = context_.texts.Text(lang::kLearningCancelled);
    const int line_y = DesignY(s, kMessageLineY[kLearnCancelledLine]);
    text.TextOut(DesignX(s, kMessageX), line_y, kSpaces, kMessageLineSpaces[kLearnCancelledLine]);
    text.TextOut(DesignX(s, kMessageX), line_y, message, SlotLength(message));
    text.SetTextColor(kBlack);
    page.ReleaseContext(text);
    state_.MessageAge = 0;
    state_.LearnRequested = false;
  } else {
    state_.LearnRequested = true;
  }
  // The acknowledgement is not examined: the outcome shows in StateFlags on later ticks.
  link.WriteParameter(CommandAddress, kLearnCommand);
}

// ---------------------------------------------------------------------------------------------
// Static frame.

void ReadingsPage::DrawReadingsFrame(Window& page) {
  const SharedState& s = context_.shared;
  const ReadingsFrameLayout f = LayoutReadingsFrame(s);
  page.SetControlText(kLearnButtonId, context_.texts.Text(lang::kLearnButton));

  Acquire(page);
  Canvas& shape = *dc_.shape;
  auto rect = [&](const DeviceRect& r) { shape.Rectangle(r.left, r.top, r.right, r.bottom); };
  auto round_rect = [&](const DeviceRect& r) {
    shape.RoundRect(r.left, r.top, r.right, r.bottom, kPanelCorner, kPanelCorner);
  };

  SetPenBrush(Pen::PenGrey1, Brush::BrushGrey);
  rect(f.background);
  if (f.fills_below_frame) rect(f.below_frame);
  SetPenBrush(Pen::PenBlack1, Brush::BrushSilver);
  for (const DeviceRect& panel : f.panels) round_rect(panel);
  SetPenBrush(Pen::PenBlack1, Brush::BrushBlack);
  round_rect(f.dial_panel);
  SetPenBrush(Pen::PenBlack1, Brush::BrushSilver);
  for (const DeviceRect& track : f.tracks) rect(track);
  SetPenBrush(Pen::PenGrey1, Brush::BrushSilver);
  rect(f.att_bar_frame);
  SetPenBrush(Pen::PenBlack1, Brush::BrushWhite);
  rect(f.message_area);
  for (int k = 0; k < 4; ++k) {
    SetPenBrush(kSegmentPens[k], Brush::BrushSilver);
    rect(f.segments[k]);
  }

  SetFont(s.LabelFont);
  SetColours(kBlack, kSilver);
  for (const FrameLabel& label : f.labels) Label(label);
  SetFont(s.ValueFont);
  for (const FrameLabel& label : f.value_labels) Label(label);
  Release(page);

  DrawDial(page);
}

// ---------------------------------------------------------------------------------------------
// Dial.

void ReadingsPage::DrawDial(Window& page) {
  const SharedState& s = context_.shared;
  const DialPicture d = DecideDial(s, context_.gauges, s.CurrentEngineSpeed, state_.LastNeedleIndex,
                                   (Stored(context_.link, Parameter::Options) & 0x40) != 0,
                                   state_.LpgOffSpeedShown);
  Canvas& text = page.GetContext();
  Canvas& shape = page.GetContext();
  auto line = [&](const DialLine& l) {
    const Point points[2] = {l.from, l.to};
    shape.Polyline(points, 2);
  };
  auto hub_cap = [&] { shape.Ellipse(d.hub_cap.left, d.hub_cap.top, d.hub_cap.right, d.hub_cap.bottom); };

  shape.SelectPen(Pen::PenBlack4);
  line(d.old_needle);
  shape.SelectPen(Pen::PenRed4);
  shape.SelectBrush(Brush::BrushRed);
  line(d.needle);
  hub_cap();
  for (int k = 0; k <= 8; ++k) {
    shape.SelectPen(d.major_red[k] ? Pen::PenRed2 : Pen::PenLightGrey2);
    line(d.major[k]);
  }
  for (int k = 0; k <= 40; ++k) {
    shape.SelectPen(d.minor_red[k] ? Pen::PenRed2 : Pen::PenLightGrey2);
    line(d.minor[k]);
  }

  text.SelectFont(s.LabelFont);
  text.SetTextColor(kWhite);
  text.SetBkColor(kBlack);
  for (int k = 0; k <= 8; ++k) {
    const char digit[2] = {static_cast<char>('0' + k), '\0'};
    text.TextOut(d.digits[k].x, d.digits[k].y, digit, 1);
  }
  text.SetTextColor(kDialGrey);
  text.TextOut(d.caption.x, d.caption.y, "RPM x 1000", 10);

  // The needle again, over the ticks and digits.
  shape.SelectPen(Pen::PenRed4);
  shape.SelectBrush(Brush::BrushRed);
  hub_cap();
  line(d.needle);

  state_.LastNeedleIndex = d.needle_index;
  page.ReleaseContext(shape);
  page.ReleaseContext(text);
}

// ---------------------------------------------------------------------------------------------
// Live values.

void ReadingsPage::DrawReadingsValues(Window& page) {
  SharedState& s = context_.shared;
  const uint8_t(&live)[11] = context_.link.LiveDataRecord;

  Acquire(page);
  DrawLambdaPanel();
  DrawIndicator();
  DrawSecondInput();
  DrawAttPanel();

  // Engine speed. The cell shows four characters: 12000 rpm reads '1200'.
  const uint32_t speed = LiveEngineSpeed(live);
  s.CurrentEngineSpeed = speed;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04dl", static_cast<int>(speed));
  SetFont(s.ValueFont);
  SetColours(kBlack, kWhite);
  Text(590, 210, buffer, 4);
  if (speed != state_.LastDrawnSpeed) {
    DrawDialWhileDrawing(page);
    state_.LastDrawnSpeed = speed;
  }

  DrawSwitchingSpeeds(page);
  DrawStatusLabels();
  DrawTemperatures();
  SetFont(s.LabelFont);
  DrawControllerState();
  Release(page);
}

void ReadingsPage::DrawLambdaPanel() {
  const SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const uint8_t probe = link.LiveDataRecord[kLambdaProbe];

  SetFont(s.ValueFont);
  SetColours(kBlack, kWhite);
  Text(40, 45, VoltText(VoltsFromRaw(probe)).text, 4);

  const LambdaSliderLayout slider = LayoutLambdaSlider(probe, Stored(link, Parameter::LambdaType));
  switch (link.LiveDataRecord[kIndicatorFlags] & 7) {
    case 1:
      SetPenBrush(Pen::PenGreen1, Brush::BrushGreen);
      break;
    case 4:
      SetPenBrush(Pen::PenRed1, Brush::BrushRed);
      break;
    default:
      SetPenBrush(Pen::PenYellow1, Brush::BrushYellow);
      break;
  }
  Rect(slider.block);
  SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
  Rect(slider.left_rest);
  Rect(slider.right_rest);
}

void ReadingsPage::DrawIndicator() {
  const SharedState& s = context_.shared;
  static constexpr Brush kBrushes[4] = {Brush::BrushCyan, Brush::BrushGreen, Brush::BrushYellow,
                                        Brush::BrushRed};
  int lit = -1;
  switch (context_.link.LiveDataRecord[kIndicatorFlags] & 0xF0) {
    case 0x10: lit = 0; break;
    case 0x20: lit = 1; break;
    case 0x40: lit = 2; break;
    case 0x80: lit = 3; break;
    default: break;
  }
  state_.SegmentRaised = lit >= 1;
  auto segment = [&](int k) {
    const DeviceRect r = IndicatorSegment(s, k);
    dc_.shape->Rectangle(r.left, r.top, r.right, r.bottom);
  };
  if (lit >= 0) {
    SetPenBrush(kSegmentPens[lit], kBrushes[lit]);
    segment(lit);
  }
  for (int k = 0; k < 4; ++k) {
    if (k == lit) continue;
    SetPenBrush(kSegmentPens[k], Brush::BrushSilver);
    segment(k);
  }
}

void ReadingsPage::DrawSecondInput() {
  const SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const uint8_t lambda_type = Stored(link, Parameter::LambdaType);
  const AuxText aux = AuxInputText(link.LiveDataRecord[kAuxInput], lambda_type,
                                   link.LiveDataRecord[kIndicatorFlags]);
  const int mode = LambdaMode(lambda_type);
  if (mode == 6 || mode == 7) {
    SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
    Rect(30, 155, mode == 6 ? 105 : 110, 195);
  }
  SetFont(s.ValueFont);
  SetColours(kBlack, kWhite);
  Text(40, 155, aux.text, aux.count);

  SetFont(s.LabelFont);
  const double tps_volts = Stored(link, Parameter::TPSInert) / 50.0 + 0.02;
  Text(305, 196, VoltText(tps_volts).text, 4);
}

void ReadingsPage::DrawAttPanel() {
  const SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const int att = link.LiveDataRecord[kAtt];
  const int att_init = link.LiveDataRecord[kAttInit];
  const AttPanelLayout a =
      LayoutAttPanel(att, att_init,
                     {Stored(link, Parameter::AttMin_BJ), Stored(link, Parameter::AttMax_BJ),
                      Stored(link, Parameter::AttMin), Stored(link, Parameter::AttMax)});
  char buffer[16];

  SetFont(s.ValueFont);
  SetColours(kBlack, kWhite);
  std::snprintf(buffer, sizeof buffer, "%03dl", att);
  Text(40, 265, buffer, 3);

  SetPenBrush(Pen::PenNavy1, Brush::BrushNavy);
  Rect(a.bar);
  SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
  Rect(a.bar_rest);

  if (static_cast<uint32_t>(att_init) != state_.last_att_init_drawn) {
    SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
    Rect(kAttCaretZone);
  }
  SetFont(s.LabelFont);
  SetColours(kBlack, kSilver);
  Text(a.caret.x, a.caret.y, "^", 1);
  WholeText(a.caret_caption.x, a.caret_caption.y, context_.texts.Text(lang::kAttInitCaret));
  SetColours(kBlack, kWhite);
  std::snprintf(buffer, sizeof buffer, "%03dl", att_init);
  Text(a.caret_value.x, a.caret_value.y, buffer, 3);
  state_.last_att_init_drawn = static_cast<uint32_t>(att_init);

  SetPenBrush(Pen::PenCyan1, Brush::BrushCyan);
  Rect(a.cyan_band);
  SetPenBrush(Pen::PenRed1, Brush::BrushRed);
  Rect(a.red_band);
  SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
  for (const DesignRect& rest : a.band_rests) Rect(rest);
}

void ReadingsPage::DrawSwitchingSpeeds(Window& page) {
  SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const uint8_t options = Stored(link, Parameter::Options);
  char buffer[16];

  SetFont(s.LabelFont);
  const uint32_t cut_off = EngineSpeedFromPeriod(Stored(link, Parameter::CutOffRPMHi), Stored(link, Parameter::CutOffRPMLo));
  std::snprintf(buffer, sizeof buffer, "%04dl", static_cast<int>(cut_off));
  SetColours((options & 0x20) ? kBlack : kGrey, kWhite);
  Text(510, 265, buffer, 4);

  const uint32_t lpg_on = EngineSpeedFromPeriod(Stored(link, Parameter::LPGOnRPMHi), Stored(link, Parameter::LPGOnRPMLo));
  std::snprintf(buffer, sizeof buffer, "%04dl", static_cast<int>(lpg_on));
  SetColours(kBlack, kWhite);
  Text(605, 265, buffer, 4);

  const uint32_t lpg_off = EngineSpeedFromPeriod(Stored(link, Parameter::LPGOffRPMHi), Stored(link, Parameter::LPGOffRPMLo));
  if (lpg_off != state_.LpgOffSpeedShown) {
    state_.LpgOffSpeedShown = lpg_off;  // moves the red zone of the dial
    DrawDialWhileDrawing(page);
    state_.LastDrawnSpeed = s.CurrentEngineSpeed;
  }
  std::snprintf(buffer, sizeof buffer, "%04dl", static_cast<int>(lpg_off));
  SetColours((options & 0x40) ? kBlack : kGrey, kWhite);
  Text(705, 265, buffer, 4);
}

void ReadingsPage::DrawStatusLabels() {
  const SharedState& s = context_.shared;
  const uint8_t flags = context_.link.LiveDataRecord[kStateFlags];
  SetFont(s.LabelFont);
  SetColours(state_.LpgOnShown ? kDarkGreen : kBlack, kSilver);
  Text(590, 290, " LPG ON ", 8);
  SetColours((flags & 0x04) ? kRed : kBlack, kSilver);
  Text(685, 290, " LPG OFF ", 9);
  SetColours((flags & 0x08) ? kRed : kBlack, kSilver);
  Text(485, 290, " CUT-OFF ", 9);
}

void ReadingsPage::DrawTemperatures() {
  const SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%03dl", static_cast<int>(TemperatureFromRaw(link.LiveDataRecord[kTempRaw])));
  SetFont(s.ValueFont);
  SetColours(kBlack, kWhite);
  Text(490, 375, buffer, 3);

  TemperatureText(Stored(link, Parameter::LPGOnTemp), buffer);
  SetFont(s.LabelFont);
  // The value takes two or three characters: clear the cell of the widest one first, or '60'
  // after '100' would read '600'.
  SetColours(kWhite, kWhite);
  Text(705, 385, "100", 3);
  SetColours((Stored(link, Parameter::Options) & 0x02) ? kBlack : kGrey, kWhite);
  WholeText(705, 385, buffer);
}

// ---------------------------------------------------------------------------------------------
// Controller state, messages and the learning lamp.

void ReadingsPage::DrawControllerState() {
  const MessageInputs inputs = MessageInputsFrom(context_.link, context_.shared.CurrentEngineSpeed);
  const MessagePanel panel = DecideMessagePanel(inputs, state_);
  state_ = panel.next;
  DrawMessagePanel(*dc_.text, *dc_.shape, context_.shared, context_.texts, panel);
}

}  // namespace korvel

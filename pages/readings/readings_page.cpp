#include "pages/readings/readings_page.hpp"

#include <cstdio>
#include <cstring>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "link/parameter_map.hpp"
#include "pages/common/poll_tick.hpp"

namespace korvel {

namespace {

// ConfigRecord bytes read by the page.
constexpr int kConfigOptions = 1;
constexpr int kConfigLambdaType = 2;
constexpr int kConfigEmulType = 5;
constexpr int kConfigLpgOnTemp = 11;
constexpr int kConfigTpsInert = 12;
// OptionsRecord bytes read by the page.
constexpr int kOptAttMax = 1;
constexpr int kOptAttMin = 2;
constexpr int kOptLpgOnLo = 5;
constexpr int kOptLpgOnHi = 6;
constexpr int kOptCutOffLo = 8;
constexpr int kOptCutOffHi = 9;
constexpr int kOptLpgOffLo = 11;
constexpr int kOptLpgOffHi = 12;
constexpr int kOptAttMaxBj = 13;
constexpr int kOptAttMinBj = 14;

constexpr uint32_t kMaxNeedleIndex = 160;

// Design y of the five message lines.
constexpr int kMessageLineY[6] = {0, 405, 425, 445, 465, 485};
// The widest run of spaces each message line is ever blanked with.
constexpr int kMessageLineSpaces[6] = {0, 55, 55, 73, 55, 65};
constexpr int kMessageX = 40;

// Enough spaces for the longest blanking run (73).
constexpr char kSpaces[] =
    "                                                                                ";

int SlotLength(const char* text) { return static_cast<int>(strnlen(text, kSlotBytes)); }

// Dial points: the 260 x 260 dial box sits at design (495, 40); both axes use ScaleX so that the
// dial stays round.
Point DialPoint(const SharedState& s, const GaugeTable& table, uint32_t index) {
  if (index >= static_cast<uint32_t>(kArcPositions)) index = kArcPositions - 1;
  return {static_cast<int32_t>(495 * s.ScaleX + table.u[index] * s.ScaleX),
          static_cast<int32_t>(40 * s.ScaleX + table.v[index] * s.ScaleX)};
}
int DialCoord(const SharedState& s, int design) { return static_cast<int>(design * s.ScaleX); }

void DialLine(Canvas& shape, const SharedState& s, const GaugeTable& from, uint32_t from_index,
              const GaugeTable& to, uint32_t to_index) {
  const Point line[2] = {DialPoint(s, from, from_index), DialPoint(s, to, to_index)};
  shape.Polyline(line, 2);
}

void DialHubCap(Canvas& shape, const SharedState& s) {
  shape.Ellipse(DialCoord(s, 605), DialCoord(s, 150), DialCoord(s, 645), DialCoord(s, 190));
}

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
  if (PollController(link, kPollLiveData)) {
    state_.ConfigPollCount += 1;
    if (state_.ConfigPollCount > 3) {
      link.ReadConfig();
      link.ReadOptions();
      state_.ConfigPollCount = 0;
    }
  }
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
    const char* message = context_.texts.Text(32);
    text.TextOut(DesignX(s, kMessageX), DesignY(s, kMessageLineY[5]), kSpaces, kMessageLineSpaces[5]);
    text.TextOut(DesignX(s, kMessageX), DesignY(s, kMessageLineY[5]), message, SlotLength(message));
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
  const LanguageTable& texts = context_.texts;
  page.SetControlText(kLearnButtonId, texts.Text(33));

  Acquire(page);
  Canvas& shape = *dc_.shape;
  auto round_rect = [&](int x1, int y1, int x2, int y2) {
    shape.RoundRect(DesignX(s, x1), DesignY(s, y1), DesignX(s, x2), DesignY(s, y2), 20, 20);
  };

  SetPenBrush(Pen::PenGrey1, Brush::BrushGrey);
  Rect(0, 0, 800, 570);

  SetPenBrush(Pen::PenBlack1, Brush::BrushSilver);
  round_rect(20, 20, 450, 110);    // lambda
  round_rect(20, 130, 450, 220);   // second input
  round_rect(20, 240, 450, 370);   // Att
  round_rect(20, 390, 450, 520);   // messages
  round_rect(470, 340, 780, 430);  // temperature
  round_rect(470, 450, 780, 520);  // state
  SetPenBrush(Pen::PenBlack1, Brush::BrushBlack);
  round_rect(470, 20, 780, 320);   // dial

  SetPenBrush(Pen::PenBlack1, Brush::BrushSilver);
  Rect(135, 45, 440, 80);
  Rect(135, 155, 440, 190);
  Rect(135, 265, 440, 315);
  SetPenBrush(Pen::PenGrey1, Brush::BrushSilver);
  Rect(159, 268, 419, 292);
  SetPenBrush(Pen::PenBlack1, Brush::BrushWhite);
  Rect(30, 400, 440, 510);

  static constexpr Pen kSegmentPens[4] = {Pen::PenCyan1, Pen::PenGreen1, Pen::PenYellow1, Pen::PenRed1};
  for (int k = 0; k < 4; ++k) {
    SetPenBrush(kSegmentPens[k], Brush::BrushSilver);
    shape.Rectangle(s.indicator_box[0] + s.column_offsets[k], s.indicator_box[1],
                    s.indicator_box[2] + s.column_offsets[k], s.indicator_box[3]);
  }

  SetFont(s.LabelFont);
  SetColours(kBlack, kSilver);
  WholeText(240, 25, texts.Text(0));
  WholeText(270, 135, texts.Text(3));
  WholeText(245, 245, texts.Text(5));
  WholeText(150, 196, texts.Text(4));
  Text(345, 196, "V", 1);
  Text(630, 385, "LPG ON:", 7);
  Text(730, 385, "\xB0\x43", 2);
  WholeText(520, 345, texts.Text(11));
  WholeText(150, 86, texts.Text(1));
  WholeText(360, 86, texts.Text(2));
  SetFont(s.ValueFont);
  Text(110, 45, "V", 1);
  Text(110, 155, "V", 1);
  Text(550, 375, "\xB0\x43", 2);
  Release(page);

  DrawDial(page);
}

// ---------------------------------------------------------------------------------------------
// Dial.

void ReadingsPage::DrawDial(Window& page) {
  const SharedState& s = context_.shared;
  const GaugeTables& g = context_.gauges;
  Canvas& text = page.GetContext();
  Canvas& shape = page.GetContext();

  uint32_t last = state_.LastNeedleIndex;
  if (last > kMaxNeedleIndex) last = kMaxNeedleIndex;
  shape.SelectPen(Pen::PenBlack4);
  DialLine(shape, s, g.hub, last, g.needle, last);

  shape.SelectPen(Pen::PenRed4);
  shape.SelectBrush(Brush::BrushRed);
  uint32_t n = s.CurrentEngineSpeed / 50;
  if (n > kMaxNeedleIndex) n = kMaxNeedleIndex;
  DialLine(shape, s, g.hub, n, g.needle, n);
  DialHubCap(shape, s);

  // The red zone: the ticks above the thousand (and above the 200 rpm step) of the LPG-off speed,
  // shown only while the LPG-off switching is enabled.
  const bool red_zone = (context_.link.ConfigRecord[kConfigOptions] & 0x40) != 0;
  for (uint32_t k = 0; k <= 8; ++k) {
    shape.SelectPen(red_zone && state_.LpgOffSpeedShown / 1000 < k ? Pen::PenRed2 : Pen::PenLightGrey2);
    DialLine(shape, s, g.rim, 20 * k, g.major, k);
  }
  for (uint32_t k = 0; k <= 40; ++k) {
    shape.SelectPen(red_zone && state_.LpgOffSpeedShown / 200 < k ? Pen::PenRed2 : Pen::PenLightGrey2);
    DialLine(shape, s, g.rim, 4 * k, g.minor, k);
  }

  struct Digit {
    const char* text;
    int x, y;
  };
  static constexpr Digit kDigits[9] = {{"0", 540, 205}, {"1", 525, 155}, {"2", 540, 110},
                                       {"3", 570, 80},  {"4", 617, 65},  {"5", 664, 80},
                                       {"6", 699, 110}, {"7", 714, 155}, {"8", 699, 205}};
  text.SelectFont(s.LabelFont);
  text.SetTextColor(kWhite);
  text.SetBkColor(kBlack);
  for (const Digit& d : kDigits) text.TextOut(DialCoord(s, d.x), DialCoord(s, d.y), d.text, 1);
  text.SetTextColor(kDialGrey);
  text.TextOut(DialCoord(s, 575), DialCoord(s, 115), "RPM x 1000", 10);

  // The needle again, over the ticks and digits.
  shape.SelectPen(Pen::PenRed4);
  shape.SelectBrush(Brush::BrushRed);
  DialHubCap(shape, s);
  DialLine(shape, s, g.hub, n, g.needle, n);

  state_.LastNeedleIndex = n;
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

  int p = probe;
  if (LambdaRange(link.ConfigRecord[kConfigLambdaType]) == 0) p *= 5;  // the 0..1 V probe
  if (p > 255) p = 255;
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
  Rect(140 + p, 52, 180 + p, 73);
  SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
  Rect(137, 52, 140 + p, 73);
  Rect(439, 52, 180 + p, 73);
}

void ReadingsPage::DrawIndicator() {
  const SharedState& s = context_.shared;
  static constexpr Pen kPens[4] = {Pen::PenCyan1, Pen::PenGreen1, Pen::PenYellow1, Pen::PenRed1};
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
    dc_.shape->Rectangle(s.indicator_box[0] + s.column_offsets[k], s.indicator_box[1],
                         s.indicator_box[2] + s.column_offsets[k], s.indicator_box[3]);
  };
  if (lit >= 0) {
    SetPenBrush(kPens[lit], kBrushes[lit]);
    segment(lit);
  }
  for (int k = 0; k < 4; ++k) {
    if (k == lit) continue;
    SetPenBrush(kPens[k], Brush::BrushSilver);
    segment(k);
  }
}

void ReadingsPage::DrawSecondInput() {
  const SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const uint8_t lambda_type = link.ConfigRecord[kConfigLambdaType];
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
  const double tps_volts = link.ConfigRecord[kConfigTpsInert] / 50.0 + 0.02;
  Text(305, 196, VoltText(tps_volts).text, 4);
}

void ReadingsPage::DrawAttPanel() {
  const SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const int att = link.LiveDataRecord[kAtt];
  const int att_init = link.LiveDataRecord[kAttInit];
  char buffer[16];

  SetFont(s.ValueFont);
  SetColours(kBlack, kWhite);
  std::snprintf(buffer, sizeof buffer, "%03dl", att);
  Text(40, 265, buffer, 3);

  SetPenBrush(Pen::PenNavy1, Brush::BrushNavy);
  Rect(161, 270, 161 + att, 290);
  SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
  Rect(161 + att, 270, 417, 290);

  if (static_cast<uint32_t>(att_init) != state_.last_att_init_drawn) {
    SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
    Rect(140, 316, 440, 360);
  }
  SetFont(s.LabelFont);
  SetColours(kBlack, kSilver);
  Text(att_init + 157, 315, "^", 1);
  WholeText(att_init + 144, 345, context_.texts.Text(6));
  SetColours(kBlack, kWhite);
  std::snprintf(buffer, sizeof buffer, "%03dl", att_init);
  Text(att_init + 147, 326, buffer, 3);
  state_.last_att_init_drawn = static_cast<uint32_t>(att_init);

  // Limit bands around the caret, kept inside the bar.
  const int c = att_init + 161;
  int a = c - link.OptionsRecord[kOptAttMinBj];
  int b = c + link.OptionsRecord[kOptAttMaxBj];
  if (a < 161) a = 161;
  if (b > 418) b = 418;
  int a2 = c - link.OptionsRecord[kOptAttMin];
  int b2 = c + link.OptionsRecord[kOptAttMax];
  if (a2 < 161) a2 = 161;
  if (b2 > 418) b2 = 418;
  SetPenBrush(Pen::PenCyan1, Brush::BrushCyan);
  Rect(a, 295, b, 300);
  SetPenBrush(Pen::PenRed1, Brush::BrushRed);
  Rect(a2, 305, b2, 310);
  SetPenBrush(Pen::PenSilver1, Brush::BrushSilver);
  Rect(160, 295, a, 300);
  Rect(b, 295, 418, 300);
  Rect(160, 305, a2, 310);
  Rect(b2, 305, 418, 310);
}

void ReadingsPage::DrawSwitchingSpeeds(Window& page) {
  SharedState& s = context_.shared;
  const ControllerLink& link = context_.link;
  const uint8_t options = link.ConfigRecord[kConfigOptions];
  const uint8_t(&opt)[16] = link.OptionsRecord;
  char buffer[16];

  SetFont(s.LabelFont);
  const uint32_t cut_off = EngineSpeedFromPeriod(opt[kOptCutOffHi], opt[kOptCutOffLo]);
  std::snprintf(buffer, sizeof buffer, "%04dl", static_cast<int>(cut_off));
  SetColours((options & 0x20) ? kBlack : kGrey, kWhite);
  Text(510, 265, buffer, 4);

  const uint32_t lpg_on = EngineSpeedFromPeriod(opt[kOptLpgOnHi], opt[kOptLpgOnLo]);
  std::snprintf(buffer, sizeof buffer, "%04dl", static_cast<int>(lpg_on));
  SetColours(kBlack, kWhite);
  Text(605, 265, buffer, 4);

  const uint32_t lpg_off = EngineSpeedFromPeriod(opt[kOptLpgOffHi], opt[kOptLpgOffLo]);
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

  TemperatureText(link.ConfigRecord[kConfigLpgOnTemp], buffer);
  SetFont(s.LabelFont);
  SetColours((link.ConfigRecord[kConfigOptions] & 0x02) ? kBlack : kGrey, kWhite);
  WholeText(705, 385, buffer);
}

// ---------------------------------------------------------------------------------------------
// Controller state, messages and the learning lamp.

void ReadingsPage::ShowMessage(int line, int slot, bool red) {
  // Blank the line first: a shorter text drawn over a longer one would otherwise leave the longer
  // one's tail standing after it, and the fitter would read a garbled message.
  BlankLine(line, kMessageLineSpaces[line]);
  SetColours(red ? kRed : kBlack, kWhite);
  WholeText(kMessageX, kMessageLineY[line], context_.texts.Text(slot));
}

void ReadingsPage::BlankLine(int line, int spaces) {
  SetColours(kBlack, kWhite);
  Text(kMessageX, kMessageLineY[line], kSpaces, spaces);
}

void ReadingsPage::DrawStateBox(bool lpg) {
  SetPenBrush(Pen::PenBlack1, lpg ? Brush::BrushCyan : Brush::BrushLime);
  Rect(490, 465, 615, 505);
  if (lpg) {
    SetColours(kBlack, kCyan);
    WholeText(535, 475, context_.texts.Text(15));
  } else {
    SetColours(kBlack, kLime);
    WholeText(515, 475, context_.texts.Text(14));
  }
}

void ReadingsPage::DrawControllerState() {
  ControllerLink& link = context_.link;
  const uint8_t indicator = link.LiveDataRecord[kIndicatorFlags];
  const uint8_t f = link.LiveDataRecord[kStateFlags];
  const uint8_t options = link.ConfigRecord[kConfigOptions];

  if (!link.Connected()) {
    ShowMessage(1, 30, true);
    ShowMessage(3, 31, false);
    BlankLine(2, 55);
    BlankLine(4, 55);
    BlankLine(5, 55);
    DrawStateBox(false);
    state_.LpgOnShown = false;
  } else if (link.GetControllerVariant() != 2) {
    ShowMessage(1, 29, true);
    for (int line = 2; line <= 5; ++line) BlankLine(line, 55);
  } else if ((indicator & 0x08) == 0) {
    ShowMessage(3, 28, true);
    ShowMessage(1, 12, false);
    BlankLine(2, 55);
    BlankLine(4, 55);
    BlankLine(5, 55);
    DrawStateBox(false);
    state_.LpgOnShown = false;
  } else if ((link.ConfigRecord[kConfigEmulType] & 0x80) == 0) {
    if (f & 0x01) {
      ShowMessage(1, 13, false);
      BlankLine(2, 40);
      BlankLine(3, 60);
      BlankLine(4, 55);
      BlankLine(5, 65);
      state_.LpgOnShown = true;
      DrawStateBox(true);
    } else {
      ShowMessage(3, 27, true);
      ShowMessage(1, 12, false);
      BlankLine(2, 40);
      BlankLine(4, 55);
      BlankLine(5, 65);
      state_.LpgOnShown = false;
      DrawStateBox(false);
    }
  } else {
    // Full state display.
    const bool lpg = (f & 0x01) != 0;
    ShowMessage(1, lpg ? 13 : 12, false);
    state_.LpgOnShown = lpg;
    DrawStateBox(lpg);
    DrawFullState(f, options);
  }
  DrawLearningLamp();
}

// Case E: the fuel state has been drawn; learning, its outcome and the switching messages.
void ReadingsPage::DrawFullState(uint8_t f, uint8_t options) {
  ControllerLink& link = context_.link;
  if (f & 0x02) {  // learning running
    state_.LearningShown = true;
    if (state_.SegmentRaised) {
      ShowMessage(5, 16, false);
    } else {
      ShowMessage(5, 17, true);
    }
    return;
  }
  state_.LearningShown = false;
  if (state_.LearnRequested) {
    if ((f & 0x10) == 0) {
      ShowMessage(5, 18, true);
      state_.LearnRequested = false;
    } else if (f & 0x20) {
      ShowMessage(5, 19, true);  // shown again on every tick until the bits change
    } else {
      ShowMessage(5, 20, true);
      state_.LearnRequested = false;
    }
    state_.MessageAge = 0;
  }
  if (f & 0x04) {  // LPG-off condition
    ShowMessage(3, 21, true);
    if (f & 0x80) {
      BlankLine(4, 55);
    } else {
      ShowMessage(4, 22, true);
    }
    return;
  }
  BlankLine(4, 55);
  if ((f & 0x80) == 0) {
    ShowMessage(3, 24, false);
    ShowMessage(4, 22, true);
  } else if (f & 0x40) {
    BlankLine(2, 40);
    if (f & 0x08) {
      ShowMessage(5, 23, true);
    } else {
      // A learn outcome stays on line 5 for 60 ticks, then the line is kept blank.
      state_.MessageAge += 1;
      if (state_.MessageAge > 60) {
        BlankLine(5, 65);
        state_.MessageAge -= 1;
      }
    }
    if ((f & 0x08) == 0) BlankLine(3, 73);
  } else {
    ShowMessage(3, 24, false);
    bool text_25 = true;
    if ((options & 0x10) == 0) {
      const uint32_t lpg_on = EngineSpeedFromPeriod(link.OptionsRecord[kOptLpgOnHi],
                                                    link.OptionsRecord[kOptLpgOnLo]);
      text_25 = context_.shared.CurrentEngineSpeed <= lpg_on;
    }
    ShowMessage(4, text_25 ? 25 : 26, true);
  }
}

void ReadingsPage::DrawLearningLamp() {
  const SharedState& s = context_.shared;
  state_.blink_counter += 1;
  if (state_.blink_counter > 1) {
    state_.BlinkPhase = !state_.BlinkPhase;
    state_.blink_counter = 0;
  }
  Brush brush = Brush::BrushOlive;
  if (state_.LearningShown) {
    if (!state_.SegmentRaised || state_.BlinkPhase) brush = Brush::BrushYellow;
  }
  // The outline is whatever pen the shape context holds (black after a state box).
  dc_.brush = brush;
  dc_.shape->SelectBrush(brush);
  const int x = DesignX(s, 635);
  const int y = DesignY(s, 470);
  dc_.shape->Ellipse(x, y, x + s.LearningLamp, y + s.LearningLamp);
}

}  // namespace korvel

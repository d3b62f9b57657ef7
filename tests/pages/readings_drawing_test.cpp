// What the Readings page draws, at device coordinates: the frame, the live cells and their clamps,
// and the engine-speed dial with its red zone.
#include "tests/pages/readings_fixture.hpp"

namespace korvel::readings_test {
namespace {

constexpr int kConfigOptions = 1;
constexpr int kConfigLambdaType = 2;
constexpr int kConfigLpgOnTemp = 11;
constexpr int kConfigTpsInert = 12;

struct Box {
  int left, top, right, bottom;
  friend bool operator==(const Box&, const Box&) = default;
};
Box BoxOf(const DrawOp& op) { return {op.left, op.top, op.right, op.bottom}; }
Box BoxOf(const DeviceRect& r) { return {r.left, r.top, r.right, r.bottom}; }
std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "(" << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
}

std::vector<const DrawOp*> Ops(const ReadingsWorld& w, DrawKind kind) { return headless::FindOps(w.window->ops, kind); }

bool HasRect(const ReadingsWorld& w, Box box, Brush brush) {
  for (const DrawOp* op : Ops(w, DrawKind::kRectangle)) {
    if (BoxOf(*op) == box && op->brush == brush) return true;
  }
  return false;
}

std::pair<Point, Point> Line(const DrawOp* op) { return {op->points.at(0), op->points.at(1)}; }

// Engine period bytes for a speed: (hi, lo).
void SetPeriod(ReadingsWorld& w, uint16_t period) {
  w.Live(kPeriodHi) = static_cast<uint8_t>(period >> 8);
  w.Live(kPeriodLo) = static_cast<uint8_t>(period & 0xFF);
}

// ---------------------------------------------------------------------------------------------
// Exact device coordinates for three size classes.

struct ClassExpectation {
  int size_class;
  Box background, lambda_panel, dial_panel, message_area, state_box;
  Box segment1, segment4;
  Point lambda_text, att_text, speed_text, line1, line5, label0;
  Box lamp;
  Box hub_cap;
  Point digit4, caption;
  Point hub0, needle0;  // the needle at rest
  Point rim80, major4;  // the major tick at 4000 rpm
};

const ClassExpectation kClasses[] = {
    {1, {0, 0, 640, 438}, {16, 15, 360, 84}, {376, 15, 624, 246}, {24, 308, 352, 392}, {392, 358, 492, 388},
     {113, 123, 170, 142}, {290, 123, 347, 142},
     {32, 34}, {32, 204}, {472, 161}, {32, 311}, {32, 373}, {192, 19},
     {508, 361, 530, 383}, {484, 120, 516, 152}, {493, 52}, {460, 92},
     {486, 144}, {420, 181}, {500, 36}, {500, 48}},
    {2, {0, 0, 800, 570}, {20, 20, 450, 110}, {470, 20, 780, 320}, {30, 400, 440, 510}, {490, 465, 615, 505},
     {140, 160, 212, 185}, {362, 160, 434, 185},
     {40, 45}, {40, 265}, {590, 210}, {40, 405}, {40, 485}, {240, 25},
     {635, 470, 665, 500}, {605, 150, 645, 190}, {617, 65}, {575, 115},
     {608, 180}, {525, 227}, {625, 46}, {625, 60}},
    {5, {0, 0, 1280, 1031}, {32, 36, 720, 199}, {752, 36, 1248, 579}, {48, 724, 704, 923}, {784, 841, 984, 914},
     {225, 288, 340, 335}, {579, 288, 694, 335},
     {64, 81}, {64, 479}, {944, 380}, {64, 733}, {64, 877}, {384, 45},
     {1016, 850, 1071, 905}, {968, 240, 1032, 304}, {987, 104}, {920, 184},
     {972, 288}, {840, 363}, {1000, 73}, {1000, 96}},
};

TEST(ReadingsDrawing, FrameAtDeviceCoordinatesOfClasses1_2_5) {
  for (const ClassExpectation& e : kClasses) {
    SCOPED_TRACE(e.size_class);
    ReadingsWorld w(e.size_class);
    w.page.DrawReadingsFrame(*w.window);
    EXPECT_EQ(w.window->Text(kLearnButtonId), "T33");

    const auto& ops = w.window->ops;
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[0].kind, DrawKind::kRectangle);
    EXPECT_EQ(BoxOf(ops[0]), e.background);
    EXPECT_EQ(ops[0].brush, Brush::BrushGrey);
    EXPECT_EQ(ops[0].pen, Pen::PenGrey1);
    // The smallest page is taller than its scaled frame: the strip under it is grey too.
    EXPECT_EQ(HasRect(w, {0, 438, 640, 450}, Brush::BrushGrey), e.size_class == 1);

    const auto rounds = Ops(w, DrawKind::kRoundRect);
    ASSERT_EQ(rounds.size(), 7u);
    EXPECT_EQ(BoxOf(*rounds[0]), e.lambda_panel);
    EXPECT_EQ(rounds[0]->corner_width, 20);  // corners are not scaled
    EXPECT_EQ(rounds[0]->corner_height, 20);
    EXPECT_EQ(rounds[0]->brush, Brush::BrushSilver);
    EXPECT_EQ(BoxOf(*rounds[6]), e.dial_panel);
    EXPECT_EQ(rounds[6]->brush, Brush::BrushBlack);
    EXPECT_TRUE(HasRect(w, e.message_area, Brush::BrushWhite));
    // The indicator segments are per-class pixels, outlined in their colours.
    EXPECT_TRUE(HasRect(w, e.segment1, Brush::BrushSilver));
    EXPECT_TRUE(HasRect(w, e.segment4, Brush::BrushSilver));

    const DrawOp* label0 = headless::FindText(ops, "T0");
    ASSERT_NE(label0, nullptr);
    EXPECT_EQ((Point{label0->left, label0->top}), e.label0);
    EXPECT_EQ(label0->font, LabelFontOf(e.size_class));
    EXPECT_EQ(label0->background, kSilver);
    const auto degrees = headless::FindTexts(ops, "\xB0\x43");
    ASSERT_EQ(degrees.size(), 2u);
    EXPECT_EQ(degrees[1]->font, ValueFontOf(e.size_class));
    EXPECT_EQ(headless::FindTexts(ops, "V").size(), 3u);
    EXPECT_NE(headless::FindText(ops, "LPG ON:"), nullptr);

    // The dial follows the frame: hub cap, digit 4, caption and the resting needle.
    const auto ellipses = Ops(w, DrawKind::kEllipse);
    ASSERT_EQ(ellipses.size(), 2u);
    EXPECT_EQ(BoxOf(*ellipses[0]), e.hub_cap);
    const DrawOp* digit4 = headless::FindText(ops, "4");
    ASSERT_NE(digit4, nullptr);
    EXPECT_EQ((Point{digit4->left, digit4->top}), e.digit4);
    EXPECT_EQ(digit4->text_colour, kWhite);
    EXPECT_EQ(digit4->background, kBlack);
    const DrawOp* caption = headless::FindText(ops, "RPM x 1000");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ((Point{caption->left, caption->top}), e.caption);
    EXPECT_EQ(caption->count, 10);
    EXPECT_EQ(caption->text_colour, kDialGrey);
    const auto lines = Ops(w, DrawKind::kPolyline);
    ASSERT_EQ(lines.size(), 53u);  // erase, needle, 9 major, 41 minor, needle again
    EXPECT_EQ(Line(lines.back()), std::make_pair(e.hub0, e.needle0));
    EXPECT_EQ(lines.back()->pen, Pen::PenRed4);
    EXPECT_EQ(lines[0]->pen, Pen::PenBlack4);
    EXPECT_EQ(Line(lines[6]), std::make_pair(e.rim80, e.major4));

    // Every panel, cell and label of the class's layout is drawn, in its brush or font.
    const ReadingsFrameLayout f = LayoutReadingsFrame(w.shared);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(BoxOf(*rounds[i]), BoxOf(f.panels[i])) << "panel " << i;
      EXPECT_EQ(rounds[i]->brush, Brush::BrushSilver) << "panel " << i;
    }
    EXPECT_EQ(BoxOf(*rounds[6]), BoxOf(f.dial_panel));
    for (const DeviceRect& cell : {f.tracks[0], f.tracks[1], f.tracks[2], f.att_bar_frame}) {
      EXPECT_TRUE(HasRect(w, BoxOf(cell), Brush::BrushSilver)) << BoxOf(cell);
    }
    auto drawn = [&](const FrameLabel& label, Font font) {
      const std::string text = label.slot >= 0 ? "T" + std::to_string(label.slot)
                                               : std::string(label.fixed, static_cast<size_t>(label.count));
      for (const DrawOp* op : headless::FindTexts(ops, text)) {
        if ((Point{op->left, op->top}) == label.at && op->font == font) return true;
      }
      return false;
    };
    for (const FrameLabel& label : f.labels) EXPECT_TRUE(drawn(label, LabelFontOf(e.size_class))) << label.slot;
    for (const FrameLabel& label : f.value_labels) EXPECT_TRUE(drawn(label, ValueFontOf(e.size_class))) << label.fixed;
  }
}

TEST(ReadingsDrawing, ValuesAtDeviceCoordinatesOfClasses1_2_5) {
  for (const ClassExpectation& e : kClasses) {
    SCOPED_TRACE(e.size_class);
    ReadingsWorld w(e.size_class);
    w.Tick();
    const auto& ops = w.window->ops;
    const DrawOp* lambda = nullptr;
    for (const DrawOp& op : ops) {
      if (op.kind == DrawKind::kText && op.left == e.lambda_text.x && op.top == e.lambda_text.y) lambda = &op;
    }
    ASSERT_NE(lambda, nullptr);
    EXPECT_EQ(lambda->count, 4);
    EXPECT_EQ(lambda->font, ValueFontOf(e.size_class));
    EXPECT_EQ(w.TextAt(40, 265).left, e.att_text.x);
    EXPECT_EQ(w.TextAt(40, 265).top, e.att_text.y);
    EXPECT_EQ(w.TextAt(590, 210).left, e.speed_text.x);
    EXPECT_EQ(w.TextAt(590, 210).top, e.speed_text.y);
    EXPECT_EQ(w.LineDrawn(1).left, e.line1.x);
    EXPECT_EQ(w.LineDrawn(1).top, e.line1.y);
    EXPECT_EQ(w.LineDrawn(5).left, e.line5.x);
    EXPECT_EQ(w.LineDrawn(5).top, e.line5.y);
    ASSERT_NE(w.Lamp(), nullptr);
    EXPECT_EQ(BoxOf(*w.Lamp()), e.lamp);  // the diameter of the class, not scaled
    bool state_box = false;
    for (const DrawOp* op : Ops(w, DrawKind::kRectangle)) state_box |= BoxOf(*op) == e.state_box;
    EXPECT_TRUE(state_box);
    bool segment4 = false;
    for (const DrawOp* op : Ops(w, DrawKind::kRectangle)) {
      segment4 |= BoxOf(*op) == e.segment4 && op->pen == Pen::PenRed1;
    }
    EXPECT_TRUE(segment4);
  }
}

// ---------------------------------------------------------------------------------------------
// Lambda slider, indicator and second input.

TEST(ReadingsDrawing, LambdaSliderIsClampedAt255) {
  ReadingsWorld w;
  w.FakeConnected();
  w.Live(kLambdaProbe) = 60;
  w.link.ConfigRecord[kConfigLambdaType] = 0x00;  // 0..1 V probe: 60 x 5 = 300
  w.Draw();
  EXPECT_EQ(w.TextAt(40, 45).text, "1.17");  // 60 x 0.0196 = 1.176, cut
  EXPECT_TRUE(HasRect(w, {395, 52, 435, 73}, Brush::BrushYellow));
  EXPECT_TRUE(HasRect(w, {137, 52, 395, 73}, Brush::BrushSilver));
  EXPECT_TRUE(HasRect(w, {439, 52, 435, 73}, Brush::BrushSilver));

  w.link.ConfigRecord[kConfigLambdaType] = 0x10;  // another range: the raw value
  w.Live(kIndicatorFlags) = 0x01;                 // dark green
  w.window->ClearOps();
  w.Draw();
  EXPECT_TRUE(HasRect(w, {200, 52, 240, 73}, Brush::BrushGreen));
  w.Live(kIndicatorFlags) = 0x04;
  w.window->ClearOps();
  w.Draw();
  EXPECT_TRUE(HasRect(w, {200, 52, 240, 73}, Brush::BrushRed));
}

TEST(ReadingsDrawing, IndicatorLightsOneSegmentFirstAndRaisesForSegments2To4) {
  ReadingsWorld w;
  w.FakeConnected();
  w.Live(kIndicatorFlags) = 0x23;
  w.Draw();
  const auto rects = Ops(w, DrawKind::kRectangle);
  // Slider first (yellow for value & 7 = 3), its two silver sides, then the segments.
  ASSERT_GE(rects.size(), 7u);
  EXPECT_EQ(rects[0]->brush, Brush::BrushYellow);
  EXPECT_EQ(BoxOf(*rects[3]), (Box{214, 160, 286, 185}));
  EXPECT_EQ(rects[3]->brush, Brush::BrushGreen);
  EXPECT_EQ(rects[3]->pen, Pen::PenGreen1);
  EXPECT_EQ(rects[4]->pen, Pen::PenCyan1);
  EXPECT_EQ(rects[5]->pen, Pen::PenYellow1);
  EXPECT_EQ(rects[6]->pen, Pen::PenRed1);
  for (int i = 4; i <= 6; ++i) EXPECT_EQ(rects[i]->brush, Brush::BrushSilver);
  EXPECT_TRUE(w.state.SegmentRaised);

  for (uint8_t flags : {0x10, 0x30, 0x00, 0xF0}) {
    w.Live(kIndicatorFlags) = flags;
    w.Draw();
    EXPECT_FALSE(w.state.SegmentRaised) << int(flags);
  }
  for (uint8_t flags : {0x40, 0x80}) {
    w.Live(kIndicatorFlags) = flags;
    w.Draw();
    EXPECT_TRUE(w.state.SegmentRaised) << int(flags);
  }
}

TEST(ReadingsDrawing, SecondInputByLambdaMode) {
  ReadingsWorld w;
  w.FakeConnected();
  struct Mode {
    uint8_t lambda_type, aux, indicator;
    const char* text;
    int count;
    int clear_right;  // 0: no clearing rectangle
  };
  for (const Mode& m : {Mode{0x01, 0, 0, "5.00", 4, 0}, Mode{0x01, 255, 0, "0.00", 4, 0},
                        Mode{0x02, 100, 0, "_.__", 4, 0}, Mode{0x06, 0, 0x00, " ON", 3, 105},
                        Mode{0x07, 0, 0x10, "OFF", 3, 110}, Mode{0x08, 51, 0, "0.99", 4, 0}}) {
    w.link.ConfigRecord[kConfigLambdaType] = m.lambda_type;
    w.Live(kAuxInput) = m.aux;
    w.Live(kIndicatorFlags) = m.indicator;
    w.window->ClearOps();
    w.Draw();
    const DrawOp* op = w.LastTextAt(40, 155);
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->text, m.text);
    EXPECT_EQ(op->count, m.count);
    EXPECT_EQ(HasRect(w, {30, 155, m.clear_right, 195}, Brush::BrushSilver), m.clear_right != 0) << m.text;
  }
  w.link.ConfigRecord[kConfigTpsInert] = 10;
  w.Draw();
  EXPECT_EQ(w.TextAt(305, 196).text, "0.22");
  EXPECT_EQ(w.TextAt(305, 196).font, w.shared.LabelFont);
  EXPECT_EQ(w.TextAt(305, 196).count, 4);
}

// ---------------------------------------------------------------------------------------------
// Att panel.

TEST(ReadingsDrawing, AttBarCaretAndBandsStayInsideTheBar) {
  ReadingsWorld w;
  w.FakeConnected();
  w.Live(kAtt) = 255;
  w.Live(kAttInit) = 10;
  w.link.OptionsRecord[2] = 50;   // AttMin
  w.link.OptionsRecord[1] = 20;   // AttMax
  w.link.OptionsRecord[14] = 5;   // AttMin_BJ
  w.link.OptionsRecord[13] = 30;  // AttMax_BJ
  w.Draw();
  EXPECT_EQ(w.TextAt(40, 265).text, "255");
  EXPECT_EQ(w.TextAt(40, 265).count, 3);
  EXPECT_TRUE(HasRect(w, {161, 270, 416, 290}, Brush::BrushNavy));
  EXPECT_TRUE(HasRect(w, {416, 270, 417, 290}, Brush::BrushSilver));
  // c = 171: red band clamped at 161, cyan from 166 to 201.
  EXPECT_TRUE(HasRect(w, {161, 305, 191, 310}, Brush::BrushRed));
  EXPECT_TRUE(HasRect(w, {166, 295, 201, 300}, Brush::BrushCyan));
  EXPECT_TRUE(HasRect(w, {160, 295, 166, 300}, Brush::BrushSilver));
  EXPECT_TRUE(HasRect(w, {201, 295, 418, 300}, Brush::BrushSilver));
  EXPECT_TRUE(HasRect(w, {160, 305, 161, 310}, Brush::BrushSilver));
  EXPECT_TRUE(HasRect(w, {191, 305, 418, 310}, Brush::BrushSilver));
  // The caret moved from 0: its zone is cleared first.
  EXPECT_TRUE(HasRect(w, {140, 316, 440, 360}, Brush::BrushSilver));
  EXPECT_EQ(w.TextAt(167, 315).text, "^");
  EXPECT_EQ(w.TextAt(167, 315).count, 1);
  EXPECT_EQ(w.TextAt(167, 315).background, kSilver);  // on the panel, not on the value's white
  EXPECT_EQ(w.TextAt(154, 345).text, "T6");
  EXPECT_EQ(w.TextAt(154, 345).background, kSilver);
  EXPECT_EQ(w.TextAt(157, 326).text, "010");
  EXPECT_EQ(w.TextAt(157, 326).background, kWhite);

  // Unchanged caret: no clearing.
  w.window->ClearOps();
  w.Draw();
  EXPECT_FALSE(HasRect(w, {140, 316, 440, 360}, Brush::BrushSilver));
}

// ---------------------------------------------------------------------------------------------
// Speeds, temperatures and the dial.

TEST(ReadingsDrawing, SpeedReadoutAndNeedleAreClamped) {
  ReadingsWorld w;
  w.FakeConnected();
  SetPeriod(w, 1666);  // 9000 rpm
  w.Draw();
  EXPECT_EQ(w.shared.CurrentEngineSpeed, 9000u);
  EXPECT_EQ(w.TextAt(590, 210).text, "9000");
  EXPECT_EQ(w.state.LastNeedleIndex, 160u);
  const auto lines = Ops(w, DrawKind::kPolyline);
  ASSERT_EQ(lines.size(), 53u);
  EXPECT_EQ(Line(lines.back()), std::make_pair(Point{642, 180}, Point{725, 227}));  // the 8000 mark

  SetPeriod(w, 1250);  // 12000 rpm: the cell shows the first four characters
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.TextAt(590, 210).text, "1200");
  EXPECT_EQ(w.TextAt(590, 210).count, 4);
  EXPECT_EQ(w.state.LastNeedleIndex, 160u);

  SetPeriod(w, 1);  // 15000000 rpm from a nonsense period: still four characters, nothing overruns
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.TextAt(590, 210).text, "1500");

  w.Live(kPeriodHi) = 255;  // no speed
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.shared.CurrentEngineSpeed, 0u);
  EXPECT_EQ(w.TextAt(590, 210).text, "0000");
  const auto rest = Ops(w, DrawKind::kPolyline);
  ASSERT_EQ(rest.size(), 53u);
  EXPECT_EQ(Line(rest.front()), std::make_pair(Point{642, 180}, Point{725, 227}));  // erased at 160
  EXPECT_EQ(rest.front()->pen, Pen::PenBlack4);
  EXPECT_EQ(Line(rest.back()), std::make_pair(Point{608, 180}, Point{525, 227}));
  EXPECT_EQ(w.state.LastNeedleIndex, 0u);
}

TEST(ReadingsDrawing, DialIsRedrawnOnlyWhenTheSpeedOrLpgOffSpeedChanges) {
  ReadingsWorld w;
  w.FakeConnected();
  w.Draw();  // engine stopped, nothing read: no dial
  EXPECT_EQ(Ops(w, DrawKind::kPolyline).size(), 0u);
  SetPeriod(w, 3000);  // 5000 rpm
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(Ops(w, DrawKind::kPolyline).size(), 53u);
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(Ops(w, DrawKind::kPolyline).size(), 0u);
  // A new LPG-off speed redraws it once (and the same speed does not draw it again).
  w.link.OptionsRecord[11] = 0xA7;
  w.link.OptionsRecord[12] = 0x0A;  // 2727: 5500 rpm
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(Ops(w, DrawKind::kPolyline).size(), 53u);
  EXPECT_EQ(w.state.LpgOffSpeedShown, 5500u);
  EXPECT_EQ(w.state.LastDrawnSpeed, 5000u);
  EXPECT_EQ(w.TextAt(705, 265).text, "5500");
  EXPECT_EQ(w.TextAt(705, 265).text_colour, kGrey);  // LPG-off switching not enabled
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(Ops(w, DrawKind::kPolyline).size(), 0u);
}

TEST(ReadingsDrawing, RedZoneMarksTicksAboveTheLpgOffSpeed) {
  // Which ticks are red for which LPG-off speed is the dial's value test; here the drawing of one.
  ReadingsWorld w;
  w.FakeConnected();
  w.link.ConfigRecord[kConfigOptions] = 0x40;
  w.link.OptionsRecord[11] = 0xA7;
  w.link.OptionsRecord[12] = 0x0A;  // 5500 rpm
  w.Draw();
  const auto lines = Ops(w, DrawKind::kPolyline);
  ASSERT_EQ(lines.size(), 53u);
  std::vector<int> major, minor;
  for (int k = 0; k <= 8; ++k) {
    const Pen pen = lines[2 + k]->pen;
    EXPECT_TRUE(pen == Pen::PenRed2 || pen == Pen::PenLightGrey2);
    if (pen == Pen::PenRed2) major.push_back(k);
  }
  for (int k = 0; k <= 40; ++k) {
    if (lines[11 + k]->pen == Pen::PenRed2) minor.push_back(k);
  }
  EXPECT_EQ(major, (std::vector<int>{6, 7, 8}));
  std::vector<int> expected_minor;
  for (int k = 28; k <= 40; ++k) expected_minor.push_back(k);
  EXPECT_EQ(minor, expected_minor);
  EXPECT_EQ(w.TextAt(705, 265).text_colour, kBlack);
  // The major tick k is drawn from the rim at position 20k to the major table.
  EXPECT_EQ(Line(lines[2 + 4]), std::make_pair(Point{625, 46}, Point{625, 60}));
}

TEST(ReadingsDrawing, SwitchingSpeedsAndTemperatures) {
  ReadingsWorld w;
  w.FakeConnected();
  w.link.OptionsRecord[8] = 0x98;
  w.link.OptionsRecord[9] = 0x3A;  // 15000: 1000 rpm cut-off
  w.link.OptionsRecord[5] = 0x4C;
  w.link.OptionsRecord[6] = 0x1D;  // 7500: 2000 rpm LPG on
  w.link.ConfigRecord[kConfigLpgOnTemp] = 255;
  w.Live(kTempRaw) = 230;
  w.Draw();
  EXPECT_EQ(w.TextAt(510, 265).text, "1000");
  EXPECT_EQ(w.TextAt(510, 265).text_colour, kGrey);
  EXPECT_EQ(w.TextAt(605, 265).text, "2000");
  EXPECT_EQ(w.TextAt(605, 265).text_colour, kBlack);
  EXPECT_EQ(w.TextAt(490, 375).text, "083");
  EXPECT_EQ(w.TextAt(490, 375).background, kWhite);
  EXPECT_EQ(w.TextAt(705, 385).text, "100");
  EXPECT_EQ(w.TextAt(705, 385).text_colour, kGrey);

  w.link.ConfigRecord[kConfigOptions] = 0x22;
  w.link.ConfigRecord[kConfigLpgOnTemp] = 0;
  w.Live(kStateFlags) = 0x08;  // cut-off: the label before the temperature is red on silver
  w.window->ClearOps();
  w.Draw();
  EXPECT_EQ(w.TextAt(510, 265).text_colour, kBlack);
  EXPECT_EQ(w.TextAt(490, 375).text_colour, kBlack);
  EXPECT_EQ(w.TextAt(490, 375).background, kWhite);
  // The cell is first cleared of its widest value, white on white, or '00' would read '000'.
  std::vector<const DrawOp*> cell;
  for (const DrawOp& op : w.window->ops) {
    if (op.kind == DrawKind::kText && op.left == 705 && op.top == 385) cell.push_back(&op);
  }
  ASSERT_EQ(cell.size(), 2u);
  EXPECT_EQ(cell[0]->text, "100");
  EXPECT_EQ(cell[0]->text_colour, kWhite);
  EXPECT_EQ(cell[0]->background, kWhite);
  EXPECT_EQ(cell[1]->text, "00");
  EXPECT_EQ(cell[1]->text_colour, kBlack);
}

}  // namespace
}  // namespace korvel::readings_test

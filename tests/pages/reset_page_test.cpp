// The factory-reset page: the command frame and its acknowledgement delay against the simulated
// controller, and which message box follows from the acknowledgement.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "pages/service/reset_controls.hpp"
#include "pages/service/reset_page.hpp"
#include "tests/link/scripted_port.hpp"
#include "tests/pages/page_world.hpp"
#include "texts/text_slots.hpp"

namespace korvel {
namespace {

using testing::Box;
using testing::T;
using Frame = std::array<uint8_t, 4>;

// The page open over the simulated controller, or over `line` when one is given.
struct ResetWorld : testing::PageWorld {
  explicit ResetWorld(SerialPort* line = nullptr, int size_class = 2) : PageWorld(size_class, {800, 600}, {}, line) {
    Open(page, kResetTemplate, false);
  }
  bool Press() { return window->UserClick(kResetButton); }
  const headless::MessageBoxRecord& LastBox() const { return host.message_boxes.back(); }

  ResetPage page{context};
};

void ExpectBox(const headless::MessageBoxRecord& box, bool confirmed) {
  EXPECT_EQ(box.caption, T(lang::kResetCaption));
  EXPECT_EQ(box.text, T(confirmed ? lang::kResetConfirmed : lang::kResetNotConfirmed));
  EXPECT_EQ(box.icon, confirmed ? MessageIcon::kInformation : MessageIcon::kWarning);
  EXPECT_EQ(box.buttons, MessageButtons::kOk);
}

TEST(ResetPage, EachPressSendsTheResetFrameWaits250MsAndTheControllerReturnsToItsFactorySet) {
  ResetWorld w;
  w.link.ReadIdentity();
  ASSERT_TRUE(w.link.Connected());
  for (int address = sim::kFirstParameterAddress; address <= sim::kLastParameterAddress; ++address) {
    if (sim::IsParameterAddress(address)) w.model.SetParameter(address, sim::kFactorySettings[address] ^ 0x03);
  }

  for (int press = 1; press <= 2; ++press) {
    SCOPED_TRACE("press " + std::to_string(press));
    w.port.ClearFrames();
    const uint64_t before_us = w.clock.now_us;
    ASSERT_TRUE(w.Press());
    // The controller acknowledges 100 ms after the frame; the page waits 250 ms before it reads,
    // and no longer than the read's own time-out after that (the identity answers at once).
    const uint64_t took_ms = (w.clock.now_us - before_us) / 1000;
    EXPECT_GE(took_ms, 250u);
    EXPECT_LE(took_ms, 250u + 130u);
    EXPECT_EQ(w.port.frames, (std::vector<Frame>{{0x65, 0x01, 0x01, 0x67}, {0x65, 0x1E, 0x33, 0xB6}}));
    EXPECT_EQ(w.link.state.WriteDelay, 0u);
    ASSERT_EQ(w.host.message_boxes.size(), static_cast<size_t>(press));
    ExpectBox(w.LastBox(), true);
  }
  for (int address = sim::kFirstParameterAddress; address <= sim::kLastParameterAddress; ++address) {
    if (sim::IsParameterAddress(address)) {
      EXPECT_EQ(w.model.Parameter(address), sim::kFactorySettings[address]) << "address " << address;
    }
  }
}

TEST(ResetPage, TheBoxFollowsAcknowledgementByteOneAlone) {
  struct Case {
    const char* what;
    std::vector<uint8_t> reply;
    bool confirmed;
  };
  const Case cases[] = {
      {"a correct acknowledgement", {0x65, 0x33, 0x98}, true},
      {"byte 1 right, lead byte and checksum wrong", {0x00, 0x33, 0x00}, true},
      {"byte 1 right, other bytes noise", {0xFF, 0x33, 0x12}, true},
      {"byte 1 right, the rest missing", {0x65, 0x33}, true},
      {"another value acknowledged", {0x65, 0x32, 0x97}, false},
      {"byte 1 zero", {0x65, 0x00, 0x65}, false},
      {"only the lead byte", {0x65}, false},
      {"silence", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScriptedPort port;
    ResetWorld w(&port);
    // A confirmation left over from an earlier write must not count for this one.
    w.link.WriteAcknowledgement[1] = 0x33;
    port.Reply({0x65, 0x12, 0x25, 0x9C});  // the identity asked first: variant 2
    port.Reply(c.reply);
    ASSERT_TRUE(w.Press());
    ASSERT_EQ(port.frames.size(), 2u);
    EXPECT_EQ(port.sleeps, (std::vector<uint32_t>{250}));
    ASSERT_EQ(w.host.message_boxes.size(), 1u);
    ExpectBox(w.LastBox(), c.confirmed);
  }
}

TEST(ResetPage, TheCommandIsSentOnlyToAControllerThatJustSaidItIsOfVariantTwo) {
  // Silent from the start, of variant 3 from the start, and swapped for a variant-3 controller
  // after a variant-2 one answered.
  for (const int case_number : {0, 1, 2}) {
    SCOPED_TRACE(case_number);
    ResetWorld w;
    if (case_number == 0) w.model.faults.silence = true;
    if (case_number == 1) w.model.SetVariant(3);
    if (case_number == 2) {
      w.link.ReadIdentity();
      ASSERT_EQ(w.link.GetControllerVariant(), 2u);
      w.model.SetVariant(3);
    }
    w.model.SetParameter(sim::kFirstParameterAddress, sim::kFactorySettings[sim::kFirstParameterAddress] ^ 0x03);
    w.port.ClearFrames();
    ASSERT_TRUE(w.Press());
    EXPECT_EQ(w.port.frames, (std::vector<Frame>{{0x65, 0x01, 0x01, 0x67}})) << "the identity, and no command";
    EXPECT_NE(w.model.Parameter(sim::kFirstParameterAddress), sim::kFactorySettings[sim::kFirstParameterAddress]);
    ASSERT_EQ(w.host.message_boxes.size(), 1u);
    ExpectBox(w.LastBox(), false);
  }
}

// Each size class puts the heading, the explanation and the button in their own places on a page
// that fills the main window from its top-left corner, labelled in the language in force.
TEST(ResetPage, PaintLabelsAndPlacesTheControlsOfEachSizeClass) {
  struct Case {
    int size_class;
    PixelRect heading, explanation, button;
  };
  const Case cases[] = {
      {1, {65, 90, 800, 40}, {65, 130, 800, 40}, {85, 190, 450, 45}},
      {2, {150, 130, 800, 40}, {150, 170, 800, 40}, {120, 250, 550, 55}},
      {3, {250, 150, 800, 40}, {250, 200, 800, 40}, {150, 300, 700, 65}},
      {4, {360, 250, 800, 40}, {360, 300, 800, 40}, {220, 400, 800, 75}},
      {5, {360, 300, 800, 40}, {360, 350, 800, 40}, {220, 450, 800, 75}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("size class " + std::to_string(c.size_class));
    ResetWorld w(nullptr, c.size_class);
    w.window->Paint();
    EXPECT_EQ(Box(w.window->rect()), Box(PixelRect{0, 0, w.shared.page_width, w.shared.page_height}));
    EXPECT_EQ(Box(w.window->Control(kResetHeadingText)->rect), Box(c.heading));
    EXPECT_EQ(Box(w.window->Control(kResetExplanationText)->rect), Box(c.explanation));
    EXPECT_EQ(Box(w.window->Control(kResetButton)->rect), Box(c.button));
    EXPECT_EQ(w.window->Text(kResetHeadingText), T(lang::kResetHeading));
    EXPECT_EQ(w.window->Text(kResetExplanationText), T(lang::kResetExplanation));
    EXPECT_EQ(w.window->Text(kResetButton), T(lang::kResetButton));
  }
}

}  // namespace
}  // namespace korvel

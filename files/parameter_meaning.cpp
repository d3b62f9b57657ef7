#include "files/parameter_meaning.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include "link/conversions.hpp"
#include "link/live_data.hpp"
#include "texts/plain_file.hpp"

namespace korvel {

namespace {

constexpr const char* kNotInList = "not in the page's list";

// snprintf into a std::string.
template <typename... Values>
std::string Format(const char* format, Values... values) {
  char text[64];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// A choice the pages take from a language slot, in UTF-8; `fallback` when there are no texts (or
// the slot is empty).
std::string SlotText(const ParameterSetContext& context, int slot, const std::string& fallback) {
  if (context.texts == nullptr || context.texts->Text(slot)[0] == '\0') return fallback;
  // A language file is any file: its control characters are shown escaped, never sent to a terminal.
  return PrintableText(Cp1250ToUtf8(context.texts->Text(slot)));
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

uint8_t ValueOf(const ParameterSetContext& context, Parameter parameter) {
  return context.values[static_cast<int>(parameter)];
}

std::string Signed(long value) { return Format(value > 0 ? "+%ld" : "%ld", value); }

std::string OptionsText(uint8_t raw, const ParameterSetContext& context) {
  std::vector<std::string> items;
  if ((raw & 0x01) != 0) items.push_back("bit 0 set");
  if ((raw & 0x02) != 0) items.push_back("LPG switch-on temperature on");
  items.push_back((raw & 0x04) == 0 ? "AttInit set manually" : "AttInit automatic");
  if ((raw & 0x08) != 0) items.push_back("acceleration enrichment");
  const int choice = (raw >> 4) & 1;
  items.push_back("switch to LPG on " + SlotText(context, 82 + choice, "choice " + std::to_string(choice)));
  if ((raw & 0x20) != 0) items.push_back("cut-off active");
  if ((raw & 0x40) != 0) items.push_back("LPG off above engine speed");
  if ((raw & 0x80) != 0) items.push_back("bit 7 set");
  return Join(items, ", ");
}

std::string LambdaTypeText(uint8_t raw, const ParameterSetContext& context) {
  const uint8_t range = LambdaRange(raw);
  const uint8_t mode = LambdaMode(raw);
  std::string text = range < 6 ? std::string(kLambdaRangeNames[range])
                               : "range " + std::to_string(range) + " (" + kNotInList + ")";
  const int position = LambdaModePosition(mode);
  text += ", " + SlotText(context, 84 + position, "mode " + std::to_string(mode));
  // A mode the page never writes shows as the entry of a neighbour; say which one it really is.
  if (context.texts != nullptr && kLambdaModeValues[position] != mode) text += " (mode " + std::to_string(mode) + ")";
  return text;
}

std::string LambdaPointText(uint8_t raw, const ParameterSetContext& context) {
  const uint8_t range = LambdaRange(ValueOf(context, Parameter::LambdaType));
  const int offset = LambdaPointOffset(range);
  const int count = range == 0 ? 11 : range == 5 ? 16 : 51;
  const long k = raw - offset;
  if (k < 0 || k >= count) return Format("%d,%02d V", raw * 2 / 100, raw * 2 % 100) + " (" + kNotInList + ")";
  if (range == 0) return Format("0,%ld V", 40 + 2 * k);
  if (range == 5) return Format("1,%02ld V", 2 * k);
  return Format("%ld:%02ld V", 2 + k / 50, (2 * k) % 100);
}

std::string EmulTypeText(uint8_t raw, const ParameterSetContext& context) {
  std::vector<std::string> items;
  const int kind = raw & 3;
  items.push_back(kind < 3 ? "emulation " + SlotText(context, 61 + kind, "kind " + std::to_string(kind))
                           : "emulation kind 3 (" + std::string(kNotInList) + ")");
  if ((raw & 0x04) != 0) items.push_back("bit 2 set");
  items.push_back((raw & 0x08) != 0 ? "gas opening time on" : "gas opening time off");
  const int driving = (raw >> 4) & 3;
  items.push_back(driving < 3 ? "driving type " + SlotText(context, 129 + driving, std::to_string(driving))
                              : "driving type 3 (" + std::string(kNotInList) + ")");
  if ((raw & 0x40) != 0) items.push_back("bit 6 set");
  if ((raw & 0x80) != 0) items.push_back("bit 7 set");
  return Join(items, ", ");
}

// The two corrections of an EmulDO byte, named as the corrections dialog names them.
std::string CorrectionsText(uint8_t raw, int first_label_slot, int low_top, int high_top,
                            const ParameterSetContext& context) {
  const std::string low = SlotText(context, first_label_slot, "bits 0-3");
  const std::string high = SlotText(context, first_label_slot + 1, "bits 4-7");
  return low + " " + Signed(EmulDoCorrection(low_top, raw & 0x0F)) + "; " + high + " " +
         Signed(EmulDoCorrection(high_top, static_cast<uint8_t>(raw >> 4)));
}

// An engine-speed pair, from either of its bytes, with the span of the page's list.
std::string SpeedText(Parameter low, uint32_t base, uint32_t top, const ParameterSetContext& context) {
  const auto high = static_cast<Parameter>(static_cast<int>(low) + 1);
  const uint32_t rpm = EngineSpeedFromPeriod(ValueOf(context, high), ValueOf(context, low));
  std::string text = Format("%u rpm", static_cast<unsigned>(rpm));
  if (rpm < base || rpm > top) text += std::string(" (") + kNotInList + ")";
  return text;
}

}  // namespace

std::string DescribeParameterValue(Parameter parameter, uint8_t raw, const ParameterSetContext& context) {
  const long n = raw;
  switch (parameter) {
    case Parameter::Options:
      return OptionsText(raw, context);
    case Parameter::LambdaType:
      return LambdaTypeText(raw, context);
    case Parameter::LambdaPoint:
      return LambdaPointText(raw, context);
    case Parameter::LambdaDelay:
      return n >= 1 ? Format("%ld:%02ld min:s", n / 12, 5 * (n % 12)) : kNotInList;
    case Parameter::EmulType:
      return EmulTypeText(raw, context);
    case Parameter::EmulBJ_TimeHi:
    case Parameter::EmulBJ_TimeLo:
      return n >= 1 ? Format("%ld,%03ld ms", n / 40, 25 * (n % 40)) : kNotInList;
    case Parameter::EmulDO_TimeHi:
      return CorrectionsText(raw, 99, kEmulDoHiLowTop, kEmulDoHiHighTop, context);
    case Parameter::EmulDO_TimeLo:
      return CorrectionsText(raw, 101, kEmulDoLoLowTop, kEmulDoLoHighTop, context);
    case Parameter::InjectDelay:
      return n >= 1 && n <= 50 ? Format("%ld,%ld ms", n / 10, n % 10) : kNotInList;
    case Parameter::Otwarcie_GAZU:
      return n >= 1 && n <= 50 ? Format("%ld,%ld s", n / 10, n % 10) : kNotInList;
    case Parameter::LPGOnTemp:
      return Format("%d \u00B0C", static_cast<int>(TemperatureFromRaw(raw)));
    case Parameter::AttMax:
    case Parameter::AttMax_BJ:
      return Format("+%ld", n);
    case Parameter::AttMin:
    case Parameter::AttMin_BJ:
      return Format("-%ld", n);
    case Parameter::AttInit:
    case Parameter::AttJump:
      return Format("%ld", n);
    case Parameter::TPSJump:
      return n / 5 <= 50 ? Format("%ld,%ld V", n / 5 / 10, n / 5 % 10) : kNotInList;
    case Parameter::LPGOnRPMLo:
    case Parameter::LPGOnRPMHi:
      return SpeedText(Parameter::LPGOnRPMLo, kLpgOnSpeedBase, 3500, context);
    case Parameter::CutOffRPMLo:
    case Parameter::CutOffRPMHi:
      return SpeedText(Parameter::CutOffRPMLo, kCutOffSpeedBase, 2500, context);
    case Parameter::LPGOffRPMLo:
    case Parameter::LPGOffRPMHi:
      return SpeedText(Parameter::LPGOffRPMLo, kLpgOffSpeedBase, 8000, context);
    case Parameter::IgnitionType:
      if (n < 1 || n > 18) return "type " + std::to_string(n) + " (" + kNotInList + ")";
      return SlotText(context, 63 + raw, "type " + std::to_string(n));
    case Parameter::CutOffSteps:
      return n >= 2 && n <= 101 ? Format("%ld %%", 2 * CutOffStepsPosition(raw) + 2) : kNotInList;
    case Parameter::TPSInert:
      return n >= 1 && n <= 19 ? Format("0,%02ld V", 2 * n + 2) : kNotInList;
  }
  return {};
}

}  // namespace korvel

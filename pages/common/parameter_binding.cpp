#include "pages/common/parameter_binding.hpp"

#include <cstdio>

namespace korvel {

namespace {

// Entry text of a number list. The longest text is two longs with their signs, a separator and
// the terminating NUL.
void AddEntry(Window& window, int id, const ListEntries& entries, long k) {
  char text[2 * 20 + 2 + 1 + 2];
  const long v = entries.first + entries.step * k;
  switch (entries.kind) {
    case ListEntries::kFractions:
      std::snprintf(text, sizeof text, entries.format, v / entries.divisor, (v % entries.divisor) * entries.scale);
      break;
    case ListEntries::kSigned:
      std::snprintf(text, sizeof text, v > 0 ? "+%ld" : "%ld", v);
      break;
    default:
      std::snprintf(text, sizeof text, entries.format, v);
      break;
  }
  window.AddListEntry(id, text);
}

ListEntries EntriesOf(const BindingScope& scope, const ParameterBinding& row) {
  return row.entries.kind == ListEntries::kByLambdaRange ? LambdaPointEntries(scope.lambda_range) : row.entries;
}

int StoredField(const ControllerLink& link, const ParameterBinding& row) {
  return (Stored(link, row.parameter) & static_cast<uint8_t>(~row.keep)) >> FieldShift(row.keep);
}

// The list position (or check, 1 ticked) that shows the parameter's stored byte.
int StoredPosition(const BindingScope& scope, const ParameterBinding& row, const ListEntries& entries) {
  const ControllerLink& link = scope.link;
  const uint8_t raw = Stored(link, row.parameter);
  switch (Describe(row.parameter).encoding) {
    case Encoding::kPlain:
      return raw;
    case Encoding::kPlainPlusOne:
      return PlainPlusOnePosition(raw);
    case Encoding::kLambdaPoint:
      return LambdaPointPosition(raw, scope.lambda_range);
    case Encoding::kTpsJump:
      return TpsJumpPosition(raw);
    case Encoding::kCutOffSteps:
      return CutOffStepsPosition(raw);
    case Encoding::kTemperature:
      return LpgOnTempPosition(raw);
    case Encoding::kSpeedPairLo:
      return SpeedPairPosition(link, row.parameter, static_cast<uint32_t>(entries.first));
    case Encoding::kSpeedPairHi:
      return -1;  // a pair is bound by its Lo parameter
    case Encoding::kBitField:
      break;
  }
  const int field = StoredField(link, row);
  switch (row.rule) {
    case FieldRule::kReversed:
      return FieldMax(row.keep) - field;
    case FieldRule::kLambdaMode:
      return LambdaModePosition(static_cast<uint8_t>(field));
    case FieldRule::kPosition:
      break;
  }
  return field;
}

// The field a bit-field write puts in place of the edited bits, for list position k.
uint8_t FieldFor(const ParameterBinding& row, int k) {
  int field = k;
  if (row.rule == FieldRule::kReversed) field = FieldMax(row.keep) - k;
  if (row.rule == FieldRule::kLambdaMode) field = kLambdaModeValues[k];
  return static_cast<uint8_t>(field << FieldShift(row.keep));
}

}  // namespace

ListEntries LambdaPointEntries(uint8_t range) {
  if (range == 0) return Fractions(11, "%ld,%02ld", 40, 2, 100, 1);
  if (range == 5) return Fractions(16, "%ld,%02ld", 100, 2, 100, 1);
  return Fractions(51, "%ld:%02ld", 200, 2, 100, 1);
}

void FillList(Window& window, const BindingScope& scope, const ParameterBinding& row) {
  const ListEntries entries = EntriesOf(scope, row);
  switch (entries.kind) {
    case ListEntries::kCheckBox:
      return;
    case ListEntries::kTexts:
      for (int k = 0; k < entries.count; ++k) {
        window.AddListEntry(row.control, scope.texts.Text(static_cast<int>(entries.first) + k));
      }
      return;
    case ListEntries::kNames:
      for (int k = 0; k < entries.count; ++k) window.AddListEntry(row.control, entries.names[k]);
      return;
    default:
      for (long k = 0; k < entries.count; ++k) AddEntry(window, row.control, entries, k);
      return;
  }
}

void ShowStored(Window& window, const BindingScope& scope, const ParameterBinding& row) {
  // A list its box hides keeps the selection it had.
  if (row.selected_while != 0 && !window.GetCheck(row.selected_while)) return;
  const ListEntries entries = EntriesOf(scope, row);
  const int position = StoredPosition(scope, row, entries);
  if (entries.kind != ListEntries::kCheckBox) {
    window.SelectListEntry(row.control, position);
    return;
  }
  // The controls follow the box as the window system keeps it.
  window.SetCheck(row.control, position == 1);
  const bool ticked = window.GetCheck(row.control);
  for (int id : row.shows) window.ShowControl(id, ticked);
}

void WriteChoice(Window& window, const BindingScope& scope, const ParameterBinding& row) {
  const ListEntries entries = EntriesOf(scope, row);
  const bool box = entries.kind == ListEntries::kCheckBox;
  const int k = box ? (window.GetCheck(row.control) ? 1 : 0) : window.GetListSelection(row.control);
  if (k < 0 || k >= entries.count) return;  // a list without a selection has nothing to send
  ControllerLink& link = scope.link;
  const Parameter parameter = row.parameter;
  switch (Describe(parameter).encoding) {
    case Encoding::kPlain:
      WriteParameterValue(link, parameter, static_cast<uint8_t>(k));
      break;
    case Encoding::kPlainPlusOne:
      WriteParameterValue(link, parameter, static_cast<uint8_t>(k + 1));
      break;
    case Encoding::kLambdaPoint:
      WriteParameterValue(link, parameter, static_cast<uint8_t>(k + LambdaPointOffset(scope.lambda_range)));
      break;
    case Encoding::kTpsJump:
      WriteParameterValue(link, parameter, TpsJumpValue(k));
      break;
    case Encoding::kCutOffSteps:
      WriteParameterValue(link, parameter, CutOffStepsValue(k));
      break;
    case Encoding::kTemperature:
      WriteParameterValue(link, parameter, LpgOnTempValue(k));
      break;
    case Encoding::kSpeedPairLo:
      WriteEngineSpeedPair(link, parameter, static_cast<uint32_t>(entries.first + entries.step * k));
      break;
    case Encoding::kSpeedPairHi:
      return;
    case Encoding::kBitField:
      WriteBitField(link, parameter, row.keep, FieldFor(row, k));
      break;
  }
  if (row.after_write != nullptr) row.after_write(link, k);
}

bool OnBoundCommand(Window& window, const BindingScope& scope, SharedState& shared,
                    std::span<const ParameterBinding> rows, int control_id, int code) {
  for (const ParameterBinding& row : rows) {
    if (row.control != control_id) continue;
    if (row.entries.kind == ListEntries::kCheckBox) {
      if (code == kButtonClicked) WriteChoice(window, scope, row);
    } else if (code == kComboSelectionChanged) {
      WriteChoice(window, scope, row);
    } else {
      shared.DropDownOpen = (code == kComboDroppedDown);
    }
    return true;
  }
  return false;
}

}  // namespace korvel

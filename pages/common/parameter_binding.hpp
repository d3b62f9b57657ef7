#pragma once
// One row per editing control of a parameter page: which parameter the control edits, what its
// list holds, and which bits of the parameter's byte a write keeps. The page's fill, refresh and
// write walk the same rows, so a parameter is described once. How a list position becomes the
// byte sent (and back) is the parameter's encoding in the parameter map.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"
#include "pages/common/shared_state.hpp"
#include "platform/window.hpp"
#include "texts/language_table.hpp"

namespace korvel {

// What an editing control lists. Entry k of a number list shows v = first + step * k: whole, or
// split by `divisor` into v / divisor and (v % divisor) * scale for a format of two numbers.
struct ListEntries {
  enum Kind : uint8_t {
    kNumbers,       // format of v
    kFractions,     // format of v / divisor, (v % divisor) * scale
    kSigned,        // "+%ld" above zero, "%ld" otherwise
    kTexts,         // `count` language slots from slot `first`
    kNames,         // fixed texts
    kByLambdaRange, // the LambdaPoint list of the lambda range the page shows
    kCheckBox,      // no list: position 1 is ticked, 0 clear
  };
  Kind kind;
  int count;
  long first = 0;
  long step = 1;
  const char* format = nullptr;
  long divisor = 1;
  long scale = 1;
  const char* const* names = nullptr;
};

constexpr ListEntries Numbers(int count, const char* format, long first = 0, long step = 1) {
  return {ListEntries::kNumbers, count, first, step, format};
}
constexpr ListEntries Fractions(int count, const char* format, long first, long step, long divisor, long scale) {
  return {ListEntries::kFractions, count, first, step, format, divisor, scale};
}
constexpr ListEntries Signed(int count, long first, long step) { return {ListEntries::kSigned, count, first, step}; }
// The language texts of slots first_slot .. last_slot.
constexpr ListEntries Texts(int first_slot, int last_slot) {
  return {ListEntries::kTexts, last_slot - first_slot + 1, first_slot};
}
template <int N>
constexpr ListEntries Names(const char* const (&names)[N]) {
  return {ListEntries::kNames, N, 0, 1, nullptr, 1, 1, names};
}
constexpr ListEntries ByLambdaRange() { return {ListEntries::kByLambdaRange, 0}; }
constexpr ListEntries CheckBox() { return {ListEntries::kCheckBox, 2}; }

// The LambdaPoint list for a lambda range: 0,40..0,60 (range 0), 1,00..1,30 (range 5), 2:00..3:00.
ListEntries LambdaPointEntries(uint8_t range);

// How a bit field holds list position k.
enum class FieldRule : uint8_t {
  kPosition,    // the field is k
  kReversed,    // the field is its largest value minus k (corrections; a box ticked while clear)
  kLambdaMode,  // the field is kLambdaModeValues[k]; shown by LambdaModePosition
};

struct ParameterBinding {
  int control;
  Parameter parameter;  // an engine-speed pair by its Lo parameter
  ListEntries entries;
  uint8_t keep = 0;  // bit fields: the bits a write sends back as the controller holds them
  FieldRule rule = FieldRule::kPosition;
  std::span<const int> shows = {};  // check boxes: the controls shown while ticked
  int selected_while = 0;           // a check box: the list shows the record only while it is ticked
  void (*after_write)(ControllerLink& link, int k) = nullptr;  // a write that follows this one
};

// Where the rows are read and written: the link's records, the language texts of text lists, and
// the lambda range the page's LambdaPoint list is built for.
struct BindingScope {
  ControllerLink& link;
  const LanguageTable& texts;
  uint8_t lambda_range = 0;
};

// Adds the row's entries to its list (nothing for a check box).
void FillList(Window& window, const BindingScope& scope, const ParameterBinding& row);
// Shows the stored byte: selects the list position, or sets the box from its bit, reads the check
// back and shows or hides the box's controls by what it reads.
void ShowStored(Window& window, const BindingScope& scope, const ParameterBinding& row);
// Sends the write of the control's new selection or check; nothing for a list without one.
void WriteChoice(Window& window, const BindingScope& scope, const ParameterBinding& row);
// A command from a bound control: a list's selection change or a box's click writes; any other
// code of a list tells whether a list is dropped down. False when no row binds the control.
bool OnBoundCommand(Window& window, const BindingScope& scope, SharedState& shared,
                    std::span<const ParameterBinding> rows, int control_id, int code);

// The lowest bit of a bit field: the first bit a write does not keep.
constexpr int FieldShift(uint8_t keep) { return std::countr_zero(static_cast<uint8_t>(~keep)); }
constexpr int FieldMax(uint8_t keep) { return static_cast<uint8_t>(~keep) >> FieldShift(keep); }

// A table the walkers can trust: control ids once each; a row that keeps bits keeps all but one
// run of edited bits, wide enough for every entry of its list.
constexpr bool SoundBindings(std::span<const ParameterBinding> rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const ParameterBinding& row = rows[i];
    for (size_t j = i + 1; j < rows.size(); ++j) {
      if (rows[j].control == row.control) return false;
    }
    if (row.keep == 0) continue;
    if (row.keep == 0xFF || ((FieldMax(row.keep) + 1) & FieldMax(row.keep)) != 0) return false;
    int largest = row.entries.count - 1;
    if (row.rule == FieldRule::kLambdaMode) {
      if (row.entries.count > static_cast<int>(std::size(kLambdaModeValues))) return false;
      largest = kLambdaModeValues[row.entries.count - 1];
    }
    if (largest > FieldMax(row.keep)) return false;
  }
  return true;
}

}  // namespace korvel

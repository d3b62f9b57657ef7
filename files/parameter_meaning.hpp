#pragma once
#include <cstdint>
#include <string>

#include "link/parameter_map.hpp"
#include "texts/language_table.hpp"

namespace korvel {

// What a parameter byte means depends on its set: LambdaPoint's list on LambdaType's range, an
// engine speed on both bytes of its pair.
struct ParameterSetContext {
  const uint8_t (&values)[kParameterCount];  // the 28 values of the set, in file order
  // Texts for the choices the pages take from language slots (ignition types, lambda modes,
  // emulation kinds, driving types, the two-way switch choice, the correction names); null: those
  // choices are given by their number only.
  const LanguageTable* texts = nullptr;
};

// The meaning of `raw` as the fitter reads it on the Configuration and Options pages: list texts
// with the pages' own formats and the unit ("0,44 V", "0:05 min:s", "2300 rpm", "40 °C", "+12"),
// and bit fields by their fields. A byte that no entry of the page's list shows is given by its
// value and said to be outside the list. UTF-8.
std::string DescribeParameterValue(Parameter parameter, uint8_t raw, const ParameterSetContext& context);

}  // namespace korvel

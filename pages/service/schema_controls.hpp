#pragma once
// Controls of the wiring-diagram page (template 132), shared by the page and its template.

namespace korvel {

constexpr int kSchemaTemplate = 132;

enum SchemaControl : int {
  kSchemaHorizontalBar = 1120,  // moves the diagram's x offset
  kSchemaVerticalBar = 1121,    // moves the diagram's y offset
};

}  // namespace korvel

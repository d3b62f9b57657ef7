#pragma once
#include "link/controller_link.hpp"
#include "pages/common/gauge_geometry.hpp"
#include "pages/common/shared_state.hpp"
#include "platform/window.hpp"
#include "texts/language_table.hpp"

namespace korvel {

// What every page and dialog procedure works with; the application object owns all of it.
struct PageContext {
  ControllerLink& link;
  LanguageTable& texts;
  SharedState& shared;
  const GaugeTables& gauges;
  Host& host;
};

}  // namespace korvel

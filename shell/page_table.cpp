#include "shell/page_table.hpp"

#include "pages/configuration/configuration_controls.hpp"
#include "pages/options/options_controls.hpp"
#include "pages/oscilloscope/oscilloscope_controls.hpp"
#include "pages/readings/readings_controls.hpp"
#include "pages/service/service_templates.hpp"
#include "shell/application.hpp"
#include "shell/main_window.hpp"

namespace korvel {

namespace {

const PageEntry kPageTable[] = {
    {kReadingsPage, [](Application& a) -> PageProcedure& { return a.readings_page; }},
    {kConfigurationPage, [](Application& a) -> PageProcedure& { return a.configuration_page; }},
    {kOptionsPage, [](Application& a) -> PageProcedure& { return a.options_page; }},
    {kSchemaPage, [](Application& a) -> PageProcedure& { return a.schema_page; }},
    {kResetPage, [](Application& a) -> PageProcedure& { return a.reset_page; }},
    {kOscilloscopePage, [](Application& a) -> PageProcedure& { return a.oscilloscope_page; }},
};

}  // namespace

std::span<const PageEntry> Pages() { return kPageTable; }

const PageEntry* FindPage(int view_id) {
  for (const PageEntry& entry : kPageTable) {
    if (entry.page.view_id == view_id) return &entry;
  }
  return nullptr;
}

const DialogTemplate* FindDialogTemplate(int id) {
  for (const PageEntry& entry : kPageTable) {
    if (const DialogTemplate* dialog = FindTemplateIn(entry.page.templates(), id)) return dialog;
  }
  return nullptr;
}

const PageEntry* PageOfCommand(int command) {
  for (const PageEntry& entry : kPageTable) {
    if (entry.page.menu_command == command) return &entry;
  }
  return nullptr;
}

}  // namespace korvel

#include "shell/page_table.hpp"
#include "texts/text_slots.hpp"

#include "shell/application.hpp"
#include "shell/main_window.hpp"

namespace korvel {

namespace {

const PageEntry kPageTable[] = {
    {ReadingsView, kCommandReadings, lang::kCaptionReadings, [](Application& a) -> PageProcedure& { return a.readings_page; }},
    {ConfigurationView, kCommandConfiguration, lang::kCaptionConfiguration,
     [](Application& a) -> PageProcedure& { return a.configuration_page; }},
    {OptionsView, kCommandOptions, lang::kCaptionOptions, [](Application& a) -> PageProcedure& { return a.options_page; }},
    {SchemaView, kCommandSchema, lang::kCaptionSchema, [](Application& a) -> PageProcedure& { return a.schema_page; }},
    {ResetView, kCommandReset, lang::kCaptionReset, [](Application& a) -> PageProcedure& { return a.reset_page; }},
    {OscilloscopeView, kCommandOscilloscope, lang::kCaptionOscilloscope,
     [](Application& a) -> PageProcedure& { return a.oscilloscope_page; }},
};

}  // namespace

std::span<const PageEntry> Pages() { return kPageTable; }

const PageEntry* FindPage(int view_id) {
  for (const PageEntry& entry : kPageTable) {
    if (entry.view_id == view_id) return &entry;
  }
  return nullptr;
}

const PageEntry* PageOfCommand(int command) {
  for (const PageEntry& entry : kPageTable) {
    if (entry.menu_command == command) return &entry;
  }
  return nullptr;
}

}  // namespace korvel

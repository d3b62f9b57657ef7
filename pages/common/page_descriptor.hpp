#pragma once
// What the main window knows of a page, written once in the page's own folder: the main window's
// page table pairs each descriptor with the page's procedure, and the menu bars, the caption and
// the page's window are made from it.
#include <span>

#include "resources/dialog_templates.hpp"

namespace korvel {

struct PageDescriptor {
  int view_id;       // SharedState::ViewId while the page is shown
  int menu_command;  // the bar item that shows the page (resources/menu_commands.hpp)
  int caption_slot;  // language slot of the main window's caption while the page is shown
  // The bar item's label on the Polish and on the English bar (UTF-8).
  const char* menu_label_polish;
  const char* menu_label_english;
  // The page's dialog templates, among them the one its procedure names for each size class.
  std::span<const DialogTemplate> (*templates)();
};

}  // namespace korvel

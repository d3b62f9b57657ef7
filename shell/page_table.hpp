#pragma once
#include <span>

#include "pages/common/page_procedure.hpp"

namespace korvel {

class Application;

// One entry per page: the view id, the menu command that shows it, the language slot of the main
// window's caption while it is shown, and its procedure (which also answers for its templates and
// its build, relabel and repaint steps). The main window walks this table; adding a page is one
// line here and its procedure in the application object; nothing counts the pages by hand.
struct PageEntry {
  int view_id;
  int menu_command;
  int caption_slot;
  PageProcedure& (*procedure)(Application& app);
};

// Every page, in menu order; the first is the page the program starts on.
std::span<const PageEntry> Pages();

// The entry of a view id, or nullptr.
const PageEntry* FindPage(int view_id);
// The entry whose menu command is `command`, or nullptr.
const PageEntry* PageOfCommand(int command);

}  // namespace korvel

#pragma once
#include <span>

#include "pages/common/page_descriptor.hpp"
#include "pages/common/page_procedure.hpp"

namespace korvel {

class Application;

// One entry per page: the page's descriptor (view id, menu command, caption slot, menu labels,
// templates; written in the page's folder) and the procedure the application keeps for it, which
// answers for its template per size class and its build, relabel and repaint steps. The main
// window and its menu bars walk this table; adding a page is one line here and its procedure in the
// application object; nothing counts the pages by hand.
struct PageEntry {
  const PageDescriptor& page;
  PageProcedure& (*procedure)(Application& app);
};

// Every page, in menu order; the first is the page the program starts on.
std::span<const PageEntry> Pages();

// The entry of a view id, or nullptr.
const PageEntry* FindPage(int view_id);
// The entry whose menu command is `command`, or nullptr.
const PageEntry* PageOfCommand(int command);

// The template of `id` among every page's (a page's group also holds its dialogs, and the wiring
// diagram's group the program-information box), or nullptr: for the tests, which name templates by
// id. The main window takes a page's templates from its own descriptor.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace korvel

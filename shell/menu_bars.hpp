#pragma once
#include "resources/menus.hpp"

namespace korvel {

// The main window's two menu bars, made once from the menu resources and the page table: the
// pop-ups, then one item per page in the table's order with the page's label, then Program
// information. The window system is handed a whole bar; it never looks one up.
class MenuBars {
 public:
  MenuBars();
  MenuBars(const MenuBars&) = delete;
  MenuBars& operator=(const MenuBars&) = delete;

  // The bar of kPolishMenu or kEnglishMenu; any other id gives the Polish bar.
  const MenuBarResource& Bar(int menu_id) const;

 private:
  static constexpr int kMostBarItems = 16;  // page items and closing items together
  MenuItem items_[2][kMostBarItems] = {};
  MenuBarResource bars_[2] = {};
};

}  // namespace korvel

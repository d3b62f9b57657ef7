#include "shell/menu_bars.hpp"

#include <stdexcept>

#include "shell/page_table.hpp"

namespace korvel {

MenuBars::MenuBars() {
  const int ids[2] = {kPolishMenu, kEnglishMenu};
  for (int language = 0; language < 2; ++language) {
    const MenuBarParts& parts = *FindMenuBarParts(ids[language]);
    MenuItem* items = items_[language];
    int count = 0;
    auto add = [&](MenuItem item) {
      // A bar that cannot hold every page would hide one from the fitter: refuse to start.
      if (count == kMostBarItems) throw std::length_error("menu bar: more items than kMostBarItems");
      items[count++] = item;
    };
    for (const PageEntry& entry : Pages()) {
      add({entry.page.menu_command, language == 0 ? entry.page.menu_label_polish : entry.page.menu_label_english});
    }
    for (int i = 0; i < parts.closing_count; ++i) add(parts.closing_items[i]);
    bars_[language] = MenuBarResource{parts.id, parts.popups, parts.popup_count, items, count};
  }
}

const MenuBarResource& MenuBars::Bar(int menu_id) const { return bars_[menu_id == kEnglishMenu ? 1 : 0]; }

}  // namespace korvel

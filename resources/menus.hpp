#pragma once

namespace korvel {

// Menu bars 148 (Polish) and 177 (English): the same ids and layout. Texts are UTF-8.
struct MenuItem {
  int id;  // 0: separator
  const char* text;
};

struct MenuPopup {
  const char* title;
  const MenuItem* items;
  int item_count;
};

// A whole menu bar as the window system shows it.
struct MenuBarResource {
  int id;
  const MenuPopup* popups;   // shown first
  int popup_count;
  const MenuItem* commands;  // command items directly on the bar, after the popups
  int command_count;
};

constexpr int kPolishMenu = 148;
constexpr int kEnglishMenu = 177;

// What bar 148 or 177 holds besides the pages: the pop-ups (File, Port, Size, Language) and the
// items that close the bar (Program information). The main window puts one item per page between
// them (shell/menu_bars.hpp). nullptr for another id.
struct MenuBarParts {
  int id;
  const MenuPopup* popups;
  int popup_count;
  const MenuItem* closing_items;
  int closing_count;
};
const MenuBarParts* FindMenuBarParts(int id);

}  // namespace korvel

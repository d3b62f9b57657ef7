#pragma once

namespace korvel {

// Menu bar resources 148 (Polish) and 177 (English): the same ids and layout. Texts are UTF-8.
struct MenuItem {
  int id;  // 0: separator
  const char* text;
};

struct MenuPopup {
  const char* title;
  const MenuItem* items;
  int item_count;
};

struct MenuBarResource {
  int id;
  const MenuPopup* popups;   // shown first
  int popup_count;
  const MenuItem* commands;  // command items directly on the bar, after the popups
  int command_count;
};

constexpr int kPolishMenu = 148;
constexpr int kEnglishMenu = 177;

const MenuBarResource* FindMenuBar(int id);

}  // namespace korvel

#include "resources/menus.hpp"

namespace korvel {

namespace {

constexpr MenuItem kFilePl[] = {{40014, "Otwórz..."}, {40015, "Zapisz jako..."}, {0, ""}, {40002, "Wyjscie"}};
constexpr MenuItem kFileEn[] = {{40014, "Open..."}, {40015, "Save As..."}, {0, ""}, {40002, "Exit"}};
constexpr MenuItem kPort[] = {{40019, "COM 1"}, {40020, "COM 2"}, {40021, "COM 3"}, {40022, "COM 4"}};
constexpr MenuItem kSize[] = {
    {40028, "640x480"}, {40029, "800x600"}, {40030, "1024x768"}, {40032, "1280x960"}, {40031, "1280x1024"}};
constexpr MenuItem kLanguagePl[] = {{40036, " Polski"}, {40034, " Angielski"}};
constexpr MenuItem kLanguageEn[] = {{40036, " Polish"}, {40034, " English"}};

constexpr MenuItem kBarPl[] = {{40005, "Odczyty"}, {40006, "Konfiguracja"}, {40007, "Opcje"},
                               {40013, "Schemat"}, {40008, "Reset"},        {40010, "Oscyloskop"},
                               {40003, "O Programie..."}};
constexpr MenuItem kBarEn[] = {{40005, "Readings"}, {40006, "Configurations"}, {40007, "Options"},
                               {40013, "Schema"},   {40008, "Reset"},          {40010, "Oscilloscope"},
                               {40003, "Program information..."}};

constexpr MenuPopup kPopupsPl[] = {
    {"Plik", kFilePl, 4}, {"Port", kPort, 4}, {"Rozmiar", kSize, 5}, {"Język", kLanguagePl, 2}};
constexpr MenuPopup kPopupsEn[] = {
    {"File", kFileEn, 4}, {"Port", kPort, 4}, {"Size", kSize, 5}, {"Language", kLanguageEn, 2}};

constexpr MenuBarResource kMenus[] = {
    {kPolishMenu, kPopupsPl, 4, kBarPl, 7},
    {kEnglishMenu, kPopupsEn, 4, kBarEn, 7},
};

}  // namespace

const MenuBarResource* FindMenuBar(int id) {
  for (const auto& menu : kMenus) {
    if (menu.id == id) return &menu;
  }
  return nullptr;
}

}  // namespace korvel

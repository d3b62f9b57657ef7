#include "resources/menus.hpp"

#include "resources/menu_commands.hpp"

namespace korvel {

namespace {

// Restore point opens the load dialog in the restore-point folder; Record drive and Stop recording
// start and end the drive log.
constexpr MenuItem kFilePl[] = {{kCommandOpen, "Otwórz..."},
                                {kCommandSaveAs, "Zapisz jako..."},
                                {kCommandRestorePoint, "Punkt przywracania..."},
                                {0, ""},
                                {kCommandRecordDrive, "Nagraj jazdę..."},
                                {kCommandStopRecording, "Zatrzymaj nagrywanie"},
                                {0, ""},
                                {kCommandExit, "Wyjscie"}};
constexpr MenuItem kFileEn[] = {{kCommandOpen, "Open..."},
                                {kCommandSaveAs, "Save As..."},
                                {kCommandRestorePoint, "Restore point..."},
                                {0, ""},
                                {kCommandRecordDrive, "Record drive..."},
                                {kCommandStopRecording, "Stop recording"},
                                {0, ""},
                                {kCommandExit, "Exit"}};
constexpr MenuItem kPort[] = {{kCommandPort1, "COM 1"}, {kCommandPort2, "COM 2"}, {kCommandPort3, "COM 3"}, {kCommandPort4, "COM 4"}};
constexpr MenuItem kSize[] = {
    {kCommandSize640x480, "640x480"}, {kCommandSize800x600, "800x600"}, {kCommandSize1024x768, "1024x768"}, {kCommandSize1280x960, "1280x960"}, {kCommandSize1280x1024, "1280x1024"}};
constexpr MenuItem kLanguagePl[] = {{kCommandPolish, " Polski"}, {kCommandEnglish, " Angielski"}};
constexpr MenuItem kLanguageEn[] = {{kCommandPolish, " Polish"}, {kCommandEnglish, " English"}};

constexpr MenuItem kClosingPl[] = {{kCommandAbout, "O Programie..."}};
constexpr MenuItem kClosingEn[] = {{kCommandAbout, "Program information..."}};

// A pop-up or a bar's parts and their items, counted from the array itself.
template <int N>
constexpr MenuPopup Popup(const char* title, const MenuItem (&items)[N]) {
  return MenuPopup{title, items, N};
}
template <int P, int C>
constexpr MenuBarParts Bar(int id, const MenuPopup (&popups)[P], const MenuItem (&closing)[C]) {
  return MenuBarParts{id, popups, P, closing, C};
}

constexpr MenuPopup kPopupsPl[] = {
    Popup("Plik", kFilePl), Popup("Port", kPort), Popup("Rozmiar", kSize), Popup("Język", kLanguagePl)};
constexpr MenuPopup kPopupsEn[] = {
    Popup("File", kFileEn), Popup("Port", kPort), Popup("Size", kSize), Popup("Language", kLanguageEn)};

constexpr MenuBarParts kMenus[] = {Bar(kPolishMenu, kPopupsPl, kClosingPl), Bar(kEnglishMenu, kPopupsEn, kClosingEn)};

}  // namespace

const MenuBarParts* FindMenuBarParts(int id) {
  for (const auto& menu : kMenus) {
    if (menu.id == id) return &menu;
  }
  return nullptr;
}

}  // namespace korvel

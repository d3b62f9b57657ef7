#pragma once
#include <memory>
#include <vector>

#include "platform/win32/win32_gdi.hpp"
#include "platform/win32/win32_window.hpp"
#include "platform/window.hpp"

namespace korvel {

// The window system on the Windows API: the main window class and its message loop with the two
// accelerators, the menu bars built from the menu resources, pages and modal dialogs created by
// the dialog manager from our templates, message boxes and the common file dialogs.
class Win32Host : public Host {
 public:
  explicit Win32Host(HINSTANCE instance);
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  bool CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu, int x, int y,
                        int width, int height) override;
  void ShowMainWindow() override;
  int RunMessageLoop() override;
  void DestroyMainWindow() override;
  void Quit(int code) override;
  Size DesktopSize() override;
  Size MainClientSize() override;
  void MoveMainWindow(int x, int y, int width, int height) override;
  void SetMainTitle(const char* text) override;
  void InvalidateMainWindow() override;
  void SetMenuBar(const MenuBarResource& menu) override;
  void DrawMenuBar() override;
  void CheckMenuItem(int id, bool checked) override;
  void EnableMenuItem(int id, bool enabled) override;
  void HighlightMenuItem(int id, bool highlighted) override;
  void SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) override;
  Window* CreatePage(const DialogTemplate& dialog, WindowProc& procedure) override;
  void DestroyPage(Window* page) override;
  void InvalidatePage(Window* page) override;
  int RunModalDialog(const DialogTemplate& dialog, WindowProc& procedure, Window* owner) override;
  int ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                     MessageButtons buttons) override;
  bool GetOpenFileName(const FileDialogRequest& request, std::string& path) override;
  bool GetSaveFileName(const FileDialogRequest& request, std::string& path) override;
  void SetBusyCursor(bool busy) override;

  HWND MainHandle() const { return main_; }

 private:
  static LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMain(UINT message, WPARAM wparam, LPARAM lparam);
  void EraseAroundPages(HDC dc);
  Win32Window* FindPage(Window* page);
  HWND OwnerOf(Window* window);
  void FreeRetired();
  bool RunFileDialog(const FileDialogRequest& request, bool save, std::string& path);
  void KeepClientBelowMenuBar();

  HINSTANCE instance_;
  Win32Gdi gdi_;
  MainWindowProcedure* procedure_ = nullptr;
  HWND main_ = nullptr;
  HMENU menu_ = nullptr;
  int main_height_ = 0;  // the outer height last asked for, with a menu bar of one row
  HACCEL accelerators_ = nullptr;
  HCURSOR cursor_before_busy_ = nullptr;
  bool busy_ = false;
  std::vector<std::unique_ptr<Win32Window>> pages_;
  // Pages destroyed from inside their own handlers: freed once the handlers have returned.
  std::vector<std::unique_ptr<Win32Window>> retired_;
};

}  // namespace korvel

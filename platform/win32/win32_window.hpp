#pragma once
#include <array>
#include <memory>
#include <vector>

#include "platform/win32/win32_canvas.hpp"
#include "platform/win32/win32_gdi.hpp"
#include "platform/window.hpp"
#include "resources/dialog_templates.hpp"

namespace korvel {

// A page or a modal dialog that the dialog manager created from one of our templates. Its dialog
// procedure hands init, paint, timer, command, scroll and destroy to the page procedure; it places
// the controls in pixels with the fixed base units of the template's font size, and keeps a
// persistent image that the canvases draw into and that its paint shows.
class Win32Window : public Window, public Win32Surface {
 public:
  Win32Window(Win32Gdi& gdi, const DialogTemplate& dialog, WindowProc& procedure);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // The dialog procedure of every page and dialog; the creation parameter is the Win32Window.
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND Handle() const { return hwnd_; }
  const DialogTemplate& Template() const { return *dialog_; }
  bool Destroyed() const { return destroyed_; }
  // The procedure hears nothing more (the host is going away).
  void Detach() { procedure_ = nullptr; }

  // Window.
  void AddListEntry(int id, const char* text) override;
  void ResetList(int id) override;
  void SelectListEntry(int id, int position) override;
  int GetListSelection(int id) override;
  int GetListCount(int id) override;
  void SetCheck(int id, bool checked) override;
  bool GetCheck(int id) override;
  void ShowControl(int id, bool visible) override;
  void EnableControl(int id, bool enabled) override;
  void SetControlText(int id, const char* text) override;
  void MoveControl(int id, int x, int y, int width, int height) override;
  void SetScrollRange(int id, int minimum, int maximum) override;
  void SetScrollPosition(int id, int position) override;
  int GetScrollPosition(int id) override;
  void SetTimer(int timer_id, uint32_t period_ms) override;
  void KillTimer(int timer_id) override;
  void MoveWindow(int x, int y, int width, int height) override;
  Size GetWindowSize() override;
  void SetTitle(const char* text) override;
  void EndDialog(int result) override;
  Canvas& GetContext() override;
  void ReleaseContext(Canvas& canvas) override;

  // Win32Surface.
  HDC ImageContext() override { return image_dc_; }
  void Touched(const RECT& rect) override;

 private:
  struct Control {
    int id;
    ControlKind kind;
    HWND hwnd;
    uint32_t style;  // the template's style flags
  };

  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void Layout();
  Control* Find(int id);
  Control* FindKind(int id, ControlKind kind);
  void ResizeImage(int width, int height);
  void ShowTouched();
  // Keeps drawing off the controls that paint their own area; frames and group boxes let it show.
  void ExcludeOpaqueControls(HDC dc);
  // A plain left-aligned label holding one word wider than its box grows to the right instead of
  // cutting the word (our fonts run a little wider than the layouts were drawn for), so the
  // program version reads "1.03" and not "1.0".
  void FitSingleWord(const Control& control);
  void Paint();
  void Scroll(LPARAM bar, WPARAM request, bool vertical);

  Win32Gdi& gdi_;
  const DialogTemplate* dialog_;
  WindowProc* procedure_;
  HWND hwnd_ = nullptr;
  std::vector<Control> controls_;
  HDC image_dc_ = nullptr;
  HBITMAP image_ = nullptr;
  HGDIOBJ image_previous_ = nullptr;
  int image_width_ = 0, image_height_ = 0;
  RECT touched_{0, 0, 0, 0};
  std::array<std::unique_ptr<Win32Canvas>, 4> canvases_;
  std::array<bool, 4> canvas_taken_{};
  bool destroyed_ = false;
};

}  // namespace korvel

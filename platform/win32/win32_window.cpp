#include "platform/win32/win32_window.hpp"

#include <algorithm>
#include <string_view>

#include "platform/win32/dialog_resource.hpp"

namespace korvel {

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool IsScrollBar(ControlKind kind) { return kind == ControlKind::kHScrollBar || kind == ControlKind::kVScrollBar; }

}  // namespace

Win32Window::Win32Window(Win32Gdi& gdi, const DialogTemplate& dialog, WindowProc& procedure)
    : gdi_(gdi), dialog_(&dialog), procedure_(&procedure) {}

Win32Window::~Win32Window() {
  procedure_ = nullptr;
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  ResizeImage(0, 0);
}

INT_PTR CALLBACK Win32Window::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* window = reinterpret_cast<Win32Window*>(lparam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    window->hwnd_ = hwnd;
    window->Layout();
  }
  auto* window = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (window == nullptr) return FALSE;
  const INT_PTR result = window->HandleMessage(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    window->hwnd_ = nullptr;
    window->ResizeImage(0, 0);
  } else {
    // Whatever the procedure drew while handling the message is on the screen when it returns.
    window->ShowTouched();
  }
  return result;
}

INT_PTR Win32Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: return procedure_ != nullptr ? (procedure_->OnInitDialog(*this) ? TRUE : FALSE) : TRUE;
    case WM_PAINT: Paint(); return TRUE;
    case WM_ERASEBKGND:
      // The image covers the whole window; erasing first would only make it flicker.
      ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // Texts, check boxes and the window itself on the button face the pages draw with.
      ::SetBkColor(reinterpret_cast<HDC>(wparam), ToColorRef(kButtonFace));
      return reinterpret_cast<INT_PTR>(gdi_.FaceBrush());
    case WM_TIMER:
      if (procedure_ != nullptr && !destroyed_) procedure_->OnTimer(*this, static_cast<int>(wparam));
      return TRUE;
    case WM_COMMAND:
      if (procedure_ != nullptr && !destroyed_) {
        procedure_->OnCommand(*this, static_cast<int>(static_cast<int16_t>(LOWORD(wparam))), HIWORD(wparam));
      }
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL: Scroll(lparam, wparam, message == WM_VSCROLL); return TRUE;
    case WM_DESTROY: {
      destroyed_ = true;
      WindowProc* procedure = procedure_;
      procedure_ = nullptr;
      if (procedure != nullptr) procedure->OnDestroy(*this);
      return TRUE;
    }
    default: return FALSE;
  }
}

void Win32Window::Layout() {
  const DialogTemplate& dialog = *dialog_;
  // The base units are the average character width and the cell height of the template font:
  // four horizontal and eight vertical dialog units, fixed per point size, so every machine lays
  // the page out alike whatever its own dialog font.
  const PixelRect base = DialogUnitsToPixels(dialog, 0, 0, 4, 8);
  HFONT font = gdi_.ControlFont(std::max(1, base.width), std::max(1, base.height));
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  const PixelRect size = DialogSizeInPixels(dialog);
  RECT outer{0, 0, std::max(1, size.width), std::max(1, size.height)};
  ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{0, 0, 0, 0};
  ::GetClientRect(hwnd_, &client);
  ResizeImage(client.right, client.bottom);

  // The dialog manager created the controls in template order, each below the ones before.
  controls_.clear();
  HWND child = ::GetWindow(hwnd_, GW_CHILD);
  for (int i = 0; i < dialog.control_count && child != nullptr; ++i, child = ::GetWindow(child, GW_HWNDNEXT)) {
    const ControlTemplate& control = dialog.controls[i];
    const PixelRect r = DialogUnitsToPixels(dialog, control.x, control.y, control.width, control.height);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int width = std::max(0, r.width), height = std::max(0, r.height);
    if (control.kind == ControlKind::kBitmap) {
      // A picture control takes the size of its picture.
      int picture_width = 0, picture_height = 0;
      if (HBITMAP bitmap = gdi_.Bitmap(control.resource, &picture_width, &picture_height); bitmap != nullptr) {
        ::SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
        width = picture_width, height = picture_height;
      }
    } else if (control.kind == ControlKind::kIcon) {
      int picture_width = 0, picture_height = 0;
      if (gdi_.Bitmap(control.resource, &picture_width, &picture_height) != nullptr) {
        ::SendMessageW(child, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(gdi_.Icon(control.resource)));
        width = picture_width, height = picture_height;
      }
    }
    // A combo box's height includes its dropped list.
    ::SetWindowPos(child, nullptr, r.x, r.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    controls_.push_back(Control{control.id, control.kind, child, control.style});
    FitSingleWord(controls_.back());
  }
}

Win32Window::Control* Win32Window::Find(int id) {
  for (Control& control : controls_) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

Win32Window::Control* Win32Window::FindKind(int id, ControlKind kind) {
  Control* control = Find(id);
  return control != nullptr && control->kind == kind ? control : nullptr;
}

// Image ------------------------------------------------------------------------------------------

void Win32Window::ResizeImage(int width, int height) {
  if (width == image_width_ && height == image_height_ && (image_ != nullptr || width <= 0 || height <= 0)) return;
  HDC fresh_dc = nullptr;
  HBITMAP fresh = nullptr;
  HGDIOBJ fresh_previous = nullptr;
  if (width > 0 && height > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    fresh = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (fresh != nullptr) {
      fresh_dc = ::CreateCompatibleDC(nullptr);
      fresh_previous = ::SelectObject(fresh_dc, fresh);
      RECT all{0, 0, width, height};
      ::FillRect(fresh_dc, &all, gdi_.FaceBrush());
      // What was drawn stays where it was.
      if (image_dc_ != nullptr) ::BitBlt(fresh_dc, 0, 0, image_width_, image_height_, image_dc_, 0, 0, SRCCOPY);
    }
  }
  if (image_dc_ != nullptr) {
    ::SelectObject(image_dc_, image_previous_);
    ::DeleteDC(image_dc_);
  }
  if (image_ != nullptr) ::DeleteObject(image_);
  image_dc_ = fresh_dc;
  image_ = fresh;
  image_previous_ = fresh_previous;
  image_width_ = fresh != nullptr ? width : 0;
  image_height_ = fresh != nullptr ? height : 0;
  touched_ = RECT{0, 0, 0, 0};
}

void Win32Window::Touched(const RECT& rect) {
  RECT clipped{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0), std::min<LONG>(rect.right, image_width_),
               std::min<LONG>(rect.bottom, image_height_)};
  if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return;
  if (touched_.right <= touched_.left || touched_.bottom <= touched_.top) {
    touched_ = clipped;
  } else {
    ::UnionRect(&touched_, &touched_, &clipped);
  }
}

void Win32Window::ShowTouched() {
  if (touched_.right <= touched_.left || touched_.bottom <= touched_.top) return;
  const RECT shown = touched_;
  touched_ = RECT{0, 0, 0, 0};
  if (hwnd_ == nullptr || image_dc_ == nullptr) return;
  HDC dc = ::GetDC(hwnd_);
  ExcludeOpaqueControls(dc);
  ::BitBlt(dc, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top, image_dc_, shown.left,
           shown.top, SRCCOPY);
  ::ReleaseDC(hwnd_, dc);
}

void Win32Window::ExcludeOpaqueControls(HDC dc) {
  for (const Control& control : controls_) {
    if (control.kind == ControlKind::kEtchedFrame || control.kind == ControlKind::kGroupBox) continue;
    if (!::IsWindowVisible(control.hwnd)) continue;
    RECT r;
    ::GetWindowRect(control.hwnd, &r);
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    ::ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
}

void Win32Window::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  if (procedure_ != nullptr && !destroyed_) procedure_->OnPaint(*this);
  if (image_dc_ != nullptr) {
    ExcludeOpaqueControls(dc);
    const RECT& r = paint.rcPaint;
    ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, image_dc_, r.left, r.top, SRCCOPY);
  }
  ::EndPaint(hwnd_, &paint);
}

void Win32Window::Scroll(LPARAM bar, WPARAM request, bool vertical) {
  HWND control = reinterpret_cast<HWND>(bar);
  if (control == nullptr || procedure_ == nullptr || destroyed_) return;
  const int code = LOWORD(request);
  // The requests the pages know: line, page, thumb track, top and bottom; the end of a drag and
  // the final thumb position add nothing to the track that came before them.
  if (code == SB_THUMBPOSITION || code == SB_ENDSCROLL || code > SB_BOTTOM) return;
  int position = ::GetScrollPos(control, SB_CTL);
  if (code == SB_THUMBTRACK) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    if (::GetScrollInfo(control, SB_CTL, &info)) position = info.nTrackPos;
  }
  const int id = static_cast<int16_t>(::GetDlgCtrlID(control));
  procedure_->OnScroll(*this, id, vertical, code, position);
}

// Lists ------------------------------------------------------------------------------------------

void Win32Window::AddListEntry(int id, const char* text) {
  if (Control* control = FindKind(id, ControlKind::kComboBox)) {
    ::SendMessageW(control->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(win32::Cp1250ToUtf16(text))));
  }
}

void Win32Window::ResetList(int id) {
  if (Control* control = FindKind(id, ControlKind::kComboBox)) ::SendMessageW(control->hwnd, CB_RESETCONTENT, 0, 0);
}

void Win32Window::SelectListEntry(int id, int position) {
  // A position outside the list clears the selection.
  if (Control* control = FindKind(id, ControlKind::kComboBox)) {
    ::SendMessageW(control->hwnd, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
  }
}

int Win32Window::GetListSelection(int id) {
  Control* control = FindKind(id, ControlKind::kComboBox);
  if (control == nullptr) return -1;
  const LRESULT selection = ::SendMessageW(control->hwnd, CB_GETCURSEL, 0, 0);
  return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

int Win32Window::GetListCount(int id) {
  Control* control = FindKind(id, ControlKind::kComboBox);
  if (control == nullptr) return 0;
  const LRESULT count = ::SendMessageW(control->hwnd, CB_GETCOUNT, 0, 0);
  return count == CB_ERR ? 0 : static_cast<int>(count);
}

// Check boxes ------------------------------------------------------------------------------------

void Win32Window::SetCheck(int id, bool checked) {
  if (Control* control = FindKind(id, ControlKind::kCheckBox)) {
    ::SendMessageW(control->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool Win32Window::GetCheck(int id) {
  Control* control = FindKind(id, ControlKind::kCheckBox);
  return control != nullptr && ::SendMessageW(control->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Any control ------------------------------------------------------------------------------------

void Win32Window::ShowControl(int id, bool visible) {
  if (Control* control = Find(id)) ::ShowWindow(control->hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Window::EnableControl(int id, bool enabled) {
  if (Control* control = Find(id)) ::EnableWindow(control->hwnd, enabled ? TRUE : FALSE);
}

void Win32Window::SetControlText(int id, const char* text) {
  if (Control* control = Find(id)) {
    ::SetWindowTextW(control->hwnd, Wide(win32::Cp1250ToUtf16(text)));
    FitSingleWord(*control);
  }
}

void Win32Window::FitSingleWord(const Control& control) {
  constexpr uint32_t kNotPlain = kCentred | kRightAligned | kSunken | kBorder | kVCentred;
  if (control.kind != ControlKind::kStatic || (control.style & kNotPlain) != 0) return;
  wchar_t text[128];
  const int length = ::GetWindowTextW(control.hwnd, text, 128);
  if (length <= 0 || std::wstring_view(text, static_cast<size_t>(length)).find(L' ') != std::wstring_view::npos) return;
  HDC dc = ::GetDC(control.hwnd);
  HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control.hwnd, WM_GETFONT, 0, 0)));
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc, text, length, &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(control.hwnd, dc);
  RECT r;
  ::GetClientRect(control.hwnd, &r);
  if (extent.cx > r.right) {
    ::SetWindowPos(control.hwnd, nullptr, 0, 0, extent.cx, r.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32Window::MoveControl(int id, int x, int y, int width, int height) {
  if (Control* control = Find(id)) ::MoveWindow(control->hwnd, x, y, std::max(0, width), std::max(0, height), TRUE);
}

// Scroll bars ------------------------------------------------------------------------------------

void Win32Window::SetScrollRange(int id, int minimum, int maximum) {
  Control* control = Find(id);
  if (control == nullptr || !IsScrollBar(control->kind)) return;
  ::SetScrollRange(control->hwnd, SB_CTL, std::min(minimum, maximum), std::max(minimum, maximum), TRUE);
}

void Win32Window::SetScrollPosition(int id, int position) {
  Control* control = Find(id);
  if (control == nullptr || !IsScrollBar(control->kind)) return;
  ::SetScrollPos(control->hwnd, SB_CTL, position, TRUE);
}

int Win32Window::GetScrollPosition(int id) {
  Control* control = Find(id);
  if (control == nullptr || !IsScrollBar(control->kind)) return 0;
  return ::GetScrollPos(control->hwnd, SB_CTL);
}

// Timers -----------------------------------------------------------------------------------------

void Win32Window::SetTimer(int timer_id, uint32_t period_ms) {
  if (hwnd_ != nullptr && !destroyed_) ::SetTimer(hwnd_, static_cast<UINT_PTR>(timer_id), period_ms, nullptr);
}

void Win32Window::KillTimer(int timer_id) {
  if (hwnd_ != nullptr) ::KillTimer(hwnd_, static_cast<UINT_PTR>(timer_id));
}

// The window itself ------------------------------------------------------------------------------

void Win32Window::MoveWindow(int x, int y, int width, int height) {
  if (hwnd_ == nullptr) return;
  ::MoveWindow(hwnd_, x, y, std::max(1, width), std::max(1, height), TRUE);
  RECT client{0, 0, 0, 0};
  ::GetClientRect(hwnd_, &client);
  ResizeImage(client.right, client.bottom);
}

Size Win32Window::GetWindowSize() {
  RECT r{0, 0, 0, 0};
  if (hwnd_ != nullptr) ::GetWindowRect(hwnd_, &r);
  return Size{r.right - r.left, r.bottom - r.top};
}

void Win32Window::SetTitle(const char* text) {
  if (hwnd_ != nullptr && dialog_->popup) ::SetWindowTextW(hwnd_, Wide(win32::Cp1250ToUtf16(text)));
}

void Win32Window::EndDialog(int result) {
  if (hwnd_ != nullptr && dialog_->popup) ::EndDialog(hwnd_, result);
}

// Drawing contexts -------------------------------------------------------------------------------

Canvas& Win32Window::GetContext() {
  size_t slot = canvases_.size() - 1;  // all taken: the last one is handed out again
  for (size_t i = 0; i < canvases_.size(); ++i) {
    if (!canvas_taken_[i]) {
      slot = i;
      break;
    }
  }
  if (!canvases_[slot]) canvases_[slot] = std::make_unique<Win32Canvas>(gdi_, *this);
  canvases_[slot]->Reset();
  canvas_taken_[slot] = true;
  return *canvases_[slot];
}

void Win32Window::ReleaseContext(Canvas& canvas) {
  for (size_t i = 0; i < canvases_.size(); ++i) {
    if (canvases_[i].get() == &canvas) canvas_taken_[i] = false;
  }
  ShowTouched();
}

}  // namespace korvel

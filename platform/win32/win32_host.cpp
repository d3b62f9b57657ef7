#include "platform/win32/win32_host.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win32/dialog_resource.hpp"
#include "resources/bitmaps.hpp"
#include "resources/dialog_templates.hpp"
#include "resources/menu_commands.hpp"
#include "resources/menus.hpp"

namespace korvel {

namespace {

constexpr int kMainIcon = 101;
constexpr int kClassNameString = 3;

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string MenuText(const char* utf8) {
  // An ampersand in a menu text is a character, not a mnemonic.
  std::u16string text;
  for (char16_t c : win32::Utf8ToUtf16(utf8 != nullptr ? utf8 : "")) {
    if (c == u'&') text.push_back(u'&');
    text.push_back(c);
  }
  return text;
}

HMENU BuildMenuBar(const MenuBarResource& bar_items) {
  const MenuBarResource* resource = &bar_items;
  HMENU bar = ::CreateMenu();
  for (int p = 0; p < resource->popup_count; ++p) {
    const MenuPopup& popup = resource->popups[p];
    HMENU menu = ::CreatePopupMenu();
    for (int i = 0; i < popup.item_count; ++i) {
      const MenuItem& item = popup.items[i];
      if (item.id == 0) {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      } else {
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), Wide(MenuText(item.text)));
      }
    }
    ::AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu), Wide(MenuText(popup.title)));
  }
  for (int i = 0; i < resource->command_count; ++i) {
    const MenuItem& item = resource->commands[i];
    ::AppendMenuW(bar, MF_STRING, static_cast<UINT_PTR>(item.id), Wide(MenuText(item.text)));
  }
  return bar;
}

// A chosen path in the form the program's file code opens (the system's ANSI code page). A name
// that code page cannot spell goes by its short form; failing that it keeps the unspellable
// letters as '?', which no file name may hold, so the program reports the file as one it cannot
// open and never touches another file.
std::string PathForFileCode(const std::wstring& path) {
  auto narrow = [](const std::wstring& wide, bool* lossy) {
    BOOL used_default = FALSE;
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr,
                                           &used_default);
    std::string out(static_cast<size_t>(std::max(size, 1)), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, out.data(), size, nullptr, &used_default);
    out.resize(std::strlen(out.c_str()));
    *lossy = used_default != FALSE;
    return out;
  };
  bool lossy = false;
  std::string exact = narrow(path, &lossy);
  if (!lossy) return exact;
  // The short form of the whole path (an existing file), or of its folder (a file to be made).
  std::wstring longer = path, tail;
  for (int attempt = 0; attempt < 2; ++attempt) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = ::GetShortPathNameW(longer.c_str(), buffer, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2) {
      bool short_lossy = false;
      std::string candidate = narrow(std::wstring(buffer) + tail, &short_lossy);
      if (!short_lossy) return candidate;
    }
    const size_t slash = longer.find_last_of(L"\\/");
    if (slash == std::wstring::npos) break;
    tail = longer.substr(slash) + tail;
    longer = longer.substr(0, slash);
  }
  return exact;
}

}  // namespace

Win32Host::Win32Host(HINSTANCE instance) : instance_(instance) {}

Win32Host::~Win32Host() {
  // Only the windows go here; the procedures may already be gone, so none of them is called.
  procedure_ = nullptr;
  for (auto& page : pages_) page->Detach();
  pages_.clear();
  retired_.clear();
  if (main_ != nullptr) {
    ::SetWindowLongPtrW(main_, GWLP_USERDATA, 0);
    ::DestroyWindow(main_);
    main_ = nullptr;
  }
  if (accelerators_ != nullptr) ::DestroyAcceleratorTable(accelerators_);
}

// Main window ------------------------------------------------------------------------------------

bool Win32Host::CreateMainWindow(MainWindowProcedure& procedure, const char* title, const MenuBarResource& menu,
                                 int x, int y, int width, int height) {
  if (main_ != nullptr) return false;
  const std::u16string class_name = win32::Cp1250ToUtf16(LoadStringResource(kClassNameString));
  WNDCLASSEXW window_class;
  std::memset(&window_class, 0, sizeof window_class);
  window_class.cbSize = sizeof window_class;
  if (!::GetClassInfoExW(instance_, Wide(class_name), &window_class)) {
    window_class.cbSize = sizeof window_class;
    // A change of size repaints the whole window, so the pages drawn from it are drawn again.
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = MainProc;
    window_class.hInstance = instance_;
    // The icon of the executable's resources, else the same picture made here.
    window_class.hIcon = static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(kMainIcon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (window_class.hIcon == nullptr) window_class.hIcon = gdi_.Icon(kMainIcon);
    window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = gdi_.ClientBrush();
    window_class.lpszClassName = Wide(class_name);
    if (::RegisterClassExW(&window_class) == 0) return false;
  }
  ACCEL keys[] = {{FALT | FVIRTKEY, VK_F4, kCommandExit}, {FALT | FVIRTKEY, VK_F1, kCommandAbout}};
  if (accelerators_ == nullptr) accelerators_ = ::CreateAcceleratorTableW(keys, 2);

  procedure_ = &procedure;
  menu_ = BuildMenuBar(menu);
  // Caption, system menu and minimise box; no maximise box and no sizing frame. The creation
  // handler of the procedure runs inside.
  HWND hwnd = ::CreateWindowExW(0, Wide(class_name), Wide(win32::Cp1250ToUtf16(title)),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y, width, height,
                                nullptr, menu_, instance_, this);
  if (hwnd == nullptr) {
    procedure_ = nullptr;
    if (menu_ != nullptr) ::DestroyMenu(menu_);
    menu_ = nullptr;
    main_ = nullptr;
    return false;
  }
  return true;
}

LRESULT CALLBACK Win32Host::MainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* host = static_cast<Win32Host*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
    host->main_ = hwnd;
  }
  auto* host = reinterpret_cast<Win32Host*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (host == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return host->HandleMain(message, wparam, lparam);
}

LRESULT Win32Host::HandleMain(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND hwnd = main_;
  switch (message) {
    case WM_CREATE:
      if (procedure_ != nullptr) procedure_->OnCreate();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(hwnd, &paint);
      ::EndPaint(hwnd, &paint);
      if (procedure_ != nullptr) procedure_->OnPaint();
      return 0;
    }
    case WM_ERASEBKGND:
      EraseAroundPages(reinterpret_cast<HDC>(wparam));
      return 1;
    case WM_COMMAND:
      // Menu items and the accelerators; the main window has no controls of its own.
      if (lparam == 0 && procedure_ != nullptr) procedure_->OnCommand(LOWORD(wparam));
      return 0;
    case WM_CLOSE:
      // A request to the procedure, which decides.
      if (procedure_ != nullptr) procedure_->OnClose();
      return 0;
    case WM_EXITMENULOOP:
      if (procedure_ != nullptr) procedure_->OnExitMenuLoop();
      return 0;
    case WM_DESTROY: {
      MainWindowProcedure* procedure = procedure_;
      procedure_ = nullptr;
      if (procedure != nullptr) procedure->OnDestroy();
      return 0;
    }
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      main_ = nullptr;
      menu_ = nullptr;  // destroyed with the window
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
    default: return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void Win32Host::EraseAroundPages(HDC dc) {
  // The client area in the stock grey, except where a page lies: the page shows its own image
  // there, and painting grey under it first would only make it flicker.
  RECT client;
  ::GetClientRect(main_, &client);
  const int saved = ::SaveDC(dc);
  for (const auto& page : pages_) {
    HWND child = page->Handle();
    if (child == nullptr || !::IsWindowVisible(child)) continue;
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
    ::ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  ::FillRect(dc, &client, gdi_.ClientBrush());
  ::RestoreDC(dc, saved);
}

void Win32Host::ShowMainWindow() {
  if (main_ == nullptr) return;
  ::ShowWindow(main_, SW_SHOW);
  ::UpdateWindow(main_);
}

int Win32Host::RunMessageLoop() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (main_ == nullptr || accelerators_ == nullptr || !::TranslateAcceleratorW(main_, accelerators_, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    FreeRetired();
  }
  FreeRetired();
  return static_cast<int>(message.wParam);
}

void Win32Host::DestroyMainWindow() {
  // The procedure's OnDestroy runs inside, then the pages still there go with their parent.
  if (main_ != nullptr) ::DestroyWindow(main_);
  for (auto& page : pages_) retired_.push_back(std::move(page));
  pages_.clear();
}

void Win32Host::Quit(int code) { ::PostQuitMessage(code); }

Size Win32Host::DesktopSize() {
  RECT r{0, 0, 800, 600};
  ::GetWindowRect(::GetDesktopWindow(), &r);
  return Size{r.right - r.left, r.bottom - r.top};
}

Size Win32Host::MainClientSize() {
  RECT r{0, 0, 0, 0};
  if (main_ != nullptr) ::GetClientRect(main_, &r);
  return Size{r.right, r.bottom};
}

void Win32Host::MoveMainWindow(int x, int y, int width, int height) {
  // The size is the outer size of the window, frame and a menu bar of one row included.
  if (main_ == nullptr) return;
  main_height_ = height;
  ::MoveWindow(main_, x, y, width, height, TRUE);
  KeepClientBelowMenuBar();
}

// A menu bar whose items do not fit in one row (long words at the smallest size, a large system
// menu font) wraps, and its further rows come out of the client area: the bottom of the page would
// be cut off. The window grows by those rows, so that the client area keeps the height of the size
// class, and shrinks back when the bar fits in one row again.
void Win32Host::KeepClientBelowMenuBar() {
  if (main_ == nullptr || main_height_ <= 0 || ::IsIconic(main_) || ::IsZoomed(main_)) return;
  RECT one_row{0, 0, 0, 0};
  ::AdjustWindowRectEx(&one_row, static_cast<DWORD>(::GetWindowLongPtrW(main_, GWL_STYLE)), menu_ != nullptr,
                       static_cast<DWORD>(::GetWindowLongPtrW(main_, GWL_EXSTYLE)));
  const int wanted_client = main_height_ - (one_row.bottom - one_row.top);
  RECT window{0, 0, 0, 0};
  RECT client{0, 0, 0, 0};
  ::GetWindowRect(main_, &window);
  ::GetClientRect(main_, &client);
  const int height = (window.bottom - window.top) + (wanted_client - client.bottom);
  if (height != window.bottom - window.top) {
    ::SetWindowPos(main_, nullptr, 0, 0, window.right - window.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32Host::SetMainTitle(const char* text) {
  if (main_ != nullptr) ::SetWindowTextW(main_, Wide(win32::Cp1250ToUtf16(text)));
}

void Win32Host::InvalidateMainWindow() {
  if (main_ != nullptr) ::RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// Menus ------------------------------------------------------------------------------------------

void Win32Host::SetMenuBar(const MenuBarResource& menu) {
  if (main_ == nullptr) return;
  HMENU bar = BuildMenuBar(menu);
  if (bar == nullptr) return;
  HMENU old = menu_;
  ::SetMenu(main_, bar);
  menu_ = bar;
  if (old != nullptr) ::DestroyMenu(old);
  KeepClientBelowMenuBar();
}

void Win32Host::DrawMenuBar() {
  if (main_ == nullptr) return;
  ::DrawMenuBar(main_);
  KeepClientBelowMenuBar();
}

void Win32Host::CheckMenuItem(int id, bool checked) {
  if (menu_ != nullptr) ::CheckMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32Host::EnableMenuItem(int id, bool enabled) {
  if (menu_ != nullptr) ::EnableMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32Host::HighlightMenuItem(int id, bool highlighted) {
  if (main_ != nullptr && menu_ != nullptr) {
    ::HiliteMenuItem(main_, menu_, static_cast<UINT>(id), MF_BYCOMMAND | (highlighted ? MF_HILITE : MF_UNHILITE));
  }
}

void Win32Host::SetMenuItemBitmaps(int id, int unchecked_bitmap, int checked_bitmap) {
  if (menu_ == nullptr) return;
  ::SetMenuItemBitmaps(menu_, static_cast<UINT>(id), MF_BYCOMMAND, gdi_.Bitmap(unchecked_bitmap),
                       gdi_.Bitmap(checked_bitmap));
}

// Pages and dialogs ------------------------------------------------------------------------------

Window* Win32Host::CreatePage(const DialogTemplate& dialog, WindowProc& procedure) {
  if (main_ == nullptr) return nullptr;
  auto window = std::make_unique<Win32Window>(gdi_, dialog, procedure);
  const std::vector<uint16_t> resource = win32::BuildDialogResource(dialog);
  HWND hwnd = ::CreateDialogIndirectParamW(instance_, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), main_,
                                           Win32Window::DialogProc, reinterpret_cast<LPARAM>(window.get()));
  if (hwnd == nullptr) return nullptr;
  pages_.push_back(std::move(window));
  return pages_.back().get();
}

Win32Window* Win32Host::FindPage(Window* page) {
  for (auto& window : pages_) {
    if (window.get() == page) return window.get();
  }
  return nullptr;
}

void Win32Host::DestroyPage(Window* page) {
  auto found = std::find_if(pages_.begin(), pages_.end(), [page](const auto& w) { return w.get() == page; });
  if (found == pages_.end()) return;
  std::unique_ptr<Win32Window> window = std::move(*found);
  pages_.erase(found);
  // OnDestroy runs inside; the page may be destroyed from one of its own handlers, so the object
  // goes once they have returned.
  if (window->Handle() != nullptr) ::DestroyWindow(window->Handle());
  retired_.push_back(std::move(window));
}

void Win32Host::FreeRetired() { retired_.clear(); }

void Win32Host::InvalidatePage(Window* page) {
  if (Win32Window* window = FindPage(page); window != nullptr && window->Handle() != nullptr) {
    ::InvalidateRect(window->Handle(), nullptr, FALSE);
  }
}

HWND Win32Host::OwnerOf(Window* window) {
  for (auto& page : pages_) {
    if (page.get() == window && page->Handle() != nullptr) return ::GetAncestor(page->Handle(), GA_ROOT);
  }
  return main_;
}

int Win32Host::RunModalDialog(const DialogTemplate& dialog, WindowProc& procedure, Window* owner) {
  Win32Window window(gdi_, dialog, procedure);
  const std::vector<uint16_t> resource = win32::BuildDialogResource(dialog);
  // The system's modal loop: the other windows are disabled, their timers keep arriving.
  const INT_PTR result =
      ::DialogBoxIndirectParamW(instance_, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()), OwnerOf(owner),
                                Win32Window::DialogProc, reinterpret_cast<LPARAM>(&window));
  return static_cast<int>(result);
}

int Win32Host::ShowMessageBox(Window* owner, const char* text, const char* caption, MessageIcon icon,
                              MessageButtons buttons) {
  const UINT style = (icon == MessageIcon::kWarning ? MB_ICONWARNING : MB_ICONINFORMATION) |
                     (buttons == MessageButtons::kYesNo ? MB_YESNO : MB_OK);
  const int answer = ::MessageBoxW(OwnerOf(owner), Wide(win32::Cp1250ToUtf16(text)),
                                   Wide(win32::Cp1250ToUtf16(caption)), style);
  switch (answer) {
    case IDYES: return kIdYes;
    case IDNO: return kIdNo;
    default: return buttons == MessageButtons::kYesNo ? kIdNo : kIdOk;
  }
}

bool Win32Host::RunFileDialog(const FileDialogRequest& request, bool save, std::string& path) {
  // The filter: its name (with the pattern added when the name does not show it), the pattern.
  std::u16string name = win32::Cp1250ToUtf16(request.filter_name);
  const std::u16string pattern = win32::Cp1250ToUtf16(request.pattern);
  if (name.empty()) name = pattern;
  if (name.find(u'(') == std::u16string::npos && !pattern.empty()) name += u" (" + pattern + u")";
  std::u16string filter = name;
  filter.push_back(u'\0');
  filter += pattern.empty() ? std::u16string(u"*.*") : pattern;
  filter.push_back(u'\0');
  filter.push_back(u'\0');
  const std::u16string title = win32::Cp1250ToUtf16(request.title);
  const std::u16string extension = win32::Cp1250ToUtf16(request.default_extension);

  wchar_t file[MAX_PATH * 4];
  file[0] = L'\0';
  OPENFILENAMEW dialog;
  std::memset(&dialog, 0, sizeof dialog);
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = OwnerOf(request.owner);
  dialog.lpstrFilter = Wide(filter);
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(sizeof file / sizeof file[0]);
  dialog.lpstrTitle = title.empty() ? nullptr : Wide(title);
  dialog.lpstrDefExt = extension.empty() ? nullptr : Wide(extension);
  // The folder is a path as the file functions take it (the ANSI code page).
  std::wstring folder;
  if (request.folder != nullptr && request.folder[0] != '\0') {
    const int size = ::MultiByteToWideChar(CP_ACP, 0, request.folder, -1, nullptr, 0);
    folder.assign(static_cast<size_t>(size > 0 ? size : 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, request.folder, -1, folder.data(), size);
    dialog.lpstrInitialDir = folder.c_str();
  }
  // The working directory holds the settings file: the dialog must not move it. The program asks
  // itself before it replaces a file, and a name that cannot be opened gets its own "I/O Error"
  // box, so the dialog neither asks nor insists that the file exists.
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
  if (!chosen) return false;
  path = PathForFileCode(std::wstring(file));
  return true;
}

bool Win32Host::GetOpenFileName(const FileDialogRequest& request, std::string& path) {
  return RunFileDialog(request, false, path);
}

bool Win32Host::GetSaveFileName(const FileDialogRequest& request, std::string& path) {
  return RunFileDialog(request, true, path);
}

void Win32Host::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    cursor_before_busy_ = ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
  } else {
    ::SetCursor(cursor_before_busy_ != nullptr ? cursor_before_busy_
                                               : ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
  }
}

}  // namespace korvel

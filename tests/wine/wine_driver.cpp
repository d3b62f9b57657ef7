// korvel-wine-driver: plays the fitter in the Wine check of korvel.exe. It finds the program's main
// window by its class, sends it menu commands as the menu bar would, and tells what the window
// shows in its caption, so that the check script can take a screenshot of each page.
//   korvel-wine-driver wait MS          waits up to MS for the main window to show; prints its caption
//   korvel-wine-driver command ID MS    posts menu command ID, waits MS; prints the caption
//   korvel-wine-driver close-dialog MS  closes the modal dialog the program shows, waits MS
//   korvel-wine-driver layout           prints the main window's outer size, its client size, the
//                                       menu bar's height and that of one row of it, and the page's
//                                       place in the client: "window W H client W H menu BAR ROW
//                                       page X Y W H" (page -1 -1 0 0 when there is none)
//   korvel-wine-driver rect             prints the main window's place on the screen: "X Y W H"
//   korvel-wine-driver setup-rect       the same for the visible dialog window of a setup program
//   korvel-wine-driver setup-click ID MS  presses button ID of that dialog window, waits MS
// Exit status 0 when the window was there, 1 when it was not.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND FindMain() { return ::FindWindowW(L"KORVELxx", nullptr); }

void PrintCaption(HWND hwnd) {
  wchar_t wide[256];
  const int length = ::GetWindowTextW(hwnd, wide, 256);
  char utf8[1024];
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8, sizeof utf8 - 1, nullptr, nullptr);
  utf8[size > 0 ? size : 0] = '\0';
  std::printf("%s\n", utf8);
}

// The modal dialog the main window owns, if one is open.
HWND FindDialog(HWND main) {
  struct Search {
    HWND owner;
    HWND found;
  } search{main, nullptr};
  ::EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[16];
        ::GetClassNameW(hwnd, name, 16);
        if (std::wcscmp(name, L"#32770") == 0 && ::GetWindow(hwnd, GW_OWNER) == s->owner) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The visible top-level dialog window of another program (a setup program's wizard).
HWND FindSetupDialog() {
  HWND found = nullptr;
  ::EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        wchar_t name[16];
        ::GetClassNameW(hwnd, name, 16);
        if (std::wcscmp(name, L"#32770") == 0 && ::IsWindowVisible(hwnd)) {
          *reinterpret_cast<HWND*>(data) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The page: the visible dialog child of the main window.
HWND FindPage(HWND main) {
  HWND found = nullptr;
  ::EnumChildWindows(
      main,
      [](HWND hwnd, LPARAM data) -> BOOL {
        wchar_t name[16];
        ::GetClassNameW(hwnd, name, 16);
        if (std::wcscmp(name, L"#32770") == 0 && ::IsWindowVisible(hwnd)) {
          *reinterpret_cast<HWND*>(data) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void PrintRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvel-wine-driver wait MS | command ID MS | close-dialog MS | layout | rect | setup-rect |"
                 " setup-click ID MS\n");
    return 2;
  }
  const std::string action = argv[1];
  if (action == "wait" && argc >= 3) {
    const DWORD limit = static_cast<DWORD>(std::atoi(argv[2]));
    const DWORD start = ::GetTickCount();
    // The window is shown once its creation handler has set it up.
    HWND main = FindMain();
    while ((main == nullptr || !::IsWindowVisible(main)) && ::GetTickCount() - start < limit) {
      ::Sleep(100);
      main = FindMain();
    }
    if (main == nullptr || !::IsWindowVisible(main)) return 1;
    PrintCaption(main);
    return 0;
  }
  if (action == "setup-rect" || action == "setup-click") {
    HWND setup = FindSetupDialog();
    if (setup == nullptr) return 1;
    if (action == "setup-rect") {
      PrintRect(setup);
      return 0;
    }
    HWND button = argc >= 4 ? ::GetDlgItem(setup, std::atoi(argv[2])) : nullptr;
    if (button == nullptr) return 1;
    ::PostMessageW(button, BM_CLICK, 0, 0);
    ::Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    return 0;
  }
  HWND main = FindMain();
  if (main == nullptr) return 1;
  if (action == "rect") {
    PrintRect(main);
    return 0;
  }
  if (action == "layout") {
    RECT window{}, client{};
    ::GetWindowRect(main, &window);
    ::GetClientRect(main, &client);
    RECT page{-1, -1, -1, -1};
    if (HWND child = FindPage(main)) {
      ::GetWindowRect(child, &page);
      ::MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&page), 2);
    }
    // The menu bar's height: what the frame and caption leave between the outer and the client
    // height (the bar itself belongs to the other process, which alone may ask for its rows).
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(main, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(main, GWL_EXSTYLE)));
    const long bar_height = (window.bottom - window.top) - client.bottom - (frame.bottom - frame.top);
    std::printf("window %ld %ld client %ld %ld menu %ld %d page %ld %ld %ld %ld\n", window.right - window.left,
                window.bottom - window.top, client.right, client.bottom, bar_height,
                ::GetSystemMetrics(SM_CYMENU), page.left, page.top, page.right - page.left, page.bottom - page.top);
    return 0;
  }
  if (action == "command" && argc >= 4) {
    ::PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0);
    ::Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    if (::IsWindow(main)) PrintCaption(main);
    return 0;
  }
  if (action == "close-dialog" && argc >= 3) {
    HWND dialog = FindDialog(main);
    if (dialog == nullptr) return 1;
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    ::Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return 0;
  }
  std::fprintf(stderr, "korvel-wine-driver: unknown action %s\n", action.c_str());
  return 2;
}

#pragma once
// The system headers of the Windows implementation. The names of the wide and narrow variants the
// headers define as macros (TextOut, GetOpenFileName, GetSaveFileName) are also names of the
// window-system interface, so they are taken back here; the code calls the wide functions by
// their own names.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>

#undef TextOut
#undef GetOpenFileName
#undef GetSaveFileName

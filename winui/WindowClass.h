#pragma once
#include <windows.h>

// Registers one of the program's window classes the first time a window of it
// is made; throws when Windows refuses it. Without a cursor the class shows
// none of its own: its windows set theirs as the mouse moves. A dialog class
// reserves DLGWINDOWEXTRA bytes in `windowExtra`.
void RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background = nullptr,
                             HICON icon = nullptr, int windowExtra = 0);

// Lets the calling thread handle every message that waits for it.
void ProcessPendingMessages();

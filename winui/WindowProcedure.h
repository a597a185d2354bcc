#pragma once
#include <windows.h>

#include <exception>

#include "diagnostics/ExceptionObject.h"

// The window procedure of a class whose objects own a window: the object rides
// in the creation parameter and the window's user data, and its handler sees
// the window's messages once its handle is known. What a handler throws is
// reported as every error of the window's thread is, and the loop goes on.
template <class TOwner, LRESULT (TOwner::*Handler)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK OwnerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* owner = reinterpret_cast<TOwner*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!owner || !owner->Handle() || message == WM_NCDESTROY) return DefWindowProcW(hWnd, message, wParam, lParam);
    try {
        return (owner->*Handler)(message, wParam, lParam);
    } catch (const std::exception& e) {
        TExceptionObject::ExceptionHandler(e);
        return 0;
    }
}

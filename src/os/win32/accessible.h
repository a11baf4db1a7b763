// What a screen reader reads of a window of ours: an accessible object (IAccessible)
// for the window's client area that asks the program's IAccessibleContent each time
// it is read. The window procedure's trampoline hands it out for WM_GETOBJECT.
//
// oleacc.dll, which hands the object to the asking process, is loaded the first time
// something asks, not at the start; COM is initialised on the window's thread then
// too when nothing else has done it (ReleaseAccessibilityCom balances that).
#pragma once

#include "os/os.h"

#include <windows.h>

namespace os::win32
{
    // `content` answers for the window's client area from now on; nullptr ends that.
    // A screen reader that still holds the object it was given before then finds
    // it disconnected. False for a window that is not one of ours on this thread.
    bool AttachAccessible(HWND hwnd, IAccessibleContent* content);
    // Disconnects the window's object (nothing when it has none): at WM_NCDESTROY.
    void DetachAccessible(HWND hwnd);
    // The answer to WM_GETOBJECT when the window has content and the object asked for
    // is its client; false when the window's own procedure should answer.
    bool AnswerGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Balances the COM initialisation that answering made on this thread, if any.
    void ReleaseAccessibilityCom();
} // namespace os::win32

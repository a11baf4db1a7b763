// Every constant and structure layout of the seam (os/types.h, os/os.h) against the
// SDK's, at compile time. The seam's values are the documented Win32 ones; a mistake
// in one of them stops the Windows build here.
//
// Handles that the SDK defines as pointer casts (HWND_TOPMOST, HKEY_CURRENT_USER,
// IDC_ARROW) cannot be compared in a constant expression; the backend's tests compare
// them at run time, and the cursor and icon ids are checked here through their OEM
// resource numbers.
#define OEMRESOURCE
#include "os/os.h"

#include <windows.h>

#include <ole2.h>

#include <oleacc.h>
#include <shellapi.h>
#include <windowsx.h>
#include <winerror.h>

#include <cstddef>
#include <type_traits>

namespace os::win32
{
    namespace
    {
        template <class A, class B> constexpr bool Same(A a, B b)
        {
            return static_cast<long long>(a) == static_cast<long long>(b);
        }
        // Bit patterns of 32-bit flag words (WS_POPUP is an unsigned long, DWORD here).
        template <class A, class B> constexpr bool SameBits(A a, B b)
        {
            return static_cast<std::uint32_t>(a) == static_cast<std::uint32_t>(b);
        }
    } // namespace

    // ------------------------------------------------------------------ layouts

    static_assert(sizeof(Hwnd) == sizeof(HWND) && sizeof(MenuHandle) == sizeof(HMENU) && sizeof(IconHandle) == sizeof(HICON) &&
                  sizeof(CursorHandle) == sizeof(HCURSOR) && sizeof(RegKeyHandle) == sizeof(HKEY) &&
                  sizeof(KernelHandle) == sizeof(HANDLE));
    static_assert(sizeof(UINT) == sizeof(::UINT) && sizeof(DWORD) == sizeof(::DWORD) && sizeof(WPARAM) == sizeof(::WPARAM) &&
                  sizeof(LPARAM) == sizeof(::LPARAM) && sizeof(LRESULT) == sizeof(::LRESULT) &&
                  sizeof(Color) == sizeof(COLORREF));
    static_assert(std::is_signed_v<LPARAM> == std::is_signed_v<::LPARAM> &&
                  std::is_signed_v<WPARAM> == std::is_signed_v<::WPARAM>);

    static_assert(sizeof(Point) == sizeof(POINT));
    static_assert(offsetof(Point, x) == offsetof(POINT, x) && offsetof(Point, y) == offsetof(POINT, y));

    static_assert(sizeof(Rect) == sizeof(RECT));
    static_assert(offsetof(Rect, left) == offsetof(RECT, left) && offsetof(Rect, top) == offsetof(RECT, top) &&
                  offsetof(Rect, right) == offsetof(RECT, right) && offsetof(Rect, bottom) == offsetof(RECT, bottom));

    static_assert(sizeof(Size) == sizeof(SIZE) && offsetof(Size, cx) == offsetof(SIZE, cx) &&
                  offsetof(Size, cy) == offsetof(SIZE, cy));

    static_assert(sizeof(WindowPos) == sizeof(WINDOWPOS));
    static_assert(offsetof(WindowPos, hwnd) == offsetof(WINDOWPOS, hwnd) &&
                  offsetof(WindowPos, hwndInsertAfter) == offsetof(WINDOWPOS, hwndInsertAfter) &&
                  offsetof(WindowPos, x) == offsetof(WINDOWPOS, x) && offsetof(WindowPos, y) == offsetof(WINDOWPOS, y) &&
                  offsetof(WindowPos, cx) == offsetof(WINDOWPOS, cx) && offsetof(WindowPos, cy) == offsetof(WINDOWPOS, cy) &&
                  offsetof(WindowPos, flags) == offsetof(WINDOWPOS, flags));

    static_assert(sizeof(MinMaxInfo) == sizeof(MINMAXINFO));
    static_assert(offsetof(MinMaxInfo, ptReserved) == offsetof(MINMAXINFO, ptReserved) &&
                  offsetof(MinMaxInfo, ptMaxSize) == offsetof(MINMAXINFO, ptMaxSize) &&
                  offsetof(MinMaxInfo, ptMaxPosition) == offsetof(MINMAXINFO, ptMaxPosition) &&
                  offsetof(MinMaxInfo, ptMinTrackSize) == offsetof(MINMAXINFO, ptMinTrackSize) &&
                  offsetof(MinMaxInfo, ptMaxTrackSize) == offsetof(MINMAXINFO, ptMaxTrackSize));

    static_assert(sizeof(AppBarData) == sizeof(APPBARDATA));
    static_assert(offsetof(AppBarData, cbSize) == offsetof(APPBARDATA, cbSize) &&
                  offsetof(AppBarData, hWnd) == offsetof(APPBARDATA, hWnd) &&
                  offsetof(AppBarData, uCallbackMessage) == offsetof(APPBARDATA, uCallbackMessage) &&
                  offsetof(AppBarData, uEdge) == offsetof(APPBARDATA, uEdge) &&
                  offsetof(AppBarData, rc) == offsetof(APPBARDATA, rc) &&
                  offsetof(AppBarData, lParam) == offsetof(APPBARDATA, lParam));
    static_assert(AppBarData{}.cbSize == sizeof(APPBARDATA));

    static_assert(sizeof(SystemTime) == sizeof(SYSTEMTIME));
    static_assert(offsetof(SystemTime, year) == offsetof(SYSTEMTIME, wYear) &&
                  offsetof(SystemTime, month) == offsetof(SYSTEMTIME, wMonth) &&
                  offsetof(SystemTime, dayOfWeek) == offsetof(SYSTEMTIME, wDayOfWeek) &&
                  offsetof(SystemTime, day) == offsetof(SYSTEMTIME, wDay) &&
                  offsetof(SystemTime, hour) == offsetof(SYSTEMTIME, wHour) &&
                  offsetof(SystemTime, minute) == offsetof(SYSTEMTIME, wMinute) &&
                  offsetof(SystemTime, second) == offsetof(SYSTEMTIME, wSecond) &&
                  offsetof(SystemTime, milliseconds) == offsetof(SYSTEMTIME, wMilliseconds));

    // ------------------------------------------------------------------ helpers

    static_assert(Rgb(0x12, 0x34, 0x56) == RGB(0x12, 0x34, 0x56) && Rgb(255, 0, 0) == RGB(255, 0, 0));
    static_assert(LoWord(0x12345678u) == LOWORD(0x12345678u) && HiWord(0x12345678u) == HIWORD(0x12345678u));
    static_assert(MakeWParam(0x1234, 0xABCD) == MAKEWPARAM(0x1234, 0xABCD));
    static_assert(MakeLParam(-5, 7) == MAKELPARAM(-5, 7) && MakeLParam(1000, -1000) == MAKELPARAM(1000, -1000));
    static_assert(XFromLParam(MAKELPARAM(-5, -7)) == GET_X_LPARAM(MAKELPARAM(-5, -7)) &&
                  YFromLParam(MAKELPARAM(-5, -7)) == GET_Y_LPARAM(MAKELPARAM(-5, -7)));

    // ------------------------------------------------------------------ window messages

    static_assert(
        Same(wm::null, WM_NULL) && Same(wm::create, WM_CREATE) && Same(wm::destroy, WM_DESTROY) && Same(wm::move, WM_MOVE) &&
        Same(wm::size, WM_SIZE) && Same(wm::activate, WM_ACTIVATE) && Same(wm::setfocus, WM_SETFOCUS) &&
        Same(wm::killfocus, WM_KILLFOCUS) && Same(wm::enable, WM_ENABLE) && Same(wm::settext, WM_SETTEXT) &&
        Same(wm::gettext, WM_GETTEXT) && Same(wm::paint, WM_PAINT) && Same(wm::close, WM_CLOSE) && Same(wm::quit, WM_QUIT) &&
        Same(wm::erasebkgnd, WM_ERASEBKGND) && Same(wm::showwindow, WM_SHOWWINDOW) && Same(wm::setcursor, WM_SETCURSOR) &&
        Same(wm::mouseactivate, WM_MOUSEACTIVATE) && Same(wm::getminmaxinfo, WM_GETMINMAXINFO) && Same(wm::setfont, WM_SETFONT) &&
        Same(wm::windowposchanging, WM_WINDOWPOSCHANGING) && Same(wm::windowposchanged, WM_WINDOWPOSCHANGED) &&
        Same(wm::displaychange, WM_DISPLAYCHANGE) && Same(wm::dpichanged, WM_DPICHANGED) && Same(wm::nccreate, WM_NCCREATE) &&
        Same(wm::ncdestroy, WM_NCDESTROY) && Same(wm::nccalcsize, WM_NCCALCSIZE) && Same(wm::nchittest, WM_NCHITTEST) &&
        Same(wm::ncmousemove, WM_NCMOUSEMOVE) && Same(wm::nclbuttondown, WM_NCLBUTTONDOWN) &&
        Same(wm::nclbuttonup, WM_NCLBUTTONUP) && Same(wm::ncrbuttondown, WM_NCRBUTTONDOWN) &&
        Same(wm::ncrbuttonup, WM_NCRBUTTONUP) && Same(wm::keydown, WM_KEYDOWN) && Same(wm::keyup, WM_KEYUP) &&
        Same(wm::char_, WM_CHAR) && Same(wm::syskeydown, WM_SYSKEYDOWN) && Same(wm::command, WM_COMMAND) &&
        Same(wm::syscommand, WM_SYSCOMMAND) && Same(wm::timer, WM_TIMER) && Same(wm::ctlcolorstatic, WM_CTLCOLORSTATIC) &&
        Same(wm::mousemove, WM_MOUSEMOVE) && Same(wm::lbuttondown, WM_LBUTTONDOWN) && Same(wm::lbuttonup, WM_LBUTTONUP) &&
        Same(wm::lbuttondblclk, WM_LBUTTONDBLCLK) && Same(wm::rbuttondown, WM_RBUTTONDOWN) && Same(wm::rbuttonup, WM_RBUTTONUP) &&
        Same(wm::rbuttondblclk, WM_RBUTTONDBLCLK) && Same(wm::sizing, WM_SIZING) && Same(wm::moving, WM_MOVING) &&
        Same(wm::entersizemove, WM_ENTERSIZEMOVE) && Same(wm::exitsizemove, WM_EXITSIZEMOVE) && Same(wm::user, WM_USER));
    // The pointer leaving a window that asked to be told (TrackMouseEvent).
    static_assert(Same(wm::mouseleave, WM_MOUSELEAVE));

    // ------------------------------------------------------------------ positions, showing, hit tests

    static_assert(Same(swp::nosize, SWP_NOSIZE) && Same(swp::nomove, SWP_NOMOVE) && Same(swp::nozorder, SWP_NOZORDER) &&
                  Same(swp::noredraw, SWP_NOREDRAW) && Same(swp::noactivate, SWP_NOACTIVATE) &&
                  Same(swp::framechanged, SWP_FRAMECHANGED) && Same(swp::showwindow, SWP_SHOWWINDOW) &&
                  Same(swp::hidewindow, SWP_HIDEWINDOW) && Same(swp::noownerzorder, SWP_NOOWNERZORDER) &&
                  Same(swp::nosendchanging, SWP_NOSENDCHANGING));
    static_assert(Same(sw::hide, SW_HIDE) && Same(sw::shownormal, SW_SHOWNORMAL) && Same(sw::shownoactivate, SW_SHOWNOACTIVATE) &&
                  Same(sw::show, SW_SHOW) && Same(sw::showna, SW_SHOWNA));
    static_assert(Same(ht::error, HTERROR) && Same(ht::transparent, HTTRANSPARENT) && Same(ht::nowhere, HTNOWHERE) &&
                  Same(ht::client, HTCLIENT) && Same(ht::caption, HTCAPTION) && Same(ht::sysmenu, HTSYSMENU) &&
                  Same(ht::left, HTLEFT) && Same(ht::right, HTRIGHT) && Same(ht::top, HTTOP) && Same(ht::topleft, HTTOPLEFT) &&
                  Same(ht::topright, HTTOPRIGHT) && Same(ht::bottom, HTBOTTOM) && Same(ht::bottomleft, HTBOTTOMLEFT) &&
                  Same(ht::bottomright, HTBOTTOMRIGHT) && Same(ht::border, HTBORDER));
    static_assert(Same(wmsz::left, WMSZ_LEFT) && Same(wmsz::right, WMSZ_RIGHT) && Same(wmsz::top, WMSZ_TOP) &&
                  Same(wmsz::topleft, WMSZ_TOPLEFT) && Same(wmsz::topright, WMSZ_TOPRIGHT) && Same(wmsz::bottom, WMSZ_BOTTOM) &&
                  Same(wmsz::bottomleft, WMSZ_BOTTOMLEFT) && Same(wmsz::bottomright, WMSZ_BOTTOMRIGHT));
    static_assert(Same(wa::inactive, WA_INACTIVE) && Same(wa::active, WA_ACTIVE) && Same(wa::clickactive, WA_CLICKACTIVE));

    // ------------------------------------------------------------------ styles

    static_assert(SameBits(ws::overlapped, WS_OVERLAPPED) && SameBits(ws::popup, WS_POPUP) && SameBits(ws::child, WS_CHILD) &&
                  SameBits(ws::visible, WS_VISIBLE) && SameBits(ws::disabled, WS_DISABLED) &&
                  SameBits(ws::clipsiblings, WS_CLIPSIBLINGS) && SameBits(ws::clipchildren, WS_CLIPCHILDREN) &&
                  SameBits(ws::caption, WS_CAPTION) && SameBits(ws::border, WS_BORDER) && SameBits(ws::dlgframe, WS_DLGFRAME) &&
                  SameBits(ws::vscroll, WS_VSCROLL) && SameBits(ws::sysmenu, WS_SYSMENU) &&
                  SameBits(ws::thickframe, WS_THICKFRAME) && SameBits(ws::group, WS_GROUP) && SameBits(ws::tabstop, WS_TABSTOP) &&
                  SameBits(ws::minimizebox, WS_MINIMIZEBOX) && SameBits(ws::maximizebox, WS_MAXIMIZEBOX));
    static_assert(SameBits(ws_ex::dlgmodalframe, WS_EX_DLGMODALFRAME) && SameBits(ws_ex::topmost, WS_EX_TOPMOST) &&
                  SameBits(ws_ex::toolwindow, WS_EX_TOOLWINDOW) && SameBits(ws_ex::windowedge, WS_EX_WINDOWEDGE) &&
                  SameBits(ws_ex::clientedge, WS_EX_CLIENTEDGE) && SameBits(ws_ex::controlparent, WS_EX_CONTROLPARENT) &&
                  SameBits(ws_ex::appwindow, WS_EX_APPWINDOW) && SameBits(ws_ex::transparent, WS_EX_TRANSPARENT) &&
                  SameBits(ws_ex::layered, WS_EX_LAYERED));
    static_assert(Same(gwl::style, GWL_STYLE) && Same(gwl::exstyle, GWL_EXSTYLE));

    // ------------------------------------------------------------------ controls

    static_assert(SameBits(bs::pushbutton, BS_PUSHBUTTON) && SameBits(bs::defpushbutton, BS_DEFPUSHBUTTON) &&
                  SameBits(bs::autocheckbox, BS_AUTOCHECKBOX));
    static_assert(Same(bm::getcheck, BM_GETCHECK) && Same(bm::setcheck, BM_SETCHECK) && Same(bm::click, BM_CLICK));
    static_assert(Same(bn::clicked, BN_CLICKED));
    static_assert(SameBits(es::multiline, ES_MULTILINE) && SameBits(es::autovscroll, ES_AUTOVSCROLL) &&
                  SameBits(es::readonly, ES_READONLY));
    static_assert(Same(en::setfocus, EN_SETFOCUS));

    // ------------------------------------------------------------------ message boxes, metrics, input

    static_assert(SameBits(mb::ok, MB_OK) && SameBits(mb::okcancel, MB_OKCANCEL) && SameBits(mb::yesno, MB_YESNO) &&
                  SameBits(mb::iconerror, MB_ICONERROR) && SameBits(mb::iconquestion, MB_ICONQUESTION) &&
                  SameBits(mb::iconwarning, MB_ICONWARNING) && SameBits(mb::iconinformation, MB_ICONINFORMATION) &&
                  SameBits(mb::taskmodal, MB_TASKMODAL) && SameBits(mb::typemask, MB_TYPEMASK) &&
                  SameBits(mb::iconmask, MB_ICONMASK));
    static_assert(Same(id::ok, IDOK) && Same(id::cancel, IDCANCEL) && Same(id::yes, IDYES) && Same(id::no, IDNO));
    static_assert(Same(sm::cxscreen, SM_CXSCREEN) && Same(sm::cyscreen, SM_CYSCREEN) && Same(sm::cxvscroll, SM_CXVSCROLL) &&
                  Same(sm::cyhscroll, SM_CYHSCROLL) && Same(sm::cycaption, SM_CYCAPTION) && Same(sm::cxborder, SM_CXBORDER) &&
                  Same(sm::cyborder, SM_CYBORDER) && Same(sm::cxdlgframe, SM_CXDLGFRAME) && Same(sm::cydlgframe, SM_CYDLGFRAME) &&
                  Same(sm::cxicon, SM_CXICON) && Same(sm::cyicon, SM_CYICON) && Same(sm::swapbutton, SM_SWAPBUTTON) &&
                  Same(sm::cxframe, SM_CXFRAME) && Same(sm::cyframe, SM_CYFRAME) && Same(sm::cxdoubleclk, SM_CXDOUBLECLK) &&
                  Same(sm::cydoubleclk, SM_CYDOUBLECLK) && Same(sm::cxsmicon, SM_CXSMICON) && Same(sm::cysmicon, SM_CYSMICON) &&
                  Same(sm::cmonitors, SM_CMONITORS));
    static_assert(Same(vk::lbutton, VK_LBUTTON) && Same(vk::rbutton, VK_RBUTTON) && Same(vk::tab, VK_TAB) &&
                  Same(vk::return_, VK_RETURN) && Same(vk::shift, VK_SHIFT) && Same(vk::control, VK_CONTROL) &&
                  Same(vk::menu, VK_MENU) && Same(vk::escape, VK_ESCAPE));
    static_assert(Same(mk::lbutton, MK_LBUTTON) && Same(mk::rbutton, MK_RBUTTON) && Same(mk::control, MK_CONTROL));
    static_assert(Same(sc::size, SC_SIZE) && Same(sc::move, SC_MOVE) && Same(sc::minimize, SC_MINIMIZE) &&
                  Same(sc::maximize, SC_MAXIMIZE) && Same(sc::close, SC_CLOSE) && Same(sc::restore, SC_RESTORE));
    static_assert(Same(mf::bycommand, MF_BYCOMMAND) && Same(mf::byposition, MF_BYPOSITION));
    static_assert(Same(tpm::leftbutton, TPM_LEFTBUTTON) && Same(tpm::leftalign, TPM_LEFTALIGN) &&
                  Same(tpm::rightbutton, TPM_RIGHTBUTTON) && Same(tpm::nonotify, TPM_NONOTIFY) &&
                  Same(tpm::returncmd, TPM_RETURNCMD));
    // IDC_ and IDI_ are MAKEINTRESOURCE of these numbers.
    static_assert(Same(idc::arrow, OCR_NORMAL) && Same(idc::ibeam, OCR_IBEAM) && Same(idc::sizeall, OCR_SIZEALL) &&
                  Same(idc::hand, OCR_HAND));
    static_assert(Same(idi::application, OIC_SAMPLE) && Same(idi::question, OIC_QUES));
    static_assert(Same(color::btnface, COLOR_BTNFACE) && Same(color::btntext, COLOR_BTNTEXT) &&
                  Same(color::window, COLOR_WINDOW) && Same(color::windowtext, COLOR_WINDOWTEXT));
    static_assert(Same(dt::left, DT_LEFT) && Same(dt::center, DT_CENTER) && Same(dt::right, DT_RIGHT) &&
                  Same(dt::vcenter, DT_VCENTER) && Same(dt::wordbreak, DT_WORDBREAK) && Same(dt::singleline, DT_SINGLELINE) &&
                  Same(dt::noprefix, DT_NOPREFIX));

    // ------------------------------------------------------------------ assistive technology, session, power

    static_assert(Same(winevent::object_focus, EVENT_OBJECT_FOCUS) && Same(winevent::object_namechange, EVENT_OBJECT_NAMECHANGE));
    static_assert(Same(objid::client, OBJID_CLIENT) && Same(objid::childid_self, CHILDID_SELF));
    static_assert(Same(role::statictext, ROLE_SYSTEM_STATICTEXT) && Same(role::animation, ROLE_SYSTEM_ANIMATION));
    static_assert(Same(wts::session_lock, WTS_SESSION_LOCK) && Same(wts::session_unlock, WTS_SESSION_UNLOCK));
    static_assert(Same(pbt::powersettingchange, PBT_POWERSETTINGCHANGE));
    static_assert(Same(wm::getobject, WM_GETOBJECT) && Same(wm::powerbroadcast, WM_POWERBROADCAST) &&
                  Same(wm::wtssession_change, WM_WTSSESSION_CHANGE));

    // ------------------------------------------------------------------ shell

    static_assert(Same(abm::new_, ABM_NEW) && Same(abm::remove, ABM_REMOVE) && Same(abm::querypos, ABM_QUERYPOS) &&
                  Same(abm::setpos, ABM_SETPOS) && Same(abm::getstate, ABM_GETSTATE) &&
                  Same(abm::gettaskbarpos, ABM_GETTASKBARPOS) && Same(abm::activate, ABM_ACTIVATE) &&
                  Same(abm::getautohidebar, ABM_GETAUTOHIDEBAR) && Same(abm::setautohidebar, ABM_SETAUTOHIDEBAR) &&
                  Same(abm::windowposchanged, ABM_WINDOWPOSCHANGED) && Same(abm::setstate, ABM_SETSTATE));
    static_assert(Same(abn::statechange, ABN_STATECHANGE) && Same(abn::poschanged, ABN_POSCHANGED) &&
                  Same(abn::fullscreenapp, ABN_FULLSCREENAPP) && Same(abn::windowarrange, ABN_WINDOWARRANGE));
    static_assert(Same(abs_::autohide, ABS_AUTOHIDE) && Same(abs_::alwaysontop, ABS_ALWAYSONTOP));
    static_assert(Same(abe::left, ABE_LEFT) && Same(abe::top, ABE_TOP) && Same(abe::right, ABE_RIGHT) &&
                  Same(abe::bottom, ABE_BOTTOM));
    static_assert(Same(nim::add, NIM_ADD) && Same(nim::modify, NIM_MODIFY) && Same(nim::delete_, NIM_DELETE));
    static_assert(Same(nif::message, NIF_MESSAGE) && Same(nif::icon, NIF_ICON) && Same(nif::tip, NIF_TIP));

    // ------------------------------------------------------------------ registry, kernel, internet, COM, GDI

    static_assert(Same(reg::none, REG_NONE) && Same(reg::sz, REG_SZ) && Same(reg::expand_sz, REG_EXPAND_SZ) &&
                  Same(reg::binary, REG_BINARY) && Same(reg::dword, REG_DWORD));
    static_assert(SameBits(wait::object_0, WAIT_OBJECT_0) && SameBits(wait::abandoned, WAIT_ABANDONED) &&
                  SameBits(wait::timeout, WAIT_TIMEOUT) && SameBits(wait::failed, WAIT_FAILED));
    static_assert(Same(error::success, ERROR_SUCCESS) && Same(error::file_not_found, ERROR_FILE_NOT_FOUND) &&
                  Same(error::access_denied, ERROR_ACCESS_DENIED) && Same(error::invalid_handle, ERROR_INVALID_HANDLE) &&
                  Same(error::more_data, ERROR_MORE_DATA));
    static_assert(sizeof(HResult) == sizeof(HRESULT) && std::is_signed_v<HResult> == std::is_signed_v<HRESULT>);
    static_assert(Same(hr::ok, S_OK) && Same(hr::fail, E_FAIL) && Same(hr::class_not_registered, REGDB_E_CLASSNOTREG));
    static_assert(Same(oleiverb::show, OLEIVERB_SHOW));
    static_assert(Same(logpixels::x, LOGPIXELSX));
} // namespace os::win32

// A bare program to compare the movie player with: a 700 x 25 strip that scrolls one
// line of text at 60 frames a second with plain GDI (a timer, InvalidateRect, and a
// WM_PAINT that fills and draws straight onto the window), nothing else.
#include <windows.h>

namespace
{
    int g_x = 700;
    HFONT g_font = nullptr;
    const wchar_t kText[] = L"Norvale \x2014 \x0416\x0443\x0440\x043D\x0430\x043B caf\x00E9 news as it happens";

    LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        switch (msg)
        {
        case WM_TIMER:
            g_x = g_x < -400 ? 700 : g_x - 1;
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_PAINT:
        {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            HBRUSH lime = CreateSolidBrush(RGB(0, 255, 0));
            FillRect(dc, &rc, lime);
            DeleteObject(lime);
            HGDIOBJ old = SelectObject(dc, g_font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 255));
            ExtTextOutW(dc, g_x, 4, 0, nullptr, kText, static_cast<UINT>(wcslen(kText)), nullptr);
            SelectObject(dc, old);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"BareStrip";
    RegisterClassW(&wc);
    g_font = CreateFontW(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"BareStrip", L"Bare strip", WS_POPUP | WS_VISIBLE, 100, 100,
                                700, 25, nullptr, nullptr, instance, nullptr);
    SetTimer(hwnd, 1, 16, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(g_font);
    return 0;
}

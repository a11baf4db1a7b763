// The yardstick for the ticker's first headline: a 703 x 25 popup on the strip's dark
// background that, once it is shown, reads the first line of the world channel's
// headlines from the content server on the loopback interface with WinInet and draws
// its title in white, nothing else.
#include <windows.h>
#include <wininet.h>

#include <string>

namespace
{
    // The content server that tools/bench.sh starts; nothing else is ever asked.
    const char kAddress[] = "http://127.0.0.1:8421/resources/media/uk/downloads/vodazovovarar/headlines/world.txt";
    std::wstring g_title;
    HFONT g_font = nullptr;

    std::wstring FirstTitle()
    {
        std::string text;
        HINTERNET session = InternetOpenA("bare_headline", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (!session)
            return {};
        HINTERNET url = InternetOpenUrlA(session, kAddress, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (url)
        {
            char chunk[4096];
            DWORD got = 0;
            while (text.find('\n') == std::string::npos && InternetReadFile(url, chunk, sizeof chunk, &got) && got > 0)
                text.append(chunk, got);
            InternetCloseHandle(url);
        }
        InternetCloseHandle(session);
        text = text.substr(0, text.find_first_of("\t\n"));
        const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
        return wide;
    }

    LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        switch (msg)
        {
        case WM_PAINT:
        {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            HBRUSH back = CreateSolidBrush(RGB(0x14, 0x23, 0x3A));
            FillRect(dc, &rc, back);
            DeleteObject(back);
            HGDIOBJ old = SelectObject(dc, g_font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(255, 255, 255));
            ExtTextOutW(dc, 8, 6, 0, nullptr, g_title.c_str(), static_cast<UINT>(g_title.size()), nullptr);
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
    wc.lpszClassName = L"BareHeadline";
    if (!RegisterClassW(&wc))
        return 1;
    g_font = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial");
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"BareHeadline", L"Bare headline", WS_POPUP | WS_VISIBLE, 100, 100, 703, 25,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    UpdateWindow(hwnd);
    g_title = FirstTitle();
    InvalidateRect(hwnd, nullptr, FALSE);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(g_font);
    return static_cast<int>(msg.wParam);
}

// A small Windows tool for the installer's run under Wine (tools/wine-installer.sh):
//   ticker_probe command ID        posts the menu command ID to the running ticker's
//                                  application window, as a click on the menu item would
//   ticker_probe record FILE ARG   appends ARG and a line end to FILE: the test makes it
//                                  the program that opens web pages, to see what the
//                                  ticker asks the shell to open
//   ticker_probe stubborn SECONDS  plays a ticker that will not close: holds the
//                                  ticker's mutex and a strip window that ignores
//                                  WM_CLOSE, for SECONDS; then prints how many close
//                                  requests it got
//   ticker_probe next CAPTION      presses the default button (Next, Install, Finish)
//                                  of the window whose caption starts with CAPTION
//   ticker_probe find CAPTION TEXT [check|uncheck]
//                                  succeeds when that window holds a control whose
//                                  text starts with TEXT; ticks or clears it if it is a
//                                  check box
// Exit status 0 on success, 1 when the window or control is missing or the arguments
// are wrong, 2 when the file cannot be written.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

namespace
{
    constexpr wchar_t kCaption[] = L"Norvale Desktop Ticker";
    int closeRequests = 0;

    LRESULT CALLBACK StubbornProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_CLOSE)
        {
            ++closeRequests;
            return 0; // stays
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    bool ParseNumber(const wchar_t* text, unsigned long& value)
    {
        if (!text || !std::iswdigit(static_cast<wint_t>(*text)))
            return false;
        wchar_t* end = nullptr;
        value = std::wcstoul(text, &end, 10);
        return *end == L'\0';
    }

    int Command(const wchar_t* idText)
    {
        unsigned long id = 0;
        if (!ParseNumber(idText, id) || id > 0xFFFF)
            return 1;
        HWND app = FindWindowW(L"NorvaleApplication", kCaption);
        if (!app)
        {
            std::fputs("no ticker application window\n", stderr);
            return 1;
        }
        return PostMessageW(app, WM_COMMAND, static_cast<WPARAM>(id), 0) ? 0 : 1;
    }

    int Record(const wchar_t* file, const wchar_t* text)
    {
        const std::wstring line = std::wstring(text) + L"\r\n";
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr, nullptr);
        HANDLE h = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return 2;
        DWORD written = 0;
        const bool ok = WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) && written == utf8.size();
        CloseHandle(h);
        return ok ? 0 : 2;
    }

    struct Search
    {
        const wchar_t* prefix;
        HWND found;
    };

    BOOL CALLBACK MatchCaption(HWND hwnd, LPARAM data)
    {
        auto* search = reinterpret_cast<Search*>(data);
        wchar_t text[256] = {};
        GetWindowTextW(hwnd, text, 256);
        if (std::wcsncmp(text, search->prefix, std::wcslen(search->prefix)) != 0)
            return TRUE;
        search->found = hwnd;
        return FALSE;
    }

    HWND TopWindow(const wchar_t* caption)
    {
        Search search{ caption, nullptr };
        EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    int Next(const wchar_t* caption)
    {
        HWND window = TopWindow(caption);
        return window && PostMessageW(window, WM_COMMAND, IDOK, 0) ? 0 : 1;
    }

    int Find(const wchar_t* caption, const wchar_t* text, const wchar_t* tick)
    {
        HWND window = TopWindow(caption);
        if (!window)
            return 1;
        Search search{ text, nullptr };
        EnumChildWindows(window, MatchCaption, reinterpret_cast<LPARAM>(&search));
        if (!search.found || !IsWindowVisible(search.found))
            return 1;
        if (tick)
            SendMessageW(search.found, BM_SETCHECK, std::wcscmp(tick, L"check") == 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        return 0;
    }

    int Stubborn(const wchar_t* secondsText)
    {
        unsigned long seconds = 0;
        if (!ParseNumber(secondsText, seconds))
            return 1;
        HANDLE mutex = CreateMutexW(nullptr, TRUE, L"NorvaleTickerMutex");
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = StubbornProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NorvaleForm";
        HWND hwnd = nullptr;
        if (RegisterClassExW(&wc))
            hwnd = CreateWindowExW(0, L"NorvaleForm", kCaption, WS_POPUP, 100, 100, 656, 25, nullptr, nullptr, wc.hInstance,
                                   nullptr);
        if (!mutex || !hwnd)
        {
            std::fputs("cannot play the ticker\n", stderr);
            if (mutex)
                CloseHandle(mutex);
            return 1;
        }
        std::puts("ready");
        std::fflush(stdout);
        const ULONGLONG until = GetTickCount64() + seconds * 1000ULL;
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, nullptr);
        MSG msg;
        while (GetTickCount64() < until && GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        KillTimer(nullptr, timer);
        DestroyWindow(hwnd);
        std::printf("close-requests %d\n", closeRequests);
        std::fflush(stdout);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return 0;
    }
} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"command" && argc == 3)
        return Command(argv[2]);
    if (mode == L"record" && argc == 4)
        return Record(argv[2], argv[3]);
    if (mode == L"stubborn" && argc == 3)
        return Stubborn(argv[2]);
    if (mode == L"next" && argc == 3)
        return Next(argv[2]);
    if (mode == L"find" && argc == 4)
        return Find(argv[2], argv[3], nullptr);
    if (mode == L"find" && argc == 5 && (std::wstring(argv[4]) == L"check" || std::wstring(argv[4]) == L"uncheck"))
        return Find(argv[2], argv[3], argv[4]);
    std::fputs("usage: ticker_probe command ID | record FILE ARG | stubborn SECONDS | next CAPTION | "
               "find CAPTION TEXT [check|uncheck]\n",
               stderr);
    return 1;
}

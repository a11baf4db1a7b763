// Reads the running ticker as a screen reader does, for tools/wine-a11y-e2e.sh:
//   headline_reader HEADLINES SECONDS
// HEADLINES is a UTF-8 file of the demo content's headlines, one "title<TAB>link" a
// line. The reader finds the strip's window (and the movie player's window in it),
// asks each for its client's accessible object (AccessibleObjectFromWindow), and
// within SECONDS:
//   1. reads a headline of the demo content as the strip's name,
//   2. reads another headline after the first has gone,
//   3. does the object's default action, which should open the headline's link.
// It prints what it read ("name ...", "role ...", "action ..."), and last the links
// of the headlines named just before and just after the action ("opens LINK"), so
// that the run can check what the shell was asked to open. Exit status 0 when every
// step was seen, 1 when one was not (with the reason), 2 on bad arguments.
#include <windows.h>

#include <ole2.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace
{
    constexpr wchar_t kCaption[] = L"Norvale Desktop Ticker";
    // IAccessible's identifier (the import library's symbol is not its data).
    constexpr IID kIidAccessible = { 0x618736e0, 0x3c3d, 0x11cf, { 0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };

    std::wstring FromUtf8(const std::string& text)
    {
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
        return wide;
    }

    std::string ToUtf8(const std::wstring& text)
    {
        const int length =
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string narrow(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr, nullptr);
        return narrow;
    }

    // Runs of white space as one space, none at the ends: how a headline is compared.
    std::wstring Collapse(const std::wstring& text)
    {
        std::wstring out;
        bool space = false;
        for (wchar_t c : text)
        {
            if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0xA0)
            {
                space = !out.empty();
                continue;
            }
            if (space)
                out += L' ';
            space = false;
            out += c;
        }
        return out;
    }

    // Title -> link.
    std::map<std::wstring, std::wstring> ReadHeadlines(const char* path)
    {
        std::map<std::wstring, std::wstring> headlines;
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line))
        {
            const std::wstring wide = FromUtf8(line);
            const size_t tab = wide.find(L'\t');
            if (tab == std::wstring::npos)
                continue;
            headlines[Collapse(wide.substr(0, tab))] = Collapse(wide.substr(tab + 1));
        }
        return headlines;
    }

    void Say(const char* what, const std::wstring& text)
    {
        std::printf("%s %s\n", what, ToUtf8(text).c_str());
        std::fflush(stdout);
    }

    int Fail(const char* why, const std::wstring& detail = {})
    {
        std::fprintf(stderr, "FAIL: %s%s%s\n", why, detail.empty() ? "" : ": ", ToUtf8(detail).c_str());
        return 1;
    }

    VARIANT Self()
    {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = CHILDID_SELF;
        return v;
    }

    // One window's client object, asked for again when it is lost (the program may
    // replace it, or the window may go).
    class Reader
    {
      public:
        explicit Reader(HWND hwnd) : _hwnd(hwnd) {}
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        ~Reader() { Drop(); }

        // The name now; false when there is no object or it would not answer.
        bool Name(std::wstring& name, HRESULT& hr)
        {
            if (!Object(hr))
                return false;
            BSTR text = nullptr;
            hr = _object->get_accName(Self(), &text);
            if (FAILED(hr))
            {
                Drop();
                return false;
            }
            name.assign(text ? text : L"", text ? SysStringLen(text) : 0);
            SysFreeString(text);
            return true;
        }

        IAccessible* Get() const { return _object; }
        // Asks the window anew next time: before the program gives the window its
        // content, the object is the system's own (named after the window's title).
        void Drop()
        {
            if (_object)
                _object->Release();
            _object = nullptr;
        }

      private:
        bool Object(HRESULT& hr)
        {
            if (_object)
                return true;
            hr = AccessibleObjectFromWindow(_hwnd, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                            reinterpret_cast<void**>(&_object));
            return SUCCEEDED(hr) && _object;
        }

        HWND _hwnd;
        IAccessible* _object = nullptr;
    };

    bool Elapsed(DWORD start, DWORD seconds)
    {
        return GetTickCount() - start > seconds * 1000;
    }

    int Run(const std::map<std::wstring, std::wstring>& headlines, DWORD seconds)
    {
        const DWORD start = GetTickCount();
        HWND strip = nullptr;
        while (!(strip = FindWindowW(L"NorvaleForm", kCaption)))
        {
            if (Elapsed(start, seconds))
                return Fail("no strip window (class NorvaleForm, caption \"Norvale Desktop Ticker\")");
            Sleep(200);
        }
        HWND player = FindWindowExW(strip, nullptr, L"NorvaleMoviePlayer", nullptr);
        Reader stripReader(strip);
        Reader playerReader(player);

        // 1 and 2: a headline, then another.
        std::wstring first, second, last;
        HRESULT lastHr = S_OK;
        while (second.empty())
        {
            if (Elapsed(start, seconds))
            {
                if (first.empty())
                    return Fail("the strip's accessible name never was a headline of the demo content; it last read",
                                L"\"" + last + L"\" (hr 0x" + std::to_wstring(static_cast<unsigned long>(lastHr)) + L")");
                return Fail("the strip's accessible name did not change from the headline", first);
            }
            std::wstring name;
            if (stripReader.Name(name, lastHr))
            {
                last = name;
                const std::wstring key = Collapse(name);
                if (!headlines.count(key))
                {
                    stripReader.Drop();
                }
                else
                {
                    if (first.empty())
                    {
                        first = key;
                        Say("name", first);
                    }
                    else if (key != first)
                    {
                        second = key;
                        Say("name", second);
                    }
                }
            }
            Sleep(100);
        }

        IAccessible* object = stripReader.Get();
        VARIANT role;
        VariantInit(&role);
        if (SUCCEEDED(object->get_accRole(Self(), &role)) && role.vt == VT_I4)
            std::printf("role 0x%lx\n", static_cast<unsigned long>(role.lVal));
        BSTR action = nullptr;
        if (object->get_accDefaultAction(Self(), &action) == S_OK && action)
            Say("action", std::wstring(action, SysStringLen(action)));
        SysFreeString(action);

        // The movie player's window answers for the same headline.
        if (player)
        {
            std::wstring name;
            HRESULT hr = S_OK;
            if (!playerReader.Name(name, hr))
                return Fail("the movie player's window gave no accessible object");
            if (!headlines.count(Collapse(name)))
                return Fail("the movie player's accessible name is not a headline of the demo content", name);
            Say("player", Collapse(name));
        }

        // 3. The default action, on the headline named now.
        std::wstring before, after;
        HRESULT hr = S_OK;
        if (!stripReader.Name(before, hr) || !stripReader.Get())
            return Fail("the strip's accessible object went away");
        hr = stripReader.Get()->accDoDefaultAction(Self());
        if (FAILED(hr))
            return Fail("the default action failed", L"0x" + std::to_wstring(static_cast<unsigned long>(hr)));
        stripReader.Name(after, hr);
        bool any = false;
        for (const std::wstring& named : { before, after })
        {
            auto it = headlines.find(Collapse(named));
            if (it == headlines.end())
                continue;
            Say("opens", it->second);
            any = true;
        }
        if (!any)
            return Fail("the strip named no headline around its default action", before);
        std::fflush(stdout);
        return 0;
    }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: headline_reader HEADLINES SECONDS\n", stderr);
        return 2;
    }
    const std::map<std::wstring, std::wstring> headlines = ReadHeadlines(argv[1]);
    const long seconds = std::strtol(argv[2], nullptr, 10);
    if (headlines.empty() || seconds <= 0)
    {
        std::fputs("no headlines, or no time to read them in\n", stderr);
        return 2;
    }
    // A screen reader lives in a single-threaded apartment.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return Fail("COM would not start");
    const int result = Run(headlines, static_cast<DWORD>(seconds));
    CoUninitialize();
    return result;
}

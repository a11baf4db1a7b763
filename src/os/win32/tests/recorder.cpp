#include "recorder.h"

#include <sstream>

namespace os::win32::test
{
    std::string MessageName(UINT message)
    {
        static const std::map<UINT, const char*> names = {
            { WM_CREATE, "CREATE" },
            { WM_DESTROY, "DESTROY" },
            { WM_MOVE, "MOVE" },
            { WM_SIZE, "SIZE" },
            { WM_ACTIVATE, "ACTIVATE" },
            { WM_SETFOCUS, "SETFOCUS" },
            { WM_KILLFOCUS, "KILLFOCUS" },
            { WM_PAINT, "PAINT" },
            { WM_ERASEBKGND, "ERASEBKGND" },
            { WM_SHOWWINDOW, "SHOWWINDOW" },
            { WM_ACTIVATEAPP, "ACTIVATEAPP" },
            { WM_SETCURSOR, "SETCURSOR" },
            { WM_GETMINMAXINFO, "GETMINMAXINFO" },
            { WM_WINDOWPOSCHANGING, "WINDOWPOSCHANGING" },
            { WM_WINDOWPOSCHANGED, "WINDOWPOSCHANGED" },
            { WM_GETICON, "GETICON" },
            { WM_NCCREATE, "NCCREATE" },
            { WM_NCDESTROY, "NCDESTROY" },
            { WM_NCCALCSIZE, "NCCALCSIZE" },
            { WM_NCHITTEST, "NCHITTEST" },
            { WM_NCPAINT, "NCPAINT" },
            { WM_NCACTIVATE, "NCACTIVATE" },
            { WM_GETTEXT, "GETTEXT" },
            { WM_SETTEXT, "SETTEXT" },
            { WM_COMMAND, "COMMAND" },
            { WM_TIMER, "TIMER" },
            { WM_PARENTNOTIFY, "PARENTNOTIFY" },
            { WM_IME_SETCONTEXT, "IME_SETCONTEXT" },
            { WM_IME_NOTIFY, "IME_NOTIFY" },
            { WM_CTLCOLORBTN, "CTLCOLORBTN" },
            { WM_SYNCPAINT, "SYNCPAINT" },
        };
        if (auto it = names.find(message); it != names.end())
            return it->second;
        if (message >= WM_USER && message < 0x8000)
            return "USER+" + std::to_string(message - WM_USER);
        std::ostringstream out;
        out << "0x" << std::hex << message;
        return out.str();
    }

    std::string Names(const std::vector<UINT>& messages)
    {
        std::string out;
        for (UINT m : messages)
            out += (out.empty() ? "" : " ") + MessageName(m);
        return out;
    }

    std::vector<UINT> Recorder::Sequence(const std::set<UINT>& only) const
    {
        std::vector<UINT> out;
        for (const Logged& entry : *_log)
            if (only.count(entry.message))
                out.push_back(entry.message);
        return out;
    }

    std::vector<const Logged*> Recorder::Find(UINT message) const
    {
        std::vector<const Logged*> out;
        for (const Logged& entry : *_log)
            if (entry.message == message)
                out.push_back(&entry);
        return out;
    }

    std::string Recorder::Describe() const
    {
        std::vector<UINT> all;
        for (const Logged& entry : *_log)
            all.push_back(entry.message);
        return Names(all);
    }
} // namespace os::win32::test

#include "os/sim/system.h"

#include <algorithm>

namespace os::sim
{
    SimSystem::SimSystem(Clock& clock) : _clock(clock)
    {
        // A plain desktop of its time: metrics as Windows reports them at 96 dpi.
        _metrics = {
            { sm::cxvscroll, 17 }, { sm::cyhscroll, 17 }, { sm::cycaption, 19 },  { sm::cxborder, 1 },    { sm::cyborder, 1 },
            { sm::cxdlgframe, 3 }, { sm::cydlgframe, 3 }, { sm::cxicon, 32 },     { sm::cyicon, 32 },     { sm::swapbutton, 0 },
            { sm::cxframe, 4 },    { sm::cyframe, 4 },    { sm::cxdoubleclk, 4 }, { sm::cydoubleclk, 4 }, { sm::cxsmicon, 16 },
            { sm::cysmicon, 16 },  { sm::cmonitors, 1 },
        };
        SetScreen(1280, 1024);
    }

    void SimSystem::SetScreen(int width, int height)
    {
        _metrics[sm::cxscreen] = width;
        _metrics[sm::cyscreen] = height;
        _workArea = { 0, 0, width, height };
        _monitors.front().bounds = { 0, 0, width, height };
    }

    std::size_t SimSystem::AddMonitor(const Rect& bounds, int dpi)
    {
        _monitors.push_back({ bounds, dpi });
        _metrics[sm::cmonitors] = static_cast<int>(_monitors.size());
        return _monitors.size() - 1;
    }

    std::size_t SimSystem::MonitorIndexAt(const Rect& r) const
    {
        // The largest overlap wins; without any, the monitor nearest to the
        // rectangle (MONITOR_DEFAULTTONEAREST).
        std::size_t best = 0;
        long long bestArea = 0;
        long long bestDistance = -1;
        for (std::size_t i = 0; i < _monitors.size(); ++i)
        {
            const Rect& m = _monitors[i].bounds;
            const long long w = std::min(r.right, m.right) - std::max(r.left, m.left);
            const long long h = std::min(r.bottom, m.bottom) - std::max(r.top, m.top);
            if (w > 0 && h > 0 && w * h > bestArea)
            {
                best = i;
                bestArea = w * h;
            }
            if (bestArea > 0)
                continue;
            const long long dx = std::max<long long>({ 0, m.left - r.right, r.left - m.right });
            const long long dy = std::max<long long>({ 0, m.top - r.bottom, r.top - m.bottom });
            const long long distance = dx * dx + dy * dy;
            if (bestDistance < 0 || distance < bestDistance)
            {
                best = i;
                bestDistance = distance;
            }
        }
        return best;
    }

    int SimSystem::GetDpiForMonitorAt(const Rect& r)
    {
        return _perMonitor ? _monitors[MonitorIndexAt(r)].dpi : _dpi;
    }

    int SimSystem::GetSystemMetricsForDpi(int index, int dpi)
    {
        // Lengths follow the DPI; counts, flags and the screen's size do not.
        switch (index)
        {
        case sm::cxvscroll:
        case sm::cyhscroll:
        case sm::cycaption:
        case sm::cxdlgframe:
        case sm::cydlgframe:
        case sm::cxicon:
        case sm::cyicon:
        case sm::cxframe:
        case sm::cyframe:
        case sm::cxsmicon:
        case sm::cysmicon: return MulDiv(GetSystemMetrics(index), dpi, _dpi);
        default: return GetSystemMetrics(index);
        }
    }

    int SimSystem::GetSystemMetrics(int index)
    {
        auto it = _metrics.find(index);
        return it == _metrics.end() ? 0 : it->second;
    }

    bool SimSystem::KeyDown(int vk) const
    {
        auto it = _keys.find(vk);
        return it != _keys.end() && it->second;
    }

    std::int16_t SimSystem::GetAsyncKeyState(int vk)
    {
        return KeyDown(vk) ? static_cast<std::int16_t>(0x8000) : 0;
    }

    int SimSystem::LogicalButton(int vk)
    {
        if ((vk == vk::lbutton || vk == vk::rbutton) && GetSystemMetrics(sm::swapbutton) != 0)
            return vk == vk::lbutton ? vk::rbutton : vk::lbutton;
        return vk;
    }

    std::int16_t SimSystem::GetKeyState(int vk)
    {
        return KeyDown(LogicalButton(vk)) ? static_cast<std::int16_t>(0x8000) : 0;
    }

    DWORD SimSystem::GetTickCount()
    {
        const auto now = _clock.Now();
        _clock.Set(now + _tickCost);
        return static_cast<DWORD>(_tickBase + now);
    }

    Color SimSystem::GetSysColor(int index)
    {
        if (_highContrast)
        {
            switch (index)
            {
            case color::window:
            case color::btnface:
            case color::highlighttext: return Rgb(0, 0, 0);
            case color::windowtext:
            case color::btntext: return Rgb(255, 255, 255);
            case color::highlight: return Rgb(26, 235, 255);
            case color::hotlight: return Rgb(255, 255, 0);
            default: return Rgb(255, 255, 255);
            }
        }
        switch (index)
        {
        case color::btnface: return Rgb(212, 208, 200);
        case color::btntext:
        case color::windowtext: return Rgb(0, 0, 0);
        case color::window:
        case color::highlighttext: return Rgb(255, 255, 255);
        case color::highlight: return Rgb(0, 120, 215);
        case color::hotlight: return Rgb(0, 102, 204);
        default: return Rgb(128, 128, 128);
        }
    }
} // namespace os::sim

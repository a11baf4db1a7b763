#include "os/sim/process.h"

#include <ctime>

namespace os::sim
{
    namespace
    {
        // Days from 1601-01-01 to a civil date (proleptic Gregorian).
        std::int64_t DaysFromCivil(int y, unsigned m, unsigned d)
        {
            y -= m <= 2;
            const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
            const unsigned yoe = static_cast<unsigned>(y - era * 400);
            const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
            const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
            const std::int64_t daysSince1970 = era * 146097 + static_cast<std::int64_t>(doe) - 719468;
            return daysSince1970 + 134774; // 1601-01-01 is 134774 days before 1970-01-01
        }

        void CivilFromDays(std::int64_t days1601, int& y, unsigned& m, unsigned& d)
        {
            std::int64_t z = days1601 - 134774 + 719468;
            const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
            const unsigned doe = static_cast<unsigned>(z - era * 146097);
            const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
            const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
            const unsigned mp = (5 * doy + 2) / 153;
            d = doy - (153 * mp + 2) / 5 + 1;
            m = mp < 10 ? mp + 3 : mp - 9;
            y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
        }
    } // namespace

    SimProcess::SimProcess(Clock& clock) : _clock(clock)
    {
        SetLocalTime({ 2026, 12, 2, 8, 9, 30, 0, 0 }); // Tuesday 8 December 2026, 09:30:00
    }

    std::int64_t SimProcess::ToSeconds(const SystemTime& t)
    {
        return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    }

    SystemTime SimProcess::FromMilliseconds(std::int64_t ms)
    {
        const std::int64_t days = ms / 86'400'000;
        std::int64_t rest = ms % 86'400'000;
        int y = 0;
        unsigned m = 0;
        unsigned d = 0;
        CivilFromDays(days, y, m, d);
        SystemTime t;
        t.year = static_cast<std::uint16_t>(y);
        t.month = static_cast<std::uint16_t>(m);
        t.day = static_cast<std::uint16_t>(d);
        t.dayOfWeek = static_cast<std::uint16_t>((days + 1) % 7); // 1601-01-01 was a Monday
        t.hour = static_cast<std::uint16_t>(rest / 3'600'000);
        rest %= 3'600'000;
        t.minute = static_cast<std::uint16_t>(rest / 60'000);
        rest %= 60'000;
        t.second = static_cast<std::uint16_t>(rest / 1000);
        t.milliseconds = static_cast<std::uint16_t>(rest % 1000);
        return t;
    }

    void SimProcess::SetLocalTime(const SystemTime& t)
    {
        const std::int64_t ms = ToSeconds(t) * 1000 + t.milliseconds;
        _localBaseMs = ms - static_cast<std::int64_t>(_clock.Now());
    }

    SystemTime SimProcess::GetLocalTime()
    {
        return FromMilliseconds(_localBaseMs + static_cast<std::int64_t>(_clock.Now()));
    }

    std::optional<SimProcess::MutexState> SimProcess::Mutex(const std::string& name) const
    {
        auto it = _mutexes.find(name);
        if (it == _mutexes.end())
            return std::nullopt;
        return it->second;
    }

    KernelHandle SimProcess::CreateNamedMutex(const std::string& name)
    {
        if (_mutexFails)
            return KernelHandle{};
        _mutexes.try_emplace(name, MutexState::free);
        KernelHandle h{ _nextHandle };
        _nextHandle += 4;
        _mutexHandles[h] = name;
        return h;
    }

    DWORD SimProcess::WaitForSingleObject(KernelHandle handle, DWORD)
    {
        auto it = _mutexHandles.find(handle);
        if (it == _mutexHandles.end())
            return wait::failed;
        const std::string& name = it->second;
        if (_owned.count(name))
            return wait::object_0; // a mutex is re-entrant for its owner
        switch (_mutexes[name])
        {
        case MutexState::ownedByOther: return wait::timeout;
        case MutexState::abandoned:
            _mutexes[name] = MutexState::ownedByOther;
            _owned.insert(name);
            return wait::abandoned;
        case MutexState::free:
        default:
            _mutexes[name] = MutexState::ownedByOther;
            _owned.insert(name);
            return wait::object_0;
        }
    }

    // The simulated ANSI code page is Windows-1252's Latin-1 part: one byte per
    // character up to 255, "?" for anything beyond.
    std::string SimProcess::WideToAnsi(const std::wstring& text)
    {
        std::string out;
        out.reserve(text.size());
        for (wchar_t c : text)
            out.push_back(static_cast<std::uint32_t>(c) <= 0xFF ? static_cast<char>(c) : '?');
        return out;
    }

    std::wstring SimProcess::AnsiToWide(const std::string& text)
    {
        std::wstring out;
        out.reserve(text.size());
        for (char c : text)
            out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        return out;
    }

    std::vector<std::uint8_t> SimProcess::LoadResourceData(const std::string& name)
    {
        auto it = _resources.find(name);
        return it == _resources.end() ? std::vector<std::uint8_t>{} : it->second;
    }
    std::uint64_t SimProcess::ThreadCpuMicroseconds()
    {
        const std::clock_t used = std::clock();
        return used < 0 ? 0 : static_cast<std::uint64_t>(used) * 1'000'000u / CLOCKS_PER_SEC;
    }
} // namespace os::sim

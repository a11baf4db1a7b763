#include "server/http_date.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace content
{
    namespace
    {
        constexpr std::array<std::string_view, 7> Days = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
        constexpr std::array<std::string_view, 12> Months = { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

        // Reads a number of exactly width digits (width 0: one or two digits).
        bool Number(std::string_view& text, std::size_t width, int& value)
        {
            std::size_t n = 0;
            while (n < text.size() && text[n] >= '0' && text[n] <= '9')
                ++n;
            if (width == 0 ? (n < 1 || n > 2) : n != width)
                return false;
            std::from_chars(text.data(), text.data() + n, value);
            text.remove_prefix(n);
            return true;
        }

        bool Literal(std::string_view& text, std::string_view what)
        {
            if (!text.starts_with(what))
                return false;
            text.remove_prefix(what.size());
            return true;
        }

        bool Month(std::string_view& text, int& month)
        {
            for (std::size_t i = 0; i < Months.size(); ++i)
                if (Literal(text, Months[i]))
                {
                    month = static_cast<int>(i) + 1;
                    return true;
                }
            return false;
        }

        bool Time(std::string_view& text, int& h, int& m, int& s)
        {
            return Number(text, 2, h) && Literal(text, ":") && Number(text, 2, m) && Literal(text, ":") && Number(text, 2, s);
        }

        std::optional<std::time_t> Make(int year, int month, int day, int h, int m, int s)
        {
            using namespace std::chrono;
            const year_month_day date{ std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                                       std::chrono::day(static_cast<unsigned>(day)) };
            if (!date.ok() || h > 23 || m > 59 || s > 60)
                return std::nullopt;
            const auto since = sys_days(date).time_since_epoch();
            return static_cast<std::time_t>(duration_cast<seconds>(since).count()) + h * 3600 + m * 60 + s;
        }
    } // namespace

    std::string FormatHttpDate(std::time_t when)
    {
        std::tm tm{};
        gmtime_r(&when, &tm);
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                      Days[static_cast<std::size_t>(tm.tm_wday)].data(), tm.tm_mday,
                      Months[static_cast<std::size_t>(tm.tm_mon)].data(), tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
        return buffer;
    }

    std::optional<std::time_t> ParseHttpDate(std::string_view text)
    {
        int year = 0, month = 0, day = 0, h = 0, m = 0, s = 0;
        const std::size_t comma = text.find(',');
        if (comma == 3)
        {
            // Sun, 06 Nov 1994 08:49:37 GMT
            std::string_view t = text.substr(5);
            if (text.size() > 4 && text[4] == ' ' && Number(t, 2, day) && Literal(t, " ") && Month(t, month) && Literal(t, " ") &&
                Number(t, 4, year) && Literal(t, " ") && Time(t, h, m, s) && Literal(t, " GMT") && t.empty())
                return Make(year, month, day, h, m, s);
            return std::nullopt;
        }
        if (comma != std::string_view::npos)
        {
            // Sunday, 06-Nov-94 08:49:37 GMT: a two-digit year is taken as 1970 to 2069.
            std::string_view t = text.substr(comma + 1);
            if (Literal(t, " ") && Number(t, 2, day) && Literal(t, "-") && Month(t, month) && Literal(t, "-") &&
                Number(t, 2, year) && Literal(t, " ") && Time(t, h, m, s) && Literal(t, " GMT") && t.empty())
                return Make(year < 70 ? 2000 + year : 1900 + year, month, day, h, m, s);
            return std::nullopt;
        }
        // Sun Nov  6 08:49:37 1994
        std::string_view t = text;
        if (t.size() < 4 || t[3] != ' ')
            return std::nullopt;
        t.remove_prefix(4);
        if (!Month(t, month) || !Literal(t, " "))
            return std::nullopt;
        Literal(t, " "); // a day of one digit is padded with a space
        if (Number(t, 0, day) && Literal(t, " ") && Time(t, h, m, s) && Literal(t, " ") && Number(t, 4, year) && t.empty())
            return Make(year, month, day, h, m, s);
        return std::nullopt;
    }
} // namespace content

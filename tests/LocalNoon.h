// Noon of a calendar day in local time: a message date that shows as that day in any time zone.
#pragma once
#include <cstdint>
#include <ctime>

inline std::int64_t LocalNoon(int year, int month, int day)
{
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = 12;
    broken.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&broken));
}

// A point in pixels, as the desktop services and the head's geometry take it.
#pragma once

#include <cstdint>

struct POINT
{
    int32_t x = 0;
    int32_t y = 0;
};

inline bool operator==(const POINT &a, const POINT &b)
{
    return a.x == b.x && a.y == b.y;
}
inline bool operator!=(const POINT &a, const POINT &b)
{
    return !(a == b);
}

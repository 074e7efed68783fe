#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

// The clock and the statistic every benchmark here reports with.

// Seconds on the performance counter, from an arbitrary start.
inline double Seconds()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency);
}

// The middle value; the mean of the two middle ones for an even count.
inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

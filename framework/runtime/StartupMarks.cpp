#include "framework/runtime/StartupMarks.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr const char* kMarkNames[] = {"entry", "form", "layout", "image-pack", "shown", "painted"};
constexpr int kMarks = sizeof kMarkNames / sizeof kMarkNames[0];

struct TStartupRecord {
    char file[MAX_PATH] = {};
    LONGLONG at[kMarks] = {};
    bool asked = false;
};

TStartupRecord& Record()
{
    static TStartupRecord record = [] {
        TStartupRecord read;
        const DWORD length = GetEnvironmentVariableA("ZELMORIA_STARTUP_MARKS", read.file, MAX_PATH);
        read.asked = length > 0 && length < MAX_PATH;
        return read;
    }();
    return record;
}

void Write(const TStartupRecord& record)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    char text[kMarks * 48];
    int length = 0;
    for (int i = 0; i < kMarks; ++i) {
        if (!record.at[i])
            continue;
        length += std::snprintf(text + length, sizeof text - length, "%s %.6f\n", kMarkNames[i],
                                static_cast<double>(record.at[i]) / static_cast<double>(frequency.QuadPart));
    }
    const HANDLE file = CreateFileA(record.file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

} // namespace

void MarkStartup(TStartupMark mark) noexcept
{
    TStartupRecord& record = Record();
    const int index = static_cast<int>(mark);
    if (!record.asked || record.at[index])
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.at[index] = now.QuadPart;
    if (index == kMarks - 1)
        Write(record);
}

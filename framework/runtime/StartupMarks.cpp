#include "framework/runtime/StartupMarks.h"

#include <windows.h>

#include <string>

namespace {

constexpr const char* kMarkNames[] = {"entry", "form", "layout", "image-pack", "made", "shown", "painted"};
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

// Appends the number in decimal; the C runtime's formatting would bring
// tens of kilobytes of printf into the program for this one use.
void AppendDecimal(std::string& text, unsigned long long value)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (count)
        text += digits[--count];
}

// One "name microseconds" line a mark, on the performance counter.
void Write(const TStartupRecord& record)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::string text;
    for (int i = 0; i < kMarks; ++i) {
        if (!record.at[i])
            continue;
        const auto ticks = static_cast<unsigned long long>(record.at[i]);
        const auto perSecond = static_cast<unsigned long long>(frequency.QuadPart);
        text += kMarkNames[i];
        text += ' ';
        AppendDecimal(text, ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond);
        text += '\n';
    }
    const HANDLE file = CreateFileA(record.file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

void MarkStartup(TStartupMark mark) noexcept
try {
    TStartupRecord& record = Record();
    const int index = static_cast<int>(mark);
    if (!record.asked || record.at[index])
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.at[index] = now.QuadPart;
    if (index == kMarks - 1)
        Write(record);
} catch (...) {
    // A mark is never worth failing the start for.
}

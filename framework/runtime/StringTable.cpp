#include "framework/runtime/StringTable.h"

#include <windows.h>

#include <vector>

std::string LoadStr(unsigned id)
{
    // LoadStringA cannot report a truncated text, so retry with a larger
    // buffer while the text fills it.
    std::vector<char> buffer(256);
    for (;;) {
        const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), static_cast<int>(buffer.size()));
        if (length < static_cast<int>(buffer.size()) - 2)
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

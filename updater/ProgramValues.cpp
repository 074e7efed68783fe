#include "updater/ProgramValues.h"

#include "framework/runtime/StringTable.h"
#include "framework/runtime/Streams.h"
#include "resources/StringIds.h"

std::int32_t UpdateVersionMajor = 0;
std::int32_t UpdateVersionMinor = 0;
std::string TargetExePath;

void LoadUpdateVersion(HMODULE module)
{
    TResourceStream stream(module, LoadStr(IDS_UPDATE_VERSION_NAME).c_str(), RT_RCDATA);
    std::uint8_t slots[8];
    stream.ReadBuffer(slots, sizeof slots);
    UpdateVersionMajor = slots[0] | slots[1] << 8;
    UpdateVersionMinor = slots[4] | slots[5] << 8;
}

#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "framework/runtime/ProgramStart.h"

// For the test programs of the 9x-family paths: a 32-bit Wine posing as
// Windows 98 reports that family itself; a 64-bit build, which Wine cannot
// run so, sets ZELMORIA_9X_SEAM and has the recorded platform set instead.
// A program registers it once with testing::AddGlobalTestEnvironment.
class T9xFamily : public testing::Environment {
public:
    void SetUp() override
    {
        const char* seam = std::getenv("ZELMORIA_9X_SEAM");
        if (seam && *seam)
            SetPlatformIdForTests(VER_PLATFORM_WIN32_WINDOWS);
        std::printf("9x family: %s\n", seam && *seam ? "through the program-start seam" : "reported by the platform");
    }
};

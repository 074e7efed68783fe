#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/WindowsSeen.h"

// A run of a program that is to fail at its start: it shows one error box,
// which the run answers with the box's first button, and ends.
struct TFailedStart {
    bool hooked = false;
    HWND box = nullptr;
    std::string boxText;
    bool ended = false;
    DWORD exitCode = 0;
    // Shown by the program's main thread (through a hook) and seen on the
    // screen from any of its threads, from its first instruction to its end.
    std::vector<HWND> shown;
    std::vector<TWindowsSeen::TSeen> seen;
};

TFailedStart RunFailingStart(const std::string& program);

// The box with the text was the only window the program ever showed, and the
// program ended by returning, after the box was answered.
inline void ExpectOnlyTheErrorBox(const TFailedStart& run, const std::string& text)
{
    ASSERT_TRUE(run.hooked) << "the program's main thread could not be watched";
    ASSERT_NE(run.box, nullptr) << "no error box";
    EXPECT_EQ(run.boxText, text);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.shown, std::vector<HWND>{run.box});
    for (const TWindowsSeen::TSeen& seen : run.seen) {
        EXPECT_EQ(seen.window, run.box) << "also seen: a window of class " << seen.className << " captioned \""
                                        << seen.caption << "\"";
    }
}

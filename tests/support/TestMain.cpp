// The main of every test program. A program whose tests all skipped
// themselves (a test that needs what this machine lacks) ran nothing, and
// says so with the exit code that CTest shows as skipped; a failure anywhere
// still fails the program.

#include <gtest/gtest.h>

#include "framework/runtime/ProgramStart.h"
#include "framework/ui/Application.h"
#include "tests/support/TestMain.h"

int main(int argc, char** argv)
{
    // The program's own start comes first, as in the product's entry.
    RecordProgramStart();
    Application().InstallErrorHook();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const testing::UnitTest& run = *testing::UnitTest::GetInstance();
    if (result == 0 && run.test_to_run_count() > 0 && run.skipped_test_count() == run.test_to_run_count())
        return kAllTestsSkipped;
    return result;
}

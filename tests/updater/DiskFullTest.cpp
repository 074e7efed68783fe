#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/updater/ApplyTestSupport.h"
#include "updater/ApplyStep.h"
#include "updater/FDoUpdate.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr ULONGLONG kSmallDriveLimit = 16u << 20;
constexpr std::int32_t kOversizedExecutable = 2 << 20;

// The folder on the small file system that the test harness mounts; empty
// when none is there.
std::string SmallDrive()
{
    const char* drive = std::getenv("ZELMORIA_SMALL_DRIVE");
    if (!drive)
        return {};
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExA(drive, nullptr, &total, nullptr) || total.QuadPart > kSmallDriveLimit)
        return {};
    return drive;
}

TEST(DiskFull, WriteThatRunsOutOfSpaceLeavesTheOldExecutableAndNoTemporaryFile)
{
    const std::string drive = SmallDrive();
    if (drive.empty())
        GTEST_SKIP() << "no small file system mounted (see small-drive.sh; mounting needs root)";

    const TTempFolder folder(drive);
    ASSERT_TRUE(folder.Made());
    const std::string target = folder.File("Korvantis.exe");
    const Bytes old = ReadWholeFile(StandInPath("3.0.3.999"));
    ASSERT_FALSE(old.empty());
    WriteWholeFile(target, old);

    TMemoryStream oversized;
    oversized.SetSize(kOversizedExecutable);
    for (std::int32_t i = 0; i < kOversizedExecutable; ++i)
        oversized.Memory()[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    try {
        ReplaceExecutable(target, oversized);
        ADD_FAILURE() << "2 MiB fitted on the small file system";
    } catch (const std::exception& error) {
        EXPECT_EQ(UpdateErrorText(error), "予期しないエラーが発生しました\r\nストリームへの書き込みエラー");
    }
    EXPECT_EQ(ReadWholeFile(target), old);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"Korvantis.exe"});

    // The space the failed write took is free again: an update that fits goes through.
    TMemoryStream fitting;
    const Bytes carried = ReadWholeFile(StandInPath("3.0.4.0"));
    fitting.WriteBuffer(carried.data(), static_cast<std::int32_t>(carried.size()));
    EXPECT_NO_THROW(ReplaceExecutable(target, fitting));
    EXPECT_EQ(ReadWholeFile(target), carried);
}

} // namespace

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "updater/Filever.h"

namespace {

struct InstalledCase {
    const char* build;
    std::int32_t major;
    std::int32_t combinedMinor;
    TUpdateVerdict verdict; // against the carried 3 / 4
};

class InstalledVersion : public testing::TestWithParam<InstalledCase> {};

TEST_P(InstalledVersion, EachStandInReportsTheVersionItWasBuiltWith)
{
    const InstalledCase& expected = GetParam();
    std::int32_t major = -1;
    std::int32_t combinedMinor = -1;
    GetInstalledVersion(StandInPath(expected.build), major, combinedMinor);
    EXPECT_EQ(major, expected.major);
    EXPECT_EQ(combinedMinor, expected.combinedMinor);
    EXPECT_EQ(JudgeInstalledVersion(major, combinedMinor, 3, 4), expected.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    StandIns, InstalledVersion,
    testing::Values(InstalledCase{"3.0.3.999", 3, 3, TUpdateVerdict::Eligible},
                    InstalledCase{"3.0.4.0", 3, 4, TUpdateVerdict::UpToDate},
                    InstalledCase{"3.1.0.0", 3, 10, TUpdateVerdict::UpToDate},
                    InstalledCase{"3.0.12.0", 3, 12, TUpdateVerdict::UpToDate},
                    InstalledCase{"2.9.9.9", 2, 99, TUpdateVerdict::NotUpdatable},
                    InstalledCase{"4.0.0.0", 4, 0, TUpdateVerdict::NotUpdatable},
                    // The file version says 3.0.4.0; only the product version counts.
                    InstalledCase{"file-version-differs", 3, 3, TUpdateVerdict::Eligible},
                    InstalledCase{"no-version", 0, 0, TUpdateVerdict::NotUpdatable}),
    [](const testing::TestParamInfo<InstalledCase>& info) {
        std::string name = info.param.build;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });

TEST(FileVer, ProductVersionKeepsAllFourNumbers)
{
    TFileVer reader(StandInPath("3.0.3.999"));
    TProductVersion version;
    ASSERT_TRUE(reader.GetProductVersion(version));
    EXPECT_EQ(version.Major, 3);
    EXPECT_EQ(version.Minor, 0);
    EXPECT_EQ(version.Release, 3);
    EXPECT_EQ(version.Build, 999);
}

TEST(FileVer, FailureLeavesTheRecordUntouchedAndANewNameIsReadAfresh)
{
    TFileVer reader(StandInPath("no-version"));
    TProductVersion version{7, 7, 7, 7};
    EXPECT_FALSE(reader.GetProductVersion(version));
    EXPECT_EQ(version.Major, 7);
    EXPECT_EQ(version.Build, 7);

    reader.SetFileName(StandInPath("4.0.0.0"));
    ASSERT_TRUE(reader.GetProductVersion(version));
    EXPECT_EQ(version.Major, 4);
}

TEST(GetInstalledVersion, MissingOrOverlongPathsGiveZero)
{
    std::int32_t major = -1;
    std::int32_t combinedMinor = -1;
    GetInstalledVersion(BuildDir() + "\\no\\such\\Korvantis.exe", major, combinedMinor);
    EXPECT_EQ(major, 0);
    EXPECT_EQ(combinedMinor, 0);

    major = combinedMinor = -1;
    GetInstalledVersion(BuildDir() + "\\" + std::string(400, 'x') + "\\Korvantis.exe", major, combinedMinor);
    EXPECT_EQ(major, 0);
    EXPECT_EQ(combinedMinor, 0);
}

TEST(JudgeInstalledVersion, MajorFirstThenCombinedMinor)
{
    EXPECT_EQ(JudgeInstalledVersion(3, 0, 3, 4), TUpdateVerdict::Eligible);
    EXPECT_EQ(JudgeInstalledVersion(3, 3, 3, 4), TUpdateVerdict::Eligible);
    EXPECT_EQ(JudgeInstalledVersion(3, 4, 3, 4), TUpdateVerdict::UpToDate);
    EXPECT_EQ(JudgeInstalledVersion(3, 655359, 3, 4), TUpdateVerdict::UpToDate);
    EXPECT_EQ(JudgeInstalledVersion(2, 0, 3, 4), TUpdateVerdict::NotUpdatable);
    EXPECT_EQ(JudgeInstalledVersion(65535, 0, 3, 4), TUpdateVerdict::NotUpdatable);
    EXPECT_EQ(JudgeInstalledVersion(0, 0, 0, 4), TUpdateVerdict::Eligible);
}

} // namespace

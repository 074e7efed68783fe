#include <gtest/gtest.h>

#include "updater/Pathutil.h"

namespace {

// 表 in Shift-JIS: a lead byte followed by the byte of "\".
const std::string kOmote = "\x95\x5C";

TEST(JoinPath, AddsOneBackslashWhereNeeded)
{
    EXPECT_EQ(JoinPath("D:\\Tools", "Korvantis.exe"), "D:\\Tools\\Korvantis.exe");
    EXPECT_EQ(JoinPath("D:\\Tools\\", "Korvantis.exe"), "D:\\Tools\\Korvantis.exe");
    EXPECT_EQ(JoinPath("D:", "Korvantis.exe"), "D:\\Korvantis.exe");
    EXPECT_EQ(JoinPath("D:\\", "Korvantis.exe"), "D:\\Korvantis.exe");
    EXPECT_EQ(JoinPath("", "Korvantis.exe"), "Korvantis.exe");
}

TEST(JoinPath, FolderEndingInADoubleByteCharacterGetsItsBackslash)
{
    EXPECT_EQ(JoinPath("D:\\" + kOmote, "Korvantis.exe"), "D:\\" + kOmote + "\\Korvantis.exe");
}

TEST(RemoveBackslash, RemovesAtMostOneRealBackslash)
{
    EXPECT_EQ(RemoveBackslash("D:\\"), "D:");
    EXPECT_EQ(RemoveBackslash("D:\\Tools\\\\"), "D:\\Tools\\");
    EXPECT_EQ(RemoveBackslash("D:\\" + kOmote), "D:\\" + kOmote);
    EXPECT_EQ(RemoveBackslash(""), "");
}

TEST(WithoutDoubleByteSupport, EveryByteIsACharacter)
{
    const TLeadBytes& none = TLeadBytes::None();
    EXPECT_EQ(RemoveBackslash("D:\\" + kOmote, none), "D:\\\x95");
    EXPECT_EQ(JoinPath("D:\\" + kOmote, "Korvantis.exe", none), "D:\\" + kOmote + "Korvantis.exe");
}

} // namespace

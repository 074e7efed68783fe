#include <gtest/gtest.h>

#include "updater/Pathutil.h"

namespace {

// 表 in Shift-JIS: a lead byte followed by the byte of "\".
const std::string kOmote = "\x95\x5C";

TEST(LeadBytes, SystemUsesTheShiftJisLeadBytes)
{
    const TLeadBytes& leads = TLeadBytes::System();
    EXPECT_TRUE(leads.IsLead(0x81));
    EXPECT_TRUE(leads.IsLead(0x9F));
    EXPECT_TRUE(leads.IsLead(0xE0));
    EXPECT_TRUE(leads.IsLead(0xFC));
    EXPECT_FALSE(leads.IsLead(0x80));
    EXPECT_FALSE(leads.IsLead(0xA0));
    EXPECT_FALSE(leads.IsLead('\\'));
}

TEST(LeadBytes, RunOfLeadBytesDecidesTheBoundary)
{
    const TLeadBytes& leads = TLeadBytes::System();
    // Two lead bytes in a row form one character, so the "\" after them stands alone.
    const std::string text = "\x95\x95\\";
    EXPECT_FALSE(leads.IsTrailByte(text, 0));
    EXPECT_TRUE(leads.IsTrailByte(text, 1));
    EXPECT_FALSE(leads.IsTrailByte(text, 2));
    EXPECT_TRUE(LastCharIs(text, '\\'));
}

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

TEST(FolderPartOf, EndsAtTheLastSingleByteSeparator)
{
    EXPECT_EQ(FolderPartOf("D:\\Tools\\Sub"), "D:\\Tools\\");
    EXPECT_EQ(FolderPartOf("D:"), "D:");
    EXPECT_EQ(FolderPartOf("D:\\"), "D:\\");
    EXPECT_EQ(FolderPartOf("Korvantis"), "");
    EXPECT_EQ(FolderPartOf("D:\\Missing\\"), "D:\\Missing\\");
    EXPECT_EQ(FolderPartOf("D:\\a" + kOmote + "b"), "D:\\");
    EXPECT_EQ(FolderPartOf(kOmote + kOmote), "");
}

TEST(LastCharIs, DoubleByteCharacterNeverMatches)
{
    EXPECT_FALSE(LastCharIs("", '\\'));
    EXPECT_FALSE(LastCharIs(kOmote, '\\'));
    EXPECT_TRUE(LastCharIs(kOmote + "\\", '\\'));
    EXPECT_TRUE(LastCharIs("abc", 'c'));
}

TEST(WithoutDoubleByteSupport, EveryByteIsACharacter)
{
    const TLeadBytes& none = TLeadBytes::None();
    EXPECT_TRUE(LastCharIs("D:\\" + kOmote, '\\', none));
    EXPECT_EQ(RemoveBackslash("D:\\" + kOmote, none), "D:\\\x95");
    EXPECT_EQ(JoinPath("D:\\" + kOmote, "Korvantis.exe", none), "D:\\" + kOmote + "Korvantis.exe");
    EXPECT_EQ(FolderPartOf("D:\\a" + kOmote + "b", none), "D:\\a" + kOmote);
}

} // namespace

#include <gtest/gtest.h>

#include "framework/runtime/ShiftJis.h"

namespace {

// 表 in Shift-JIS: a lead byte followed by the byte of "\".
const std::string kOmote = "\x95\x5C";

TEST(LeadBytes, SystemAndShiftJisUseTheShiftJisLeadBytes)
{
    for (const TLeadBytes* leads : {&TLeadBytes::System(), &TLeadBytes::ShiftJis()}) {
        EXPECT_TRUE(leads->IsLead(0x81));
        EXPECT_TRUE(leads->IsLead(0x9F));
        EXPECT_TRUE(leads->IsLead(0xE0));
        EXPECT_TRUE(leads->IsLead(0xFC));
        EXPECT_FALSE(leads->IsLead(0x80));
        EXPECT_FALSE(leads->IsLead(0xA0));
        EXPECT_FALSE(leads->IsLead('\\'));
    }
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

TEST(LeadBytes, CharacterLengthNeverReachesPastTheText)
{
    const TLeadBytes& leads = TLeadBytes::ShiftJis();
    const std::string text = "a" + kOmote + "\x95";
    EXPECT_EQ(leads.CharLength(text, 0), 1u);
    EXPECT_EQ(leads.CharLength(text, 1), 2u);
    EXPECT_EQ(leads.CharLength(text, 3), 1u);
    EXPECT_EQ(TLeadBytes::None().CharLength(text, 1), 1u);
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
    EXPECT_EQ(FolderPartOf("D:\\a" + kOmote + "b", none), "D:\\a" + kOmote);
}

} // namespace

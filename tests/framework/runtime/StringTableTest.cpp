#include <gtest/gtest.h>

#include <windows.h>

#include "framework/runtime/StringTable.h"
#include "framework/runtime/Text.h"

namespace {

TEST(Platform, RunsWithTheJapaneseCodePage)
{
    EXPECT_EQ(GetACP(), 932u);
}

TEST(StringTable, TextsComeBackInShiftJis)
{
    EXPECT_EQ(LoadStr(65296), "Zelmoria %d.0%dアップデーター");
    EXPECT_EQ(LoadStr(65317), "Korvantis.Application\\dstDir");
    EXPECT_EQ(LoadStr(65319), "\\Korvantis");
    EXPECT_EQ(LoadStr(65324), "予期しないエラーが発生しました\r\n%s");
    EXPECT_EQ(LoadStr(65325), "ファイルが読み取り専用になっているためアップデートできません\r\n%s");
    EXPECT_EQ(LoadStr(65343), "Cannot set ImageRect of ImagePack");
}

TEST(StringTable, MissingEntryIsEmpty)
{
    EXPECT_EQ(LoadStr(4711), "");
}

TEST(Format, InsertsTextsOfAnyLength)
{
    EXPECT_EQ(Format(LoadStr(65296).c_str(), 3, 4), "Zelmoria 3.04アップデーター");
    const std::string longPath(1000, 'x');
    EXPECT_EQ(Format("%s!", longPath.c_str()).size(), 1001u);
}

} // namespace

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>

#include "framework/runtime/StringTable.h"
#include "framework/runtime/Text.h"
#include "resources/StringIds.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Platform, RunsWithTheJapaneseCodePage)
{
    EXPECT_EQ(GetACP(), 932u);
}

std::string ReadSource(const std::string& relative)
{
    const char* root = std::getenv("ZELMORIA_SOURCE_DIR");
    const auto bytes = ReadWholeFile(std::string(root ? root : ".") + "\\" + relative);
    return std::string(bytes.begin(), bytes.end());
}

std::string Utf8ToShiftJis(const std::string& text)
{
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    const int length = WideCharToMultiByte(932, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(932, 0, wide.data(), wideLength, result.data(), length, nullptr, nullptr);
    return result;
}

// A string literal of the resource script as the resource compiler reads it.
std::string Unescape(const std::string& literal)
{
    std::string text;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] != '\\' || i + 1 == literal.size()) {
            text += literal[i];
            continue;
        }
        const char escaped = literal[++i];
        text += escaped == 'r' ? '\r' : escaped == 'n' ? '\n' : escaped;
    }
    return text;
}

// Every entry of the UTF-8 resource script comes back from the built program
// as its Shift-JIS text: the conversion keeps the characters whose second
// byte is that of "\" (予, 表), the escapes and the product name.
TEST(StringTable, EveryEntryOfTheScriptComesBackInShiftJis)
{
    const std::string header = ReadSource("resources\\StringIds.h");
    const std::string script = ReadSource("resources\\Strings.rc");
    ASSERT_FALSE(header.empty());
    ASSERT_FALSE(script.empty());

    std::map<std::string, std::string> macros;
    const std::regex define(R"(#define (\w+) (.+))");
    for (std::sregex_iterator at(header.begin(), header.end(), define), end; at != end; ++at)
        macros[(*at)[1]] = (*at)[2];

    const std::regex entry(R"(\n\s*(IDS_\w+),\s*([^\r\n]+))");
    const std::regex piece(R"re(\s*(?:(\w+)|"((?:[^"\\]|\\.)*)"))re");
    int entries = 0;
    for (std::sregex_iterator at(script.begin(), script.end(), entry), end; at != end; ++at) {
        const std::string name = (*at)[1];
        const std::string value = (*at)[2];
        std::string expected;
        for (std::sregex_iterator part(value.begin(), value.end(), piece), none; part != none; ++part) {
            if ((*part)[1].matched)
                expected += Unescape(macros.at((*part)[1]).substr(1, macros.at((*part)[1]).size() - 2));
            else
                expected += Unescape((*part)[2]);
        }
        const unsigned id = static_cast<unsigned>(std::stoul(macros.at(name)));
        EXPECT_EQ(LoadStr(id), Utf8ToShiftJis(expected)) << name;
        ++entries;
    }
    EXPECT_EQ(entries, 15);
    EXPECT_EQ(LoadStr(IDS_TITLE_FORMAT), "Zelmoria %d.0%dアップデーター");
}

TEST(StringTable, MissingEntryIsEmpty)
{
    EXPECT_EQ(LoadStr(4711), "");
}

TEST(Format, InsertsTextsOfAnyLength)
{
    EXPECT_EQ(Format(LoadStr(IDS_TITLE_FORMAT).c_str(), 3, 4), "Zelmoria 3.04アップデーター");
    const std::string longPath(1000, 'x');
    EXPECT_EQ(Format("%s!", longPath.c_str()).size(), 1001u);
}

} // namespace

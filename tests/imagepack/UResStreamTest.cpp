#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/runtime/Errors.h"
#include "imagepack/UResStream.h"
#include "tests/framework/runtime/RaisedMessage.h"
#include "tests/imagepack/ResFileBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

const char* const kBitmap = MAKEINTRESOURCEA(2);

std::string ReadAll(TStream& stream)
{
    std::string text(static_cast<std::size_t>(stream.Size()), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(text.data(), static_cast<std::int32_t>(text.size()));
    return text;
}

std::string Read(const std::string& resFile, const char* type, const char* name)
{
    TResStream stream(resFile, type, name);
    return ReadAll(stream);
}

class ResStream : public ::testing::Test {
protected:
    std::string Save(const TResFileBuilder& file)
    {
        EXPECT_TRUE(file.Save(path));
        return path;
    }

    TTempFolder folder;
    std::string path = folder.File("Image.res");
};

TEST_F(ResStream, WithoutAFileTheProgramsOwnResourceIsRead)
{
    EXPECT_EQ(Read("", "DATA", "LOGO"), "module-data");
    EXPECT_EQ(Read(folder.File("missing.res"), kBitmap, "logo"), "module-logo");
    EXPECT_EQ(Read(folder.Path(), "data", "Logo"), "module-data");
    EXPECT_EQ(MessageRaised<EResNotFound>([] { TResStream("", "DATA", "NOWHERE"); }), "NOWHERE リソースが見つかりません");
}

TEST_F(ResStream, AFileOverridesTheProgramAndItsCopyCanBeWritten)
{
    TResFileBuilder file;
    file.Add(ResText(L"DATA"), ResText(L"LOGO"), "file-data");
    TResStream stream(Save(file), "DATA", "LOGO");
    EXPECT_EQ(ReadAll(stream), "file-data");

    stream.Seek(0, TSeekOrigin::End);
    stream.WriteBuffer("!", 1);
    EXPECT_EQ(ReadAll(stream), "file-data!");
    EXPECT_EQ(ReadWholeFile(path), file.bytes);

    TResStream module("", "DATA", "LOGO");
    EXPECT_THROW(module.WriteBuffer("!", 1), EStreamError);
}

TEST_F(ResStream, NumbersAndTextsAreDifferentIdentifiers)
{
    TResFileBuilder textTyped;
    textTyped.Add(ResText(L"BITMAP"), ResText(L"LOGO"), "text type");
    textTyped.Add(ResText(L"DATA"), ResNumber(7), "number name");
    Save(textTyped);
    EXPECT_EQ(Read(path, "BITMAP", "LOGO"), "text type");
    EXPECT_EQ(Read(path, "DATA", MAKEINTRESOURCEA(7)), "number name");
    // The program has 2/LOGO, but a file that exists is the only place searched.
    EXPECT_THROW(Read(path, kBitmap, "LOGO"), EResNotFound);
    EXPECT_THROW(Read(path, "DATA", "7"), EResNotFound);

    TResFileBuilder numberTyped;
    numberTyped.Add(ResNumber(2), ResText(L"LOGO"), "number type");
    Save(numberTyped);
    EXPECT_EQ(Read(path, kBitmap, "LOGO"), "number type");
    EXPECT_THROW(Read(path, "BITMAP", "LOGO"), EResNotFound);
    EXPECT_THROW(Read(path, MAKEINTRESOURCEA(3), "LOGO"), EResNotFound);
}

TEST_F(ResStream, TextsMatchWithoutRegardToCaseAlsoInDoubleByteCharacters)
{
    TResFileBuilder file;
    file.Add(ResText(L"data"), ResText(L"logo"), "lower case");
    // A type of double-byte characters is shorter in the file than in the
    // program's code page; the name after it must still be found.
    file.Add(ResText(L"画像"), ResText(L"ロゴ"), "japanese");
    file.Add(ResText(L"画像"), ResText(L"Ｌｏｇｏ"), "full width");
    Save(file);
    EXPECT_EQ(Read(path, "DATA", "LOGO"), "lower case");
    EXPECT_EQ(Read(path, "画像", "ロゴ"), "japanese");
    EXPECT_EQ(Read(path, "画像", "ＬＯＧＯ"), "full width");
}

TEST_F(ResStream, TheFirstOfTwoMatchingEntriesIsRead)
{
    TResFileBuilder file;
    file.Add(ResNumber(2), ResText(L"LOGO"), "other type");
    file.Add(ResText(L"DATA"), ResText(L"LOGO"), "first");
    file.Add(ResText(L"DATA"), ResText(L"Logo"), "second");
    EXPECT_EQ(Read(Save(file), "DATA", "LOGO"), "first");
}

TEST_F(ResStream, AFileWithoutTheResourceDoesNotFallBackToTheProgram)
{
    TResFileBuilder file;
    file.Add(ResText(L"DATA"), ResText(L"OTHER"), "other");
    Save(file);
    EXPECT_EQ(MessageRaised<EResNotFound>([this] { TResStream(path, "DATA", "LOGO"); }), "LOGO リソースが見つかりません");
    EXPECT_EQ(MessageRaised<EResNotFound>([this] { TResStream(path, "DATA", MAKEINTRESOURCEA(5)); }), "#5 リソースが見つかりません");
}

TEST_F(ResStream, AnEmptyResourceIsAnEmptyStream)
{
    TResFileBuilder file;
    file.Add(ResText(L"DATA"), ResText(L"EMPTY"), "");
    file.Add(ResText(L"DATA"), ResText(L"LOGO"), "after");
    TResStream stream(Save(file), "DATA", "EMPTY");
    EXPECT_EQ(stream.Size(), 0);
}

TEST_F(ResStream, DamagedFilesRaiseTheReadErrorAndNothingIsReadPastTheirEnd)
{
    // The damage is done to the entry in front of the wanted one, or to the
    // wanted one.
    const auto damaged = [this](const std::function<void(TResFileBuilder&, std::size_t, std::size_t)>& damage) {
        TResFileBuilder file;
        const std::size_t other = file.Add(ResText(L"DATA"), ResText(L"OTHER"), "other data");
        const std::size_t wanted = file.Add(ResText(L"DATA"), ResText(L"LOGO"), "logo data");
        damage(file, other, wanted);
        Save(file);
        EXPECT_THROW(Read(path, "DATA", "LOGO"), EReadError);
    };
    // Sizes that would start the next entry where this one starts.
    damaged([](TResFileBuilder& file, std::size_t entry, std::size_t) {
        file.SetDword(entry, 0);
        file.SetDword(entry + 4, 0);
    });
    // A header too small for its own two sizes.
    damaged([](TResFileBuilder& file, std::size_t entry, std::size_t) { file.SetDword(entry + 4, 4); });
    // A header or data that runs past the end.
    damaged([](TResFileBuilder& file, std::size_t entry, std::size_t) { file.SetDword(entry + 4, 0x7FFFFFF0); });
    damaged([](TResFileBuilder& file, std::size_t entry, std::size_t) { file.SetDword(entry, 0xFFFFFFFF); });
    // Cut off inside the data of the wanted entry, and inside its sizes.
    damaged([](TResFileBuilder& file, std::size_t, std::size_t) { file.bytes.resize(file.bytes.size() - 6); });
    damaged([](TResFileBuilder& file, std::size_t, std::size_t wanted) { file.bytes.resize(wanted + 6); });
}

TEST_F(ResStream, ATextIdentifierOver260BytesIsRefusedBeforeTheFileIsRead)
{
    const std::string longest(kMaxResIdText, 'N');
    const std::string tooLong(kMaxResIdText + 1, 'N');
    TResFileBuilder file;
    file.Add(ResText(L"DATA"), ResText(std::wstring(longest.begin(), longest.end())), "longest");
    file.Add(ResText(L"DATA"), ResText(std::wstring(tooLong.begin(), tooLong.end())), "too long");
    Save(file);
    EXPECT_EQ(Read(path, "DATA", longest.c_str()), "longest");
    EXPECT_THROW(Read(path, "DATA", tooLong.c_str()), EResNotFound);
    EXPECT_THROW(Read(path, tooLong.c_str(), "LOGO"), EResNotFound);

    // Were the file opened, the missing one would raise the open error.
    TMemoryStream destination;
    EXPECT_THROW(FindInResFile(destination, folder.File("missing.res"), "DATA", tooLong.c_str()), EResNotFound);
    EXPECT_THROW(FindInResFile(destination, folder.File("missing.res"), "DATA", "LOGO"), EFOpenError);
}

TEST_F(ResStream, NoSeekMovesBeforeTheStartOfTheData)
{
    TResFileBuilder file;
    file.Add(ResText(L"DATA"), ResText(L"LOGO"), "file-data");
    Save(file);
    for (const std::string& source : {std::string(), path}) {
        TResStream stream(source, "DATA", "LOGO");
        const std::int64_t size = stream.Size();
        ASSERT_EQ(stream.Seek(2, TSeekOrigin::Beginning), 2);
        EXPECT_THROW(stream.Seek(-1, TSeekOrigin::Beginning), ESeekError);
        EXPECT_THROW(stream.Seek(-3, TSeekOrigin::Current), ESeekError);
        EXPECT_THROW(stream.Seek(-(size + 1), TSeekOrigin::End), ESeekError);
        EXPECT_EQ(stream.Position(), 2);
        EXPECT_EQ(stream.Seek(-2, TSeekOrigin::Current), 0);
        EXPECT_EQ(stream.Seek(-size, TSeekOrigin::End), 0);
        char first[4] = {};
        EXPECT_EQ(stream.Read(first, 3), 3);
        EXPECT_STREQ(first, source.empty() ? "mod" : "fil");
    }
}

TEST(ResStreamFromCompiler, AFileMadeByTheResourceCompilerOverridesTheProgram)
{
    const std::string path = BuildDir() + "\\tests\\imagepack\\Override.res";
    EXPECT_EQ(Read(path, "DATA", "logo"), "file-data");
    EXPECT_EQ(Read(path, kBitmap, "LOGO"), "file-logo");
    EXPECT_EQ(Read(path, MAKEINTRESOURCEA(9), MAKEINTRESOURCEA(7)), "seven");
}

} // namespace

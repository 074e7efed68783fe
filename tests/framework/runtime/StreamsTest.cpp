#include <gtest/gtest.h>

#include <cstring>

#include "framework/runtime/Errors.h"
#include "framework/runtime/Streams.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(MemoryStream, GrowsOnWriteAndReadsBackFromAnyPosition)
{
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    EXPECT_EQ(stream.Size(), 6);
    EXPECT_EQ(stream.Position(), 6);

    stream.SetPosition(2);
    stream.WriteBuffer("XYZW", 4);
    stream.WriteBuffer("!", 1);
    EXPECT_EQ(stream.Size(), 7);
    EXPECT_EQ(std::memcmp(stream.Memory(), "abXYZW!", 7), 0);

    char buffer[8] = {};
    stream.SetPosition(5);
    EXPECT_EQ(stream.Read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "W!");
    EXPECT_EQ(stream.Read(buffer, 8), 0);
}

TEST(MemoryStream, ShrinkingMovesThePositionBackToTheEnd)
{
    TMemoryStream stream;
    stream.WriteBuffer("0123456789", 10);
    stream.SetSize(4);
    EXPECT_EQ(stream.Position(), 4);
    stream.Seek(-1, TSeekOrigin::End);
    char last = 0;
    stream.ReadBuffer(&last, 1);
    EXPECT_EQ(last, '3');
}

// Every seek that would land before the start fails and leaves the position
// where it was, so no read can reach the bytes in front of the data.
void ExpectNoSeekBeforeTheStart(TStream& stream)
{
    stream.SetPosition(2);
    EXPECT_THROW(stream.SetPosition(-1), ESeekError);
    EXPECT_THROW(stream.Seek(-3, TSeekOrigin::Current), ESeekError);
    EXPECT_THROW(stream.Seek(-(stream.Size() + 1), TSeekOrigin::End), ESeekError);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(stream.Seek(-2, TSeekOrigin::Current), 0);
    char first = 0;
    stream.ReadBuffer(&first, 1);
    EXPECT_EQ(first, 'a');
}

TEST(Stream, NoStreamMovesBeforeItsStart)
{
    TMemoryStream memory;
    memory.WriteBuffer("abcdef", 6);
    ExpectNoSeekBeforeTheStart(memory);
    try {
        memory.Seek(INT64_MAX, TSeekOrigin::End);
        FAIL() << "moved past the end of the number range";
    } catch (const ESeekError& error) {
        EXPECT_EQ(error.Message(), "ストリームのシークエラー");
    }
    EXPECT_THROW(memory.SetSize(-1), EStreamError);
    EXPECT_EQ(memory.Size(), 6);

    TTempFolder folder;
    TFileStream file(folder.File("data.bin"), TFileMode::Create);
    file.WriteBuffer("abcdef", 6);
    ExpectNoSeekBeforeTheStart(file);
    try {
        file.SetPosition(-1);
        FAIL() << "moved";
    } catch (const ESeekError& error) {
        EXPECT_NE(error.PlatformError(), 0u);
    }
}

TEST(Stream, ShortReadRaisesTheReadError)
{
    TMemoryStream stream;
    stream.WriteBuffer("abc", 3);
    stream.SetPosition(0);
    char buffer[4];
    try {
        stream.ReadBuffer(buffer, 4);
        FAIL() << "no error";
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message(), "ストリームからの読み込みエラー");
    }
}

TEST(Stream, CopyFromWithCountZeroCopiesTheWholeSource)
{
    TMemoryStream source;
    std::string text(200000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>(i * 7);
    source.WriteBuffer(text.data(), static_cast<std::int32_t>(text.size()));

    TMemoryStream destination;
    EXPECT_EQ(destination.CopyFrom(source, 0), static_cast<std::int64_t>(text.size()));
    ASSERT_EQ(destination.Size(), static_cast<std::int64_t>(text.size()));
    EXPECT_EQ(std::memcmp(destination.Memory(), text.data(), text.size()), 0);
}

TEST(FileStream, WritesReadsAndTruncates)
{
    TTempFolder folder;
    const std::string path = folder.File("data.bin");
    {
        TFileStream file(path, TFileMode::Create);
        file.WriteBuffer("hello, world", 12);
        file.SetSize(5);
        EXPECT_EQ(file.Size(), 5);
    }
    TFileStream file(path, TFileMode::OpenRead);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 16), 5);
    EXPECT_EQ(std::string(buffer), "hello");
}

TEST(FileStream, FailuresNameThePath)
{
    TTempFolder folder;
    const std::string missingFolder = folder.File("missing\\file.bin");
    try {
        TFileStream file(missingFolder, TFileMode::Create);
        FAIL() << "created";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "ファイル " + missingFolder + " を作成できません");
        EXPECT_EQ(error.PlatformError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    }
    try {
        TFileStream file(folder.File("absent.bin"), TFileMode::OpenRead);
        FAIL() << "opened";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.PlatformError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

TEST(FileStream, WriteToAReadOnlyHandleRaisesTheWriteError)
{
    TTempFolder folder;
    const std::string path = folder.File("data.bin");
    TFileStream(path, TFileMode::Create).WriteBuffer("x", 1);
    TFileStream file(path, TFileMode::OpenRead);
    try {
        file.WriteBuffer("y", 1);
        FAIL() << "written";
    } catch (const EWriteError& error) {
        EXPECT_EQ(error.Message(), "ストリームへの書き込みエラー");
    }
}

TEST(ResourceStream, FindsAResourceByNameWithoutRegardToCase)
{
    TResourceStream stream(GetModuleHandleA(nullptr), "updateversion", MAKEINTRESOURCEA(10));
    EXPECT_EQ(stream.Size(), 8);
    std::uint8_t bytes[8];
    stream.ReadBuffer(bytes, 8);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[4], 4);
    EXPECT_THROW(stream.WriteBuffer("x", 1), EStreamError);
}

TEST(ResourceStream, MissingResourceNamesIt)
{
    try {
        TResourceStream stream(GetModuleHandleA(nullptr), "NOSUCHDATA", MAKEINTRESOURCEA(10));
        FAIL() << "found";
    } catch (const EResNotFound& error) {
        EXPECT_EQ(error.Message(), "NOSUCHDATA リソースが見つかりません");
        EXPECT_EQ(error.PlatformError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    }
}

TEST(Errors, MessageOfTurnsAllocationFailureIntoOutOfMemory)
{
    EXPECT_EQ(MessageOf(std::bad_alloc()), EOutOfMemory().Message());
    EXPECT_EQ(MessageOf(EReadError()), "ストリームからの読み込みエラー");
}

} // namespace

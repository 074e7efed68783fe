// The apply step: loading the payload, the read-only test and the replacement
// of the target through a temporary file.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "container/UZLIB.h"
#include "tests/support/TestSupport.h"
#include "tests/updater/ApplyTestSupport.h"
#include "updater/ApplyStep.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Names = std::vector<std::string>;

Bytes Contents(TMemoryStream& stream)
{
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

// Loads the payload and puts it in place of the target, as the progress
// dialog's run does after its read-only test.
void LoadAndReplace(const std::string& target, const char* payload)
{
    TMemoryStream work;
    LoadPayload(work, payload, RT_RCDATA);
    ReplaceExecutable(target, work);
}

class PayloadVariants : public testing::Test {
protected:
    TTempFolder folder_;
    const std::string target_ = folder_.File("Korvantis.exe");
    const Bytes old_ = ReadWholeFile(StandInPath("3.0.3.999"));
};

TEST_F(PayloadVariants, PayloadWithoutContainerIsWrittenByteForByte)
{
    const Bytes plain = ReadWholeFile(StandInPath("no-version"));
    ASSERT_NE(plain.size(), old_.size());
    WriteWholeFile(target_, old_);
    LoadAndReplace(target_, "PLAINDATA");
    EXPECT_EQ(ReadWholeFile(target_), plain);
}

TEST_F(PayloadVariants, UnusablePayloadStopsBeforeTheTargetIsTouched)
{
    WriteWholeFile(target_, old_);
    try {
        LoadAndReplace(target_, "DAMAGEDDATA");
        ADD_FAILURE() << "a damaged payload was accepted";
    } catch (const EZLibError& error) {
        EXPECT_EQ(error.Message(), "error");
    }
    EXPECT_THROW(LoadAndReplace(target_, "NOSUCHDATA"), EResNotFound);
    EXPECT_EQ(ReadWholeFile(target_), old_);
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

TEST(LoadPayload, AppendsAtThePositionAndLeavesTheDestinationAsItWasOnFailure)
{
    const Bytes carried = ReadWholeFile(StandInPath("3.0.4.0"));
    TMemoryStream work;
    work.WriteBuffer("head", 4);
    LoadPayload(work, "UPDATEDATA", RT_RCDATA);
    Bytes expected = {'h', 'e', 'a', 'd'};
    expected.insert(expected.end(), carried.begin(), carried.end());
    EXPECT_EQ(Contents(work), expected);
    EXPECT_EQ(work.Position(), work.Size());

    // At the end, where a failed load would otherwise leave the room it made.
    const std::int64_t end = work.Position();
    try {
        LoadPayload(work, "DAMAGEDDATA", RT_RCDATA);
        ADD_FAILURE() << "a damaged payload was accepted";
    } catch (const EZLibError& error) {
        EXPECT_EQ(error.Message(), "error");
    }
    EXPECT_THROW(LoadPayload(work, "NOSUCHDATA", RT_RCDATA), EResNotFound);
    ASSERT_EQ(work.Size(), static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(Contents(work), expected);
    EXPECT_EQ(work.Position(), end);
}

TEST(CheckWritable, OnlyTheReadOnlyBitRefuses)
{
    TTempFolder folder;
    const std::string path = folder.File("Korvantis.exe");
    EXPECT_NO_THROW(CheckWritable(path));
    WriteWholeFile(path, {1, 2, 3});
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_NO_THROW(CheckWritable(path));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    try {
        CheckWritable(path);
        ADD_FAILURE() << "a read-only file passed";
    } catch (const EReadOnly& error) {
        EXPECT_EQ(error.Message(), path);
    }
}

TEST(ReplaceExecutable, ShiftJisNamesAreSplitAtTheRealBackslash)
{
    // The second byte of 表 is the byte of "\"; a split there would look for
    // the folder "...\表\" + 0x95.
    TTempFolder folder;
    const std::string subfolder = folder.File("表");
    ASSERT_TRUE(CreateDirectoryA(subfolder.c_str(), nullptr));
    const std::string target = subfolder + "\\表.exe";
    TMemoryStream content;
    content.WriteBuffer("MZ new", 6);
    ReplaceExecutable(target, content);
    EXPECT_EQ(ReadWholeFile(target), (Bytes{'M', 'Z', ' ', 'n', 'e', 'w'}));
    EXPECT_EQ(FolderEntries(subfolder), Names{"表.exe"});
}

TEST(ReplaceExecutable, FailureKeepsThePlatformsReasonBesideTheMessage)
{
    TTempFolder folder;
    const std::string target = folder.File("gone\\Korvantis.exe");
    TMemoryStream content;
    content.WriteBuffer("MZ", 2);
    try {
        ReplaceExecutable(target, content);
        FAIL() << "replaced in a folder that does not exist";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "ファイル " + target + " を作成できません");
        EXPECT_NE(error.PlatformError(), 0u);
    }
}

class RenamingReplacement : public testing::Test {
protected:
    TTempFolder folder_;
    const std::string source_ = folder_.File("new.tmp");
    const std::string target_ = folder_.File("Korvantis.exe");
};

TEST_F(RenamingReplacement, NewFileTakesTheNameAndNothingIsLeftAside)
{
    WriteWholeFile(source_, {'n', 'e', 'w'});
    WriteWholeFile(target_, {'o', 'l', 'd'});
    EXPECT_TRUE(ReplaceByRenaming(source_, target_));
    EXPECT_EQ(ReadWholeFile(target_), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

TEST_F(RenamingReplacement, MissingTargetIsCreated)
{
    WriteWholeFile(source_, {'n', 'e', 'w'});
    EXPECT_TRUE(ReplaceByRenaming(source_, target_));
    EXPECT_EQ(ReadWholeFile(target_), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

TEST_F(RenamingReplacement, FailedSecondRenamePutsTheOldFileBack)
{
    WriteWholeFile(target_, {'o', 'l', 'd'});
    EXPECT_FALSE(ReplaceByRenaming(folder_.File("missing.tmp"), target_));
    EXPECT_EQ(ReadWholeFile(target_), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

} // namespace

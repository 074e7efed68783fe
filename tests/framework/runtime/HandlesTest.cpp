#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "framework/runtime/FolderEntries.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"
#include "tests/support/TestHandles.h"
#include "tests/support/TestSupport.h"

namespace {

void MakeFile(const std::string& path)
{
    TFileStream file(path, TFileMode::Create);
    file.WriteBuffer("x", 1);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

// Whether the platform still sees what a scope holds, while it lives and
// after it has gone.
struct TSeen {
    bool inside = false;
    bool after = true;
};

struct TScopeCase {
    const char* name;
    std::function<TSeen()> run;
};

const TScopeCase kScopeCases[] = {
    {"MemoryDC",
     [] {
         TSeen seen;
         HDC dc = nullptr;
         {
             const TMemoryDC memory;
             dc = memory.Handle();
             seen.inside = GetObjectType(dc) == OBJ_MEMDC;
         }
         seen.after = GetObjectType(dc) != 0;
         return seen;
     }},
    {"KernelHandle",
     [] {
         TSeen seen;
         HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
         {
             const TKernelHandle handle(event);
             seen.inside = IsOpenHandle(handle.Get());
         }
         seen.after = IsOpenHandle(event);
         return seen;
     }},
    {"KernelHandleClosedEarly",
     [] {
         TSeen seen;
         TKernelHandle handle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
         HANDLE event = handle.Get();
         seen.inside = IsOpenHandle(event) && handle.Close() && !handle && handle.Close();
         seen.after = IsOpenHandle(event);
         return seen;
     }},
    {"GlobalLock",
     [] {
         TSeen seen;
         const TGlobalCopy memory(std::vector<std::uint8_t>(16));
         {
             const TGlobalLock lock(memory.Get());
             seen.inside = lock.Data() && (GlobalFlags(memory.Get()) & GMEM_LOCKCOUNT) == 1 && lock.Size() >= 16;
         }
         seen.after = (GlobalFlags(memory.Get()) & GMEM_LOCKCOUNT) != 0;
         return seen;
     }},
    {"FileDeletion",
     [] {
         TSeen seen;
         const TTempFolder folder;
         const std::string path = folder.File("doomed.bin");
         MakeFile(path);
         {
             const TFileDeletion deletion(path);
             seen.inside = FileExists(deletion.Path());
         }
         seen.after = FileExists(path);
         return seen;
     }},
    {"ScopeExitOnError",
     [] {
         TSeen seen;
         bool ran = false;
         try {
             const TScopeExit exit([&ran]() noexcept { ran = true; });
             seen.inside = !ran;
             throw std::runtime_error("passing");
         } catch (const std::runtime_error&) {
         }
         seen.after = !ran;
         return seen;
     }},
};

class ScopeReleases : public ::testing::TestWithParam<TScopeCase> {};

TEST_P(ScopeReleases, WhatItHoldsOnlyWhileItLives)
{
    const TSeen seen = GetParam().run();
    EXPECT_TRUE(seen.inside);
    EXPECT_FALSE(seen.after);
}

INSTANTIATE_TEST_SUITE_P(Handles, ScopeReleases, ::testing::ValuesIn(kScopeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Handles, FailedAnswersHoldNothing)
{
    EXPECT_FALSE(TKernelHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(TKernelHandle(nullptr));
    EXPECT_FALSE(TGlobalLock(nullptr).Data());
    EXPECT_FALSE(TFindFile("Z:\\no such folder\\*").Found());

    // A kept file stays, and an empty path deletes nothing.
    const TTempFolder folder;
    const std::string path = folder.File("kept.bin");
    MakeFile(path);
    {
        TFileDeletion deletion(path);
        deletion.Keep();
        const TFileDeletion none("");
    }
    EXPECT_TRUE(FileExists(path));
}

TEST(Handles, SavedClipRegionComesBackAsItWasOrAsNone)
{
    const TMemoryDC dc;
    const TGdiObject<HRGN> region(CreateRectRgn(1, 2, 3, 4));
    const TGdiObject<HRGN> seen(CreateRectRgn(0, 0, 0, 0));
    {
        const TSavedClipRegion saved(dc.Handle());
        SelectClipRgn(dc.Handle(), region.Get());
    }
    EXPECT_EQ(GetClipRgn(dc.Handle(), seen.Get()), 0) << "a context without a region got one";

    SelectClipRgn(dc.Handle(), region.Get());
    {
        const TSavedClipRegion saved(dc.Handle());
        SelectClipRgn(dc.Handle(), nullptr);
    }
    ASSERT_EQ(GetClipRgn(dc.Handle(), seen.Get()), 1);
    RECT box{};
    GetRgnBox(seen.Get(), &box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.bottom, 4);
}

TEST(FolderEntries, ListsFilesAndFoldersWithoutTheDotEntries)
{
    const TTempFolder folder;
    MakeFile(folder.File("a.txt"));
    CreateDirectoryA(folder.File("sub").c_str(), nullptr);
    std::vector<TFolderEntry> entries = FindEntries(folder.Path() + "\\*");
    ASSERT_EQ(entries.size(), 2u);
    if (entries[0].name != "a.txt")
        std::swap(entries[0], entries[1]);
    EXPECT_EQ(entries[0].name, "a.txt");
    EXPECT_FALSE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "sub");
    EXPECT_TRUE(entries[1].isFolder);
    EXPECT_TRUE(FindEntries(folder.File("missing") + "\\*").empty());
}

} // namespace

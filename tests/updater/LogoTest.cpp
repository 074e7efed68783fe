// The main window's logo as the screen shows it: the real updater, alone in
// a folder of its own, with and without a resource file "Image.res" next to
// it. Runs on an Xvfb screen through Wine's X11 driver, where the screen can
// be read back from another process.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/runtime/Handles.h"
#include "tests/imagepack/ResFileBuilder.h"
#include "tests/support/ScreenPixels.h"
#include "tests/support/StartFailure.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UiDriver.h"

namespace {

// The platform's own drawing of bitmap file data, through its headers, on a
// bitmap of the screen's format: what a logo should look like here.
TPixels DrawnFilePixels(const std::string& path)
{
    const std::vector<unsigned char> file = ReadWholeFile(path);
    if (file.size() < 54)
        return {};
    BITMAPINFOHEADER header;
    DWORD offset;
    std::memcpy(&header, &file[14], sizeof header);
    std::memcpy(&offset, &file[10], sizeof offset);
    const TWindowDC screen;
    const TGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.Handle(), header.biWidth, header.biHeight));
    const TMemoryDC memory(screen.Handle());
    const TSelectedObject selected(memory.Handle(), bitmap.Get());
    StretchDIBits(memory.Handle(), 0, 0, header.biWidth, header.biHeight, 0, 0, header.biWidth, header.biHeight,
                  &file[offset], reinterpret_cast<const BITMAPINFO*>(&file[14]), DIB_RGB_COLORS, SRCCOPY);
    return PixelsOf(memory.Handle(), 0, 0, header.biWidth, header.biHeight);
}

std::string LogoFile(const std::string& name)
{
    return BuildDir() + "\\tests\\updater\\logos\\" + name;
}

// The main window's client area, in client coordinates, with the two
// buttons on it.
struct TMainWindow {
    HWND window = nullptr;
    RECT client{};
    RECT update{};
    RECT exit{};

    bool OnAButton(int x, int y) const
    {
        const POINT point{x, y};
        return PtInRect(&update, point) || PtInRect(&exit, point);
    }
};

RECT ChildRect(HWND parent, HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A copy of the updater in a folder of its own, with the given resource
// file beside it as "Image.res".
class TUpdaterCopy {
public:
    explicit TUpdaterCopy(const std::vector<unsigned char>& imageRes = {})
    {
        CopyFileA((BuildDir() + "\\bin\\ZelmoriaUpdate.exe").c_str(), Path().c_str(), FALSE);
        if (!imageRes.empty()) {
            TResFileBuilder file;
            file.bytes = imageRes;
            file.Save(folder_.File("Image.res"));
        }
    }

    std::string Path() const { return folder_.File("ZelmoriaUpdate.exe"); }

private:
    TTempFolder folder_;
};

class MainWindowLogo : public testing::Test {
protected:
    void TearDown() override { process_.reset(); }

    TMainWindow Start(const TUpdaterCopy& updater)
    {
        process_ = std::make_unique<TProcess>(updater.Path());
        TMainWindow main;
        main.window = WaitFor([&] {
            for (HWND window : TopLevelWindows(process_->Id())) {
                if (FindChild(window, "", "終了"))
                    return window;
            }
            return HWND{};
        });
        if (!main.window)
            return main;
        GetClientRect(main.window, &main.client);
        main.update = ChildRect(main.window, FindChild(main.window, "", "アップデート"));
        main.exit = ChildRect(main.window, FindChild(main.window, "", "終了"));
        return main;
    }

    // The client area as the screen shows it, once it shows the logo where
    // the logo should be (or the time is up); how many of those pixels
    // differ is left in differing.
    TPixels Shown(const TMainWindow& main, const TPixels& logo, int& differing)
    {
        TPixels shown;
        WaitUntil([&] {
            shown = ShownPixels(main.window, main.client.right, main.client.bottom);
            differing = 0;
            for (int y = 0; y < std::min(shown.height, logo.height); ++y)
                for (int x = 0; x < std::min(shown.width, logo.width); ++x)
                    differing += !main.OnAButton(x, y) && shown.At(x, y) != logo.At(x, y);
            return differing == 0;
        });
        return shown;
    }

    void ExpectTheLogoFillsTheWindow(const TUpdaterCopy& updater, const std::string& logoFile)
    {
        ExpectTheLogoFillsTheWindow(updater, BitmapFilePixels(logoFile));
    }

    void ExpectTheLogoFillsTheWindow(const TUpdaterCopy& updater, const TPixels& logo)
    {
        ASSERT_GT(logo.width, 0);
        const TMainWindow main = Start(updater);
        ASSERT_NE(main.window, nullptr) << "the main window did not appear";
        EXPECT_EQ(main.client.right, logo.width);
        EXPECT_EQ(main.client.bottom, logo.height);
        // The buttons keep their distance to the bottom edge.
        EXPECT_EQ(main.update.left, 44);
        EXPECT_EQ(main.exit.left, 212);
        EXPECT_EQ(main.update.bottom, logo.height - 21);
        EXPECT_EQ(main.exit.bottom, logo.height - 21);
        int differing = -1;
        Shown(main, logo, differing);
        EXPECT_EQ(differing, 0) << "pixels that differ from the logo's";
    }

    std::unique_ptr<TProcess> process_;
};

TEST_F(MainWindowLogo, TheCarriedLogoFillsTheWindowBehindTheButtons)
{
    const TUpdaterCopy updater;
    // The build's checked copy of the logo it carries.
    ExpectTheLogoFillsTheWindow(updater, BuildDir() + "\\resources\\logo\\LOGO.bmp");
}

TEST_F(MainWindowLogo, AnImageResOfAnotherSizeGivesItsLogoAndItsSize)
{
    const TUpdaterCopy updater(ReadWholeFile(LogoFile("wide.res")));
    ExpectTheLogoFillsTheWindow(updater, LogoFile("wide.bmp"));
}

TEST_F(MainWindowLogo, ACompressedLogoInAnImageResIsUnpacked)
{
    const std::vector<unsigned char> res = ReadWholeFile(LogoFile("packed.res"));
    ASSERT_GT(res.size(), 100u);
    EXPECT_NE(std::string(res.begin(), res.end()).find("ZLIBCompress\x1A"), std::string::npos);
    const TUpdaterCopy updater(res);
    ExpectTheLogoFillsTheWindow(updater, LogoFile("packed.bmp"));
}

// A PNG logo with transparent parts, made into an Image.res by the release
// engineer's command: its transparent border shows in the window colour of
// Windows' default scheme, which the conversion flattened it onto.
TEST_F(MainWindowLogo, APngLogoShowsWithItsTransparencyFlattened)
{
    const TUpdaterCopy updater(ReadWholeFile(LogoFile("transparent.res")));
    ExpectTheLogoFillsTheWindow(updater, LogoFile("transparent-flattened.bmp"));
}

// A logo narrower than the buttons reach: the window keeps both buttons, and
// what the logo does not cover shows the window's own colour.
TEST_F(MainWindowLogo, ALogoNarrowerThanTheButtonsLeavesTheRestInTheWindowsColour)
{
    const TPixels logo = BitmapFilePixels(LogoFile("narrow.bmp"));
    ASSERT_EQ(logo.width, 200);
    const TUpdaterCopy updater(ReadWholeFile(LogoFile("narrow.res")));
    const TMainWindow main = Start(updater);
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(main.client.right, main.exit.right);
    EXPECT_EQ(main.client.bottom, 100);
    int differing = -1;
    const TPixels shown = Shown(main, logo, differing);
    EXPECT_EQ(differing, 0);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int other = 0;
    for (int y = 0; y < shown.height; ++y)
        for (int x = logo.width; x < shown.width; ++x)
            other += !main.OnAButton(x, y) && shown.At(x, y) != face;
    EXPECT_EQ(other, 0) << "pixels beside the logo not in the window's colour";
}

// Deeper logos that also carry a colour table, which only advises palette
// screens: on this screen they show their own colours, as the platform
// draws the same file data.
class TableCarryingLogo : public MainWindowLogo, public testing::WithParamInterface<const char*> {};

TEST_P(TableCarryingLogo, ShowsThePixelsAsThePlatformDrawsThem)
{
    const std::string name = GetParam();
    const TUpdaterCopy updater(ReadWholeFile(LogoFile(name + ".res")));
    ExpectTheLogoFillsTheWindow(updater, DrawnFilePixels(LogoFile(name + ".bmp")));
}

INSTANTIATE_TEST_SUITE_P(Logo, TableCarryingLogo,
                         testing::Values("table16", "fields16", "table24", "table32", "fields32"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

struct TStartFailure {
    const char* name;
    const char* message;
};

class BrokenImageRes : public testing::TestWithParam<TStartFailure> {};

// The resource file for the case: one that holds a bitmap under another
// name only, one whose "LOGO" is no bitmap, or the compressed one cut off
// inside the logo's data.
std::vector<unsigned char> BrokenFile(const std::string& name)
{
    if (name == "damaged-bitmap") {
        TResFileBuilder file;
        file.Add(ResNumber(2), ResText(L"LOGO"), std::string(64, '\x7F'));
        return file.bytes;
    }
    if (name == "without-logo") {
        const std::vector<unsigned char> bitmap = ReadWholeFile(LogoFile("packed.bmp"));
        TResFileBuilder file;
        file.Add(ResNumber(2), ResText(L"BANNER"), std::string(bitmap.begin() + 14, bitmap.end()));
        return file.bytes;
    }
    const std::vector<unsigned char> packed = ReadWholeFile(LogoFile("packed.res"));
    return std::vector<unsigned char>(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
}

TEST_P(BrokenImageRes, EndsTheUpdaterWithTheStartUpErrorBoxAndShowsNoWindow)
{
    const TUpdaterCopy updater(BrokenFile(GetParam().name));
    ExpectOnlyTheErrorBox(RunFailingStart(updater.Path()), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Logo, BrokenImageRes,
                         testing::Values(TStartFailure{"without-logo", "LOGO リソースが見つかりません."},
                                         TStartFailure{"truncated", "ストリームからの読み込みエラー."},
                                         TStartFailure{"damaged-bitmap", "ビットマップイメージが不正です."}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace

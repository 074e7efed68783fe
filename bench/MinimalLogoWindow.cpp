// The least a Win32 program does to show the logo: a window of the logo's
// size with the updater's frame, centred, that copies the bitmap in on
// WM_PAINT. The yardstick of the start-up benchmark.

#include <windows.h>

#include "framework/runtime/Handles.h"
#include "framework/runtime/StartupMarks.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        // The logo comes with the window's making and stays with it.
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT: {
        const auto logo = reinterpret_cast<HBITMAP>(GetWindowLongPtrA(window, GWLP_USERDATA));
        const TPaintDC dc(window);
        const TMemoryDC memory(dc.Handle());
        const TSelectedObject selected(memory.Handle(), logo);
        BITMAP shape;
        GetObjectA(logo, sizeof shape, &shape);
        BitBlt(dc.Handle(), 0, 0, shape.bmWidth, shape.bmHeight, memory.Handle(), 0, 0, SRCCOPY);
        MarkStartup(TStartupMark::FirstImagePainted);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    MarkStartup(TStartupMark::Entry);
    const TGdiObject<HBITMAP> logo(
        static_cast<HBITMAP>(LoadImageA(instance, "LOGO", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!logo)
        return 1;
    MarkStartup(TStartupMark::FirstImagePackLoaded);
    BITMAP shape;
    GetObjectA(logo.Get(), sizeof shape, &shape);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    RECT frame{0, 0, shape.bmWidth, shape.bmHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "MinimalLogoWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(exStyle, windowClass.lpszClassName, "logo", style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                  instance, logo.Get());
    MarkStartup(TStartupMark::MainWindowMade);
    ShowWindow(window, SW_SHOW);
    MarkStartup(TStartupMark::MainWindowShown);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

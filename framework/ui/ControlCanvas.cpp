#include "framework/ui/ControlCanvas.h"

#include "framework/ui/Control.h"

TControlCanvas::~TControlCanvas()
{
    Release();
}

void TControlCanvas::Attach(HDC dc)
{
    Release();
    SetHandle(dc);
}

void TControlCanvas::Detach()
{
    SetHandle(nullptr);
}

void TControlCanvas::Release()
{
    if (obtainedFrom_)
        SetHandle(nullptr);
}

void TControlCanvas::CreateHandle()
{
    HWND window = control_.Handle();
    HDC dc = GetDC(window);
    if (!dc)
        throw ECanvasError("デバイスコンテキストを取得できません", GetLastError());
    obtainedFrom_ = window;
    SetHandle(dc);
}

void TControlCanvas::HandleReleasing()
{
    if (!obtainedFrom_)
        return;
    ReleaseDC(obtainedFrom_, Handle());
    obtainedFrom_ = nullptr;
}

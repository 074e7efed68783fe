#include "framework/ui/ControlCanvas.h"

#include "framework/ui/WinControl.h"

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
    if (obtained_)
        SetHandle(nullptr);
}

void TControlCanvas::CreateHandle()
{
    obtained_.emplace(control_.Handle());
    if (!obtained_->Handle()) {
        const DWORD error = GetLastError();
        obtained_.reset();
        throw ECanvasError("デバイスコンテキストを取得できません", error);
    }
    SetHandle(obtained_->Handle());
}

void TControlCanvas::HandleReleasing()
{
    obtained_.reset();
}

// CMainWnd: the installer window. One heap object per run; it deletes itself after its last message.
#pragma once

#include "SkinUI/Core/UIBase.h"

class CMainWnd : public SkinUI::CWindowWnd
{
public:
    // WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
    static constexpr DWORD kWindowStyle = 0x96CA0000;
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 400;

    CMainWnd() = default;

protected:
    const char* WindowClassName() const override { return "MainWnd"; }
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND hWnd) override;

private:
    ~CMainWnd() override = default;
};

// CWindowShadow: a soft drop shadow around a top-level window, drawn in a separate layered, click-through
// pop-up owned by the window. It follows the window by hooking the window's procedure.
#pragma once

#include <windows.h>

#include <cstdint>

namespace SkinUI {

class CWindowShadow
{
public:
    enum : BYTE
    {
        SHADOW_ENABLED = 0x1,      // attached to a window
        SHADOW_SHOWN = 0x2,        // the shadow window is visible
        SHADOW_PARENT_SHOWN = 0x4, // the shadowed window is visible and neither minimised nor maximised
    };

    CWindowShadow() = default;
    // Unhooks the window (when it still lives) and destroys the shadow window.
    virtual ~CWindowShadow();
    CWindowShadow(const CWindowShadow&) = delete;
    CWindowShadow& operator=(const CWindowShadow&) = delete;

    // Looks up the layered-window function and registers the shadow window class, once per process.
    // False when already done or when the platform has no layered windows.
    static bool RegisterShadowClass(HINSTANCE hInstance);

    // Casts the shadow of hParent, which should have a window region; does nothing without layered windows.
    void AttachToWindow(HWND hParent);

    // Size, sharpness and offset are logical lengths, drawn at the shadowed window's DPI.
    bool SetShadowSize(int nSize);                // -20..20
    bool SetShadowSharpness(unsigned nSharpness); // 0..20
    bool SetShadowDarkness(unsigned nDarkness);   // 0..255
    bool SetShadowOffset(int nX, int nY);         // -20..20 each
    bool SetShadowColor(COLORREF clr);

    // Rebuilds the shadow bitmap from hParent's region and shows it around the window.
    void RedrawShadow(HWND hParent);

    HWND GetShadowWindow() const { return m_hWnd; }
    BYTE GetStatus() const { return m_Status; }

    // The shadow bitmap's size for a window of rcWindow; zero or negative when the shadow has no area.
    SIZE GetShadowBitmapSize(const RECT& rcWindow) const;
    // Renders the shadow of hParent (whose window rectangle is rcWindow) into pPixels, a zeroed bottom-up
    // 32-bit premultiplied picture of GetShadowBitmapSize(rcWindow).
    void ComputeShadowPixels(uint32_t* pPixels, HWND hParent, const RECT& rcWindow) const;

private:
    // The shadow's lengths in pixels at the window's DPI.
    struct Lengths
    {
        int nSize;
        int nSharpness;
        int nX;
        int nY;
    };
    Lengths ScaledLengths() const;
    static LRESULT CALLBACK ShadowParentProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleParentMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void ShowShadow(bool bShow);
    void Detach();

    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;
    BYTE m_Status = 0;
    BYTE m_nDarkness = 150;
    BYTE m_nSharpness = 5;
    signed char m_nSize = 0;
    signed char m_nxOffset = 5;
    signed char m_nyOffset = 5;
    LPARAM m_WndSize = 0;
    int m_nDpi = 96;
    bool m_bUpdate = false;
    COLORREF m_Color = RGB(0, 0, 0);
};

} // namespace SkinUI
